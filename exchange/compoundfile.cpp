#include "compoundfile.h"

#include <QtEndian>

#include <algorithm>
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

bool writeCompoundFile(const QString &streamName, qint64 streamSize, const StreamWriter &writeStream,
                       const std::function<bool(const char *, qint64)> &sink)
{
    if (streamSize < 0 || streamSize > 0x7FFFFFFF)
        return false;
    // Streams shorter than the mini-stream cutoff are padded to it, and the last sector is
    // filled up: the stream itself is written as it is, the padding after it.
    const qint64 padded = std::max<qint64>(streamSize, kMiniCutoff);
    const quint32 streamBytes = quint32(padded);
    const qint64 sectorBytes = (padded + kSectorSize - 1) / kSectorSize * kSectorSize;
    const quint32 streamSectors = quint32(sectorBytes / kSectorSize);
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
    if (!sink(header.constData(), header.size()))
        return false;
    // The writer must hand over exactly the size announced: the header already says it.
    qint64 written = 0;
    const bool streamed = writeStream([&](const char *data, qint64 size) {
        written += size;
        return written <= streamSize && sink(data, size);
    });
    if (!streamed || written != streamSize)
        return false;
    const QByteArray padding(int(sectorBytes - streamSize), '\0');
    if (!sink(padding.constData(), padding.size()))
        return false;

    QByteArray rest;
    rest.append(directoryEntry(QStringLiteral("Root Entry"), 5, 1, kEndOfChain, 0));
    rest.append(directoryEntry(streamName, 2, kNoStream, 0, streamBytes));
    rest.append(directoryEntry(QString(), 0, kNoStream, 0, 0));
    rest.append(directoryEntry(QString(), 0, kNoStream, 0, 0));

    QByteArray fatBytes(int(fat.size() * 4), '\0');
    for (size_t i = 0; i < fat.size(); ++i)
        put32(fatBytes, int(i * 4), fat[i]);
    rest.append(fatBytes);

    for (quint32 d = 0; d < difatSectors; ++d) {
        QByteArray sector(kSectorSize, '\0');
        for (int i = 0; i < kIdsPerSector - 1; ++i) {
            const quint32 fatIndex = kHeaderDifat + d * (kIdsPerSector - 1) + quint32(i);
            put32(sector, i * 4, fatIndex < fatSectors ? fatStart + fatIndex : kFreeSect);
        }
        put32(sector, kSectorSize - 4, d + 1 < difatSectors ? difatStart + d + 1 : kEndOfChain);
        rest.append(sector);
    }
    return sink(rest.constData(), rest.size());
}

bool writeCompoundFile(const QString &streamName, const QByteArray &stream,
                       const std::function<bool(const char *, qint64)> &sink)
{
    return writeCompoundFile(
        streamName, stream.size(),
        [&stream](const std::function<bool(const char *, qint64)> &out) { return out(stream.constData(), stream.size()); },
        sink);
}

QByteArray buildCompoundFile(const QString &streamName, const QByteArray &stream)
{
    QByteArray out;
    writeCompoundFile(streamName, stream, [&out](const char *data, qint64 size) {
        out.append(data, qsizetype(size));
        return true;
    });
    return out;
}

} // namespace exchange

namespace exchange {

namespace {

constexpr quint32 kMaxRegSect = 0xFFFFFFFA;

class CompoundReader
{
public:
    CompoundReader(const QByteArray &file, QString *error) : m_file(file), m_error(error) {}

    bool open();
    bool readStream(const QStringList &names, QByteArray &out);

private:
    bool fail(const QString &why)
    {
        if (m_error)
            *m_error = QStringLiteral("damaged compound file: ") + why;
        return false;
    }
    quint32 u32At(qint64 offset) const
    {
        return qFromLittleEndian<quint32>(m_file.constData() + offset);
    }
    // Bytes of sector id available in the file (a last sector may be short).
    qint64 sectorOffset(quint32 id) const { return (qint64(id) + 1) << m_shift; }
    qint64 available(quint32 id) const
    {
        const qint64 start = sectorOffset(id);
        return start >= m_file.size() ? 0 : std::min<qint64>(m_sectorSize, m_file.size() - start);
    }
    // Sector ids of the chain from start through `table`; each must lie in
    // [0, limit) and be met only once.
    bool chain(quint32 start, const std::vector<quint32> &table, quint32 limit, std::vector<quint32> &ids,
               const char *what);
    // Concatenated bytes of a regular-sector chain, `size` of them.
    bool gather(const std::vector<quint32> &ids, qint64 size, QByteArray &out, const char *what);

    const QByteArray &m_file;
    QString *m_error;
    int m_shift = 9;
    qint64 m_sectorSize = 512;
    quint32 m_sectorCount = 0;
    std::vector<quint32> m_fat;
    QByteArray m_directory;
    int m_major = 3;
};

bool CompoundReader::chain(quint32 start, const std::vector<quint32> &table, quint32 limit,
                           std::vector<quint32> &ids, const char *what)
{
    ids.clear();
    std::vector<bool> seen(limit, false);
    for (quint32 id = start; id != kEndOfChain;) {
        if (id >= limit || id >= table.size())
            return fail(QStringLiteral("the %1 runs outside the file").arg(QLatin1String(what)));
        if (seen[id])
            return fail(QStringLiteral("the %1 loops").arg(QLatin1String(what)));
        seen[id] = true;
        ids.push_back(id);
        id = table[id];
    }
    return true;
}

bool CompoundReader::gather(const std::vector<quint32> &ids, qint64 size, QByteArray &out, const char *what)
{
    if (size > qint64(ids.size()) * m_sectorSize)
        return fail(QStringLiteral("the %1 is shorter than its size").arg(QLatin1String(what)));
    out.clear();
    out.reserve(qsizetype(size));
    for (quint32 id : ids) {
        const qint64 want = std::min<qint64>(m_sectorSize, size - out.size());
        if (want <= 0)
            break;
        if (available(id) < want)
            return fail(QStringLiteral("the %1 is cut short").arg(QLatin1String(what)));
        out.append(m_file.constData() + sectorOffset(id), qsizetype(want));
    }
    return true;
}

bool CompoundReader::open()
{
    static const char signature[8] = {'\xD0', '\xCF', '\x11', '\xE0', '\xA1', '\xB1', '\x1A', '\xE1'};
    if (m_file.size() < 512 || memcmp(m_file.constData(), signature, 8) != 0)
        return fail(QStringLiteral("no compound file header"));
    const quint16 major = qFromLittleEndian<quint16>(m_file.constData() + 26);
    const quint16 shift = qFromLittleEndian<quint16>(m_file.constData() + 30);
    const quint16 miniShift = qFromLittleEndian<quint16>(m_file.constData() + 32);
    if (!((major == 3 && shift == 9) || (major == 4 && shift == 12)) || miniShift != 6)
        return fail(QStringLiteral("unknown sector sizes"));
    m_major = major;
    m_shift = shift;
    m_sectorSize = qint64(1) << shift;
    if (m_file.size() < m_sectorSize)
        return fail(QStringLiteral("cut short in its header"));
    m_sectorCount = quint32(std::min<qint64>((m_file.size() - m_sectorSize + m_sectorSize - 1) / m_sectorSize,
                                             kMaxRegSect));

    // FAT sector ids: 109 in the header, then the DIFAT chain, whose sectors
    // each end with the id of the next one.
    std::vector<quint32> fatSectors;
    const quint32 declaredFat = u32At(44);
    auto takeFatId = [&](quint32 id) -> bool {
        if (id == kFreeSect || id == kEndOfChain || fatSectors.size() >= declaredFat)
            return true;
        if (id >= m_sectorCount || available(id) < m_sectorSize)
            return fail(QStringLiteral("a FAT sector lies outside the file"));
        fatSectors.push_back(id);
        return true;
    };
    for (int i = 0; i < kHeaderDifat; ++i) {
        if (!takeFatId(u32At(76 + i * 4)))
            return false;
    }
    std::vector<bool> seenDifat(m_sectorCount, false);
    const int perDifat = int(m_sectorSize / 4) - 1;
    for (quint32 d = u32At(68); d != kEndOfChain && d != kFreeSect && fatSectors.size() < declaredFat;) {
        if (d >= m_sectorCount || available(d) < m_sectorSize)
            return fail(QStringLiteral("a DIFAT sector lies outside the file"));
        if (seenDifat[d])
            return fail(QStringLiteral("the DIFAT chain loops"));
        seenDifat[d] = true;
        const qint64 base = sectorOffset(d);
        for (int i = 0; i < perDifat; ++i) {
            if (!takeFatId(u32At(base + i * 4)))
                return false;
        }
        d = u32At(base + perDifat * 4);
    }
    if (fatSectors.empty())
        return fail(QStringLiteral("no FAT"));
    // The FAT need not cover more than the sectors the file has.
    const size_t perSector = size_t(m_sectorSize / 4);
    m_fat.reserve(std::min<size_t>(fatSectors.size() * perSector, m_sectorCount));
    for (quint32 f : fatSectors) {
        const qint64 base = sectorOffset(f);
        for (size_t i = 0; i < perSector && m_fat.size() < m_sectorCount; ++i)
            m_fat.push_back(u32At(base + qint64(i) * 4));
    }

    std::vector<quint32> dirIds;
    if (!chain(u32At(48), m_fat, m_sectorCount, dirIds, "directory chain"))
        return false;
    if (!gather(dirIds, qint64(dirIds.size()) * m_sectorSize, m_directory, "directory"))
        return false;
    if (m_directory.size() < 128 || quint8(m_directory.at(66)) != 5)
        return fail(QStringLiteral("no root entry"));
    return true;
}

bool CompoundReader::readStream(const QStringList &names, QByteArray &out)
{
    const char *dir = m_directory.constData();
    const qsizetype entries = m_directory.size() / 128;
    qsizetype found = -1;
    for (const QString &wanted : names) {
        for (qsizetype i = 1; i < entries && found < 0; ++i) {
            const char *e = dir + i * 128;
            if (quint8(e[66]) != 2)
                continue;
            const int nameBytes = qFromLittleEndian<quint16>(e + 64);
            if (nameBytes < 2 || nameBytes > 64 || nameBytes % 2)
                continue;
            QString name;
            for (int k = 0; k + 2 < nameBytes; k += 2)
                name.append(QChar(qFromLittleEndian<quint16>(e + k)));
            if (name.compare(wanted, Qt::CaseInsensitive) == 0)
                found = i;
        }
        if (found >= 0)
            break;
    }
    if (found < 0) {
        if (m_error)
            *m_error = QStringLiteral("the file holds no %1 stream").arg(names.join(QLatin1String(" or ")));
        return false;
    }
    const char *e = dir + found * 128;
    const quint32 start = qFromLittleEndian<quint32>(e + 116);
    qint64 size = qFromLittleEndian<quint32>(e + 120);
    if (m_major == 4)
        size |= qint64(qFromLittleEndian<quint32>(e + 124)) << 32;
    if (size > m_file.size())
        return fail(QStringLiteral("a stream is larger than the file"));
    const quint32 cutoff = u32At(56);
    if (size >= cutoff) {
        std::vector<quint32> ids;
        if (!chain(start, m_fat, m_sectorCount, ids, "stream chain"))
            return false;
        // A stream in consecutive sectors, as writers lay it out, is handed out where it lies
        // in the file instead of being copied.
        bool consecutive = size <= qint64(ids.size()) * m_sectorSize;
        for (size_t i = 1; consecutive && i < ids.size(); ++i)
            consecutive = ids[i] == ids[i - 1] + 1;
        if (consecutive && !ids.empty() && sectorOffset(ids[0]) + size <= m_file.size()) {
            out = QByteArray::fromRawData(m_file.constData() + sectorOffset(ids[0]), qsizetype(size));
            return true;
        }
        return gather(ids, size, out, "stream");
    }

    // Small streams live in the mini stream: 64-byte sectors inside the
    // root entry's stream, chained through the mini FAT.
    const quint32 rootStart = qFromLittleEndian<quint32>(dir + 116);
    qint64 rootSize = qFromLittleEndian<quint32>(dir + 120);
    if (rootSize > m_file.size())
        return fail(QStringLiteral("the mini stream is larger than the file"));
    std::vector<quint32> ids;
    QByteArray mini;
    if (!chain(rootStart, m_fat, m_sectorCount, ids, "mini stream chain") || !gather(ids, rootSize, mini, "mini stream"))
        return false;
    QByteArray miniFatBytes;
    if (!chain(u32At(60), m_fat, m_sectorCount, ids, "mini FAT chain")
        || !gather(ids, qint64(ids.size()) * m_sectorSize, miniFatBytes, "mini FAT"))
        return false;
    std::vector<quint32> miniFat(size_t(miniFatBytes.size() / 4));
    for (size_t i = 0; i < miniFat.size(); ++i)
        miniFat[i] = qFromLittleEndian<quint32>(miniFatBytes.constData() + i * 4);
    const quint32 miniSectors = quint32(mini.size() / 64);
    if (!chain(start, miniFat, miniSectors, ids, "mini stream sector chain"))
        return false;
    if (size > qint64(ids.size()) * 64)
        return fail(QStringLiteral("a stream is shorter than its size"));
    out.clear();
    out.reserve(qsizetype(size));
    for (quint32 id : ids) {
        const qint64 want = std::min<qint64>(64, size - out.size());
        if (want <= 0)
            break;
        out.append(mini.constData() + qint64(id) * 64, qsizetype(want));
    }
    return true;
}

} // namespace

bool readCompoundStream(const QByteArray &file, const QStringList &names, QByteArray &out, QString *error)
{
    CompoundReader reader(file, error);
    return reader.open() && reader.readStream(names, out);
}

} // namespace exchange
