#include "compoundfile.h"

#include <QtEndian>

#include <vector>

namespace exchange {

namespace {

constexpr quint32 kFreeSect = 0xFFFFFFFF;
constexpr quint32 kEndOfChain = 0xFFFFFFFE;
constexpr quint32 kFatSect = 0xFFFFFFFD;
constexpr quint32 kDifSect = 0xFFFFFFFC;
constexpr quint32 kNoStream = 0xFFFFFFFF;
constexpr int kSectorSize = 512;
constexpr int kMiniCutoff = 4096;
constexpr int kHeaderDifat = 109;
constexpr int kIdsPerSector = kSectorSize / 4;

void put16(QByteArray &b, int offset, quint16 v) { qToLittleEndian(v, b.data() + offset); }
void put32(QByteArray &b, int offset, quint32 v) { qToLittleEndian(v, b.data() + offset); }

QByteArray directoryEntry(const QString &name, quint8 type, quint32 child, quint32 start, quint32 size)
{
    QByteArray e(128, '\0');
    if (type != 0) {
        const QString n = name.left(31);
        for (int i = 0; i < n.size(); ++i)
            put16(e, i * 2, n.at(i).unicode());
        put16(e, 64, quint16((n.size() + 1) * 2));
    }
    e[66] = char(type);
    e[67] = char(1); // black
    put32(e, 68, kNoStream);
    put32(e, 72, kNoStream);
    put32(e, 76, child);
    put32(e, 116, start);
    put32(e, 120, size);
    return e;
}

} // namespace

QByteArray buildCompoundFile(const QString &streamName, const QByteArray &stream)
{
    QByteArray data = stream;
    if (data.size() < kMiniCutoff)
        data.append(QByteArray(kMiniCutoff - data.size(), '\0'));
    const quint32 streamBytes = quint32(data.size());
    if (data.size() % kSectorSize)
        data.append(QByteArray(kSectorSize - data.size() % kSectorSize, '\0'));
    const quint32 streamSectors = quint32(data.size() / kSectorSize);
    const quint32 dirSectors = 1; // root and one stream: 2 of the 4 entries

    // The FAT must also cover its own sectors and the DIFAT sectors that
    // list FAT sectors beyond the 109 the header holds.
    quint32 fatSectors = 1, difatSectors = 0;
    for (;;) {
        const quint32 total = streamSectors + dirSectors + fatSectors + difatSectors;
        const quint32 needFat = (total + kIdsPerSector - 1) / kIdsPerSector;
        const quint32 needDifat = needFat > kHeaderDifat
            ? (needFat - kHeaderDifat + (kIdsPerSector - 1) - 1) / (kIdsPerSector - 1) : 0;
        if (needFat == fatSectors && needDifat == difatSectors)
            break;
        fatSectors = needFat;
        difatSectors = needDifat;
    }
    const quint32 dirStart = streamSectors;
    const quint32 fatStart = dirStart + dirSectors;
    const quint32 difatStart = fatStart + fatSectors;

    std::vector<quint32> fat(size_t(fatSectors) * kIdsPerSector, kFreeSect);
    for (quint32 i = 0; i < streamSectors; ++i)
        fat[i] = i + 1 < streamSectors ? i + 1 : kEndOfChain;
    fat[dirStart] = kEndOfChain;
    for (quint32 i = 0; i < fatSectors; ++i)
        fat[fatStart + i] = kFatSect;
    for (quint32 i = 0; i < difatSectors; ++i)
        fat[difatStart + i] = kDifSect;

    QByteArray header(kSectorSize, '\0');
    static const unsigned char signature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    memcpy(header.data(), signature, 8);
    put16(header, 24, 0x003E);
    put16(header, 26, 0x0003);
    put16(header, 28, 0xFFFE);
    put16(header, 30, 9);
    put16(header, 32, 6);
    put32(header, 44, fatSectors);
    put32(header, 48, dirStart);
    put32(header, 56, kMiniCutoff);
    put32(header, 60, kEndOfChain);
    put32(header, 64, 0);
    put32(header, 68, difatSectors ? difatStart : kEndOfChain);
    put32(header, 72, difatSectors);
    for (int i = 0; i < kHeaderDifat; ++i)
        put32(header, 76 + i * 4, quint32(i) < fatSectors ? fatStart + quint32(i) : kFreeSect);

    QByteArray out;
    out.reserve(int((1 + streamSectors + dirSectors + fatSectors + difatSectors) * kSectorSize));
    out.append(header);
    out.append(data);

    QByteArray dir;
    dir.append(directoryEntry(QStringLiteral("Root Entry"), 5, 1, kEndOfChain, 0));
    dir.append(directoryEntry(streamName, 2, kNoStream, 0, streamBytes));
    dir.append(directoryEntry(QString(), 0, kNoStream, 0, 0));
    dir.append(directoryEntry(QString(), 0, kNoStream, 0, 0));
    out.append(dir);

    QByteArray fatBytes(int(fat.size() * 4), '\0');
    for (size_t i = 0; i < fat.size(); ++i)
        put32(fatBytes, int(i * 4), fat[i]);
    out.append(fatBytes);

    for (quint32 d = 0; d < difatSectors; ++d) {
        QByteArray sector(kSectorSize, '\0');
        for (int i = 0; i < kIdsPerSector - 1; ++i) {
            const quint32 fatIndex = kHeaderDifat + d * (kIdsPerSector - 1) + quint32(i);
            put32(sector, i * 4, fatIndex < fatSectors ? fatStart + fatIndex : kFreeSect);
        }
        put32(sector, kSectorSize - 4, d + 1 < difatSectors ? difatStart + d + 1 : kEndOfChain);
        out.append(sector);
    }
    return out;
}

} // namespace exchange
