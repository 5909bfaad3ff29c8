// Little helpers for the byte layouts the instrument speaks: little-endian fields and the
// CRC-16/MODBUS trailer every frame and most stored blocks carry (low byte first).
#pragma once

#include <QByteArray>
#include <QtGlobal>

namespace wire {

constexpr quint8 kStart = 0xAB;

enum Function : quint8 {
    RegisterRead = 0x20,
    MemoryRead = 0x40,
    Measure = 0x44,
    MemoryWrite = 0x70,
    StreamWrite = 0x74,
};

// The instrument's refusal: start byte, these two bytes, then the offending function code and a
// reason, then the CRC. Seven bytes, shorter than any regular reply (the shortest is ten).
constexpr quint8 kErrorByte1 = 0xC7;
constexpr quint8 kErrorByte2 = 0x08;
enum ErrorReason : quint8 { BadCrc = 0x01, UnknownFunction = 0x02, TooLong = 0x03 };

void appendLe16(QByteArray &out, quint16 v);
void appendLe32(QByteArray &out, quint32 v);
quint16 le16(const QByteArray &in, int offset);   // 0 when out of range
quint32 le32(const QByteArray &in, int offset);   // 0 when out of range
void putLe16(QByteArray &out, int offset, quint16 v);   // no-op when out of range

quint16 crc(const QByteArray &bytes, int length);
// Appends the CRC of everything in `bytes`, low byte first.
void appendCrc(QByteArray &bytes);
// Rewrites the last two bytes with the CRC of the bytes before them.
void refreshCrc(QByteArray &frame);
// True when the last two bytes are the CRC of the bytes before them.
bool crcMatches(const QByteArray &frame);

QByteArray errorReply(quint8 function, quint8 reason);

} // namespace wire
