// CRC-16/MODBUS and the fixed request frames the instrument expects, byte for byte.
#include "crc16.h"
#include "linkport.h"

#include <QtTest>

class tst_Crc : public QObject
{
    Q_OBJECT
private slots:
    void checkValue_data();
    void checkValue();
    void fixedRequests_data();
    void fixedRequests();
    void appendedLowByteFirst();
};

void tst_Crc::checkValue_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("crc");
    QTest::newRow("check string") << QByteArray("123456789") << 0x4B37;
    QTest::newRow("empty message") << QByteArray() << 0xFFFF;
    QTest::newRow("delta E block 00 0A 00") << QByteArray::fromHex("000a00") << 0x6077;
}

void tst_Crc::checkValue()
{
    QFETCH(QByteArray, data);
    QFETCH(int, crc);
    QCOMPARE(int(crc16Modbus(data.constData(), data.size())), crc);
    QCOMPARE(int(LinkPort::crc16(&data, int(data.size()))), crc);
}

void tst_Crc::fixedRequests_data()
{
    // Complete requests as the instrument must receive them: the last two bytes are the CRC of
    // the rest, low byte first.
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("firmware version") << QByteArray::fromHex("ab200c0002009a37");
    QTest::newRow("device info") << QByteArray::fromHex("ab4000000000140045 04");
    QTest::newRow("calibration date") << QByteArray::fromHex("ab40240000000600 4f40");
    QTest::newRow("delta E parameter") << QByteArray::fromHex("ab40250200000500 37a1");
    QTest::newRow("measurement") << QByteArray::fromHex("ab44000000003600 1864");
    QTest::newRow("my colour header") << QByteArray::fromHex("ab40003000000a00 0ca0");
    QTest::newRow("record count") << QByteArray::fromHex("ab40103000000a00 0e30");
}

void tst_Crc::fixedRequests()
{
    QFETCH(QByteArray, frame);
    QByteArray body = frame.left(frame.size() - 2);
    const quint16 crc = LinkPort::crc16(&body, int(body.size()));
    QCOMPARE(quint8(frame.at(frame.size() - 2)), quint8(crc & 0xFF));
    QCOMPARE(quint8(frame.at(frame.size() - 1)), quint8(crc >> 8));
}

void tst_Crc::appendedLowByteFirst()
{
    // Without a link, sendPacket must leave the request as it was.
    LinkPort port;
    QByteArray request = QByteArray::fromHex("ab200c000200");
    QCOMPARE(port.sendPacket(&request, 1000), -1);
    QCOMPARE(request, QByteArray::fromHex("ab200c000200"));
}

QTEST_GUILESS_MAIN(tst_Crc)
#include "tst_crc.moc"
