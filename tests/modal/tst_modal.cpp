#include "autoanswermodal.h"
#include "modal.h"
#include "scriptedmodal.h"

#include <QDialog>
#include <QFile>
#include <QLineEdit>
#include <QPrinter>
#include <QTemporaryFile>
#include <QtTest>

#include <unistd.h>

namespace {

// A dialog of the program's own kind: accept() refuses while the name is empty.
class NameDialog : public QDialog
{
public:
    NameDialog()
    {
        setWindowTitle(QStringLiteral("Report information"));
        edit = new QLineEdit(this);
    }
    void accept() override
    {
        if (edit->text().isEmpty())
            return;
        name = edit->text();
        QDialog::accept();
    }
    QLineEdit *edit;
    QString name;
};

} // namespace

class TestModal : public QObject
{
    Q_OBJECT

private slots:
    void scriptedAnswersComeInOrder();
    void dialogsAreFilledAndAnswered_data();
    void dialogsAreFilledAndAnswered();
    void unexpectedCallsDoNotBlock_data();
    void unexpectedCallsDoNotBlock();
    void boxesAreRecordedAndNeedNoAnswer();
    void progressCancelsAtScriptedValue_data();
    void progressCancelsAtScriptedValue();
    void handlerIsRestored();
    void printDialogIsScripted();
    void autoAnswerLine_data();
    void autoAnswerLine();
    void autoAnswerGivesSafeAnswers();
    void environmentHookWritesToStderr();
    void saveDialogTellsTheChosenFilter();
};

void TestModal::scriptedAnswersComeInOrder()
{
    ScriptedModal modal;
    modal.answerQuestion(QMessageBox::Yes);
    modal.answerQuestion(QMessageBox::No);
    modal.answerOpenFile(QStringLiteral("/tmp/StdColor.xlsx"));
    modal.answerSaveFile(QStringLiteral("/tmp/out.xls"));
    modal.answerSaveFile(QString()); // the user cancels the second save

    QCOMPARE(Modal::question(nullptr, QStringLiteral("Colorimeter"), QStringLiteral("first?")), QMessageBox::Yes);
    QCOMPARE(Modal::getSaveFileName(nullptr, QStringLiteral("Save"), QString(), QStringLiteral("*.xls")),
             QStringLiteral("/tmp/out.xls"));
    QCOMPARE(Modal::question(nullptr, QStringLiteral("Colorimeter"), QStringLiteral("second?")), QMessageBox::No);
    QCOMPARE(Modal::getOpenFileName(nullptr, QStringLiteral("Open"), QStringLiteral("/tmp"), QStringLiteral("*.xlsx")),
             QStringLiteral("/tmp/StdColor.xlsx"));
    QCOMPARE(Modal::getSaveFileName(nullptr, QStringLiteral("Save"), QString(), QStringLiteral("*.xls")), QString());

    QCOMPARE(modal.unexpectedCount(), 0);
    QCOMPARE(modal.pendingAnswers(), 0);
    QCOMPARE(modal.transcript(),
             QStringList({QStringLiteral("question: Colorimeter: first? -> Yes"),
                          QStringLiteral("save file: Save:  -> /tmp/out.xls"),
                          QStringLiteral("question: Colorimeter: second? -> No"),
                          QStringLiteral("open file: Open: /tmp -> /tmp/StdColor.xlsx"),
                          QStringLiteral("save file: Save: ")}));
    QCOMPARE(modal.calls(ModalKind::OpenFileName).at(0).filter, QStringLiteral("*.xlsx"));
}

void TestModal::dialogsAreFilledAndAnswered_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("name");
    QTest::newRow("filled and accepted") << QStringLiteral("ACME") << int(QDialog::Accepted)
                                         << int(QDialog::Accepted) << QStringLiteral("ACME");
    QTest::newRow("filled and rejected") << QStringLiteral("ACME") << int(QDialog::Rejected)
                                         << int(QDialog::Rejected) << QString();
    // The dialog's own validation still runs: an empty form cannot be accepted.
    QTest::newRow("empty, accept refused") << QString() << int(QDialog::Accepted) << int(QDialog::Rejected)
                                           << QString();
}

void TestModal::dialogsAreFilledAndAnswered()
{
    QFETCH(QString, typed);
    QFETCH(int, answer);
    QFETCH(int, result);
    QFETCH(QString, name);
    ScriptedModal modal;
    modal.answerDialog(answer, [typed](QDialog *d) { static_cast<NameDialog *>(d)->edit->setText(typed); });
    NameDialog dialog;
    QCOMPARE(Modal::exec(&dialog), result);
    QCOMPARE(dialog.name, name);
    QCOMPARE(modal.calls().size(), 1);
    QCOMPARE(modal.calls().at(0).kind, ModalKind::Dialog);
    QCOMPARE(modal.calls().at(0).title, QStringLiteral("Report information"));
    QCOMPARE(modal.unexpectedCount(), 0);
}

void TestModal::unexpectedCallsDoNotBlock_data()
{
    QTest::addColumn<int>("call");
    QTest::addColumn<QString>("answer");
    QTest::newRow("question") << 0 << QStringLiteral("Cancel");
    QTest::newRow("queued button not offered") << 1 << QStringLiteral("Yes");
    QTest::newRow("open file") << 2 << QString();
    QTest::newRow("save file") << 3 << QString();
    QTest::newRow("directory") << 4 << QString();
    QTest::newRow("dialog") << 5 << QStringLiteral("Rejected");
    QTest::newRow("print") << 6 << QStringLiteral("Rejected");
}

void TestModal::unexpectedCallsDoNotBlock()
{
    QFETCH(int, call);
    QFETCH(QString, answer);
    ScriptedModal modal;
    modal.answerOpenFile(QStringLiteral("for a later step")); // must not be taken by a save or directory call
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^ScriptedModal: unexpected ")));
    QString got;
    switch (call) {
    case 0:
        QCOMPARE(Modal::question(nullptr, QStringLiteral("Colorimeter"), QStringLiteral("?")), QMessageBox::Cancel);
        got = QStringLiteral("Cancel");
        break;
    case 1:
        modal.answerQuestion(QMessageBox::Yes);
        Modal::question(nullptr, QStringLiteral("Colorimeter"), QStringLiteral("?"),
                        QMessageBox::Ok | QMessageBox::Cancel);
        got = QStringLiteral("Yes");
        break;
    case 2:
        QCOMPARE(Modal::getOpenFileName(nullptr, QStringLiteral("Open")), QStringLiteral("for a later step"));
        got = Modal::getOpenFileName(nullptr, QStringLiteral("Open"));
        break;
    case 3:
        got = Modal::getSaveFileName(nullptr, QStringLiteral("Save"));
        break;
    case 4:
        got = Modal::getExistingDirectory(nullptr, QStringLiteral("Folder"));
        break;
    case 5: {
        QDialog dialog;
        QCOMPARE(Modal::exec(&dialog), int(QDialog::Rejected));
        got = QStringLiteral("Rejected");
        break;
    }
    case 6: {
        QPrinter printer;
        QCOMPARE(Modal::print(&printer, nullptr), int(QDialog::Rejected));
        got = QStringLiteral("Rejected");
        break;
    }
    }
    QCOMPARE(got, answer);
    QCOMPARE(modal.unexpectedCount(), 1);
    QVERIFY(modal.calls().last().unexpected);
    QVERIFY(modal.transcript().last().endsWith(QStringLiteral("[unexpected]")));
}

void TestModal::boxesAreRecordedAndNeedNoAnswer()
{
    ScriptedModal modal;
    Modal::information(nullptr, QStringLiteral("Information"), QStringLiteral("Write my color data successfully!"));
    Modal::warning(nullptr, QStringLiteral("Warn"), QStringLiteral("Device already opened."));
    QCOMPARE(modal.unexpectedCount(), 0);
    QCOMPARE(modal.calls().size(), 2);
    const ModalCall info = modal.calls().at(0);
    QCOMPARE(info.kind, ModalKind::Information);
    QCOMPARE(info.title, QStringLiteral("Information"));
    QCOMPARE(info.text, QStringLiteral("Write my color data successfully!"));
    QCOMPARE(info.buttons, QMessageBox::StandardButtons(QMessageBox::Ok)); // one OK button only
    QCOMPARE(modal.calls(ModalKind::Warning).size(), 1);
    modal.clearRecord();
    QVERIFY(modal.calls().isEmpty());
}

void TestModal::progressCancelsAtScriptedValue_data()
{
    QTest::addColumn<int>("cancelAt");
    QTest::addColumn<int>("firstCanceledValue"); // -1: never
    QTest::newRow("never") << -1 << -1;
    QTest::newRow("at 3") << 3 << 3;
    QTest::newRow("at once") << 0 << 0;
}

void TestModal::progressCancelsAtScriptedValue()
{
    QFETCH(int, cancelAt);
    QFETCH(int, firstCanceledValue);
    ScriptedModal modal;
    if (cancelAt >= 0)
        modal.cancelProgressAt(cancelAt);
    int canceledAt = -1;
    {
        ModalProgress progress(QStringLiteral("Storing data,please wait..."), QStringLiteral("cancel"), 0, 5);
        progress.show();
        for (int v = 0; v <= 5; ++v) {
            progress.setValue(v);
            if (progress.wasCanceled() && canceledAt < 0)
                canceledAt = v;
        }
        progress.hide();
    }
    QCOMPARE(canceledAt, firstCanceledValue);
    QCOMPARE(modal.progresses().size(), 1);
    const ModalProgressRecord &record = *modal.progresses().at(0);
    QCOMPARE(record.labelText, QStringLiteral("Storing data,please wait..."));
    QCOMPARE(record.cancelText, QStringLiteral("cancel"));
    QCOMPARE(record.maximum, 5);
    QCOMPARE(record.values, QList<int>({0, 1, 2, 3, 4, 5}));
    QVERIFY(record.shown && record.hidden);
    QCOMPARE(modal.pendingAnswers(), 0);
    QCOMPARE(modal.unexpectedCount(), 0);
}

void TestModal::handlerIsRestored()
{
    ModalHandler *const original = Modal::handler();
    {
        ScriptedModal outer;
        QCOMPARE(Modal::handler(), &outer);
        {
            ScriptedModal inner;
            Modal::information(nullptr, QStringLiteral("t"), QStringLiteral("x"));
            QCOMPARE(inner.calls().size(), 1);
        }
        QCOMPARE(Modal::handler(), &outer);
        QVERIFY(outer.calls().isEmpty());
    }
    QCOMPARE(Modal::handler(), original);
    ScriptedModal other;
    Modal::setHandler(nullptr);
    QCOMPARE(Modal::handler(), original);
}

void TestModal::printDialogIsScripted()
{
    ScriptedModal modal;
    int setups = 0;
    modal.answerPrint(QDialog::Rejected, [&setups](QPrinter *) { ++setups; });
    modal.answerPrint(QDialog::Accepted, [&setups](QPrinter *p) {
        ++setups;
        p->setOutputFormat(QPrinter::PdfFormat);
        p->setOutputFileName(QStringLiteral("/tmp/chosen.pdf"));
    });
    QCOMPARE(modal.pendingAnswers(), 2);

    QPrinter printer;
    printer.setOutputFileName(QStringLiteral("/tmp/before.pdf"));
    // A cancelled dialog leaves the printer as it was: the user's choices are not applied.
    QCOMPARE(Modal::print(&printer, nullptr), int(QDialog::Rejected));
    QCOMPARE(setups, 0);
    QCOMPARE(printer.outputFileName(), QStringLiteral("/tmp/before.pdf"));
    QCOMPARE(Modal::print(&printer, nullptr), int(QDialog::Accepted));
    QCOMPARE(setups, 1);
    QCOMPARE(printer.outputFileName(), QStringLiteral("/tmp/chosen.pdf"));
    QCOMPARE(modal.pendingAnswers(), 0);
    QCOMPARE(modal.unexpectedCount(), 0);
    QCOMPARE(modal.transcript(), QStringList({QStringLiteral("print: Print: /tmp/before.pdf -> Rejected"),
                                              QStringLiteral("print: Print: /tmp/before.pdf -> Accepted")}));
}

void TestModal::autoAnswerLine_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("line");
    QTest::newRow("second copy") << QStringLiteral("Warn") << QStringLiteral("Device already opened.")
                                 << QStringLiteral("modal: Warn: Device already opened.");
    QTest::newRow("line breaks folded") << QStringLiteral("Error") << QStringLiteral("a\nb\r\nc")
                                        << QStringLiteral("modal: Error: a b c");
    QTest::newRow("non-ASCII") << QStringLiteral("information")
                               << QStringLiteral("Failed to read \u25B3E parameter information!")
                               << QStringLiteral("modal: information: Failed to read \u25B3E parameter information!");
}

void TestModal::autoAnswerLine()
{
    QFETCH(QString, title);
    QFETCH(QString, text);
    QFETCH(QString, line);
    QCOMPARE(AutoAnswerModal::formatLine(title, text), line);
}

void TestModal::autoAnswerGivesSafeAnswers()
{
    QStringList lines;
    AutoAnswerModal handler([&lines](const QString &line) { lines.append(line); });
    ModalHandler *const previous = Modal::setHandler(&handler);

    Modal::information(nullptr, QStringLiteral("Information"), QStringLiteral("done"));
    QCOMPARE(Modal::question(nullptr, QStringLiteral("Colorimeter"), QStringLiteral("save first?"),
                             QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes),
             QMessageBox::Yes);
    QCOMPARE(Modal::question(nullptr, QStringLiteral("Colorimeter"), QStringLiteral("no default"),
                             QMessageBox::Yes | QMessageBox::No),
             QMessageBox::No);
    QCOMPARE(Modal::getOpenFileName(nullptr, QStringLiteral("Open")), QString());
    NameDialog dialog;
    dialog.edit->setText(QStringLiteral("filled"));
    QCOMPARE(Modal::exec(&dialog), int(QDialog::Rejected));
    QVERIFY(dialog.name.isEmpty());
    {
        ModalProgress progress(QStringLiteral("busy"), QStringLiteral("cancel"), 0, 2);
        progress.setValue(2);
        QVERIFY(!progress.wasCanceled());
        QCOMPARE(progress.value(), 2);
    }
    QPrinter printer;
    QCOMPARE(Modal::print(&printer, nullptr), int(QDialog::Rejected));
    Modal::setHandler(previous);

    QCOMPARE(lines.size(), 6);
    QCOMPARE(lines.at(5), QStringLiteral("modal: Print: print"));
    QCOMPARE(lines.at(0), QStringLiteral("modal: Information: done"));
    QCOMPARE(lines.at(1), QStringLiteral("modal: Colorimeter: save first?"));
}

void TestModal::environmentHookWritesToStderr()
{
    ModalHandler *const original = Modal::handler();
    qunsetenv("COLORIMETER_TEST_AUTOANSWER");
    QVERIFY(!Modal::installFromEnvironment());
    QCOMPARE(Modal::handler(), original);

    qputenv("COLORIMETER_TEST_AUTOANSWER", "1");
    QVERIFY(Modal::installFromEnvironment());
    qunsetenv("COLORIMETER_TEST_AUTOANSWER");
    QVERIFY(dynamic_cast<AutoAnswerModal *>(Modal::handler()));

    // Catch what the handler writes to file descriptor 2.
    QTemporaryFile capture;
    QVERIFY(capture.open());
    fflush(stderr);
    const int saved = ::dup(STDERR_FILENO);
    ::dup2(capture.handle(), STDERR_FILENO);
    Modal::warning(nullptr, QStringLiteral("Warn"), QStringLiteral("Device already opened."));
    fflush(stderr);
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
    Modal::setHandler(nullptr);

    QFile written(capture.fileName());
    QVERIFY(written.open(QIODevice::ReadOnly));
    QCOMPARE(written.readAll(), QByteArray("modal: Warn: Device already opened.\n"));
}

void TestModal::saveDialogTellsTheChosenFilter()
{
    const QString filters = QStringLiteral("excel file (*.xls);;excel file (*.xlsx)");
    ScriptedModal modal;
    modal.answerSaveFile(QStringLiteral("/tmp/a"), QStringLiteral("excel file (*.xlsx)"));
    modal.answerSaveFile(QStringLiteral("/tmp/b")); // no choice made: the preselected entry stays
    modal.answerSaveFile(QStringLiteral("/tmp/c"), QStringLiteral("excel file (*.xlsx)"));
    QString chosen = QStringLiteral("excel file (*.xls)");
    QCOMPARE(Modal::getSaveFileName(nullptr, QStringLiteral("Save"), QString(), filters, &chosen),
             QStringLiteral("/tmp/a"));
    QCOMPARE(chosen, QStringLiteral("excel file (*.xlsx)"));
    chosen = QStringLiteral("excel file (*.xls)");
    QCOMPARE(Modal::getSaveFileName(nullptr, QStringLiteral("Save"), QString(), filters, &chosen),
             QStringLiteral("/tmp/b"));
    QCOMPARE(chosen, QStringLiteral("excel file (*.xls)"));
    // The plain call takes the next answer and its filter with it, so later answers stay in step.
    QCOMPARE(Modal::getSaveFileName(nullptr, QStringLiteral("Save"), QString(), filters), QStringLiteral("/tmp/c"));
    QCOMPARE(modal.pendingAnswers(), 0);
    QCOMPARE(modal.calls(ModalKind::SaveFileName).at(0).filter, filters);

    // A handler that knows nothing of filters leaves the choice as it was.
    AutoAnswerModal quiet([](const QString &) {});
    ModalHandler *previous = Modal::setHandler(&quiet);
    chosen = QStringLiteral("excel file (*.xls)");
    QCOMPARE(Modal::getSaveFileName(nullptr, QStringLiteral("Save"), QString(), filters, &chosen), QString());
    QCOMPARE(chosen, QStringLiteral("excel file (*.xls)"));
    Modal::setHandler(previous);
}

QTEST_MAIN(TestModal)
#include "tst_modal.moc"
