// The main window against the virtual instrument: the lamp and the link across start, failed
// open, arrivals and removals; the language switch; the form's object names; the drag filter.
#include "appinit.h"
#include "devicewatcher.h"
#include "firstpagefortesk.h"
#include "hidaccess.h"
#include "mainwindow.h"
#include "scriptedmodal.h"
#include "virtualinstrument.h"

#include <QGridLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QStackedWidget>
#include <QTemporaryDir>
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
    void failedOpens_data();
    void failedOpens();
    void languages();
    void pollNoticesPlugAndUnplug();
    void dragFilter_data();
    void dragFilter();
    void releaseEndsDragStartedElsewhere();

private:
    MainWindow *createWindow();

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

QTEST_MAIN(tst_MainWindow)
#include "tst_mainwindow.moc"
