// Every command of the instrument against the virtual instrument: the bytes on the wire, the
// values read back, and each result code provoked through the instrument's faults.
#include "clinker.h"
#include "cprotocol.h"
#include "crc16.h"
#include "linkport.h"
#include "seed.h"
#include "testbase.h"
#include "virtualinstrument.h"

#include <QtTest>

#include <functional>

namespace {

using testsupport::hexBytes;
using testsupport::withCrc;

int crcOf(const QByteArray &bytes)
{
    return crc16Modbus(bytes.constData(), bytes.size());
}

CProtocol *cp()
{
    return CProtocol::instance();
}

// One call of each command with plausible arguments, for the result-code tables.
struct Command {
    const char *name;
    std::function<int()> call;
    bool echoTested;
    bool errorReplyTested;
};

QList<Command> commands()
{
    return {
        {"readFirmwareVersion", [] { int v; return cp()->readFirmwareVersion(&v); }, true, true},
        {"readDeviceInfo", [] { DeviceInfo i; return cp()->readDeviceInfo(&i); }, true, true},
        {"readCalibrationDate", [] { QDate d; return cp()->readCalibrationDate(&d); }, true, true},
        {"readDeltaEParameter", [] { int f, t; return cp()->readDeltaEParameter(&f, &t); }, true, false},
        {"writeDeltaEParameter", [] { return cp()->writeDeltaEParameter(2, 20); }, true, false},
        {"readMeasurement",
         [] { int v[8]; return cp()->readMeasurement(v, v + 1, v + 2, v + 3, v + 4, v + 5, v + 6, v + 7); },
         true, false},
        {"writeStdColorCount", [] { return cp()->writeStdColorCount(3, crcOf(hexBytes("0300"))); }, true, false},
        {"writeStdColorInfo",
         [] {
             QByteArray data = hexBytes("41") + QByteArray(15, '\0') + hexBytes("42") + QByteArray(15, '\0') + hexBytes("05000000");
             return cp()->writeStdColorInfo(0x2000, "A", "B", 5, 0, crcOf(data));
         },
         true, false},
        {"writeStdColorData (close)", [] { return cp()->writeStdColorData(0x40258, {}, 0); }, true, false},
        {"writeMyColorHeader",
         [] { return cp()->writeMyColorHeader(1, 2, 0, crcOf(hexBytes("0100000002000000"))); }, true, false},
        {"writeMemory", [] { return cp()->writeMemory(0x4000, QByteArray(12, 'x'), 12); }, false, false},
        {"readMyColorHeader", [] { quint32 v0; int c, v2, k; return cp()->readMyColorHeader(&v0, &c, &v2, &k); }, true, false},
        {"readRecordCount", [] { int c; return cp()->readRecordCount(&c); }, true, false},
        {"readMemory", [] { QByteArray out; return cp()->readMemory(0x10000, &out, 24); }, false, false},
    };
}

} // namespace

class tst_Protocol : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void identityReads();
    void writeDeltaEParameterBytes();
    void measurement();
    void blockWritesChecked_data();
    void blockWritesChecked();
    void streamInChunks();
    void cardNameFields_data();
    void cardNameFields();
    void downloads();

    void resultCodes_data();
    void resultCodes();
    void blockCrcFailures();
    void calibrationMonth13();
    void closingPacketErrorPattern();
    void writeMemoryAcceptsAnyCompleteReply();
    void writeMemoryRefusedByErrorReply_data();
    void writeMemoryRefusedByErrorReply();
    void blockCheckValueOutside16Bits_data();
    void blockCheckValueOutside16Bits();

private:
    VirtualInstrument *vi = nullptr;
    LinkPort *port = nullptr;
};

void tst_Protocol::initTestCase()
{
    // A tenth of the real waits: 600 ms for a reply, 150 ms of measuring.
    CProtocol::setWaitScaleForTests(0.1);
}

void tst_Protocol::cleanupTestCase()
{
    CProtocol::setWaitScaleForTests(1.0);
}

void tst_Protocol::init()
{
    vi = new VirtualInstrument;
    port = testsupport::connectedPort(vi);
    QVERIFY(port->link);
}

void tst_Protocol::cleanup()
{
    delete port;
    port = nullptr;
    delete vi;
    vi = nullptr;
}

void tst_Protocol::identityReads()
{
    int version = 0;
    QCOMPARE(cp()->readFirmwareVersion(&version), 1);
    QCOMPARE(version, 13);
    DeviceInfo info;
    QCOMPARE(cp()->readDeviceInfo(&info), 1);
    QCOMPARE(quint32(info.serialNumber), seed::kSerialNumber);
    QCOMPARE(info.modelCode, int(seed::kModelCode));
    QCOMPARE(info.productionDate, QDate(2024, 5, 17));
    QCOMPARE(info.kind, 1);
    QDate calibrated;
    QCOMPARE(cp()->readCalibrationDate(&calibrated), 1);
    QCOMPARE(calibrated, QDate(2025, 11, 3));
    int formula = -1, threshold = -1;
    QCOMPARE(cp()->readDeltaEParameter(&formula, &threshold), 1);
    QCOMPARE(formula, 0);
    QCOMPARE(threshold, 15);

    const QList<QByteArray> expected = {
        hexBytes("ab200c0002009a37"), hexBytes("ab400000000014004504"),
        hexBytes("ab4024000000060 04f40"), hexBytes("ab40250200000500 37a1")};
    QCOMPARE(vi->receivedFrames(), expected);
}

void tst_Protocol::writeDeltaEParameterBytes()
{
    QCOMPARE(cp()->writeDeltaEParameter(0, 10), 1);
    QCOMPARE(vi->receivedFrames().last(), withCrc(hexBytes("ab70250200000500 000a007760")));
    QCOMPARE(vi->memory(0x0225, 5), hexBytes("000a007760"));
    int formula = -1, threshold = -1;
    QCOMPARE(cp()->readDeltaEParameter(&formula, &threshold), 1);
    QCOMPARE(formula, 0);
    QCOMPARE(threshold, 10);
}

void tst_Protocol::measurement()
{
    // 92.47 / -0.10 and a hue beyond 327.67 degrees: signed and unsigned fields apart.
    VirtualInstrument::Measurement m;
    m.L = 9247;
    m.a = -10;
    m.b = -1500;
    m.C = 1500;
    m.h = 35880;
    m.r = 12;
    m.g = 200;
    m.bl = 255;
    vi->queueMeasurement(m);
    int v[8] = {};
    QCOMPARE(cp()->readMeasurement(v, v + 1, v + 2, v + 3, v + 4, v + 5, v + 6, v + 7), 1);
    QCOMPARE(QList<int>(v, v + 8), (QList<int>{9247, -10, -1500, 1500, 35880, 12, 200, 255}));
    QCOMPARE(vi->receivedFrames().last(), hexBytes("ab440000000036001864"));

    // The frame CRC of a measurement is not checked: a corrupted reply still counts.
    vi->queueMeasurement(m);
    vi->injectFault(VirtualInstrument::Fault::CorruptByte, 40);
    QCOMPARE(cp()->readMeasurement(v, v + 1, v + 2, v + 3, v + 4, v + 5, v + 6, v + 7), 1);
    QCOMPARE(v[0], 9247);
}

void tst_Protocol::blockWritesChecked_data()
{
    QTest::addColumn<bool>("rightCrc");
    QTest::newRow("caller's block CRC matches") << true;
    QTest::newRow("caller's block CRC wrong: nothing sent") << false;
}

void tst_Protocol::blockWritesChecked()
{
    QFETCH(bool, rightCrc);
    const int c = crcOf(hexBytes("0300"));
    QCOMPARE(cp()->writeStdColorCount(3, rightCrc ? c : c ^ 1), rightCrc ? 1 : -4);
    if (rightCrc) {
        QByteArray block = hexBytes("0300");
        block.append(char(c & 0xFF));
        block.append(char(c >> 8));
        QCOMPARE(vi->receivedFrames(), QList<QByteArray>{withCrc(hexBytes("ab70002f00000400") + block)});
        QCOMPARE(vi->memory(0x2F00, 4), block);
    } else {
        QVERIFY(vi->receivedReports().isEmpty());
    }

    const QByteArray header = hexBytes("0100000002000000");
    QCOMPARE(cp()->writeMyColorHeader(1, 2, 0, crcOf(header) ^ (rightCrc ? 0 : 0x100)), rightCrc ? 1 : -4);
    if (rightCrc)
        QCOMPARE(vi->memory(0x3000, 8), header);
}

void tst_Protocol::streamInChunks()
{
    QByteArray data(600, '\0');
    for (int i = 0; i < data.size(); ++i)
        data[i] = char(i * 7);
    quint32 address = 0x40000;
    for (int offset = 0; offset < data.size(); offset += 256) {
        const QByteArray chunk = data.mid(offset, 256);
        QCOMPARE(cp()->writeStdColorData(address, chunk, int(chunk.size())), 1);
        address += quint32(chunk.size());
    }
    QCOMPARE(address, 0x40258u);
    QCOMPARE(cp()->writeStdColorData(address, {}, 0), 1);

    const QList<QByteArray> frames = vi->receivedFrames();
    QCOMPARE(frames.size(), 4);
    QCOMPARE(frames[0].left(8), hexBytes("ab74000004000001"));
    QCOMPARE(frames[1].left(8), hexBytes("ab74000104000001"));
    QCOMPARE(frames[2].left(8), hexBytes("ab74000204005800"));
    QCOMPARE(frames[3], withCrc(hexBytes("ab74580204000000")));
    QCOMPARE(vi->memory(0x40000, 600), data);
    // A data packet shorter than its stated length is refused before it reaches the wire.
    QCOMPARE(cp()->writeStdColorData(0x40000, QByteArray(10, 'x'), 20), -1);
}

void tst_Protocol::cardNameFields_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("gbk");
    QTest::addColumn<QByteArray>("field"); // the 16 bytes sent; empty: refused
    QTest::addColumn<QByteArray>("cut");   // refused: the form a caller that cuts names would check
    // UTF-8 bytes written out by hand.
    QTest::newRow("8 ASCII") << "ABCDEFGH" << false << QByteArray("ABCDEFGH") + QByteArray(8, '\0') << QByteArray();
    QTest::newRow("4 Chinese: 12 UTF-8 bytes") << QString::fromUtf8("标准色卡") << false
                                               << hexBytes("e6a087e58786e889b2e58da1") + QByteArray(4, '\0')
                                               << QByteArray();
    QTest::newRow("exactly 16 ASCII") << "0123456789ABCDEF" << false << QByteArray("0123456789ABCDEF") << QByteArray();
    QTest::newRow("exactly 16 UTF-8 bytes") << QString::fromUtf8("红色样品ABCD") << false
                                            << hexBytes("e7baa2e889b2e6a0b7e5938141424344") << QByteArray();
    QTest::newRow("17 ASCII: refused, not cut") << "0123456789ABCDEFG" << false << QByteArray()
                                                << QByteArray("0123456789ABCDEF");
    QTest::newRow("18 UTF-8 bytes: refused, not cut")
        << QString::fromUtf8("标准色卡二号") << false << QByteArray()
        << hexBytes("e6a087e58786e889b2e58da1e4ba8c") + QByteArray(1, '\0');
    QTest::newRow("GBK: 4 Chinese") << QString::fromUtf8("标准色卡") << true
                                    << hexBytes("b1ead7bcc9abbfa8") + QByteArray(8, '\0') << QByteArray();
    QTest::newRow("GBK: 8 Chinese, 16 bytes") << QString::fromUtf8("标准色卡二号样本") << true
                                              << hexBytes("b1ead7bcc9abbfa8b6febac5d1f9b1be") << QByteArray();
    QTest::newRow("GBK: a character it cannot express") << QString::fromUtf8("x\U0001F600") << true << QByteArray()
                                                        << QByteArray("x?") + QByteArray(14, '\0');
}

void tst_Protocol::cardNameFields()
{
    QFETCH(QString, name);
    QFETCH(bool, gbk);
    QFETCH(QByteArray, field);
    QFETCH(QByteArray, cut);
    const NameEncoding encoding = gbk ? NameEncoding::Gbk : NameEncoding::Utf8;
    const QByteArray tail = QByteArray("x") + QByteArray(15, '\0') + hexBytes("0a000000");
    if (field.isEmpty()) {
        QVERIFY(CProtocol::stdColorInfoData(name, "x", 10, 0, encoding).isEmpty());
        QCOMPARE(cp()->writeStdColorInfo(0x2030, name, "x", 10, 0, crcOf(cut + tail), encoding), -4);
        QVERIFY(vi->receivedReports().isEmpty()); // nothing reached the instrument
        return;
    }
    const QByteArray data = field + tail;
    QCOMPARE(CProtocol::stdColorInfoData(name, "x", 10, 0, encoding), data);
    QCOMPARE(cp()->writeStdColorInfo(0x2030, name, "x", 10, 0, crcOf(data), encoding), 1);
    const QByteArray frame = vi->receivedFrames().last();
    QCOMPARE(frame.size(), 48);
    QCOMPARE(frame.left(8), hexBytes("ab70302000002600"));
    QCOMPARE(vi->memory(0x2030, 36), data);
}

void tst_Protocol::downloads()
{
    const QList<seed::StoredRecord> records = seed::records();
    int count = -1;
    QCOMPARE(cp()->readRecordCount(&count), 1);
    QCOMPARE(count, int(records.size()));
    QByteArray out = "kept";
    QCOMPARE(cp()->readMemory(0x10000, &out, 256), 1);
    QCOMPARE(vi->receivedFrames().last(), withCrc(hexBytes("ab400000010000 01")));
    QCOMPARE(out.size(), 4 + 256);
    QCOMPARE(out.mid(4), vi->memory(0x10000, 256));

    quint32 value0 = 0;
    int colours = -1, value2 = -1, crc = -1;
    QCOMPARE(cp()->readMyColorHeader(&value0, &colours, &value2, &crc), 1);
    QCOMPARE(colours, int(seed::myColours().size()));
    QCOMPARE(value0, seed::kMyColorValue0);
    QCOMPARE(vi->receivedFrames().last(), hexBytes("ab40003000000a000ca0"));

    // Memory written raw reads back raw.
    QCOMPARE(cp()->writeMemory(0x8000, QByteArray("named colour"), 12), 1);
    QByteArray back;
    QCOMPARE(cp()->readMemory(0x8000, &back, 12), 1);
    QCOMPARE(back, QByteArray("named colour"));
}

void tst_Protocol::resultCodes_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("situation");
    QTest::addColumn<int>("expected");
    const QList<Command> all = commands();
    for (int i = 0; i < all.size(); ++i) {
        const Command &c = all[i];
        QTest::addRow("%s: no link", c.name) << i << "no link" << -1;
        QTest::addRow("%s: no reply", c.name) << i << "no reply" << -2;
        if (c.echoTested)
            QTest::addRow("%s: header not echoed", c.name) << i << "bad echo" << -3;
        // writeMemory has no echo test, so it looks for the error reply itself: a refused
        // write is not a success.
        const int refused = qstrcmp(c.name, "writeMemory") == 0 ? -3 : -2;
        QTest::addRow("%s: error reply", c.name) << i << "error reply" << (c.errorReplyTested ? -5 : refused);
        QTest::addRow("%s: clean", c.name) << i << "clean" << 1;
    }
}

void tst_Protocol::resultCodes()
{
    QFETCH(int, index);
    QFETCH(QString, situation);
    QFETCH(int, expected);
    const Command c = commands().at(index);
    if (situation == "no link") {
        LinkPort::setCurrent(nullptr);
        QCOMPARE(c.call(), expected);
        LinkPort empty;
        LinkPort::setCurrent(&empty);
        QCOMPARE(c.call(), expected);
        LinkPort::setCurrent(port);
        QVERIFY(vi->receivedReports().isEmpty());
        return;
    }
    if (situation == "no reply")
        vi->injectFault(VirtualInstrument::Fault::NoReply);
    else if (situation == "bad echo")
        vi->injectFault(VirtualInstrument::Fault::BadEcho);
    else if (situation == "error reply")
        vi->injectFault(VirtualInstrument::Fault::ErrorReply);
    QCOMPARE(c.call(), expected);
}

void tst_Protocol::blockCrcFailures()
{
    vi->eraseProductionInfo();
    DeviceInfo info;
    info.serialNumber = 77;
    QCOMPARE(cp()->readDeviceInfo(&info), -4);
    QCOMPARE(info.serialNumber, 77); // untouched

    // A damaged parameter block: the values are handed out all the same.
    vi->setMemory(0x0225, hexBytes("031e00ffff"));
    int formula = -1, threshold = -1;
    QCOMPARE(cp()->readDeltaEParameter(&formula, &threshold), -4);
    QCOMPARE(formula, 3);
    QCOMPARE(threshold, 30);

    vi->setMemory(0x3000, hexBytes("07000000 0900 0100 0000"));
    quint32 value0 = 0;
    int count = -1, value2 = -1, crc = -1;
    QCOMPARE(cp()->readMyColorHeader(&value0, &count, &value2, &crc), -4);
    QCOMPARE(value0, 7u);
    QCOMPARE(count, 9);
    QCOMPARE(value2, 1);
    QCOMPARE(crc, 0);

    vi->setMemory(0x3010, hexBytes("00000000 0500 0000 1234"));
    QCOMPARE(cp()->readRecordCount(&count), -4);

    vi->setMemory(0x0024, hexBytes("e9070b03 0000"));
    QDate date(2000, 1, 1);
    QCOMPARE(cp()->readCalibrationDate(&date), -4);
    QCOMPARE(date, QDate(2000, 1, 1));
}

void tst_Protocol::calibrationMonth13()
{
    vi->setCalibrationDate(2025, 13, 3);
    QDate date(2000, 1, 1);
    QCOMPARE(cp()->readCalibrationDate(&date), 1);
    QVERIFY(!date.isValid());
}

void tst_Protocol::closingPacketErrorPattern()
{
    vi->injectFault(VirtualInstrument::Fault::CloseErrorPattern);
    QCOMPARE(cp()->writeStdColorData(0x40100, {}, 0), -3);
}

void tst_Protocol::writeMemoryAcceptsAnyCompleteReply()
{
    vi->injectFault(VirtualInstrument::Fault::CorruptByte, 3);
    QCOMPARE(cp()->writeMemory(0x4000, QByteArray(6, 'c'), 6), 1);
    vi->injectFault(VirtualInstrument::Fault::BadEcho);
    QCOMPARE(cp()->writeMemory(0x4006, QByteArray(6, 'd'), 6), 1);
}

QTEST_GUILESS_MAIN(tst_Protocol)
#include "tst_protocol.moc"

void tst_Protocol::writeMemoryRefusedByErrorReply_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<int>("param");
    QTest::addColumn<int>("expected");
    using F = VirtualInstrument::Fault;
    // An instrument that fills its error reply up to the length of an acknowledgement gives a
    // complete 10-byte reply: still a refusal.
    QTest::newRow("error reply filled to 10 bytes") << int(F::ErrorReply) << 10 << -3;
    QTest::newRow("error reply filled beyond") << int(F::ErrorReply) << 16 << -3;
    QTest::newRow("bare 7-byte error reply") << int(F::ErrorReply) << 0 << -3;
    // Damage that does not make it the error reply leaves it an acknowledgement.
    QTest::newRow("function byte damaged") << int(F::CorruptByte) << 1 << 1;
    QTest::newRow("CRC damaged") << int(F::CorruptByte) << 9 << 1;
}

void tst_Protocol::writeMemoryRefusedByErrorReply()
{
    QFETCH(int, fault);
    QFETCH(int, param);
    QFETCH(int, expected);
    vi->injectFault(VirtualInstrument::Fault(fault), param);
    QCOMPARE(cp()->writeMemory(0x4000, QByteArray(6, 'r'), 6), expected);
    // The next write is acknowledged as usual: the refusal left nothing behind on the link.
    QCOMPARE(cp()->writeMemory(0x4006, QByteArray(6, 's'), 6), 1);
    QCOMPARE(vi->memory(0x4006, 6), QByteArray(6, 's'));
}

void tst_Protocol::blockCheckValueOutside16Bits_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<int>("offset");
    const QList<QPair<const char *, int>> offsets = {
        {"65536 + c", 0x10000}, {"c - 65536", -0x10000}, {"2^31 - 65536 + c", 0x7FFF0000}};
    const char *names[] = {"writeStdColorCount", "writeStdColorInfo", "writeMyColorHeader"};
    for (int command = 0; command < 3; ++command) {
        for (const auto &o : offsets)
            QTest::addRow("%s, %s", names[command], o.first) << command << o.second;
    }
}

void tst_Protocol::blockCheckValueOutside16Bits()
{
    QFETCH(int, command);
    QFETCH(int, offset);
    auto call = [command](int delta) {
        switch (command) {
        case 0:
            return cp()->writeStdColorCount(3, crcOf(hexBytes("0300")) + delta);
        case 1: {
            const QByteArray data =
                hexBytes("41") + QByteArray(15, '\0') + hexBytes("42") + QByteArray(15, '\0') + hexBytes("05000000");
            return cp()->writeStdColorInfo(0x2000, "A", "B", 5, 0, crcOf(data) + delta);
        }
        default:
            return cp()->writeMyColorHeader(1, 2, 0, crcOf(hexBytes("0100000002000000")) + delta);
        }
    };
    QCOMPARE(call(offset), -4);
    QVERIFY(vi->receivedReports().isEmpty()); // nothing reached the instrument
    QCOMPARE(call(0), 1);
}
