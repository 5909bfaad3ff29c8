// Soak: the instrument is unplugged and plugged back 50 times at random moments while the
// worker polls, flows take measurements and issue other commands (some of them waiting in a
// dialog with the link lock held) and the instrument's button pushes measurements. The connection is handled as the
// window handles it. Seeded, so a failing run can be repeated.
//
// Every reading the instrument handed over in full must reach exactly one taker: the flow that
// asked for it or the receiver of the worker's data. A reading cut off by an unplug reaches
// nobody.
#include "clinker.h"
#include "cprotocol.h"
#include "crc16.h"
#include "devicewatcher.h"
#include "linklock.h"
#include "linkport.h"
#include "testbase.h"
#include "virtualinstrument.h"
#include "workerhost.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QtTest>

#include <atomic>
#include <random>
#include <thread>

namespace {

constexpr int kCycles = 50;
constexpr quint32 kGuiSeed = 20261208;
constexpr quint32 kCableSeed = 8122026;

// Readings carry their number in L* (hundredths), so each can be traced to its taker.
VirtualInstrument::Measurement reading(int id)
{
    VirtualInstrument::Measurement m;
    m.L = id;
    m.a = id % 97;
    m.b = -(id % 89);
    m.C = 100;
    m.h = 200;
    m.r = m.g = m.bl = 128;
    return m;
}

// The connection as the window keeps it: open on arrival unless a flow holds the link lock
// (then once it lets go), close on removal when the instrument no longer answers.
class Rig : public QObject
{
public:
    explicit Rig(VirtualInstrument *vi) : vi(vi), watcher(0x2047, 0x0301)
    {
        LinkPort::setCurrent(&port);
        connect(&watcher, &DeviceWatcher::deviceArrived, this, &Rig::arrival);
        connect(&watcher, &DeviceWatcher::deviceRemoved, this, &Rig::removal);
        // The instrument reports from the cable's thread; the watcher lives here.
        connect(vi, &VirtualInstrument::pluggedIn, &watcher, &DeviceWatcher::reportArrival);
        connect(vi, &VirtualInstrument::unplugged, &watcher, &DeviceWatcher::reportRemoval);
        connect(&host, &WorkerHost::dataReceived, this, &Rig::take);
        clock.start();
        arrival();
    }
    ~Rig() override
    {
        host.closeThreadSlot();
        if (LinkPort::current() == &port)
            LinkPort::setCurrent(nullptr);
    }

    void arrival()
    {
        if (port.link)
            return;
        if (!linkLock().tryLock()) {
            whenLinkLockFree(this, [this] { arrival(); });
            return;
        }
        linkLock().unlock();
        port.link = testsupport::openedLink(vi);
        if (!port.link)
            return;
        host.openThreadSlot();
        const qint64 pluggedAt = plugAtMs.exchange(-1);
        if (pluggedAt >= 0)
            reopenMs.append(clock.elapsed() - pluggedAt);
        ++opens;
    }

    void removal()
    {
        if (!port.link || !port.link->isRemoved())
            return;
        host.closeThreadSlot();
        port.link->close();
        delete port.link;
        port.link = nullptr;
    }

    // What the page does with the worker's data: cut measurement frames out of it. A frame
    // whose end was lost leaves a head that never checks out; it is skipped byte by byte.
    void take(const QByteArray &data)
    {
        rx.append(data);
        static const QByteArray header = QByteArray::fromHex("ab44000000003600");
        qsizetype pos = 0;
        while (rx.size() - pos >= 64) {
            if (rx.mid(pos, 8) != header) {
                ++pos;
                continue;
            }
            const QByteArray f = rx.mid(pos, 64);
            const quint16 crc = crc16Modbus(f.constData(), 62);
            if ((quint8(f[62]) | (quint8(f[63]) << 8)) != crc) {
                ++pos;
                continue;
            }
            pushedIds.append(qint16(quint8(f[8]) | (quint8(f[9]) << 8)));
            pos += 64;
        }
        rx.remove(0, pos);
    }

    // One measurement under the link lock, as the page's flows take it.
    void measure()
    {
        vi->queueMeasurement(reading(++nextId));
        int v[8];
        if (CProtocol::instance()->readMeasurement(v, v + 1, v + 2, v + 3, v + 4, v + 5, v + 6, v + 7) == 1)
            askedIds.append(v[0]);
    }

    // Commands that are not measurements, whose replies a pushed measurement may come before.
    void query()
    {
        int version = 0, formula = 0, threshold = 0;
        CProtocol::instance()->readFirmwareVersion(&version);
        CProtocol::instance()->readDeltaEParameter(&formula, &threshold);
    }

    VirtualInstrument *vi;
    LinkPort port;
    WorkerHost host;
    DeviceWatcher watcher;
    QElapsedTimer clock;
    std::atomic<qint64> plugAtMs{-1};
    std::atomic_int opens{0};
    std::atomic_int nextId{0};
    QList<qint64> reopenMs;
    QByteArray rx;
    QList<int> pushedIds;
    QList<int> askedIds;
};

} // namespace

class tst_Soak : public QObject
{
    Q_OBJECT
private slots:
    void replugAtRandomMoments();
};

void tst_Soak::replugAtRandomMoments()
{
    // A twentieth of the real waits: 75 ms of measuring, 300 ms for a reply.
    CProtocol::setWaitScaleForTests(0.05);
    VirtualInstrument vi;
    Rig rig(&vi);
    QVERIFY(rig.port.isLinkOpen());

    // The user: a measurement now and then, often with other commands around it, sometimes a
    // flow that keeps the lock across a dialog and goes on after it.
    std::mt19937 gui(kGuiSeed);
    bool busy = false;
    int flows = 0, dialogs = 0;
    QTimer user;
    user.setSingleShot(true);
    connect(&user, &QTimer::timeout, this, [&] {
        user.start(std::uniform_int_distribution<int>(5, 40)(gui));
        if (busy) // a dialog of the flow below is open: the user cannot start another flow
            return;
        busy = true;
        const int what = std::uniform_int_distribution<int>(0, 9)(gui);
        {
            QMutexLocker lock(&linkLock());
            ++flows;
            if (what % 2)
                rig.query();
            rig.measure();
            if (what < 3) {
                ++dialogs;
                QEventLoop dialog;
                QTimer::singleShot(std::uniform_int_distribution<int>(10, 250)(gui), &dialog,
                                   &QEventLoop::quit);
                dialog.exec();
                rig.query();
                rig.measure();
            }
        }
        busy = false;
    });
    user.start(10);

    // The cable and the button, on a thread of their own so that they strike at any moment,
    // in the middle of a command too.
    std::atomic_bool finished{false};
    std::atomic_int cycles{0};
    std::atomic_int slowReopens{0};
    std::atomic_int presses{0};
    std::thread cable([&] {
        std::mt19937 rnd(kCableSeed);
        auto ms = [&rnd](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rnd); };
        for (int cycle = 0; cycle < kCycles; ++cycle) {
            for (int presses_ = ms(0, 3); presses_ > 0; --presses_) {
                std::this_thread::sleep_for(std::chrono::milliseconds(ms(5, 80)));
                vi.queueMeasurement(reading(++rig.nextId));
                vi.pressButton();
                ++presses;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(ms(20, 200)));
            const int opened = rig.opens;
            vi.unplug();
            std::this_thread::sleep_for(std::chrono::milliseconds(ms(1, 60)));
            rig.plugAtMs = rig.clock.elapsed();
            vi.plug();
            // The link must be back within 2 s of the arrival.
            QElapsedTimer wait;
            wait.start();
            while (rig.opens == opened && wait.elapsed() < 2500)
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            if (rig.opens == opened)
                ++slowReopens;
            ++cycles;
        }
        finished = true;
    });

    QElapsedTimer watchdog;
    watchdog.start();
    while (!finished && watchdog.elapsed() < 120000)
        QTest::qWait(20);
    const bool hung = !finished;
    user.stop();
    if (hung) {
        cable.detach();
        QFAIL("the run did not finish within two minutes");
    }
    cable.join();
    QTRY_VERIFY_WITH_TIMEOUT(!busy, 2000);

    // Let the worker hand over what is still on its way, then stop it.
    QTest::qWait(300);
    rig.host.closeThreadSlot();
    QCoreApplication::processEvents();
    CProtocol::setWaitScaleForTests(1.0);

    qInfo("%d cycles, %d flows (%d with a dialog), %d button presses, %lld ms", cycles.load(),
          flows, dialogs, presses.load(), static_cast<long long>(watchdog.elapsed()));
    QCOMPARE(cycles.load(), kCycles);
    QCOMPARE(slowReopens.load(), 0);
    QCOMPARE(rig.reopenMs.size(), kCycles);
    qint64 slowest = 0;
    for (qint64 ms : std::as_const(rig.reopenMs))
        slowest = qMax(slowest, ms);
    qInfo("slowest return of the link after an arrival: %lld ms", static_cast<long long>(slowest));
    QVERIFY(slowest <= 2000);

    // Only one thread at a time used the link.
    QCOMPARE(vi.overlappingHostCalls(), 0);

    // Every reading handed over in full reached exactly one taker, and nothing else did.
    QList<int> delivered;
    for (const auto &m : vi.deliveredMeasurements())
        delivered.append(m.L);
    QList<int> taken = rig.askedIds + rig.pushedIds;
    std::sort(delivered.begin(), delivered.end());
    std::sort(taken.begin(), taken.end());
    qInfo("%lld readings delivered: %lld to flows, %lld pushed to the receiver",
          static_cast<long long>(delivered.size()), static_cast<long long>(rig.askedIds.size()),
          static_cast<long long>(rig.pushedIds.size()));
    QVERIFY(std::adjacent_find(taken.begin(), taken.end()) == taken.end()); // none counted twice
    QCOMPARE(taken, delivered);                                            // none lost
    QVERIFY(!rig.pushedIds.isEmpty());
    QVERIFY(!rig.askedIds.isEmpty());
}

QTEST_GUILESS_MAIN(tst_Soak)
#include "tst_soak.moc"
