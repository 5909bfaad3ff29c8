// The polling worker: what it hands over, that it never takes a command's reply, and that it
// stops on removal even while a flow holds the link lock in a dialog.
#include "clinker.h"
#include "cprotocol.h"
#include "linklock.h"
#include "linkport.h"
#include "testbase.h"
#include "virtualinstrument.h"
#include "workerhost.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QPointer>
#include <QSignalSpy>
#include <QThread>
#include <QTimer>
#include <QtTest>

class tst_Worker : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void idleInstrumentSendsNothing();
    void pushedFrameArrivesPromptly();
    void commandsKeepTheirReplies();
    void stopAndRestartAcrossUnplug();
    void closeWithoutThreadOnlyLogs();
    void removalWhileAFlowHoldsTheLockInADialog();
    void pushRightBehindACommandReplyReachesTheReceiver();
    void pushBeforeACommandReplyReachesTheReceiver_data();
    void pushBeforeACommandReplyReachesTheReceiver();
    void whenLinkLockFreeWaitsForTheHolder_data();
    void whenLinkLockFreeWaitsForTheHolder();

private:
    VirtualInstrument *vi = nullptr;
    LinkPort *port = nullptr;
    WorkerHost *host = nullptr;
};

void tst_Worker::init()
{
    CProtocol::setWaitScaleForTests(0.1);
    vi = new VirtualInstrument;
    port = testsupport::connectedPort(vi);
    QVERIFY(port->link);
    host = new WorkerHost;
}

void tst_Worker::cleanup()
{
    delete host;
    testsupport::releaseInstrument(port, vi);
}

void tst_Worker::idleInstrumentSendsNothing()
{
    QSignalSpy spy(host, &WorkerHost::dataReceived);
    host->openThreadSlot();
    QTest::qWait(400);
    QCOMPARE(spy.count(), 0);
}

void tst_Worker::pushedFrameArrivesPromptly()
{
    QSignalSpy spy(host, &WorkerHost::dataReceived);
    host->openThreadSlot();
    QTest::qWait(100);
    QElapsedTimer clock;
    clock.start();
    vi->pressButton();
    QVERIFY(spy.wait(2000));
    qInfo() << "pushed frame handed over after" << clock.elapsed() << "ms";
    const QByteArray data = spy.first().first().toByteArray();
    QCOMPARE(data.size(), 64);
    QCOMPARE(data.left(8), QByteArray::fromHex("ab44000000003600"));
}

void tst_Worker::commandsKeepTheirReplies()
{
    QSignalSpy spy(host, &WorkerHost::dataReceived);
    host->openThreadSlot();
    for (int i = 0; i < 8; ++i) {
        QTest::qWait(7 * i); // land in different phases of the polling pass
        QMutexLocker lock(&linkLock());
        int version = 0;
        QCOMPARE(CProtocol::instance()->readFirmwareVersion(&version), 1);
        QCOMPARE(version, 13);
        int formula = -1, threshold = -1;
        QCOMPARE(CProtocol::instance()->readDeltaEParameter(&formula, &threshold), 1);
        QCOMPARE(threshold, 15);
    }
    QTest::qWait(150);
    QCOMPARE(spy.count(), 0);
}

void tst_Worker::stopAndRestartAcrossUnplug()
{
    QSignalSpy spy(host, &WorkerHost::dataReceived);
    host->openThreadSlot();
    QThread *first = host->thread;
    QVERIFY(first->isRunning());

    vi->unplug();
    QVERIFY(port->link->isRemoved());
    host->closeThreadSlot();
    QVERIFY(!host->isRunning());
    delete port->link;
    port->link = nullptr;

    vi->plug();
    port->link = testsupport::openedLink(vi);
    QVERIFY(port->link);
    host->openThreadSlot();
    QVERIFY(host->isRunning());
    vi->pressButton();
    QVERIFY(spy.wait(2000));
    QCOMPARE(spy.count(), 1);
}

void tst_Worker::closeWithoutThreadOnlyLogs()
{
    host->closeThreadSlot();
    QVERIFY(!host->isRunning());
}

void tst_Worker::removalWhileAFlowHoldsTheLockInADialog()
{
    host->openThreadSlot();
    QTest::qWait(50);

    // A flow takes the link lock and waits in a nested event loop (its dialog); meanwhile the
    // instrument is removed and the stop sequence runs on the same GUI thread.
    bool closed = false;
    {
        QMutexLocker flowLock(&linkLock());
        QEventLoop dialog;
        QTimer::singleShot(50, this, [&] {
            vi->unplug();
            host->closeThreadSlot();
            closed = true;
            dialog.quit();
        });
        QTimer::singleShot(5000, &dialog, &QEventLoop::quit); // a deadlock fails, not hangs
        dialog.exec();
        QVERIFY(closed);
        QVERIFY(!host->isRunning());
        QVERIFY(!host->worker); // gone with its thread: the lock the flow holds is not its own
        // The flow's next command finds the instrument gone and says so.
        int version = 0;
        QVERIFY(CProtocol::instance()->readFirmwareVersion(&version) < 0);
    }
    // A new connection starts a fresh worker.
    delete port->link;
    port->link = nullptr;
    vi->plug();
    port->link = testsupport::openedLink(vi);
    QVERIFY(port->link);
    host->openThreadSlot();
    QVERIFY(host->isRunning());
    QSignalSpy spy(host, &WorkerHost::dataReceived);
    vi->pressButton();
    QVERIFY(spy.wait(2000));
}

void tst_Worker::pushRightBehindACommandReplyReachesTheReceiver()
{
    QSignalSpy spy(host, &WorkerHost::dataReceived);
    host->openThreadSlot();
    QTest::qWait(40);
    vi->queueMeasurement(VirtualInstrument::measurementFromLab(61.5, 12.25, -7.5));
    vi->injectFault(VirtualInstrument::Fault::ButtonPressBehind, 0, QByteArray::fromHex("0012"));
    {
        QMutexLocker lock(&linkLock());
        int formula = -1, threshold = -1;
        QCOMPARE(CProtocol::instance()->readDeltaEParameter(&formula, &threshold), 1);
        QCOMPARE(threshold, 15);
    }
    // The pushed measurement arrives whole, once, for the page to recognise.
    QTRY_COMPARE_WITH_TIMEOUT(spy.size(), 1, 2000);
    QTest::qWait(150);
    QByteArray data;
    for (const QList<QVariant> &args : std::as_const(spy))
        data += args.first().toByteArray();
    QCOMPARE(data.size(), 64);
    QCOMPARE(data.left(8), QByteArray::fromHex("ab44000000003600"));
    QCOMPARE(data.mid(8, 6), QByteArray::fromHex("0618c90412fd"));
}

void tst_Worker::pushBeforeACommandReplyReachesTheReceiver_data()
{
    QTest::addColumn<bool>("removedBeforeRelease");
    QTest::newRow("then polled") << false;
    QTest::newRow("then the instrument goes") << true;
}

void tst_Worker::pushBeforeACommandReplyReachesTheReceiver()
{
    QFETCH(bool, removedBeforeRelease);
    QSignalSpy spy(host, &WorkerHost::dataReceived);
    host->openThreadSlot();
    QTest::qWait(40);
    {
        // The button is pressed while a flow holds the lock: nobody polls, and the pushed
        // frame waits in front of the reply to the flow's next command.
        QMutexLocker lock(&linkLock());
        vi->queueMeasurement(VirtualInstrument::measurementFromLab(61.5, 12.25, -7.5));
        vi->pressButton();
        int version = 0;
        QCOMPARE(CProtocol::instance()->readFirmwareVersion(&version), 1);
        QCOMPARE(version, 13);
        if (removedBeforeRelease) {
            vi->unplug();
            host->closeThreadSlot(); // as the window does on the removal notice
        }
    }
    QTRY_COMPARE_WITH_TIMEOUT(spy.size(), 1, 2000);
    const QByteArray data = spy.first().first().toByteArray();
    QCOMPARE(data.size(), 64);
    QCOMPARE(data.left(14), QByteArray::fromHex("ab44000000003600 0618c90412fd"));
}

void tst_Worker::whenLinkLockFreeWaitsForTheHolder_data()
{
    QTest::addColumn<bool>("held");
    QTest::addColumn<bool>("contextGoes");
    QTest::newRow("free: runs at once") << false << false;
    QTest::newRow("held in a dialog: runs after release") << true << false;
    QTest::newRow("held, context destroyed: never runs") << true << true;
}

void tst_Worker::whenLinkLockFreeWaitsForTheHolder()
{
    QFETCH(bool, held);
    QFETCH(bool, contextGoes);
    auto *context = new QObject;
    int first = 0, second = 0;
    bool ranWhileHeld = false;
    if (held) {
        QMutexLocker flowLock(&linkLock());
        whenLinkLockFree(context, [&] { ++first; });
        whenLinkLockFree(context, [&] { ++second; }); // replaces the first
        QEventLoop dialog;
        QTimer::singleShot(150, &dialog, &QEventLoop::quit);
        dialog.exec();
        ranWhileHeld = first + second > 0;
    } else {
        whenLinkLockFree(context, [&] { ++second; });
        QCOMPARE(second, 1);
    }
    QVERIFY(!ranWhileHeld);
    if (contextGoes)
        delete context;
    QTest::qWait(150);
    QCOMPARE(first, 0);
    QCOMPARE(second, contextGoes ? 0 : 1);
    if (!contextGoes)
        delete context;
}

QTEST_GUILESS_MAIN(tst_Worker)
#include "tst_worker.moc"
