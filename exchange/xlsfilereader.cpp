#include "xlsfilereader.h"

#include "compoundfile.h"

#include <QHash>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <memory>

namespace exchange {

namespace {

enum : quint16 {
    kFormula = 0x0006,
    kEof = 0x000A,
    kDateMode = 0x0022,
    kFilePass = 0x002F,
    kContinue = 0x003C,
    kBoundSheet = 0x0085,
    kMulRk = 0x00BD,
    kSst = 0x00FC,
    kLabelSst = 0x00FD,
    kRString = 0x00D6,
    kXf = 0x00E0,
    kNumber = 0x0203,
    kLabel = 0x0204,
    kBoolErr = 0x0205,
    kString = 0x0207,
    kRk = 0x027E,
    kFormat = 0x041E,
    kBof = 0x0809,
};

struct Record
{
    quint16 id = 0;
    const char *data = nullptr;
    int size = 0;
};

// Walks the records of a BIFF stream from a given offset.
class RecordReader
{
public:
    RecordReader(const QByteArray &stream, qint64 offset) : m_stream(stream), m_pos(offset) {}
    // False at the end of the stream; sets damaged when a record is cut off.
    bool next(Record &r)
    {
        if (m_pos + 4 > m_stream.size()) {
            m_damaged = m_pos < m_stream.size();
            return false;
        }
        const char *p = m_stream.constData() + m_pos;
        r.id = qFromLittleEndian<quint16>(p);
        r.size = qFromLittleEndian<quint16>(p + 2);
        if (m_pos + 4 + r.size > m_stream.size()) {
            m_damaged = true;
            return false;
        }
        r.data = p + 4;
        m_pos += 4 + r.size;
        return true;
    }
    // The next record, without moving on.
    bool peek(Record &r)
    {
        const qint64 keep = m_pos;
        const bool ok = next(r);
        m_pos = keep;
        m_damaged = false;
        return ok;
    }
    bool damaged() const { return m_damaged; }
    qint64 position() const { return m_pos; }

private:
    const QByteArray &m_stream;
    qint64 m_pos;
    bool m_damaged = false;
};

quint16 u16(const char *p) { return qFromLittleEndian<quint16>(p); }
quint32 u32(const char *p) { return qFromLittleEndian<quint32>(p); }
double f64(const char *p)
{
    const quint64 bits = qFromLittleEndian<quint64>(p);
    double d;
    memcpy(&d, &bits, 8);
    return d;
}

double rkValue(quint32 rk)
{
    double d;
    if (rk & 0x02) {
        d = double(qint32(rk) >> 2);
    } else {
        const quint64 bits = quint64(rk & 0xFFFFFFFCu) << 32;
        memcpy(&d, &bits, 8);
    }
    return (rk & 0x01) ? d / 100.0 : d;
}

QString errorText(quint8 code)
{
    switch (code) {
    case 0x00: return QStringLiteral("#NULL!");
    case 0x07: return QStringLiteral("#DIV/0!");
    case 0x0F: return QStringLiteral("#VALUE!");
    case 0x17: return QStringLiteral("#REF!");
    case 0x1D: return QStringLiteral("#NAME?");
    case 0x24: return QStringLiteral("#NUM!");
    case 0x2A: return QStringLiteral("#N/A");
    default: return QStringLiteral("#ERR%1").arg(code);
    }
}

// A string body spread over a record and the CONTINUE records after it.
// Character runs that cross into the next record start there with a fresh
// option byte (compressed or UTF-16); other bytes simply go on.
class Segments
{
public:
    void add(const char *data, int size) { m_parts.push_back({data, std::max(size, 0)}); }
    bool atEnd()
    {
        skipEmpty();
        return m_part >= m_parts.size();
    }
    bool bytes(char *out, int n)
    {
        while (n > 0) {
            skipEmpty();
            if (m_part >= m_parts.size())
                return false;
            const Part &p = m_parts[m_part];
            const int take = std::min(n, p.size - m_offset);
            if (out) {
                memcpy(out, p.data + m_offset, size_t(take));
                out += take;
            }
            m_offset += take;
            n -= take;
        }
        return true;
    }
    bool skip(qint64 n)
    {
        while (n > 0) {
            skipEmpty();
            if (m_part >= m_parts.size())
                return false;
            const qint64 take = std::min<qint64>(n, m_parts[m_part].size - m_offset);
            m_offset += int(take);
            n -= take;
        }
        return true;
    }
    bool chars(int count, bool wide, QString &out)
    {
        out.resize(count);
        QChar *dst = out.data();
        int done = 0;
        while (done < count) {
            if (m_part < m_parts.size() && m_offset >= m_parts[m_part].size) {
                ++m_part;
                m_offset = 0;
                // Characters going on in the next record: it starts with
                // their option byte.
                if (m_part >= m_parts.size() || m_parts[m_part].size < 1)
                    return false;
                wide = m_parts[m_part].data[0] & 0x01;
                m_offset = 1;
            } else if (m_part >= m_parts.size()) {
                return false;
            }
            const Part &p = m_parts[m_part];
            const int charSize = wide ? 2 : 1;
            const int room = (p.size - m_offset) / charSize;
            if (room == 0) {
                if (p.size - m_offset > 0)
                    return false; // half a character at a record's end
                m_offset = p.size;
                continue;
            }
            const int n = std::min(room, count - done);
            const uchar *src = reinterpret_cast<const uchar *>(p.data + m_offset);
            if (wide) {
                for (int i = 0; i < n; ++i)
                    dst[done + i] = QChar(char16_t(src[2 * i] | (src[2 * i + 1] << 8)));
            } else {
                for (int i = 0; i < n; ++i)
                    dst[done + i] = QChar(char16_t(src[i]));
            }
            m_offset += n * charSize;
            done += n;
        }
        return true;
    }

private:
    struct Part
    {
        const char *data;
        int size;
    };
    void skipEmpty()
    {
        while (m_part < m_parts.size() && m_offset >= m_parts[m_part].size) {
            ++m_part;
            m_offset = 0;
        }
    }
    std::vector<Part> m_parts;
    size_t m_part = 0;
    int m_offset = 0;
};

// A unicode string with a 16-bit (or 8-bit) length, its option byte and
// the rich-text and phonetic blocks that may follow its characters.
bool readUnicode(Segments &in, bool shortLength, QString &out)
{
    char head[3];
    int count;
    if (shortLength) {
        if (!in.bytes(head, 2))
            return false;
        count = quint8(head[0]);
        head[2] = head[1];
    } else {
        if (!in.bytes(head, 3))
            return false;
        count = u16(head);
    }
    const quint8 flags = quint8(head[2]);
    quint16 runs = 0;
    quint32 extBytes = 0;
    char buf[4];
    if (flags & 0x08) {
        if (!in.bytes(buf, 2))
            return false;
        runs = u16(buf);
    }
    if (flags & 0x04) {
        if (!in.bytes(buf, 4))
            return false;
        extBytes = u32(buf);
    }
    return in.chars(count, flags & 0x01, out) && in.skip(qint64(runs) * 4) && in.skip(extBytes);
}

// Number formats that show dates, judged the way xlrd judges them, so that
// a cell is a date here exactly when it is one there.
bool isDateFormatString(const QString &code)
{
    QString s;
    int state = 0;
    for (const QChar ch : code) {
        if (state == 0) {
            if (ch == QLatin1Char('"'))
                state = 1;
            else if (ch == QLatin1Char('\\') || ch == QLatin1Char('_') || ch == QLatin1Char('*'))
                state = 2;
            else if (!QStringLiteral("$-+/(): ").contains(ch))
                s += ch;
        } else if (state == 1) {
            if (ch == QLatin1Char('"'))
                state = 0;
        } else {
            state = 0;
        }
    }
    QString reduced;
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s.at(i) == QLatin1Char('[')) {
            const qsizetype close = s.indexOf(QLatin1Char(']'), i);
            if (close > i) {
                i = close;
                continue;
            }
        }
        reduced += s.at(i);
    }
    static const QStringList nonDate = {QStringLiteral("0.00E+00"), QStringLiteral("##0.0E+0"),
                                        QStringLiteral("General"), QStringLiteral("GENERAL"),
                                        QStringLiteral("general"), QStringLiteral("@")};
    if (nonDate.contains(reduced))
        return false;
    int dateCount = 0, numCount = 0;
    for (const QChar ch : reduced) {
        if (QStringLiteral("ymdhsYMDHS").contains(ch))
            dateCount += 5;
        else if (ch == QLatin1Char('0') || ch == QLatin1Char('#') || ch == QLatin1Char('?'))
            numCount += 5;
    }
    return dateCount > numCount;
}

bool isBuiltInDateFormat(int id)
{
    return (id >= 14 && id <= 22) || (id >= 27 && id <= 36) || (id >= 45 && id <= 47)
        || (id >= 50 && id <= 58) || (id >= 71 && id <= 81);
}

struct SheetEntry
{
    QString name;
    quint32 offset = 0;
};

class XlsReader
{
public:
    XlsReader(const QByteArray &stream, QString *error, bool dates)
        : m_stream(stream), m_error(error), m_dates(dates)
    {
    }

    bool readGlobals(std::vector<SheetEntry> &sheets);
    // Reads the sheet whose BOF is at offset; *end is where its records end.
    bool readSheet(quint32 offset, Sheet &sheet, qint64 budget, qint64 *end);
    qint64 stringBytes() const { return m_stringBytes; }
    // Hands the cells readSheet reads to sink instead of building them into the sheet.
    void toSink(CellSink *sink) { m_sink = sink; }

private:
    bool fail(const QString &why)
    {
        if (m_error)
            *m_error = why;
        return false;
    }
    bool damaged(const char *what)
    {
        return fail(QStringLiteral("damaged .xls file: %1").arg(QLatin1String(what)));
    }
    QVariant number(double value, quint16 xf) const
    {
        if (xf < m_xfIsDate.size() && m_xfIsDate[xf]) {
            const QDateTime dt = fromSerial(value, m_date1904);
            if (dt.isValid())
                return dt;
        }
        return value;
    }
    bool readSst(const Record &first, RecordReader &records);

    const QByteArray &m_stream;
    QString *m_error;
    bool m_dates;
    bool m_date1904 = false;
    std::vector<bool> m_xfIsDate;
    QStringList m_strings;
    qint64 m_stringBytes = 0;
    CellSink *m_sink = nullptr;
};

bool XlsReader::readSst(const Record &first, RecordReader &records)
{
    Segments in;
    in.add(first.data, first.size);
    Record r;
    while (records.peek(r) && r.id == kContinue) {
        records.next(r);
        in.add(r.data, r.size);
    }
    char head[8];
    if (!in.bytes(head, 8))
        return damaged("shared string table");
    const quint32 unique = u32(head + 4);
    // The declared count is not trusted for allocation: strings are read
    // while there are bytes for them.
    for (quint32 i = 0; i < unique && !in.atEnd(); ++i) {
        QString s;
        if (!readUnicode(in, false, s))
            return damaged("shared string table");
        m_stringBytes += Limits::kStringSlotBytes + Limits::textBytes(s.size());
        if (m_stringBytes > Limits::kMaxModelBytes)
            return fail(QStringLiteral("the workbook's texts are too large to read"));
        m_strings.append(s);
    }
    return true;
}

bool XlsReader::readGlobals(std::vector<SheetEntry> &sheets)
{
    RecordReader records(m_stream, 0);
    Record r;
    if (!records.next(r) || r.id != kBof || r.size < 4)
        return damaged("no workbook globals");
    const quint16 version = u16(r.data);
    if (version != 0x0600)
        return fail(QStringLiteral("only Excel 97 and later .xls files (BIFF8) can be read"));
    std::vector<quint16> xfFormat;
    QHash<quint16, bool> customDate;
    bool ended = false;
    while (records.next(r)) {
        switch (r.id) {
        case kEof:
            ended = true;
            break;
        case kFilePass:
            return fail(QStringLiteral("the workbook is password protected"));
        case kDateMode:
            if (r.size >= 2)
                m_date1904 = u16(r.data) == 1;
            break;
        case kFormat:
            if (r.size >= 5) {
                Segments in;
                in.add(r.data + 2, r.size - 2);
                QString code;
                if (readUnicode(in, false, code))
                    customDate.insert(u16(r.data), isDateFormatString(code));
            }
            break;
        case kXf:
            if (r.size >= 4)
                xfFormat.push_back(u16(r.data + 2));
            break;
        case kBoundSheet:
            if (r.size >= 8) {
                // Worksheets only: chart and macro sheets hold no cells to read.
                if (quint8(r.data[5]) != 0)
                    break;
                Segments in;
                in.add(r.data + 6, r.size - 6);
                SheetEntry e;
                e.offset = u32(r.data);
                if (!readUnicode(in, true, e.name))
                    return damaged("sheet name");
                sheets.push_back(e);
            }
            break;
        case kSst:
            if (!readSst(r, records))
                return false;
            break;
        default:
            break;
        }
        if (ended)
            break;
    }
    if (!ended)
        return damaged("the workbook globals are cut short");
    m_xfIsDate.resize(m_dates ? xfFormat.size() : 0);
    for (size_t i = 0; i < m_xfIsDate.size(); ++i) {
        const quint16 f = xfFormat[i];
        m_xfIsDate[i] = customDate.contains(f) ? customDate.value(f) : isBuiltInDateFormat(f);
    }
    if (sheets.empty())
        return fail(QStringLiteral("the workbook holds no worksheet"));
    return true;
}

bool XlsReader::readSheet(quint32 offset, Sheet &sheet, qint64 budget, qint64 *end)
{
    RecordReader records(m_stream, offset);
    Record r;
    if (!records.next(r) || r.id != kBof)
        return damaged("a worksheet is missing");
    int depth = 1; // embedded charts bring their own BOF and EOF
    bool pendingString = false;
    int pendingRow = 0, pendingCol = 0;
    // One cell: with `present`, whether it has a value, which a sink that wants no values is
    // told without the value being built; make() builds the value.
    auto give = [&](int row, int col, bool present, auto &&make) -> bool {
        if (col >= Workbook::maxColumns(FileFormat::Xls))
            return damaged("a cell lies outside the sheet");
        if (m_sink) {
            const bool go = m_sink->wantsValues() ? m_sink->value(row, col, normalizeCellValue(make()))
                                                  : m_sink->place(row, col, present);
            return go || fail(QStringLiteral("reading was stopped"));
        }
        sheet.setCell(row, col, normalizeCellValue(make()));
        if (sheet.allocatedBytes > budget)
            return fail(QStringLiteral("the workbook is too large to read"));
        return true;
    };
    // Numbers are values whether or not their format makes them dates.
    auto giveNumber = [&](int row, int col, double value, quint16 xf) {
        return give(row, col, true, [&] { return number(value, xf); });
    };
    auto giveText = [&](int row, int col, const QString &text) {
        return give(row, col, !text.isEmpty(), [&] { return QVariant(text); });
    };
    while (depth > 0) {
        if (!records.next(r))
            return damaged("a worksheet is cut short");
        if (r.id == kBof) {
            ++depth;
            continue;
        }
        if (r.id == kEof) {
            --depth;
            continue;
        }
        if (depth != 1)
            continue;
        const int row = r.size >= 4 ? u16(r.data) : 0;
        const int col = r.size >= 4 ? u16(r.data + 2) : 0;
        const quint16 xf = r.size >= 6 ? u16(r.data + 4) : 0;
        switch (r.id) {
        case kNumber:
            if (r.size < 14)
                return damaged("short NUMBER record");
            if (!giveNumber(row, col, f64(r.data + 6), xf))
                return false;
            break;
        case kRk:
            if (r.size < 10)
                return damaged("short RK record");
            if (!giveNumber(row, col, rkValue(u32(r.data + 6)), xf))
                return false;
            break;
        case kMulRk: {
            if (r.size < 6 || (r.size - 6) % 6 != 0)
                return damaged("bad MULRK record");
            const int n = (r.size - 6) / 6;
            for (int i = 0; i < n; ++i) {
                const char *p = r.data + 4 + i * 6;
                if (!giveNumber(row, col + i, rkValue(u32(p + 2)), u16(p)))
                    return false;
            }
            break;
        }
        case kLabelSst: {
            if (r.size < 10)
                return damaged("short LABELSST record");
            const quint32 index = u32(r.data + 6);
            if (index >= quint32(m_strings.size()))
                return damaged("a cell refers to a shared string that does not exist");
            if (!giveText(row, col, m_strings.at(qsizetype(index))))
                return false;
            break;
        }
        case kLabel:
        case kRString: {
            if (r.size < 9)
                return damaged("short LABEL record");
            Segments in;
            in.add(r.data + 6, r.size - 6);
            QString text;
            if (!readUnicode(in, false, text))
                return damaged("bad LABEL record");
            sheet.allocatedBytes += Limits::textBytes(text.size());
            if (!giveText(row, col, text))
                return false;
            break;
        }
        case kBoolErr:
            if (r.size < 8)
                return damaged("short BOOLERR record");
            if (!give(row, col, true, [&] {
                    return r.data[7] ? QVariant(errorText(quint8(r.data[6]))) : QVariant(r.data[6] != 0);
                }))
                return false;
            break;
        case kFormula: {
            if (r.size < 20)
                return damaged("short FORMULA record");
            const char *res = r.data + 6;
            if (quint8(res[6]) == 0xFF && quint8(res[7]) == 0xFF) {
                switch (quint8(res[0])) {
                case 0: // text, in the STRING record that follows
                    pendingString = true;
                    pendingRow = row;
                    pendingCol = col;
                    break;
                case 1:
                    if (!give(row, col, true, [&] { return QVariant(res[2] != 0); }))
                        return false;
                    break;
                case 2:
                    if (!give(row, col, true, [&] { return QVariant(errorText(quint8(res[2]))); }))
                        return false;
                    break;
                default: // empty text
                    break;
                }
            } else if (!giveNumber(row, col, f64(res), xf)) {
                return false;
            }
            break;
        }
        case kString: {
            if (!pendingString)
                break;
            pendingString = false;
            Segments in;
            in.add(r.data, r.size);
            Record c;
            while (records.peek(c) && c.id == kContinue) {
                records.next(c);
                in.add(c.data, c.size);
            }
            QString text;
            if (!readUnicode(in, false, text))
                return damaged("bad STRING record");
            sheet.allocatedBytes += Limits::textBytes(text.size());
            if (!giveText(pendingRow, pendingCol, text))
                return false;
            break;
        }
        default:
            break;
        }
    }
    *end = records.position();
    return true;
}

} // namespace

bool readXlsData(const QByteArray &file, Workbook &workbook, int onlySheet, QString *error, bool dates)
{
    QByteArray stream;
    if (!readCompoundStream(file, {QStringLiteral("Workbook")}, stream, error)) {
        QByteArray old;
        QString ignored;
        if (readCompoundStream(file, {QStringLiteral("Book")}, old, &ignored) && error)
            *error = QStringLiteral("only Excel 97 and later .xls files (BIFF8) can be read");
        return false;
    }
    XlsReader reader(stream, error, dates);
    std::vector<SheetEntry> entries;
    if (!reader.readGlobals(entries))
        return false;
    Workbook result;
    result.sheets.resize(entries.size());
    qint64 used = reader.stringBytes();
    // Sheets are read in the order of their records in the stream, and each must begin where
    // the one before it has ended: records two sheets claim would be read once for each, and a
    // small file listing one long substream thousands of times would cost work without bound.
    // Reading every sheet therefore walks the stream at most once.
    std::vector<size_t> order;
    for (size_t i = 0; i < entries.size(); ++i) {
        Sheet &sheet = result.sheets[i];
        sheet.name = entries[i].name.isEmpty() ? QStringLiteral("Sheet%1").arg(i + 1) : entries[i].name;
        if (onlySheet >= 0 && size_t(onlySheet) != i)
            sheet.loaded = false;
        else
            order.push_back(i);
    }
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return entries[a].offset < entries[b].offset; });
    qint64 readUpTo = 0;
    for (size_t i : order) {
        if (qint64(entries[i].offset) < readUpTo) {
            if (error)
                *error = QStringLiteral("damaged .xls file: two sheets share their records");
            return false;
        }
        Sheet &sheet = result.sheets[i];
        if (!reader.readSheet(entries[i].offset, sheet, Limits::kMaxModelBytes - used, &readUpTo))
            return false;
        used += sheet.allocatedBytes;
    }
    workbook = std::move(result);
    return true;
}

namespace {

// One worksheet read into a sink, as often as asked: the workbook globals (shared strings,
// formats, where the sheet begins) are read once.
class XlsSheetStream final : public SheetStream
{
public:
    bool prepare(const QByteArray &file, int sheet, bool dates, QString *error)
    {
        if (!readCompoundStream(file, {QStringLiteral("Workbook")}, m_stream, error)) {
            QByteArray old;
            QString ignored;
            if (readCompoundStream(file, {QStringLiteral("Book")}, old, &ignored) && error)
                *error = QStringLiteral("only Excel 97 and later .xls files (BIFF8) can be read");
            return false;
        }
        m_reader = std::make_unique<XlsReader>(m_stream, &m_why, dates);
        std::vector<SheetEntry> entries;
        if (!m_reader->readGlobals(entries)) {
            if (error)
                *error = m_why;
            return false;
        }
        if (sheet < 0 || size_t(sheet) >= entries.size()) {
            if (error)
                *error = QStringLiteral("the workbook has no sheet %1").arg(sheet + 1);
            return false;
        }
        m_offset = entries[size_t(sheet)].offset;
        return true;
    }

    Result read(CellSink &sink, QString *error) override
    {
        m_why.clear();
        m_reader->toSink(&sink);
        Sheet unused;
        qint64 end = 0;
        const bool read = m_reader->readSheet(m_offset, unused, Limits::kMaxModelBytes, &end);
        m_reader->toSink(nullptr);
        if (!read && error)
            *error = m_why;
        return read ? Done : Failed;
    }

private:
    QByteArray m_stream;
    QString m_why;
    std::unique_ptr<XlsReader> m_reader;
    quint32 m_offset = 0;
};

} // namespace

std::unique_ptr<SheetStream> openXlsSheet(const QByteArray &file, int sheet, bool dates, QString *error)
{
    auto stream = std::make_unique<XlsSheetStream>();
    if (!stream->prepare(file, sheet, dates, error))
        return nullptr;
    return stream;
}

bool countXlsCells(const QByteArray &file, std::vector<qint64> &cells, QString *error)
{
    QByteArray stream;
    if (!readCompoundStream(file, {QStringLiteral("Workbook")}, stream, error))
        return false;
    auto damaged = [error](const char *what) {
        if (error)
            *error = QStringLiteral("damaged .xls file: %1").arg(QLatin1String(what));
        return false;
    };
    // The globals: where the worksheets begin, and how many shared strings there are.
    RecordReader records(stream, 0);
    Record r;
    if (!records.next(r) || r.id != kBof)
        return damaged("no workbook globals");
    std::vector<quint32> offsets;
    quint32 strings = 0;
    bool ended = false;
    while (!ended && records.next(r)) {
        if (r.id == kEof)
            ended = true;
        else if (r.id == kBoundSheet && r.size >= 8 && quint8(r.data[5]) == 0)
            offsets.push_back(u32(r.data));
        else if (r.id == kSst && r.size >= 8)
            strings = u32(r.data + 4);
    }
    if (!ended)
        return damaged("the workbook globals are cut short");
    cells.assign(offsets.size(), 0);
    qint64 readUpTo = 0;
    std::vector<size_t> order(offsets.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return offsets[a] < offsets[b]; });
    for (size_t i : order) {
        if (qint64(offsets[i]) < readUpTo)
            return damaged("two sheets share their records");
        RecordReader sheet(stream, offsets[i]);
        if (!sheet.next(r) || r.id != kBof)
            return damaged("a worksheet is missing");
        qint64 &n = cells[i];
        for (int depth = 1; depth > 0;) {
            if (!sheet.next(r))
                return damaged("a worksheet is cut short");
            if (r.id == kBof || r.id == kEof) {
                depth += r.id == kBof ? 1 : -1;
                continue;
            }
            if (depth != 1)
                continue;
            switch (r.id) {
            case kNumber:
            case kRk:
            case kLabel:
            case kRString:
            case kBoolErr:
                ++n;
                break;
            case kLabelSst:
                if (r.size < 10 || u32(r.data + 6) >= strings)
                    return damaged("a cell refers to a shared string that does not exist");
                ++n;
                break;
            case kMulRk:
                n += r.size >= 6 ? (r.size - 6) / 6 : 0;
                break;
            case kFormula:
                // A formula whose cached result is an empty text holds no value.
                n += r.size >= 20 && quint8(r.data[12]) == 0xFF && quint8(r.data[13]) == 0xFF && quint8(r.data[6]) == 3 ? 0 : 1;
                break;
            default:
                break;
            }
        }
        readUpTo = sheet.position();
    }
    return true;
}

} // namespace exchange
