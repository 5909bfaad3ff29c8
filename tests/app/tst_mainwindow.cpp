// The main window against the virtual instrument: the lamp and the link across start, failed
// open, arrivals and removals; the language switch; the form's object names; the drag filter.
#include "appinit.h"
#include "applook.h"
#include "batchwindow.h"
#include "cprotocol.h"
#include "demopanel.h"
#include "linklock.h"
#include "devicewatcher.h"
#include "firstpagefortesk.h"
#include "hidaccess.h"
#include "mainwindow.h"
#include "scriptedmodal.h"
#include "seteparameterpagefortesk.h"
#include "testsupport.h"
#include "virtualinstrument.h"

#include <QDialogButtonBox>
#include <QEventLoop>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QScreen>
#include <QStackedWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QSignalSpy>
#include <QtTest>

namespace {

bool lampIs(MainWindow *w, const char *image)
{
    const auto *label = w->findChild<QLabel *>(QStringLiteral("LinkStatusLabel"));
    return label && label->pixmap().toImage() == QPixmap(QString::fromLatin1(image)).toImage()
           && label->alignment() == (Qt::AlignHCenter | Qt::AlignVCenter);
}

bool connected(MainWindow *w)
{
    return w->isLinkOpen() && lampIs(w, ":/image/led_on.png");
}

bool disconnected(MainWindow *w)
{
    return !w->link && !w->isLinkOpen() && lampIs(w, ":/image/led_off.png");
}

using testsupport::LogCapture;
using testsupport::measurementRequests;

// Every button of the main window and the page, and how a click on it shows that its handler
// ran. The data-exchange buttons get their handlers with the transfers: until then they are
// pending.
struct ButtonRow
{
    const char *name;
    const char *effect; // "message", "language", "clear", "pending", "window", "history", "location"
};
const ButtonRow kButtons[] = {
    {"btnLanguageEn", "language"},
    {"btnLanguageZh", "language"},
    {"stdmeasurementBtn", "message"},
    {"samplemeasurementBtn", "message"},
    {"readparameterBtn", "message"},
    {"writeparameterBtn", "message"},
    {"ClearBtn", "clear"},
    {"readMyColorBtn", "message"},
    {"writeMyColorBtn", "message"},
    {"readcolordifrecordBtn", "message"},
    {"writeStdColorBtn", "message"},
    {"ExportExcelBtn", "pending"},
    {"ImportExcelBtn", "pending"},
    {"BatchBtn", "window"},
    {"HistoryBtn", "history"},
    {"btnHistoryLocation", "location"},
};

} // namespace

class tst_MainWindow : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void objectNames();
    void startsConnected();
    void startsDisconnectedAndConnectsOnArrival();
    void arrivalsAndRemovals();
    void replugWhileAFlowHoldsTheLinkLock();
    void failedOpens_data();
    void failedOpens();
    void languages();
    void pollNoticesPlugAndUnplug();
    void dragFilter_data();
    void dragFilter();
    void releaseEndsDragStartedElsewhere();

    // Lost or phantom rows
    void escapeKeepsTheWindow_data();
    void escapeKeepsTheWindow();
    void heldEnterMeasuresOnce();
    void unplugDropsWhatBelongedToTheInstrument();

    // Window and languages
    void failedLoadKeepsTheLanguage();
    void titleSurvivesTheLanguageSwitch();
    void qtOwnButtonsFollowTheLanguage();
    void demoPanelBesideTheWindow_data();
    void demoPanelBesideTheWindow();
    void tableColumnsFitBesideThePanel_data();
    void tableColumnsFitBesideThePanel();
    void noSlotWithoutItsSignal();
    void everyButtonIsListed();
    void everyButtonReachesItsHandler_data();
    void everyButtonReachesItsHandler();

private:
    MainWindow *createWindow();
    // Puts the translation files into a fresh working directory (only the languages given).
    void useTranslations(const QStringList &languages);
    QString oldCurrent;
    std::unique_ptr<QTemporaryDir> qmDir;

    VirtualInstrument *vi = nullptr;
};

void tst_MainWindow::init()
{
    vi = new VirtualInstrument;
    hidaccess::setDefaultBackend(vi);
}

void tst_MainWindow::cleanup()
{
    MainWindow::destroyInstance();
    hidaccess::setDefaultBackend(nullptr);
    delete vi;
    CProtocol::setWaitScaleForTests(1.0);
    if (qmDir) {
        QVERIFY(QDir::setCurrent(oldCurrent));
        qmDir.reset();
    }
}

void tst_MainWindow::useTranslations(const QStringList &languages)
{
    oldCurrent = QDir::currentPath();
    qmDir = std::make_unique<QTemporaryDir>();
    QVERIFY(QDir::setCurrent(qmDir->path()));
    for (const QString &language : languages) {
        const QString name = QStringLiteral("Pelmo_%1.qm").arg(language);
        QVERIFY(QFile::copy(QStringLiteral(COLORIMETER_QM_DIR "/") + name, qmDir->filePath(name)));
    }
}

MainWindow *tst_MainWindow::createWindow()
{
    MainWindow *w = MainWindow::instance();
    // As main does: the virtual instrument reports through the window's device watcher.
    connect(vi, &VirtualInstrument::pluggedIn, w->deviceWatcher(), &DeviceWatcher::reportArrival);
    connect(vi, &VirtualInstrument::unplugged, w->deviceWatcher(), &DeviceWatcher::reportRemoval);
    return w;
}

void tst_MainWindow::objectNames()
{
    MainWindow *w = createWindow();
    QCOMPARE(w->objectName(), QStringLiteral("MainWindow"));
    QVERIFY(w->findChild<QGridLayout *>(QStringLiteral("gridLayout")));
    auto *en = w->findChild<QPushButton *>(QStringLiteral("btnLanguageEn"));
    auto *zh = w->findChild<QPushButton *>(QStringLiteral("btnLanguageZh"));
    auto *stack = w->findChild<QStackedWidget *>(QStringLiteral("stackedWidget"));
    QVERIFY(en && zh && stack);
    QCOMPARE(en->text(), QStringLiteral("English"));
    QCOMPARE(zh->text(), QStringLiteral("中文"));
    QCOMPARE(en->focusPolicy(), Qt::NoFocus);
    QCOMPARE(stack->currentWidget(), static_cast<QWidget *>(w->page));
    auto *grid = w->findChild<QGridLayout *>(QStringLiteral("gridLayout"));
    QCOMPARE(grid->rowStretch(1), 30);
    QCOMPARE(grid->columnStretch(1), 30);
    QVERIFY(w->styleSheet().startsWith(QStringLiteral("QComboBox::drop-down")));
}

void tst_MainWindow::startsConnected()
{
    MainWindow *w = createWindow();
    QVERIFY(connected(w));
    QCOMPARE(LinkPort::current(), static_cast<LinkPort *>(w));
}

void tst_MainWindow::startsDisconnectedAndConnectsOnArrival()
{
    vi->unplug();
    MainWindow *w = createWindow();
    QVERIFY(disconnected(w));
    vi->plug();
    QVERIFY(connected(w));
}

void tst_MainWindow::arrivalsAndRemovals()
{
    MainWindow *w = createWindow();
    QVERIFY(connected(w));
    CLinker *first = w->link;

    // Some other device goes: the instrument still answers, the link stays.
    w->deviceWatcher()->reportRemoval();
    QVERIFY(connected(w));
    QCOMPARE(w->link, first);

    // Some device arrives while connected: nothing happens.
    w->deviceWatcher()->reportArrival();
    QCOMPARE(w->link, first);

    // The instrument goes: lamp off, link gone, worker stopped.
    vi->unplug();
    QVERIFY(disconnected(w));

    // And comes back: a fresh link, the lamp on again.
    vi->plug();
    QVERIFY(connected(w));
    QVERIFY(w->link != nullptr);
}

void tst_MainWindow::replugWhileAFlowHoldsTheLinkLock()
{
    MainWindow *w = createWindow();
    QVERIFY(connected(w));
    QTest::qWait(60); // the worker polls
    const qint64 overlapping = vi->overlappingHostCalls();

    // A flow holds the link lock in a nested event loop (its dialog) while the instrument is
    // unplugged and plugged back.
    {
        QMutexLocker flowLock(&linkLock());
        QEventLoop dialog;
        bool linkWhileHeld = true;
        QTimer::singleShot(30, this, [this] { vi->unplug(); });
        QTimer::singleShot(80, this, [this] { vi->plug(); });
        QTimer::singleShot(300, this, [&] {
            linkWhileHeld = w->link != nullptr;
            dialog.quit();
        });
        QTimer::singleShot(5000, &dialog, &QEventLoop::quit); // a hang fails, not hangs
        dialog.exec();
        // Not reopened under the flow's hold: it resumes to no link, and its commands say so.
        QVERIFY(!linkWhileHeld);
        QVERIFY(disconnected(w));
        int version = 0;
        QCOMPARE(CProtocol::instance()->readFirmwareVersion(&version), -1);
    }
    // Released: the instrument is opened and polled again.
    QTRY_VERIFY_WITH_TIMEOUT(connected(w), 2000);
    QTest::qWait(60);
    int version = 0;
    {
        QMutexLocker lock(&linkLock());
        QCOMPARE(CProtocol::instance()->readFirmwareVersion(&version), 1);
    }
    // Never did two threads use the link at once.
    QCOMPARE(vi->overlappingHostCalls(), overlapping);
}

void tst_MainWindow::failedOpens_data()
{
    QTest::addColumn<int>("error");
    QTest::addColumn<int>("messages");
    QTest::newRow("in use elsewhere: silent") << int(hidaccess::OpenError::InUse) << 0;
    QTest::newRow("permission denied: told once per arrival")
        << int(hidaccess::OpenError::PermissionDenied) << 1;
}

void tst_MainWindow::failedOpens()
{
    QFETCH(int, error);
    QFETCH(int, messages);
    ScriptedModal modal;
    vi->setOpenError(hidaccess::OpenError(error));
    MainWindow *w = createWindow();
    QVERIFY(disconnected(w));
    QCOMPARE(modal.calls().size(), messages);
    if (messages)
        QVERIFY(modal.calls().first().text.contains(QStringLiteral("70-colorimeter.rules"))
                && modal.calls().first().text.contains(QStringLiteral("udevadm trigger")));

    // Unplug and plug again: one more attempt, one more message where one is due.
    vi->unplug();
    vi->plug();
    QVERIFY(disconnected(w));
    QCOMPARE(modal.calls().size(), 2 * messages);

    // Once the obstacle is gone, the next arrival connects.
    vi->setOpenError(hidaccess::OpenError::None);
    w->deviceWatcher()->reportArrival();
    QVERIFY(connected(w));
}

void tst_MainWindow::languages()
{
    QTemporaryDir dir;
    const QString old = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    MainWindow *w = createWindow();
    auto *en = w->findChild<QPushButton *>(QStringLiteral("btnLanguageEn"));
    auto *zh = w->findChild<QPushButton *>(QStringLiteral("btnLanguageZh"));

    // No translation file in reach: nothing changes.
    w->page->isChinese = true;
    QTest::mouseClick(en, Qt::LeftButton);
    QVERIFY(w->page->isChinese);

    // With the files in the working directory, each button switches.
    QVERIFY(QFile::copy(QStringLiteral(COLORIMETER_QM_DIR "/Pelmo_en.qm"), dir.filePath("Pelmo_en.qm")));
    QVERIFY(QFile::copy(QStringLiteral(COLORIMETER_QM_DIR "/Pelmo_zh.qm"), dir.filePath("Pelmo_zh.qm")));
    QTest::mouseClick(en, Qt::LeftButton);
    QVERIFY(!w->page->isChinese);
    QTest::mouseClick(zh, Qt::LeftButton);
    QVERIFY(w->page->isChinese);
    QCOMPARE(QCoreApplication::translate("FirstPageForTesk", "Normal"), QStringLiteral("正常"));
    QTest::mouseClick(en, Qt::LeftButton);
    QCOMPARE(QCoreApplication::translate("FirstPageForTesk", "Normal"), QStringLiteral("Normal"));
    QVERIFY(QDir::setCurrent(old));
}

void tst_MainWindow::pollNoticesPlugAndUnplug()
{
    DeviceWatcher watcher(0x2047, 0x0301);
    QCOMPARE(watcher.start(DeviceWatcher::Source::Poll), DeviceWatcher::Source::Poll);
    QSignalSpy arrived(&watcher, &DeviceWatcher::deviceArrived);
    QSignalSpy removed(&watcher, &DeviceWatcher::deviceRemoved);
    vi->unplug();
    QVERIFY(removed.wait(3000));
    QCOMPARE(arrived.count(), 0);
    vi->plug();
    QVERIFY(arrived.wait(3000));
    QCOMPARE(removed.count(), 1);
}

void tst_MainWindow::dragFilter_data()
{
    QTest::addColumn<bool>("canMove");
    QTest::addColumn<int>("button");
    QTest::addColumn<bool>("consumed");
    QTest::addColumn<bool>("moves");
    QTest::newRow("canMove, left button") << true << int(Qt::LeftButton) << true << true;
    QTest::newRow("canMove, right button") << true << int(Qt::RightButton) << false << false;
    QTest::newRow("no property") << false << int(Qt::LeftButton) << false << false;
}

void tst_MainWindow::dragFilter()
{
    QFETCH(bool, canMove);
    QFETCH(int, button);
    QFETCH(bool, consumed);
    QFETCH(bool, moves);
    QWidget widget;
    widget.move(100, 100);
    if (canMove)
        widget.setProperty("canMove", true);
    AppInit *filter = AppInit::instance();
    const QPointF pressAt(110, 120);
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(10, 20), pressAt, Qt::MouseButton(button),
                      Qt::MouseButton(button), Qt::NoModifier);
    QCOMPARE(filter->eventFilter(&widget, &press), consumed);
    QMouseEvent move(QEvent::MouseMove, QPointF(10, 20), QPointF(150, 170), Qt::NoButton,
                     Qt::MouseButton(button), Qt::NoModifier);
    QCOMPARE(filter->eventFilter(&widget, &move), moves);
    // The pressed point stays under the cursor.
    QCOMPARE(widget.pos(), moves ? QPoint(140, 150) : QPoint(100, 100));
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(10, 20), QPointF(150, 170),
                        Qt::MouseButton(button), Qt::NoButton, Qt::NoModifier);
    QCOMPARE(filter->eventFilter(&widget, &release), canMove);
}

void tst_MainWindow::releaseEndsDragStartedElsewhere()
{
    QWidget a, b;
    a.setProperty("canMove", true);
    b.setProperty("canMove", true);
    AppInit *filter = AppInit::instance();
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(1, 1), QPointF(1, 1), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QVERIFY(filter->eventFilter(&a, &press));
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(1, 1), QPointF(1, 1), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QVERIFY(filter->eventFilter(&b, &release));
    // The drag is over: a move with a button held no longer moves a.
    const QPoint before = a.pos();
    QMouseEvent move(QEvent::MouseMove, QPointF(1, 1), QPointF(50, 50), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QVERIFY(!filter->eventFilter(&a, &move));
    QCOMPARE(a.pos(), before);
}

// ---- lost or phantom rows ------------------------------------------------------------------------

void tst_MainWindow::escapeKeepsTheWindow_data()
{
    QTest::addColumn<QString>("target");
    QTest::newRow("the window") << "window";
    QTest::newRow("the table") << "tbData";
    QTest::newRow("a scan button") << "stdmeasurementBtn";
}

void tst_MainWindow::escapeKeepsTheWindow()
{
    QFETCH(QString, target);
    MainWindow *w = createWindow();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    MeasurementRecord record;
    record.testName = QStringLiteral("Kept");
    w->page->appendRow(record);
    QWidget *receiver = target == "window" ? static_cast<QWidget *>(w) : w->findChild<QWidget *>(target);
    QVERIFY(receiver);
    QTest::keyClick(receiver, Qt::Key_Escape);
    QCoreApplication::processEvents();
    QVERIFY(w->isVisible());
    QCOMPARE(w->result(), 0);
    QCOMPARE(w->page->rowCount(), 1);
}

void tst_MainWindow::heldEnterMeasuresOnce()
{
    CProtocol::setWaitScaleForTests(0.1);
    MainWindow *w = createWindow();
    QVERIFY(connected(w));
    w->show();
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w));
    vi->queueMeasurement(VirtualInstrument::measurementFromLab(50, 0, 0));
    QTest::mouseClick(w->findChild<QPushButton *>(QStringLiteral("stdmeasurementBtn")), Qt::LeftButton);

    auto *sample = w->findChild<QPushButton *>(QStringLiteral("samplemeasurementBtn"));
    sample->setFocus();
    QVERIFY(sample->hasFocus());
    const int requestsBefore = measurementRequests(vi);
    // Enter held down: the first press, then the repeats the keyboard sends meanwhile.
    for (int i = 0; i < 10; ++i)
        QCoreApplication::postEvent(sample, new QKeyEvent(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, "\r", true));
    vi->queueMeasurement(VirtualInstrument::measurementFromLab(50.5, 0, 0));
    QTest::keyPress(sample, Qt::Key_Return);
    for (int i = 0; i < 10; ++i)
        QCoreApplication::postEvent(sample, new QKeyEvent(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, "\r", true));
    QTest::qWait(50);
    QTest::keyRelease(sample, Qt::Key_Return);
    QCoreApplication::processEvents();

    QCOMPARE(measurementRequests(vi), requestsBefore + 1);
    QCOMPARE(w->page->rowCount(), 1);
    QCOMPARE(testsupport::cellText(testsupport::measurementTable(w->page), 0, 8), QStringLiteral("50.50"));
    QCOMPARE(w->page->totalCount, 1);
}

void tst_MainWindow::unplugDropsWhatBelongedToTheInstrument()
{
    MainWindow *w = createWindow();
    QVERIFY(connected(w));
    QCOMPARE(w->page->deviceName, QStringLiteral("VC-3001"));
    // A pushed frame cut off by the cable.
    QByteArray cut = QByteArray::fromHex("ab4400000000360028");
    cut.append(20, '\x05');
    w->page->SaveData(cut);
    QVERIFY(!w->page->receiveBuffer.isEmpty());
    vi->unplug();
    QVERIFY(disconnected(w));
    QVERIFY(w->page->receiveBuffer.isEmpty());
    QCOMPARE(w->page->deviceName, QString());
    QCOMPARE(w->page->findChild<QLineEdit *>(QStringLiteral("formulaEdit"))->text(), QString());
    QCOMPARE(w->page->findChild<QLineEdit *>(QStringLiteral("ThresholdsEdit"))->text(), QString());
    vi->plug();
    QVERIFY(connected(w));
    QCOMPARE(w->page->deviceName, QStringLiteral("VC-3001"));
    QCOMPARE(w->page->findChild<QLineEdit *>(QStringLiteral("ThresholdsEdit"))->text(), QStringLiteral("1.5"));
}

// ---- window and languages -------------------------------------------------------------------------

void tst_MainWindow::failedLoadKeepsTheLanguage()
{
    useTranslations({QStringLiteral("zh")}); // no English file
    ScriptedModal modal;
    MainWindow *w = createWindow();
    QVERIFY(w->page->isChinese);
    const QString ng = QCoreApplication::translate("FirstPageForTesk", "NG");
    QCOMPARE(ng, QStringLiteral("不合格"));
    MeasurementRecord record;
    record.testName = QStringLiteral("Comp1");
    record.verdict = ng;
    w->page->appendRow(record);
    w->page->ngCount = w->page->totalCount = 1;

    QTest::mouseClick(w->findChild<QPushButton *>(QStringLiteral("btnLanguageEn")), Qt::LeftButton);
    QVERIFY(w->page->isChinese);
    QCOMPARE(QCoreApplication::translate("FirstPageForTesk", "NG"), QStringLiteral("不合格"));
    QCOMPARE(w->findChild<QPushButton *>(QStringLiteral("stdmeasurementBtn"))->text(),
             QCoreApplication::translate("FirstPageForTesk", "Scan Standard"));

    // The Chinese NG row still counts as NG when it goes.
    testsupport::clickRowButton(w->page, 0, FirstPageForTesk::ColDelete);
    QCOMPARE(w->page->ngCount, 0);
    QCOMPARE(w->page->totalCount, 0);
    QCOMPARE(w->findChild<QLineEdit *>(QStringLiteral("TotalnumEdit"))->text(), QStringLiteral("0"));
}

void tst_MainWindow::titleSurvivesTheLanguageSwitch()
{
    useTranslations({QStringLiteral("en"), QStringLiteral("zh")});
    MainWindow *w = createWindow();
    w->setWindowTitle(QStringLiteral("Colorimeter V1.3"));
    for (const char *button : {"btnLanguageEn", "btnLanguageZh", "btnLanguageEn"}) {
        QTest::mouseClick(w->findChild<QPushButton *>(QString::fromLatin1(button)), Qt::LeftButton);
        QCOMPARE(w->windowTitle(), QStringLiteral("Colorimeter V1.3"));
    }
}

void tst_MainWindow::qtOwnButtonsFollowTheLanguage()
{
    useTranslations({QStringLiteral("en"), QStringLiteral("zh")});
    MainWindow *w = createWindow();
    auto texts = [] {
        QDialogButtonBox box(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Yes);
        return QStringList{box.button(QDialogButtonBox::Ok)->text(), box.button(QDialogButtonBox::Cancel)->text(),
                           box.button(QDialogButtonBox::Yes)->text()};
    };
    QVERIFY(w->page->isChinese);
    QCOMPARE(texts(), (QStringList{"确定", "取消", "是(&Y)"}));
    QTest::mouseClick(w->findChild<QPushButton *>(QStringLiteral("btnLanguageEn")), Qt::LeftButton);
    QCOMPARE(texts(), (QStringList{"OK", "Cancel", "&Yes"}));
    QTest::mouseClick(w->findChild<QPushButton *>(QStringLiteral("btnLanguageZh")), Qt::LeftButton);
    QCOMPARE(texts(), (QStringList{"确定", "取消", "是(&Y)"}));
}

void tst_MainWindow::demoPanelBesideTheWindow_data()
{
    QTest::addColumn<QString>("language");
    QTest::newRow("English") << "btnLanguageEn";
    QTest::newRow("Chinese") << "btnLanguageZh";
}

void tst_MainWindow::demoPanelBesideTheWindow()
{
    QFETCH(QString, language);
    useTranslations({QStringLiteral("en"), QStringLiteral("zh")});
    MainWindow *w = createWindow();
    // As main shows them.
    w->setWindowState(Qt::WindowMaximized);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    auto *panel = new DemoPanel(vi, w);
    panel->show();
    panel->placeBeside(w);
    const QRect area = w->screen()->availableGeometry();
    auto besideAndOnScreen = [&] {
        return area.contains(panel->frameGeometry()) && !panel->frameGeometry().intersects(w->frameGeometry())
               && area.contains(w->frameGeometry());
    };
    auto where = [&] {
        QString text;
        QDebug(&text) << "panel" << panel->frameGeometry() << "window" << w->frameGeometry() << "screen" << area
                      << "window minimum" << w->minimumSizeHint();
        return text;
    };
    QVERIFY2(besideAndOnScreen(), qPrintable(where()));
    // The other language (and back) keeps it so.
    for (const QString &button : {language, language == "btnLanguageEn" ? QStringLiteral("btnLanguageZh") : QStringLiteral("btnLanguageEn")}) {
        QTest::mouseClick(w->findChild<QPushButton *>(button), Qt::LeftButton);
        QTest::qWait(20);
        QTRY_VERIFY2(besideAndOnScreen(), qPrintable(where()));
    }
}

void tst_MainWindow::tableColumnsFitBesideThePanel_data()
{
    QTest::addColumn<QString>("screen");
    QTest::addColumn<QString>("language");
    for (const char *screen : {"laptop", "small", "wide"})
        for (const char *language : {"btnLanguageEn", "btnLanguageZh"})
            QTest::newRow(qPrintable(QStringLiteral("%1, %2").arg(screen, language))) << screen << language;
}

void tst_MainWindow::tableColumnsFitBesideThePanel()
{
    QFETCH(QString, screen);
    QFETCH(QString, language);
    QScreen *target = nullptr;
    for (QScreen *s : QGuiApplication::screens())
        if (s->name() == screen)
            target = s;
    QVERIFY(target);
    useTranslations({QStringLiteral("en"), QStringLiteral("zh")});
    // The program's own look: its style sheet and its larger font.
    applyApplicationLook(*qApp);
    MainWindow *w = createWindow();
    w->setScreen(target);
    w->move(target->availableGeometry().topLeft());
    w->setWindowState(Qt::WindowMaximized);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    auto *panel = new DemoPanel(vi, w);
    panel->setScreen(target);
    panel->show();
    panel->placeBeside(w);
    QTest::mouseClick(w->findChild<QPushButton *>(language), Qt::LeftButton);
    auto *table = w->page->findChild<QTableView *>(QStringLiteral("tbData"));
    auto overflow = [table] {
        int sum = 0;
        for (int c = 0; c < table->model()->columnCount(); ++c)
            if (!table->isColumnHidden(c))
                sum += table->columnWidth(c);
        return sum - table->viewport()->width();
    };
    for (int rows = 0; rows < 60; ++rows) {
        MeasurementRecord record;
        record.sequence = rows + 1;
        record.testName = QStringLiteral("Comp%1").arg(rows + 1);
        record.timeText = QStringLiteral("2026/12/08  09:28");
        record.verdict = QCoreApplication::translate("FirstPageForTesk", "PASS");
        w->page->appendRow(record);
        QCoreApplication::processEvents();
        // Without and, from some row on, with the vertical scroll bar: never a horizontal one.
        QVERIFY2(table->horizontalScrollBar()->maximum() == 0,
                 qPrintable(QStringLiteral("row %1: columns %2 px wider than the view %3 px, vertical bar %4")
                                .arg(rows + 1).arg(overflow()).arg(table->viewport()->width())
                                .arg(table->verticalScrollBar()->isVisible())));
    }
    QVERIFY(table->verticalScrollBar()->isVisible());
    QVERIFY2(overflow() <= 0, qPrintable(QString::number(overflow())));
    // The same rows in one batch (an import) on an emptied table.
    QList<MeasurementRecord> batch;
    for (int r = 0; r < w->page->rowCount(); ++r)
        batch << w->page->rowRecord(r);
    w->page->on_ClearBtn_clicked();
    QCoreApplication::processEvents();
    w->page->appendRows(batch);
    QCoreApplication::processEvents();
    QVERIFY(table->verticalScrollBar()->isVisible());
    QCOMPARE(table->horizontalScrollBar()->maximum(), 0);
    QVERIFY2(overflow() <= 0, qPrintable(QString::number(overflow())));
    qApp->setStyleSheet(QString());
    qApp->setFont(QFont());
    qApp->setPalette(QPalette());
}

void tst_MainWindow::noSlotWithoutItsSignal()
{
    QStringList warnings;
    {
        LogCapture capture(LogCapture::WarningsOnly);
        MainWindow *w = createWindow();
        setEParameterPageForTesk dialog(w->page);
        warnings = LogCapture::lines();
    }
    QCOMPARE(warnings.filter(QStringLiteral("connectSlotsByName")), QStringList());
}

void tst_MainWindow::everyButtonIsListed()
{
    MainWindow *w = createWindow();
    QStringList listed;
    for (const ButtonRow &row : kButtons)
        listed << QString::fromLatin1(row.name);
    for (QAbstractButton *button : w->findChildren<QAbstractButton *>()) {
        if (button->objectName().isEmpty())
            continue; // the row buttons' look (never shown): the rows' buttons are drawn, tested below
        QVERIFY2(listed.contains(button->objectName()), qPrintable(button->objectName() + " has no row"));
    }
}

void tst_MainWindow::everyButtonReachesItsHandler_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("effect");
    for (const ButtonRow &row : kButtons)
        QTest::newRow(row.name) << QString::fromLatin1(row.name) << QString::fromLatin1(row.effect);
    QTest::newRow("a row's Delete") << "Delete" << "row";
    QTest::newRow("a row's Report") << "Report" << "row";
}

void tst_MainWindow::everyButtonReachesItsHandler()
{
    QFETCH(QString, name);
    QFETCH(QString, effect);
    useTranslations({QStringLiteral("en"), QStringLiteral("zh")});
    vi->unplug(); // every instrument action then says so
    ScriptedModal modal;
    MainWindow *w = createWindow();
    FirstPageForTesk *page = w->page;

    if (effect == "pending") {
        const QByteArray slot = "on_" + name.toLatin1() + "_clicked()";
        if (page->metaObject()->indexOfSlot(slot.constData()) < 0)
            QSKIP("pending: its handler comes with the data exchange");
        // Without an instrument or a table, every transfer says something or asks for a file.
        w->findChild<QPushButton *>(name)->click();
        QVERIFY2(!modal.calls().isEmpty(), "the handler said nothing");
        return;
    }
    if (effect == "row") {
        MeasurementRecord record;
        record.testName = QStringLiteral("Row");
        page->appendRow(record);
        testsupport::clickRowButton(page, 0, name == "Delete" ? FirstPageForTesk::ColDelete : FirstPageForTesk::ColReport);
        if (name == "Delete")
            QCOMPARE(page->rowCount(), 0);
        else
            QCOMPARE(page->reportSource.testName, QStringLiteral("Row"));
        return;
    }
    auto *button = w->findChild<QPushButton *>(name);
    QVERIFY(button);
    if (effect == "history") {
        // The application opens the history window on it (tests/app/tst_historywindow).
        QSignalSpy asked(page, &FirstPageForTesk::historyRequested);
        button->click();
        QCOMPARE(asked.size(), 1);
        return;
    }
    if (effect == "language") {
        const bool chinese = name.endsWith("Zh");
        page->isChinese = !chinese;
        button->click();
        QCOMPARE(page->isChinese, chinese);
    } else if (effect == "location") {
        // The history's controller opens its dialog on the window's signal (app/main.cpp).
        QSignalSpy asked(w, &MainWindow::historyLocationRequested);
        button->click();
        QCOMPARE(asked.size(), 1);
        QVERIFY(modal.calls().isEmpty());
    } else if (effect == "window") {
        // One batch window, not modal; pressed again, the same one comes to the front.
        button->click();
        QPointer<BatchWindow> batch = w->batchWindow();
        QVERIFY(batch);
        QVERIFY(batch->isVisible());
        QVERIFY(!batch->isModal());
        QCOMPARE(batch->parentWidget(), w);
        batch->showMinimized();
        button->click();
        QCOMPARE(w->batchWindow(), batch.data());
        QVERIFY(!(batch->windowState() & Qt::WindowMinimized));
        QCOMPARE(w->findChildren<BatchWindow *>().size(), 1);
        batch->close(); // freed when closed; the button opens a new one
        QTRY_VERIFY(!batch);
        button->click();
        QVERIFY(w->batchWindow() && w->batchWindow()->isVisible());
        QVERIFY(modal.calls().isEmpty());
    } else if (effect == "clear") {
        auto *total = page->findChild<QLineEdit *>(QStringLiteral("TotalnumEdit"));
        total->setText(QStringLiteral("7"));
        button->click();
        QCOMPARE(total->text(), QStringLiteral("0"));
    } else {
        button->click();
        QCOMPARE(modal.calls().size(), 1);
        QCOMPARE(modal.calls().first().text, QCoreApplication::translate("FirstPageForTesk", "Please connect the device first!"));
    }
}

// The offscreen platform's own screen (800 pixels wide) is narrower than any the program meets;
// the window and the demo panel are placed on a screen of a common laptop's size instead.
int main(int argc, char *argv[])
{
    QTemporaryDir configDir;
    if (qgetenv("QT_QPA_PLATFORM") == "offscreen" && configDir.isValid()) {
        QFile config(configDir.filePath(QStringLiteral("screens.json")));
        if (config.open(QFile::WriteOnly)) {
            // The laptop's is the primary screen; the small and the wide one stand beside it for
            // the table's columns.
            config.write(R"({"screens": [{"name": "laptop", "x": 0, "y": 0, "width": 1366, "height": 768,
                              "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1},
                             {"name": "small", "x": 1366, "y": 0, "width": 1024, "height": 768,
                              "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1},
                             {"name": "wide", "x": 2390, "y": 0, "width": 1920, "height": 1080,
                              "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
            config.close();
            qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.fileName().toLocal8Bit());
        }
    }
    QApplication app(argc, argv);
    QTEST_SET_MAIN_SOURCE_PATH
    tst_MainWindow test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_mainwindow.moc"
