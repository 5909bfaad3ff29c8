// The program as tst_historyprocess drives it: the window, the page and the history built as the
// program builds them, over the virtual instrument, with the history in the data folder the
// environment gives. It measures, prints the table, and then does what it is told:
//
//   history_child measure <n>        measure n pairs, print, wait (to be killed)
//   history_child clear <n>          the same, then Clear, then wait
//   history_child export <n> <file>  the same, then export the table to file, then wait
//   history_child close-anyway <n>   measure, print, close the window answering "Close anyway"
//   history_child start              start (the offer is answered by the test hook), print, end
//   history_child sent               start, wait until the history server has every row, print
//                                    "sent <place of the chain>" (or "not sent"), end
//
// COLORIMETER_TEST_DESK gives the desk's identity (machine id and login name), so that two
// children on one machine are two desks of a laboratory.
#include "cprotocol.h"
#include "firstpagefortesk.h"
#include "hidaccess.h"
#include "historycontroller.h"
#include "historysender.h"
#include "mainwindow.h"
#include "modal.h"
#include "scriptedmodal.h"
#include "testsupport.h"
#include "virtualinstrument.h"

#include <QApplication>
#include <QPushButton>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>

#include <cstdio>

namespace {

void print(const QString &line)
{
    std::fputs(line.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// Every cell of every row, and the counters, as the test compares them.
void printTable(FirstPageForTesk *page)
{
    const QAbstractItemModel *table = page->measurementModel();
    for (int r = 0; r < table->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < FirstPageForTesk::ColumnCount; ++c)
            cells << table->index(r, c).data().toString();
        print(QStringLiteral("row: ") + cells.join(QLatin1Char('|')));
    }
    print(QStringLiteral("counters: %1 %2 %3 %4")
              .arg(page->ngCount)
              .arg(page->passCount)
              .arg(page->totalCount)
              .arg(page->testCounter));
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // The program's data folder, whatever this executable is called.
    QCoreApplication::setApplicationName(QStringLiteral("colorimeter"));
    Modal::installFromEnvironment();
    const QStringList args = app.arguments();
    const QString mode = args.value(1);
    const int pairs = args.value(2).toInt();

    CProtocol::setWaitScaleForTests(0.05);
    VirtualInstrument instrument;
    hidaccess::setDefaultBackend(&instrument);
    MainWindow *window = MainWindow::instance();
    FirstPageForTesk *page = window->page;
    auto *history = new HistoryController(window, page, window);
    if (qEnvironmentVariableIsSet("COLORIMETER_TEST_DESK")) {
        HistoryIdentity identity = HistoryIdentity::ofThisDesk();
        identity.desk = qEnvironmentVariable("COLORIMETER_TEST_DESK");
        history->store().setIdentity(identity);
    }
    // The server's line in the top bar, and the "History location..." button.
    QObject::connect(history, &HistoryController::serverStatusChanged, window, &MainWindow::setHistoryStatus);
    QObject::connect(window, &MainWindow::historyLocationRequested, history, &HistoryController::editLocation);
    history->start();
    window->show();

    int rc = 0;
    if (mode == QLatin1String("start")) {
        printTable(page);
    } else if (mode == QLatin1String("sent")) {
        printTable(page);
        HistorySender *sender = history->sender();
        QElapsedTimer clock;
        clock.start();
        while (sender && clock.elapsed() < 30000
               && !(sender->status().state == HistorySenderStatus::State::UpToDate && sender->status().waitingRows == 0
                    && sender->status().confirmedSeq == history->store().chainHead().count)) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
            QThread::msleep(20);
        }
        if (sender && sender->status().confirmedSeq == history->store().chainHead().count)
            print(QStringLiteral("sent %1").arg(sender->status().confirmedSeq));
        else
            print(QStringLiteral("not sent"));
    } else {
        testsupport::measure(page, &instrument, 1, 50, 10, -20);
        for (int i = 0; i < pairs; ++i)
            testsupport::measure(page, &instrument, 2, 50.5 + i * 0.5, 10 + i, -20 + (i % 3));
        printTable(page);
        if (mode == QLatin1String("clear"))
            page->on_ClearBtn_clicked();
        if (mode == QLatin1String("export")) {
            ScriptedModal modal;
            modal.answerSaveFile(args.value(3));
            if (!page->exportTable())
                print(QStringLiteral("export failed"));
        }
        if (mode == QLatin1String("close-anyway")) {
            ScriptedModal modal;
            modal.answerQuestion(QMessageBox::Discard);
            QTimer::singleShot(0, window, &QWidget::close);
            rc = app.exec();
            print(QStringLiteral("closed"));
        } else {
            print(QStringLiteral("ready"));
            rc = app.exec(); // until killed
        }
    }
    MainWindow::destroyInstance();
    hidaccess::setDefaultBackend(nullptr);
    return rc;
}
