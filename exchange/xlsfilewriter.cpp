#include "xlsfilewriter.h"

#include "compoundfile.h"

#include <QFile>
#include <QHash>
#include <QSet>
#include <QTemporaryFile>
#include <QtEndian>

#include <cerrno>
#include <climits>
#include <cstring>
#include <memory>

#include <unistd.h>

namespace exchange {

namespace {

constexpr int kMaxRecordData = 8224;

// Cell formats (XF indexes) this writer emits after the 15 style formats.
constexpr quint16 kXfGeneral = 15;
constexpr quint16 kXfDateTime = 16;
constexpr quint16 kXfDate = 17;
constexpr quint16 kXfTime = 18;
constexpr quint16 kFmtDateTime = 164;
constexpr quint16 kFmtDate = 165;
constexpr quint16 kFmtTime = 21; // built-in h:mm:ss

class Bytes
{
public:
    QByteArray data;
    void u8(quint8 v) { data.append(char(v)); }
    void u16(quint16 v)
    {
        char b[2];
        qToLittleEndian(v, b);
        data.append(b, 2);
    }
    void u32(quint32 v)
    {
        char b[4];
        qToLittleEndian(v, b);
        data.append(b, 4);
    }
    void f64(double v)
    {
        char b[8];
        qToLittleEndian(v, b);
        data.append(b, 8);
    }
};

bool fitsLatin1(const QString &s)
{
    for (const QChar ch : s) {
        if (ch.unicode() > 0xFF)
            return false;
    }
    return true;
}

// Character bytes of a BIFF8 string body: one byte a character when all
// fit Latin-1, UTF-16LE otherwise.
void appendChars(Bytes &b, const QString &s, bool wide)
{
    if (!wide) {
        b.data.append(s.toLatin1());
        return;
    }
    for (const QChar ch : s)
        b.u16(ch.unicode());
}

void record(QByteArray &stream, quint16 id, const QByteArray &body)
{
    Bytes b;
    b.u16(id);
    b.u16(quint16(body.size()));
    stream.append(b.data);
    stream.append(body);
}

QByteArray bof(quint16 type)
{
    Bytes b;
    b.u16(0x0600);
    b.u16(type);
    b.u16(0x0DBB);
    b.u16(0x07CC);
    b.u32(0);
    b.u32(6);
    return b.data;
}

QByteArray font()
{
    Bytes b;
    b.u16(200); // 10 pt
    b.u16(0);
    b.u16(0x7FFF);
    b.u16(400);
    b.u16(0);
    b.u8(0);
    b.u8(0);
    b.u8(0);
    b.u8(0);
    const QString name = QStringLiteral("Arial");
    b.u8(quint8(name.size()));
    b.u8(0);
    appendChars(b, name, false);
    return b.data;
}

QByteArray format(quint16 index, const QString &code)
{
    Bytes b;
    b.u16(index);
    b.u16(quint16(code.size()));
    b.u8(0);
    appendChars(b, code, false);
    return b.data;
}

QByteArray xf(quint16 formatIndex, bool style)
{
    Bytes b;
    b.u16(0);                               // font 0
    b.u16(formatIndex);
    b.u16(style ? 0xFFF5 : 0x0001);         // locked; style XFs have no parent
    b.u8(0x20);                             // bottom aligned
    b.u8(0);
    b.u8(0);
    b.u8(style ? 0xF4 : (formatIndex ? 0x04 : 0x00)); // attributes this XF sets
    b.u32(0);
    b.u32(0);
    b.u16(0x20C0);                          // default pattern colours
    return b.data;
}

// Shared string table split over SST and CONTINUE records: a string that
// does not fit goes on in the next record, which then starts with its
// option byte again.
void writeSst(QByteArray &stream, const QStringList &strings, quint32 total)
{
    QList<QByteArray> bodies;
    Bytes cur;
    cur.u32(total);
    cur.u32(quint32(strings.size()));
    auto flush = [&]() {
        bodies.append(cur.data);
        cur.data.clear();
    };
    for (const QString &s : strings) {
        const bool wide = !fitsLatin1(s);
        const int charSize = wide ? 2 : 1;
        if (cur.data.size() + 3 + charSize > kMaxRecordData)
            flush();
        cur.u16(quint16(s.size()));
        cur.u8(wide ? 1 : 0);
        int pos = 0;
        while (pos < s.size()) {
            const int room = (kMaxRecordData - cur.data.size()) / charSize;
            if (room <= 0) {
                flush();
                cur.u8(wide ? 1 : 0);
                continue;
            }
            const int n = std::min<int>(room, s.size() - pos);
            appendChars(cur, s.mid(pos, n), wide);
            pos += n;
        }
    }
    flush();
    for (int i = 0; i < bodies.size(); ++i)
        record(stream, i == 0 ? 0x00FC : 0x003C, bodies.at(i));
}

quint16 xfForDate(const QDateTime &dt)
{
    if (dt.date() == QDate(1899, 12, 30))
        return kXfTime;
    return dt.time().msecsSinceStartOfDay() == 0 ? kXfDate : kXfDateTime;
}

} // namespace

namespace {

// The shared string table, filled as the sheets' cells are written.
struct StringTable
{
    QStringList strings;
    QHash<QString, quint32> index;
    quint32 refs = 0;

    quint32 take(const QString &s)
    {
        ++refs;
        const auto it = index.constFind(s);
        if (it != index.constEnd())
            return *it;
        const quint32 i = quint32(strings.size());
        index.insert(s, i);
        strings.append(s);
        return i;
    }
};

// Where the records of one sheet go: memory, or a file of their own while the strings of the
// sheets after them are not known yet (the globals, which hold the string table, come first).
class RecordOut
{
public:
    explicit RecordOut(QFile *spill = nullptr) : m_spill(spill) {}

    void record(quint16 id, const char *body, int size)
    {
        char head[4];
        qToLittleEndian(id, head);
        qToLittleEndian(quint16(size), head + 2);
        m_buffer.append(head, 4);
        m_buffer.append(body, size);
        if (m_spill && m_buffer.size() >= kSpillPiece)
            flush();
    }
    void record(quint16 id, const QByteArray &body) { record(id, body.constData(), int(body.size())); }
    // Writes what is buffered to the file; false (with why()) when it cannot.
    bool flush()
    {
        if (!m_spill || m_failed)
            return !m_failed;
        for (qsizetype done = 0; done < m_buffer.size();) {
            const ssize_t n = ::pwrite(m_spill->handle(), m_buffer.constData() + done, size_t(m_buffer.size() - done),
                                       off_t(m_written));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return failWrite(n < 0 ? errno : ENOSPC);
            done += n;
            m_written += n;
        }
        m_buffer.clear();
        return true;
    }
    bool failed() const { return m_failed; }
    QString why() const { return m_why; }
    qint64 size() const { return m_written + m_buffer.size(); }
    // Hands the records kept in the file to out, piece by piece.
    bool copyTo(const std::function<bool(const char *, qint64)> &out)
    {
        if (!m_spill)
            return out(m_buffer.constData(), m_buffer.size());
        QByteArray piece(1 << 20, Qt::Uninitialized);
        for (qint64 at = 0; at < m_written;) {
            const ssize_t n = ::pread(m_spill->handle(), piece.data(), size_t(std::min<qint64>(piece.size(), m_written - at)),
                                      off_t(at));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                m_why = QStringLiteral("cannot read %1: %2").arg(m_spill->fileName(), systemError(n < 0 ? errno : EIO));
                return false;
            }
            if (!out(piece.constData(), n))
                return false;
            at += n;
        }
        return true;
    }

private:
    static QString systemError(int code) { return QString::fromLocal8Bit(std::strerror(code)); }
    bool failWrite(int code)
    {
        m_failed = true;
        m_why = QStringLiteral("cannot write %1 (%2 bytes written): %3")
                    .arg(m_spill->fileName()).arg(m_written).arg(systemError(code));
        return false;
    }

    static constexpr qsizetype kSpillPiece = 256 * 1024;
    QFile *m_spill;
    QByteArray m_buffer;
    qint64 m_written = 0;
    bool m_failed = false;
    QString m_why;
};

// The bounding box of the cells written.
struct Extent
{
    int firstRow = INT_MAX, firstCol = INT_MAX, lastRow = -1, lastCol = -1;
    void add(int row, int col)
    {
        firstRow = std::min(firstRow, row);
        lastRow = std::max(lastRow, row);
        firstCol = std::min(firstCol, col);
        lastCol = std::max(lastCol, col);
    }
    bool used() const { return lastRow >= 0; }
};

bool failWith(QString *error, const QString &why)
{
    if (error)
        *error = why;
    return false;
}

// The cell records of a sheet's rows, their texts taken into the string table. False, with a
// reason, at a cell the format cannot hold or when the rows cannot be had.
bool writeCells(SheetRows &rows, StringTable &strings, RecordOut &out, Extent &extent, QString *error)
{
    const int maxRows = Workbook::maxRows(FileFormat::Xls);
    const int maxCols = Workbook::maxColumns(FileFormat::Xls);
    int r = 0;
    const QList<QVariant> *cells = nullptr;
    char body[14];
    while (rows.next(r, cells)) {
        for (int c = 0; c < cells->size(); ++c) {
            const QVariant &v = cells->at(c);
            if (!v.isValid())
                continue;
            if (r >= maxRows)
                return failWith(error, QStringLiteral("more than %1 rows do not fit a .xls file").arg(maxRows));
            if (c >= maxCols)
                return failWith(error, QStringLiteral("more than %1 columns do not fit a .xls file").arg(maxCols));
            qToLittleEndian(quint16(r), body);
            qToLittleEndian(quint16(c), body + 2);
            switch (v.typeId()) {
            case QMetaType::QString: {
                const QString s = v.toString();
                if (s.size() > kMaxCellText)
                    return failWith(error, QStringLiteral("a text of %1 characters is longer than a cell holds (%2)")
                                               .arg(s.size()).arg(kMaxCellText));
                qToLittleEndian(kXfGeneral, body + 4);
                qToLittleEndian(strings.take(s), body + 6);
                out.record(0x00FD, body, 10);
                break;
            }
            case QMetaType::Bool:
                qToLittleEndian(kXfGeneral, body + 4);
                body[6] = v.toBool() ? 1 : 0;
                body[7] = 0;
                out.record(0x0205, body, 8);
                break;
            case QMetaType::QDateTime: {
                const QDateTime dt = v.toDateTime();
                qToLittleEndian(xfForDate(dt), body + 4);
                qToLittleEndian(toSerial(dt), body + 6);
                out.record(0x0203, body, 14);
                break;
            }
            default:
                qToLittleEndian(kXfGeneral, body + 4);
                qToLittleEndian(v.toDouble(), body + 6);
                out.record(0x0203, body, 14);
                break;
            }
            extent.add(r, c);
        }
        if (out.failed())
            return failWith(error, out.why());
    }
    if (!rows.failure().isEmpty())
        return failWith(error, rows.failure());
    return true;
}

// What goes before a sheet's cells: its BOF and DIMENSION records.
QByteArray sheetHead(const Extent &extent)
{
    QByteArray head;
    record(head, 0x0809, bof(0x0010));
    Bytes b;
    b.u32(extent.used() ? quint32(extent.firstRow) : 0);
    b.u32(extent.used() ? quint32(extent.lastRow + 1) : 0);
    b.u16(extent.used() ? quint16(extent.firstCol) : 0);
    b.u16(extent.used() ? quint16(extent.lastCol + 1) : 0);
    b.u16(0);
    record(head, 0x0200, b.data);
    return head;
}

// What goes after them: the window settings (the first sheet selected) and EOF.
void sheetTail(RecordOut &out, bool first)
{
    Bytes b;
    b.u16(first ? 0x06B6 : 0x04B6);
    b.u16(0);
    b.u16(0);
    b.u32(0x40);
    b.u16(0);
    b.u16(0);
    b.u32(0);
    out.record(0x023E, b.data);
    out.record(0x000A, QByteArray());
}

QByteArray globalsStream(const Workbook &workbook, const StringTable &strings, QList<int> &offsetPositions)
{
    QByteArray globals;
    record(globals, 0x0809, bof(0x0005));
    {
        Bytes b;
        b.u16(1200); // strings are UTF-16 or Latin-1, no code page needed
        record(globals, 0x0042, b.data);
    }
    {
        Bytes b;
        b.u16(0);
        b.u16(0);
        b.u16(0x3000);
        b.u16(0x1E00);
        b.u16(0x0038);
        b.u16(0);
        b.u16(0);
        b.u16(1);
        b.u16(0x0258);
        record(globals, 0x003D, b.data);
    }
    {
        Bytes b;
        b.u16(0); // 1900 date system
        record(globals, 0x0022, b.data);
    }
    for (int i = 0; i < 5; ++i)
        record(globals, 0x0031, font());
    record(globals, 0x041E, format(kFmtDateTime, QStringLiteral("yyyy/mm/dd hh:mm:ss")));
    record(globals, 0x041E, format(kFmtDate, QStringLiteral("yyyy/mm/dd")));
    for (int i = 0; i < 15; ++i)
        record(globals, 0x00E0, xf(0, true));
    record(globals, 0x00E0, xf(0, false));
    record(globals, 0x00E0, xf(kFmtDateTime, false));
    record(globals, 0x00E0, xf(kFmtDate, false));
    record(globals, 0x00E0, xf(kFmtTime, false));
    {
        Bytes b;
        b.u16(0x8000); // built-in style "Normal" on XF 0
        b.u8(0);
        b.u8(0xFF);
        record(globals, 0x0293, b.data);
    }

    // Sheet names; the BOUNDSHEET offsets are patched once the sheet streams' positions are
    // known.
    SheetNames sheetNames;
    for (size_t i = 0; i < workbook.sheets.size(); ++i) {
        const QString name = sheetNames.take(workbook.sheets[i].name, int(i));
        const bool wide = !fitsLatin1(name);
        Bytes b;
        b.u32(0);
        b.u8(0);
        b.u8(0);
        b.u8(quint8(name.size()));
        b.u8(wide ? 1 : 0);
        appendChars(b, name, wide);
        offsetPositions.append(int(globals.size()) + 4);
        record(globals, 0x0085, b.data);
    }
    writeSst(globals, strings.strings, strings.refs);
    record(globals, 0x000A, QByteArray());
    return globals;
}

} // namespace

bool writeXlsFile(const Workbook &workbook, const std::function<bool(const char *, qint64)> &sink, QString *error,
                  const StreamedSheet *streamed)
{
    if (workbook.sheets.empty())
        return failWith(error, QStringLiteral("no worksheet to write"));
    for (size_t i = 0; i < workbook.sheets.size(); ++i) {
        if (!workbook.sheets[i].loaded && !(streamed && streamed->index == i))
            return failWith(error, QStringLiteral("the workbook was not read whole"));
    }

    // Every sheet's cells first, in order, so that the string table the globals must hold
    // before any sheet is complete; a streamed sheet's records wait in a file of their own.
    StringTable strings;
    std::vector<std::unique_ptr<RecordOut>> bodies;
    std::vector<QByteArray> heads;
    std::unique_ptr<QTemporaryFile> spill;
    for (size_t i = 0; i < workbook.sheets.size(); ++i) {
        const bool isStreamed = streamed && streamed->index == i;
        if (isStreamed) {
            spill = std::make_unique<QTemporaryFile>(streamed->spillFolder + QStringLiteral("/.rows.XXXXXX"));
            if (!spill->open())
                return failWith(error, QStringLiteral("cannot create a file in %1: %2")
                                           .arg(streamed->spillFolder, spill->errorString()));
        }
        bodies.push_back(std::make_unique<RecordOut>(isStreamed ? spill.get() : nullptr));
        ModelRows own(workbook.sheets[i]);
        SheetRows &rows = isStreamed ? *streamed->rows : own;
        Extent extent;
        if (!writeCells(rows, strings, *bodies.back(), extent, error))
            return false;
        sheetTail(*bodies.back(), i == 0);
        if (!bodies.back()->flush())
            return failWith(error, bodies.back()->why());
        heads.push_back(sheetHead(extent));
    }

    QList<int> offsetPositions;
    QByteArray globals = globalsStream(workbook, strings, offsetPositions);
    qint64 total = globals.size();
    for (size_t i = 0; i < bodies.size(); ++i) {
        if (total > 0x7FFFFFFF)
            break;
        qToLittleEndian(quint32(total), globals.data() + offsetPositions.at(qsizetype(i)));
        total += heads[i].size() + bodies[i]->size();
    }
    // The compound file's sizes are 32-bit, and readers take offsets as signed.
    if (total > 0x7FFFFFFF)
        return failWith(error, QStringLiteral("the workbook is too large for a .xls file"));

    QString why;
    const auto writeStream = [&](const std::function<bool(const char *, qint64)> &out) {
        if (!out(globals.constData(), globals.size()))
            return false;
        for (size_t i = 0; i < bodies.size(); ++i) {
            if (!out(heads[i].constData(), heads[i].size()))
                return false;
            if (!bodies[i]->copyTo(out)) {
                why = bodies[i]->why();
                return false;
            }
        }
        return true;
    };
    if (!writeCompoundFile(QStringLiteral("Workbook"), total, writeStream, sink)) {
        if (!why.isEmpty() && error)
            *error = why;
        return false;
    }
    return true;
}

bool buildXlsFile(const Workbook &workbook, QByteArray &out, QString *error)
{
    out.clear();
    return writeXlsFile(
        workbook,
        [&out](const char *data, qint64 size) {
            out.append(data, qsizetype(size));
            return true;
        },
        error);
}

} // namespace exchange
