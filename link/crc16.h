#pragma once

#include <QtGlobal>

// CRC-16/MODBUS: initial value 0xFFFF, reflected polynomial 0xA001, no final XOR. It protects
// every frame on the wire and most blocks kept in the instrument's memory; it is stored low byte
// first.
quint16 crc16Modbus(const void *data, qsizetype length);
