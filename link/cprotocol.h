#pragma once

#include "instrumentname.h"

#include <QByteArray>
#include <QDate>
#include <QObject>
#include <QString>

// What the production block tells about the instrument.
struct DeviceInfo {
    int kind = 0;
    QDate productionDate;
    int serialNumber = 0; // the instrument stores it unsigned: show it as quint32
    int modelCode = 0;
    int value14 = 0;      // 16-bit field at offset 14, carried but not interpreted
    int value16 = 0;      // byte at offset 16, carried but not interpreted
    int value17 = 0;      // byte at offset 17, carried but not interpreted
};

// The instrument's command set. Stateless: every command is one request and one reply over the
// link of LinkPort::current(), made while the caller holds the link lock. Commands return 1 on
// success and a negative code on failure (-1 request not sent, -2 no complete reply, -3 reply
// does not echo the request, -4 block CRC mismatch, -5 the instrument's error reply).
class CProtocol : public QObject
{
    Q_OBJECT
public:
    static CProtocol *instance();

    // Blocks the calling thread until more than ms milliseconds have passed on a monotonic clock.
    // It sleeps rather than spins, so a waiting thread leaves the processor to others.
    static void delayMs(int ms);

    // Identity and parameters.
    int readFirmwareVersion(int *versionX10);
    int readDeviceInfo(DeviceInfo *info);
    int readCalibrationDate(QDate *date);
    int readDeltaEParameter(int *formula, int *thresholdX10);
    int writeDeltaEParameter(int formula, int thresholdX10);

    // Measures; colour values in hundredths, display colour 0..255. Takes at least 1.5 s.
    int readMeasurement(int *L, int *a, int *b, int *C, int *h, int *r, int *g, int *bl);

    // Library upload. crc is the block CRC the caller holds for the data (from its spreadsheet);
    // a mismatch gives -4 and nothing is sent. The names of a card information record go in
    // encoding (UTF-8 unless the caller's check value proves another); a name that does not fit
    // its 16 bytes whole is never cut, and gives -4.
    int writeStdColorCount(int count, int crc);
    int writeStdColorInfo(int address, QString name1, QString name2, int value1, int value2,
                          int crc, NameEncoding encoding = NameEncoding::Utf8);
    int writeStdColorData(quint32 address, QByteArray data, int length); // length 0 closes
    int writeMyColorHeader(quint32 value0, int count, int value2, int crc);
    int writeMemory(quint32 address, QByteArray data, int length);

    // Record and library download.
    int readMyColorHeader(quint32 *value0, int *count, int *value2, int *crc);
    int readRecordCount(int *count);
    int readMemory(quint32 address, QByteArray *out, int length); // appends exactly length bytes

    // The data the block writes protect, as they send it before the block CRC: the card count
    // (2 bytes), a card information record (36 bytes: two name fields of 16 bytes, value 1,
    // value 2; empty when a name does not fit its field whole in encoding) and the my-colour
    // header (8 bytes: value 0, the number of colours, value 2).
    static QByteArray stdColorCountData(int count);
    static QByteArray stdColorInfoData(const QString &name1, const QString &name2, int value1, int value2,
                                       NameEncoding encoding = NameEncoding::Utf8);
    static QByteArray myColorHeaderData(quint32 value0, int count, int value2);
    // Whether crc, a check value from outside, is the block CRC of data: a 16-bit number equal to
    // its CRC-16/MODBUS. A flow asks this of every block before it writes the first.
    static bool blockCrcMatches(const QByteArray &data, qint64 crc);

    static constexpr int kWriteTimeoutMs = 1000;
    static constexpr int kReplyTimeoutMs = 6000;
    static constexpr int kMeasureMs = 1500;

    // Test hook: scales the reply timeout and the measuring pause (1.0 = the real waits), so a
    // test of an error reply need not wait six seconds. Never used by the program itself.
    static void setWaitScaleForTests(double scale);

private:
    CProtocol() = default;
};
