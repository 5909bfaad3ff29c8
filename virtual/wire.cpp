#include "wire.h"

#include "crc16.h"

namespace wire {

void appendLe16(QByteArray &out, quint16 v)
{
    out.append(char(v & 0xFF));
    out.append(char(v >> 8));
}

void appendLe32(QByteArray &out, quint32 v)
{
    appendLe16(out, quint16(v & 0xFFFF));
    appendLe16(out, quint16(v >> 16));
}

quint16 le16(const QByteArray &in, int offset)
{
    if (offset < 0 || offset + 2 > in.size())
        return 0;
    return quint16(quint8(in[offset]) | (quint8(in[offset + 1]) << 8));
}

quint32 le32(const QByteArray &in, int offset)
{
    if (offset < 0 || offset + 4 > in.size())
        return 0;
    return quint32(le16(in, offset)) | (quint32(le16(in, offset + 2)) << 16);
}

void putLe16(QByteArray &out, int offset, quint16 v)
{
    if (offset < 0 || offset + 2 > out.size())
        return;
    out[offset] = char(v & 0xFF);
    out[offset + 1] = char(v >> 8);
}

quint16 crc(const QByteArray &bytes, int length)
{
    if (length < 0)
        length = 0;
    if (length > bytes.size())
        length = int(bytes.size());
    return crc16Modbus(bytes.constData(), length);
}

void appendCrc(QByteArray &bytes)
{
    appendLe16(bytes, crc(bytes, int(bytes.size())));
}

void refreshCrc(QByteArray &frame)
{
    if (frame.size() < 2)
        return;
    putLe16(frame, int(frame.size()) - 2, crc(frame, int(frame.size()) - 2));
}

bool crcMatches(const QByteArray &frame)
{
    if (frame.size() < 2)
        return false;
    return le16(frame, int(frame.size()) - 2) == crc(frame, int(frame.size()) - 2);
}

QByteArray errorReply(quint8 function, quint8 reason)
{
    QByteArray r;
    r.append(char(kStart));
    r.append(char(kErrorByte1));
    r.append(char(kErrorByte2));
    r.append(char(function));
    r.append(char(reason));
    appendCrc(r);
    return r;
}

} // namespace wire
