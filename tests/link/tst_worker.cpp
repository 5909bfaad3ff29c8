// The polling worker: what it hands over, that it never takes a command's reply, and that it
// stops on removal even while a flow holds the link lock in a dialog.
#include "clinker.h"
#include "cprotocol.h"
#include "linkport.h"
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

private:
    bool openLink();

    VirtualInstrument *vi = nullptr;
    LinkPort *port = nullptr;
    WorkerHost *host = nullptr;
};

bool tst_Worker::openLink()
{
    auto *usb = new CLinkerUSB(vi);
    if (usb->open(0x2047, 0x0301) != 0) {
        delete usb;
        return false;
    }
    port->link = usb;
    return true;
}

void tst_Worker::init()
{
    CProtocol::setWaitScaleForTests(0.1);
    vi = new VirtualInstrument;
    port = new LinkPort;
    LinkPort::setCurrent(port);
    QVERIFY(openLink());
    host = new WorkerHost;
}

void tst_Worker::cleanup()
{
    delete host;
    delete port;
    delete vi;
    CProtocol::setWaitScaleForTests(1.0);
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
        QMutexLocker lock(&host->worker->mutex);
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
    QVERIFY(openLink());
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
    QPointer<MyThread> worker = host->worker;

    // A flow takes the link lock and waits in a nested event loop (its dialog); meanwhile the
    // instrument is removed and the stop sequence runs on the same GUI thread.
    bool closed = false;
    {
        QMutexLocker flowLock(&worker->mutex);
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
        // The flow's next command finds the instrument gone and says so.
        int version = 0;
        QVERIFY(CProtocol::instance()->readFirmwareVersion(&version) < 0);
        QVERIFY(!worker.isNull()); // still there for the flow to unlock
    }
    // The old worker stays valid until the flow has let go of its lock; a new connection
    // starts a fresh one.
    delete port->link;
    port->link = nullptr;
    vi->plug();
    QVERIFY(openLink());
    host->openThreadSlot();
    QVERIFY(worker.isNull()); // released once its lock was free
    QVERIFY(host->isRunning());
}

QTEST_GUILESS_MAIN(tst_Worker)
#include "tst_worker.moc"
