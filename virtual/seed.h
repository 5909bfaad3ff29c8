// What a new virtual instrument holds in its memory: a configured, calibrated unit with a few
// colour-difference records and my-colours stored, as one fresh from a day's work.
#pragma once

#include "memorymap.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace seed {

// Where things live in instrument memory.
constexpr quint32 kProductionAddress = 0x0000;
constexpr quint32 kCalibrationAddress = 0x0024;
constexpr quint32 kDeltaEAddress = 0x0225;
constexpr quint16 kFirmwareRegister = 0x000C;
constexpr quint32 kStdColorCountAddress = 0x2F00;
constexpr quint32 kMyColorHeaderAddress = 0x3000;
constexpr quint32 kRecordHeaderAddress = 0x3010;
constexpr quint32 kMyColorValuesAddress = 0x4000;
constexpr quint32 kMyColorNamesAddress = 0x8000;
constexpr quint32 kRecordDataAddress = 0x10000;
constexpr quint32 kRecordNamesAddress = 0x20000;
constexpr int kMyColorValueSize = 6;
constexpr int kRecordDataSize = 12;
constexpr int kNameSize = 14;

// The unit's identity.
constexpr quint32 kSerialNumber = 23051701;
constexpr quint32 kModelCode = 3001;
constexpr int kProductionYear = 2024, kProductionMonth = 5, kProductionDay = 17;
constexpr quint8 kKindByte = 1;
constexpr quint16 kHardwareRevision = 2;   // the 16-bit field at offset 14
constexpr int kCalibrationYear = 2025, kCalibrationMonth = 11, kCalibrationDay = 3;
constexpr quint16 kFirmwareX10 = 13;
constexpr int kDeltaEFormula = 0, kDeltaEThresholdX10 = 15;
constexpr quint32 kMyColorValue0 = 1;
constexpr quint16 kMyColorValue2 = 0;

struct StoredRecord {
    const char *name;
    int stdL, stdA, stdB, smpL, smpA, smpB;   // hundredths
};
struct StoredColour {
    const char *name;
    int L, a, b;   // hundredths
};
QList<StoredRecord> records();
QList<StoredColour> myColours();

// Blocks with their block CRC, as stored.
QByteArray productionBlock(quint32 serial, quint32 modelCode, int year, int month, int day);
QByteArray calibrationBlock(int year, int month, int day);
QByteArray deltaEBlock(int formula, int thresholdX10);
QByteArray recordHeader(int count);
QByteArray myColorHeader(quint32 value0, int count, quint16 value2);
// A name field: the bytes, then zero bytes up to kNameSize (cut at kNameSize).
QByteArray nameField(const QByteArray &name);

void fill(MemoryMap &memory);

} // namespace seed
