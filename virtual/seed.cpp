#include "seed.h"

#include "wire.h"

namespace seed {

QList<StoredRecord> records()
{
    // Pairs as a colourist makes them: a standard, then a sample meant to match it.
    return {
        {"Beige tile", 7812, 312, 1655, 7790, 341, 1702},
        {"Navy cloth", 2544, 417, -3120, 2581, 380, -3005},
        {"Signal red", 4321, 5903, 4017, 4355, 5788, 4120},
        {"Grey card", 5010, 0, 215, 5002, -12, 230},
        {"Leaf green", 5536, -4120, 3650, 5490, -3860, 3711},
    };
}

QList<StoredColour> myColours()
{
    return {
        {"Ivory", 9120, -105, 1240},
        {"Brick", 4507, 3311, 2876},
        {"Teal", 5233, -3050, -1234},
        {"Slate", 4019, -210, -980},
    };
}

QByteArray productionBlock(quint32 serial, quint32 modelCode, int year, int month, int day)
{
    QByteArray b;
    b.append(char(kKindByte));
    b.append(char(0));
    wire::appendLe16(b, quint16(year));
    b.append(char(quint8(month)));
    b.append(char(quint8(day)));
    wire::appendLe32(b, serial);
    wire::appendLe32(b, modelCode);
    wire::appendLe16(b, kHardwareRevision);
    b.append(char(0));
    b.append(char(0));
    wire::appendCrc(b);
    return b;   // 20 bytes
}

QByteArray calibrationBlock(int year, int month, int day)
{
    QByteArray b;
    wire::appendLe16(b, quint16(year));
    b.append(char(quint8(month)));
    b.append(char(quint8(day)));
    wire::appendCrc(b);
    return b;   // 6 bytes
}

QByteArray deltaEBlock(int formula, int thresholdX10)
{
    QByteArray b;
    b.append(char(quint8(formula)));
    wire::appendLe16(b, quint16(thresholdX10));
    wire::appendCrc(b);
    return b;   // 5 bytes
}

QByteArray recordHeader(int count)
{
    QByteArray b;
    wire::appendLe32(b, 0);
    wire::appendLe16(b, quint16(count));
    wire::appendLe16(b, 0);
    wire::appendCrc(b);
    return b;   // 10 bytes
}

QByteArray myColorHeader(quint32 value0, int count, quint16 value2)
{
    QByteArray b;
    wire::appendLe32(b, value0);
    wire::appendLe16(b, quint16(count));
    wire::appendLe16(b, value2);
    wire::appendCrc(b);
    return b;   // 10 bytes
}

QByteArray nameField(const QByteArray &name)
{
    QByteArray f = name.left(kNameSize);
    f.append(QByteArray(kNameSize - int(f.size()), '\0'));
    return f;
}

void fill(MemoryMap &memory)
{
    memory.write(kProductionAddress,
                 productionBlock(kSerialNumber, kModelCode, kProductionYear, kProductionMonth,
                                 kProductionDay));
    memory.write(kCalibrationAddress,
                 calibrationBlock(kCalibrationYear, kCalibrationMonth, kCalibrationDay));
    memory.setRegister(kFirmwareRegister, kFirmwareX10);
    memory.write(kDeltaEAddress, deltaEBlock(kDeltaEFormula, kDeltaEThresholdX10));

    const QList<StoredRecord> recs = records();
    QByteArray data, names;
    for (const StoredRecord &r : recs) {
        for (int v : {r.stdL, r.stdA, r.stdB, r.smpL, r.smpA, r.smpB})
            wire::appendLe16(data, quint16(qint16(v)));
        names.append(nameField(r.name));
    }
    memory.write(kRecordHeaderAddress, recordHeader(int(recs.size())));
    memory.write(kRecordDataAddress, data);
    memory.write(kRecordNamesAddress, names);

    const QList<StoredColour> colours = myColours();
    QByteArray values, colourNames;
    for (const StoredColour &c : colours) {
        for (int v : {c.L, c.a, c.b})
            wire::appendLe16(values, quint16(qint16(v)));
        colourNames.append(nameField(c.name));
    }
    memory.write(kMyColorHeaderAddress,
                 myColorHeader(kMyColorValue0, int(colours.size()), kMyColorValue2));
    memory.write(kMyColorValuesAddress, values);
    memory.write(kMyColorNamesAddress, colourNames);
}

} // namespace seed
