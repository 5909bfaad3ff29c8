#include "crc16.h"

quint16 crc16Modbus(const void *data, qsizetype length)
{
    const auto *p = static_cast<const unsigned char *>(data);
    quint16 crc = 0xFFFF;
    for (qsizetype i = 0; i < length; ++i) {
        crc ^= p[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? static_cast<quint16>((crc >> 1) ^ 0xA001) : static_cast<quint16>(crc >> 1);
    }
    return crc;
}
