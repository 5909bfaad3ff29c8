// The hidraw backend on stand-in device nodes: a plain file for the lock that replaces share
// modes, a FIFO for a device that stops taking reports (its writes then block, as a stalled
// hidraw write blocks in the kernel).
#include "hidapibackend.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

using hidaccess::OpenError;

class tst_Hidraw : public QObject
{
    Q_OBJECT
private slots:
    void nodeLockKeepsASecondHolderOut_data();
    void nodeLockKeepsASecondHolderOut();
    void writeKeepsItsTimeoutWhenTheNodeStalls();
};

void tst_Hidraw::nodeLockKeepsASecondHolderOut_data()
{
    QTest::addColumn<bool>("firstExclusive");
    QTest::addColumn<bool>("secondExclusive");
    QTest::addColumn<bool>("secondKeptOut");
    QTest::newRow("exclusive, then exclusive") << true << true << true;
    QTest::newRow("exclusive, then shared") << true << false << true;
    QTest::newRow("shared, then exclusive") << false << true << true;
    QTest::newRow("shared, then shared") << false << false << false;
}

void tst_Hidraw::nodeLockKeepsASecondHolderOut()
{
    QFETCH(bool, firstExclusive);
    QFETCH(bool, secondExclusive);
    QFETCH(bool, secondKeptOut);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray node = QFile::encodeName(dir.filePath(QStringLiteral("hidraw7")));
    QFile f(QString::fromLocal8Bit(node));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();

    const QByteArray oldTmp = qgetenv("TMPDIR");
    hidaccess::HidapiBackend backend;
    OpenError error = OpenError::Other;
    auto first = backend.open(node, firstExclusive, &error);
    QVERIFY(first);
    QCOMPARE(error, OpenError::None);

    // The second holder looks at another temporary folder: the lock is on the node all the same.
    QTemporaryDir otherTmp;
    qputenv("TMPDIR", QFile::encodeName(otherTmp.path()));
    if (secondKeptOut)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cannot lock .* another program holds it"));
    auto second = backend.open(node, secondExclusive, &error);
    if (oldTmp.isNull())
        qunsetenv("TMPDIR");
    else
        qputenv("TMPDIR", oldTmp);
    QCOMPARE(!second, secondKeptOut);
    QCOMPARE(error, secondKeptOut ? OpenError::InUse : OpenError::None);

    // Once the first holder has gone (its writer included), the node is free again.
    first.reset();
    second.reset();
    std::unique_ptr<hidaccess::Device> third;
    QElapsedTimer clock;
    clock.start();
    while (!third && clock.elapsed() < 2000) {
        third = backend.open(node, true, &error);
        if (!third)
            QTest::qWait(20);
    }
    QVERIFY(third);
}

void tst_Hidraw::writeKeepsItsTimeoutWhenTheNodeStalls()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray node = QFile::encodeName(dir.filePath(QStringLiteral("stalled")));
    QCOMPARE(::mkfifo(node.constData(), 0600), 0);
    hidaccess::HidapiBackend backend;
    OpenError error = OpenError::Other;
    auto device = backend.open(node, true, &error);
    QVERIFY(device);

    unsigned char report[64] = {0x3F, 10};
    // Nobody drains the FIFO: once it is full, a write cannot complete.
    int written = 0;
    int result = 64;
    qint64 lastMs = 0;
    while (result == 64 && written < 4096) {
        QElapsedTimer clock;
        clock.start();
        result = device->writeReport(report, 64, 100);
        lastMs = clock.elapsed();
        if (result == 64)
            ++written;
    }
    QCOMPARE(result, 0);
    QVERIFY2(written > 0, "nothing could be written at all");
    QVERIFY2(lastMs < 1000, qPrintable(QString::number(lastMs) + " ms"));

    // While the overdue write is still pending, the next one keeps its own timeout too.
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(device->writeReport(report, 64, 100), 0);
    QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed()) + " ms"));

    // The device takes reports again: the pending write goes out, and so do new ones.
    unsigned char buf[64];
    while (device->readReport(buf, 64, 0) > 0) {
    }
    QCOMPARE(device->writeReport(report, 64, 1000), 64);
}

QTEST_GUILESS_MAIN(tst_Hidraw)
#include "tst_hidraw.moc"
