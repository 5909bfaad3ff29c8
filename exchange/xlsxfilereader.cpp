#include "xlsxfilereader.h"

#include <QFile>
#include <QHash>
#include <QSet>
#include <QXmlStreamReader>

#include <zip.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <memory>
#include <string>
#include <type_traits>

namespace exchange {

namespace {

// Bytes inflated from one workbook's parts, all parts together; and the
// longest run of bytes without a '<', which bounds the text the XML reader
// buffers (a cell holds at most 32,767 characters, a few bytes each even
// when escaped). A part that goes past either is refused.
constexpr qint64 kMaxInflated = 64ll * 1024 * 1024;
constexpr qint64 kMaxTextRun = 1024 * 1024;

// One part of the archive, inflated as the XML reader asks for it.
class PartDevice : public QIODevice
{
public:
    PartDevice(zip_file_t *file, qint64 *inflatedLeft) : m_file(file), m_left(inflatedLeft)
    {
        QIODevice::open(QIODevice::ReadOnly);
    }
    ~PartDevice() override
    {
        if (m_file)
            zip_fclose(m_file);
    }
    bool isSequential() const override { return true; }
    // Why the part ended early, or empty.
    QString problem() const { return m_problem; }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        if (!m_problem.isEmpty())
            return -1;
        if (*m_left <= 0) {
            m_problem = QStringLiteral("the workbook inflates to more than %1 MB").arg(kMaxInflated >> 20);
            return -1;
        }
        const zip_int64_t got = zip_fread(m_file, data, zip_uint64_t(std::min(maxSize, *m_left)));
        if (got < 0) {
            m_problem = QStringLiteral("a part of the archive is damaged");
            return -1;
        }
        *m_left -= got;
        if (!trackRun(data, got)) {
            m_problem = QStringLiteral("a part holds a text or a gap longer than any cell");
            return -1;
        }
        return got;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    // Counts the bytes since the last '<'; false when they run past kMaxTextRun. A piece no
    // longer than the limit holds no run past it between its own '<'s, so only the run it
    // continues and the run it ends with are measured.
    bool trackRun(const char *data, qint64 size)
    {
        if (size > kMaxTextRun) {
            for (qint64 i = 0; i < size; ++i) {
                if (data[i] == '<')
                    m_run = 0;
                else if (++m_run > kMaxTextRun)
                    return false;
            }
            return true;
        }
        const void *first = memchr(data, '<', size_t(size));
        if (!first) {
            m_run += size;
            return m_run <= kMaxTextRun;
        }
        if (m_run + (static_cast<const char *>(first) - data) > kMaxTextRun)
            return false;
        const char *last = static_cast<const char *>(memrchr(data, '<', size_t(size)));
        m_run = size - (last - data) - 1;
        return true;
    }

    zip_file_t *m_file;
    qint64 *m_left;
    qint64 m_run = 0;
    QString m_problem;
};

// Reads what the XML reader left of a part (after its root element's end) through to the part's
// end, where libzip checks the part's checksum: a damaged part is refused whichever reader read
// it. The rest may hold nothing but white space and comments, which the XML reader has already
// judged; its bytes are only counted here.
bool readToEnd(PartDevice &device)
{
    char buffer[16384];
    while (device.read(buffer, sizeof buffer) > 0) {
    }
    return device.problem().isEmpty();
}

class ZipArchive
{
public:
    explicit ZipArchive(const QByteArray &data)
    {
        zip_error_t err;
        zip_error_init(&err);
        zip_source_t *src = zip_source_buffer_create(data.constData(), zip_uint64_t(data.size()), 0, &err);
        if (src) {
            m_zip = zip_open_from_source(src, ZIP_RDONLY, &err);
            if (!m_zip)
                zip_source_free(src);
        }
        zip_error_fini(&err);
    }
    // The archive in a file, read from the disk as its parts are inflated; every entry's
    // checksum is checked as it is read.
    explicit ZipArchive(const QString &path)
    {
        int code = 0;
        m_zip = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY | ZIP_CHECKCONS, &code);
    }
    ~ZipArchive()
    {
        if (m_zip)
            zip_discard(m_zip);
    }
    bool isOpen() const { return m_zip != nullptr; }

    // Part names are case-insensitive; a missing part gives null and leaves
    // *error as it is.
    std::unique_ptr<PartDevice> open(const QString &name, QString *error) const
    {
        const QByteArray n = name.toUtf8();
        const zip_int64_t index = zip_name_locate(m_zip, n.constData(), ZIP_FL_NOCASE);
        if (index < 0)
            return nullptr;
        zip_file_t *file = zip_fopen_index(m_zip, zip_uint64_t(index), 0);
        if (!file) {
            if (error)
                *error = QStringLiteral("cannot open part %1").arg(name);
            return nullptr;
        }
        return std::make_unique<PartDevice>(file, &m_inflatedLeft);
    }

    // The XML reader's error, or the device's reason for ending early.
    static QString xmlProblem(const QXmlStreamReader &xml, const PartDevice &device, const QString &part)
    {
        if (!device.problem().isEmpty())
            return QStringLiteral("%1: %2").arg(part, device.problem());
        return QStringLiteral("%1: %2").arg(part, xml.errorString());
    }

    // A part read a second time is not counted twice.
    void refund(qint64 bytes) const { m_inflatedLeft += bytes; }
    // What may still be inflated, kept so that each read of a part starts from the same bound.
    qint64 inflatedLeft() const { return m_inflatedLeft; }
    void setInflatedLeft(qint64 bytes) const { m_inflatedLeft = bytes; }

private:
    zip_t *m_zip = nullptr;
    mutable qint64 m_inflatedLeft = kMaxInflated;
};

// Resolves a relationship target against the folder of its source part.
QString resolveTarget(const QString &sourceDir, const QString &target)
{
    QString t = target;
    t.replace(QLatin1Char('\\'), QLatin1Char('/'));
    QStringList parts;
    if (!t.startsWith(QLatin1Char('/')) && !sourceDir.isEmpty())
        parts = sourceDir.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString &p : t.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (p == QLatin1String(".."))
            parts.isEmpty() ? void() : parts.removeLast();
        else if (p != QLatin1String("."))
            parts.append(p);
    }
    return parts.join(QLatin1Char('/'));
}

QString dirOf(const QString &part)
{
    const int slash = part.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : part.left(slash);
}

QString relsOf(const QString &part)
{
    const int slash = part.lastIndexOf(QLatin1Char('/'));
    return (slash < 0 ? QString() : part.left(slash + 1)) + QStringLiteral("_rels/")
        + part.mid(slash + 1) + QStringLiteral(".rels");
}

QStringView attr(const QXmlStreamAttributes &attributes, QLatin1String localName)
{
    for (const QXmlStreamAttribute &a : attributes) {
        if (a.name() == localName)
            return a.value();
    }
    return {};
}

QStringView attr(const QXmlStreamReader &xml, QLatin1String localName)
{
    return attr(xml.attributes(), localName);
}

struct Relationship
{
    QString type;
    QString target;
};

// Id -> relationship of one .rels part (external targets left out).
QHash<QString, Relationship> readRels(const ZipArchive &zip, const QString &sourcePart)
{
    QHash<QString, Relationship> rels;
    const auto part = zip.open(relsOf(sourcePart), nullptr);
    if (!part)
        return rels;
    QXmlStreamReader xml(part.get());
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement() || xml.name() != QLatin1String("Relationship"))
            continue;
        if (attr(xml, QLatin1String("TargetMode")) == QLatin1String("External"))
            continue;
        rels.insert(attr(xml, QLatin1String("Id")).toString(),
                    {attr(xml, QLatin1String("Type")).toString(),
                     resolveTarget(dirOf(sourcePart), attr(xml, QLatin1String("Target")).toString())});
    }
    return rels;
}

bool isHex(QChar ch)
{
    return (ch >= QLatin1Char('0') && ch <= QLatin1Char('9')) || (ch >= QLatin1Char('a') && ch <= QLatin1Char('f'))
        || (ch >= QLatin1Char('A') && ch <= QLatin1Char('F'));
}

// Characters XML cannot carry are stored as _xHHHH_ (a literal "_x" that
// would read as such an escape is itself stored with its underscore as
// _x005F_); this turns them back.
QString decodeEscapes(const QString &text)
{
    if (!text.contains(QLatin1String("_x")))
        return text;
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == QLatin1Char('_') && i + 6 < text.size() && text.at(i + 1) == QLatin1Char('x')
            && text.at(i + 6) == QLatin1Char('_') && isHex(text.at(i + 2)) && isHex(text.at(i + 3))
            && isHex(text.at(i + 4)) && isHex(text.at(i + 5))) {
            out.append(QChar(char16_t(text.mid(i + 2, 4).toUShort(nullptr, 16))));
            i += 6;
        } else {
            out.append(text.at(i));
        }
    }
    return out;
}

// Text of a string item (<si> or <is>): plain <t> and rich-text runs,
// leaving out phonetic guides.
QString readStringItem(QXmlStreamReader &xml)
{
    QString text;
    int depth = 0;    // elements open inside the item
    int phonetic = 0; // of which phonetic guides
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            if (xml.name() == QLatin1String("t") && phonetic == 0) {
                text += decodeEscapes(xml.readElementText(QXmlStreamReader::IncludeChildElements));
                continue; // read up to its end tag
            }
            ++depth;
            if (xml.name() == QLatin1String("rPh"))
                ++phonetic;
        } else if (xml.isEndElement()) {
            if (depth == 0)
                break; // the item's own end
            --depth;
            if (xml.name() == QLatin1String("rPh"))
                --phonetic;
        }
    }
    return text;
}

bool isDateFormatCode(const QString &code)
{
    // Only the first section (positive numbers) decides; quoted text,
    // escaped characters and bracketed colours or locales do not count.
    QString plain;
    bool quoted = false;
    int bracket = 0;
    for (int i = 0; i < code.size(); ++i) {
        const QChar ch = code.at(i);
        if (quoted) {
            if (ch == QLatin1Char('"'))
                quoted = false;
            continue;
        }
        if (ch == QLatin1Char('"')) {
            quoted = true;
        } else if (ch == QLatin1Char('\\') || ch == QLatin1Char('_') || ch == QLatin1Char('*')) {
            ++i;
        } else if (ch == QLatin1Char('[')) {
            ++bracket;
            // Elapsed-time sections [h], [mm], [ss] are time formats.
            const int close = code.indexOf(QLatin1Char(']'), i);
            const QString inside = close > i ? code.mid(i + 1, close - i - 1).toLower() : QString();
            if (!inside.isEmpty() && (inside.count(QLatin1Char('h')) == inside.size()
                                      || inside.count(QLatin1Char('m')) == inside.size()
                                      || inside.count(QLatin1Char('s')) == inside.size()))
                plain += inside.at(0);
        } else if (ch == QLatin1Char(']')) {
            bracket = std::max(0, bracket - 1);
        } else if (ch == QLatin1Char(';') && bracket == 0) {
            break;
        } else if (bracket == 0) {
            plain += ch.toLower();
        }
    }
    if (plain.contains(QLatin1String("general")))
        return false;
    for (const QChar ch : plain) {
        switch (ch.unicode()) {
        case 'd': case 'm': case 'y': case 'h': case 's':
            return true;
        default:
            break;
        }
    }
    return false;
}

bool isBuiltInDateFormat(int id)
{
    return (id >= 14 && id <= 22) || (id >= 45 && id <= 47) || (id >= 27 && id <= 36)
        || (id >= 50 && id <= 58);
}

// For every cell style index: whether its number format shows a date.
QList<bool> readDateStyles(const ZipArchive &zip, const QString &part)
{
    QList<bool> dateStyles;
    const auto device = part.isEmpty() ? nullptr : zip.open(part, nullptr);
    if (!device)
        return dateStyles;
    QHash<int, bool> customDate;
    QXmlStreamReader xml(device.get());
    bool inCellXfs = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            if (xml.name() == QLatin1String("numFmt")) {
                customDate.insert(attr(xml, QLatin1String("numFmtId")).toInt(),
                                  isDateFormatCode(attr(xml, QLatin1String("formatCode")).toString()));
            } else if (xml.name() == QLatin1String("cellXfs")) {
                inCellXfs = true;
            } else if (inCellXfs && xml.name() == QLatin1String("xf") && dateStyles.size() < 65536) {
                const int id = attr(xml, QLatin1String("numFmtId")).toInt();
                dateStyles.append(customDate.contains(id) ? customDate.value(id) : isBuiltInDateFormat(id));
            }
        } else if (xml.isEndElement() && xml.name() == QLatin1String("cellXfs")) {
            inCellXfs = false;
        }
    }
    return dateStyles;
}

// Reads the shared strings; *bytes grows by what they take.
bool readSharedStrings(const ZipArchive &zip, const QString &part, QStringList &strings, qint64 *bytes,
                       QString *error)
{
    // A workbook without strings has no shared-strings part.
    if (part.isEmpty())
        return true;
    QString openError;
    const auto device = zip.open(part, &openError);
    if (!device) {
        if (openError.isEmpty())
            return true;
        if (error)
            *error = openError;
        return false;
    }
    QXmlStreamReader xml(device.get());
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("si")) {
            strings.append(readStringItem(xml));
            *bytes += Limits::kStringSlotBytes + Limits::textBytes(strings.constLast().size());
            if (*bytes > Limits::kMaxModelBytes) {
                if (error)
                    *error = QStringLiteral("the workbook's texts are too large to read");
                return false;
            }
        }
    }
    if (xml.hasError() || !readToEnd(*device)) {
        if (error)
            *error = ZipArchive::xmlProblem(xml, *device, part);
        return false;
    }
    return true;
}

// What both sheet readers share: the rules that turn the texts of a row or a cell (its
// reference, type, style and value) into its place and value. The quick reader hands them the
// bytes it found, the XML reader the texts it decoded; the same texts give the same answer.

template <class Ch>
bool isXmlSpace(Ch c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

template <class Ch>
void trimXmlSpace(const Ch *&b, const Ch *&e)
{
    while (b < e && isXmlSpace(*b))
        ++b;
    while (e > b && isXmlSpace(e[-1]))
        --e;
}

// A decimal integer: an optional minus and digits, white space around them allowed.
template <class Ch>
bool parseInteger(const Ch *b, const Ch *e, qint64 &out)
{
    trimXmlSpace(b, e);
    const bool negative = b < e && *b == '-';
    if (negative)
        ++b;
    if (b == e)
        return false;
    qint64 v = 0;
    for (; b < e; ++b) {
        if (*b < '0' || *b > '9' || v > 100000000000000ll)
            return false;
        v = v * 10 + (*b - '0');
    }
    out = negative ? -v : v;
    return true;
}

// A number as a value text holds it: white space around it, an optional sign, digits, a point
// and an exponent, in the shortest form or any longer one.
template <class Ch>
bool parseNumber(const Ch *b, const Ch *e, double &out)
{
    trimXmlSpace(b, e);
    if (e - b >= 2 && *b == '+' && b[1] != '-' && b[1] != '+')
        ++b;
    const size_t n = size_t(e - b);
    if (n == 0)
        return false;
    const char *text;
    std::string copy;
    if constexpr (std::is_same_v<Ch, char>) {
        text = b;
    } else {
        copy.resize(n);
        for (size_t i = 0; i < n; ++i) {
            if (b[i] > 0x7E)
                return false;
            copy[i] = char(b[i]);
        }
        text = copy.data();
    }
    const auto r = std::from_chars(text, text + n, out);
    return r.ec == std::errc() && r.ptr == text + n;
}

// "AB12" -> 0-based row 11, column 27, within the sheet. False for anything else.
template <class Ch>
bool parseCellRef(const Ch *b, const Ch *e, int &row, int &col)
{
    const Ch *p = b;
    int c = 0;
    while (p < e && p - b < 3) {
        Ch ch = *p;
        if (ch >= 'a' && ch <= 'z')
            ch = Ch(ch - 'a' + 'A');
        if (ch < 'A' || ch > 'Z')
            break;
        c = c * 26 + int(ch - 'A' + 1);
        ++p;
    }
    if (p == b || p == e)
        return false;
    qint64 r = 0;
    for (; p < e; ++p) {
        if (*p < '0' || *p > '9' || r > Workbook::maxRows(FileFormat::Xlsx))
            return false;
        r = r * 10 + (*p - '0');
    }
    if (r < 1 || r > Workbook::maxRows(FileFormat::Xlsx) || c > Workbook::maxColumns(FileFormat::Xlsx))
        return false;
    row = int(r - 1);
    col = c - 1;
    return true;
}

const char16_t *begin16(QStringView v)
{
    return reinterpret_cast<const char16_t *>(v.utf16());
}

// Where the rows and cells of a sheet go: a row without a usable number follows the row before
// it, a cell without a reference the cell before it.
class CellCursor
{
public:
    enum Place { Placed, BadReference, Outside };

    template <class Ch>
    void row(const Ch *b, const Ch *e)
    {
        qint64 r = 0;
        const int maxRows = Workbook::maxRows(FileFormat::Xlsx);
        if (parseInteger(b, e, r) && r >= 1 && r <= maxRows)
            m_row = int(r - 1);
        else
            m_row = std::min(m_row + 1, maxRows);
        m_nextCol = 0;
    }
    template <class Ch>
    Place cell(const Ch *b, const Ch *e, int &row, int &col)
    {
        row = std::max(m_row, 0);
        col = m_nextCol;
        if (b != e && !parseCellRef(b, e, row, col))
            return BadReference;
        if (row >= Workbook::maxRows(FileFormat::Xlsx) || col >= Workbook::maxColumns(FileFormat::Xlsx))
            return Outside;
        m_nextCol = col + 1;
        return Placed;
    }
    static QString problem(Place place, const QString &part)
    {
        return place == BadReference ? QStringLiteral("bad cell reference in %1").arg(part)
                                     : QStringLiteral("cell outside the sheet in %1").arg(part);
    }

private:
    int m_row = -1;
    int m_nextCol = 0;
};

template <class Ch>
bool isDateStyle(const Ch *b, const Ch *e, const QList<bool> &dateStyles)
{
    qint64 style = 0;
    return parseInteger(b, e, style) && style >= 0 && style < dateStyles.size() && dateStyles.at(style);
}

QVariant numericCell(QStringView text, bool isDate, bool date1904)
{
    double d = 0;
    if (!parseNumber(begin16(text), begin16(text) + text.size(), d))
        return text.isEmpty() ? QVariant() : QVariant(text.toString());
    if (isDate) {
        const QDateTime dt = fromSerial(d, date1904);
        if (dt.isValid())
            return dt;
    }
    return d;
}

QVariant isoDateCell(const QString &text)
{
    QDateTime dt = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (!dt.isValid()) {
        const QDate d = QDate::fromString(text, Qt::ISODate);
        if (d.isValid())
            dt = QDateTime(d, QTime(0, 0));
        else if (const QTime t = QTime::fromString(text, Qt::ISODateWithMs); t.isValid())
            dt = QDateTime(QDate(1899, 12, 30), t);
    }
    if (dt.isValid()) // written as wall-clock time; drop any zone it carried
        return QDateTime(dt.date(), dt.time());
    return text;
}

// The value of one cell from its type attribute and its <v> or inline text.
// False for a shared-string index outside the table.
bool cellValue(QStringView type, QStringView valueText, bool hasValue, const QString &inlineText, bool hasInline,
               bool isDate, bool date1904, const QStringList &shared, QVariant &value)
{
    if (type == QLatin1String("inlineStr")) {
        value = hasInline ? inlineText : valueText.toString();
    } else if (!hasValue) {
        value = hasInline ? QVariant(inlineText) : QVariant();
    } else if (type == QLatin1String("s")) {
        qint64 index = 0;
        if (!parseInteger(begin16(valueText), begin16(valueText) + valueText.size(), index) || index < 0
            || index >= shared.size())
            return false;
        value = shared.at(index);
    } else if (type == QLatin1String("b")) {
        value = valueText.trimmed() == QLatin1String("1") || valueText.trimmed() == QLatin1String("true");
    } else if (type == QLatin1String("str")) {
        value = decodeEscapes(valueText.toString());
    } else if (type == QLatin1String("e")) {
        value = valueText.toString();
    } else if (type == QLatin1String("d")) {
        value = isoDateCell(valueText.trimmed().toString());
    } else {
        value = numericCell(valueText, isDate, date1904);
    }
    return true;
}

// Whether bytes are well-formed UTF-8 of characters XML may carry, with none of the few that
// an XML reader would change or refuse (carriage returns, which it turns into line feeds,
// controls, U+FFFE and U+FFFF).
bool plainXmlText(QByteArrayView text)
{
    const auto *p = reinterpret_cast<const uchar *>(text.data());
    const auto *end = p + text.size();
    while (p < end) {
        const uchar c = *p;
        if (c < 0x80) {
            if ((c < 0x20 && c != '\t' && c != '\n') || c == 0x7F)
                return false;
            ++p;
            continue;
        }
        int n;
        char32_t cp;
        if (c >= 0xC2 && c <= 0xDF) {
            n = 1;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            n = 2;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            n = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (end - p <= n)
            return false;
        for (int i = 1; i <= n; ++i) {
            if ((p[i] & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (p[i] & 0x3F);
        }
        if ((n == 2 && cp < 0x800) || (n == 3 && (cp < 0x10000 || cp > 0x10FFFF))
            || (cp >= 0xD800 && cp <= 0xDFFF) || cp == 0xFFFE || cp == 0xFFFF)
            return false;
        p += n + 1;
    }
    return true;
}

// A quick reader of the sheet's cells for the plain XML that spreadsheet writers produce:
// <row> and <c> elements with their attributes, <v> values and <f> formulas, no comments,
// CDATA, character references or inline strings. It reads the part as it is inflated, one row
// tag or one whole cell at a time, and gives up (Unsupported) on anything an XML reader might
// read otherwise, before it has placed a cell wrongly; the XML reader then reads the part.
// At the end the markup around the sheet data is checked by the XML reader, so that a part
// that reader refuses is not accepted here either.
class FastSheetReader
{
public:
    enum Result { Done, Failed, Unsupported };

    FastSheetReader(PartDevice &device, const QString &part, const QStringList &shared,
                    const QList<bool> &dateStyles, bool date1904)
        : m_device(device), m_part(part), m_shared(shared), m_dateStyles(dateStyles), m_date1904(date1904)
    {
    }

    // Bytes taken from the device, for the archive's count when the XML reader reads again.
    qint64 bytesRead() const { return m_bytesRead; }
    // Only counts the cells with a value into *count, placing each but building no value.
    void countOnly(qint64 *count) { m_count = count; }
    // Hands the cells to sink instead of building them into the sheet.
    void toSink(CellSink *sink) { m_sink = sink; }

    Result read(Sheet &sheet, qint64 budget, QString *why)
    {
        m_sheet = &sheet;
        m_budget = budget;
        m_why = why;
        Result r = findSheetData();
        if (r != Done)
            return r;
        for (;;) {
            const char *p = m_buf.constData() + m_pos;
            const char *end = m_buf.constData() + m_buf.size();
            const Step step = unit(p, end);
            if (step == Incomplete) {
                if (m_atEnd || m_buf.size() - m_pos > kMaxUnit)
                    return Unsupported;
                if (!fill())
                    return m_failed ? Failed : Unsupported;
                continue;
            }
            if (step == Bad)
                return Unsupported;
            if (step == Error)
                return Failed;
            m_pos = p - m_buf.constData();
            if (step == EndOfData)
                break;
        }
        // The rest of the part, for the check of the markup around the sheet data.
        QByteArray suffix = m_buf.mid(m_pos);
        m_buf.clear();
        while (!m_atEnd) {
            if (!fill())
                return m_failed ? Failed : Unsupported;
            suffix += m_buf;
            m_buf.clear();
        }
        return markupAroundIsSound(suffix) ? Done : Unsupported;
    }

private:
    enum Step { Unit, EndOfData, Incomplete, Bad, Error };
    static constexpr qsizetype kChunk = 256 * 1024;
    // A cell longer than this is left to the XML reader.
    static constexpr qsizetype kMaxUnit = 4 * 1024 * 1024;
    static constexpr int kMaxAttributes = 16;

    struct Attributes
    {
        QByteArrayView r, t, s;
    };

    // Appends the next piece of the part to the buffer, dropping what has been consumed.
    bool fill()
    {
        if (m_pos > 0) {
            m_buf.remove(0, m_pos);
            m_pos = 0;
        }
        const qsizetype old = m_buf.size();
        m_buf.resize(old + kChunk);
        const qint64 got = m_device.read(m_buf.data() + old, kChunk);
        if (got < 0 || !m_device.problem().isEmpty()) {
            m_buf.resize(old);
            if (!m_device.problem().isEmpty()) {
                m_failed = true;
                *m_why = QStringLiteral("%1: %2").arg(m_part, m_device.problem());
            }
            return false;
        }
        m_buf.resize(old + got);
        m_bytesRead += got;
        if (got == 0)
            m_atEnd = true;
        return true;
    }

    // Reads up to the end of the <sheetData> start tag; keeps what came before it.
    Result findSheetData()
    {
        qsizetype from = 0;
        for (;;) {
            const qsizetype at = QByteArrayView(m_buf).indexOf(QByteArrayView("<sheetData"), from);
            if (at >= 0 && at + 10 < m_buf.size()) {
                const char after = m_buf.at(at + 10);
                if (after != '>' && !isXmlSpace(after))
                    return Unsupported; // <sheetData/> or another name: the XML reader's
                const qsizetype close = m_buf.indexOf('>', at);
                if (close >= 0) {
                    m_prefix = m_buf.left(close + 1);
                    m_pos = close + 1;
                    // What comes before must be plain: no comments, declarations or
                    // characters beyond ASCII, so that the "<sheetData" found is the element.
                    const QByteArrayView before(m_buf.constData(), at);
                    if (before.contains("<!") || before.indexOf("<?", 1) >= 0)
                        return Unsupported;
                    for (char ch : m_prefix) {
                        if (uchar(ch) >= 0x80)
                            return Unsupported;
                    }
                    return Done;
                }
            }
            if (at < 0)
                from = std::max<qsizetype>(0, m_buf.size() - 10);
            if (m_atEnd)
                return Unsupported;
            if (!fill())
                return m_failed ? Failed : Unsupported;
        }
    }

    // The part without its sheet data must read as XML, hold exactly one sheetData element,
    // the one found, use only the encoding read here, and declare the prefixes the cells use.
    bool markupAroundIsSound(const QByteArray &suffix)
    {
        const QByteArray skeleton = m_prefix + QByteArrayLiteral("</sheetData>") + suffix;
        QXmlStreamReader xml(skeleton);
        std::vector<QStringList> declared;
        int sheetDataCount = 0;
        bool found = false;
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isStartDocument()) {
                const QStringView encoding = xml.documentEncoding();
                if (!encoding.isEmpty() && encoding.compare(QLatin1String("UTF-8"), Qt::CaseInsensitive) != 0)
                    return false;
            } else if (xml.isStartElement()) {
                QStringList prefixes;
                for (const QXmlStreamNamespaceDeclaration &d : xml.namespaceDeclarations())
                    prefixes.append(d.prefix().toString());
                declared.push_back(prefixes);
                if (xml.name() != QLatin1String("sheetData"))
                    continue;
                if (++sheetDataCount > 1 || xml.characterOffset() != m_prefix.size())
                    return false;
                found = true;
                for (const QByteArray &used : m_prefixes) {
                    const QString prefix = QString::fromLatin1(used);
                    bool ok = prefix == QLatin1String("xml");
                    for (const QStringList &level : declared)
                        ok = ok || level.contains(prefix);
                    if (!ok)
                        return false;
                }
            } else if (xml.isEndElement() && !declared.empty()) {
                declared.pop_back();
            }
        }
        return found && !xml.hasError();
    }

    static bool startsWith(const char *p, const char *end, QByteArrayView text)
    {
        return end - p >= text.size() && memcmp(p, text.data(), size_t(text.size())) == 0;
    }
    // The same for a literal, whose length the compiler knows: the comparison is inlined, which
    // matters in the few compares every cell goes through.
    template <size_t N>
    static bool startsWith(const char *p, const char *end, const char (&text)[N])
    {
        return end - p >= qsizetype(N - 1) && memcmp(p, text, N - 1) == 0;
    }
    static bool isNameChar(char c)
    {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-'
            || c == '.' || c == ':';
    }

    // White space between tags; anything else is text the quick reader does not take.
    static Step skipSpace(const char *&p, const char *end)
    {
        while (p < end && isXmlSpace(*p))
            ++p;
        if (p == end)
            return Incomplete;
        return *p == '<' ? Unit : Bad;
    }

    // Attributes up to the end of a start tag; *empty for "/>". p stands after the name.
    Step readAttributes(const char *&p, const char *end, Attributes &a, bool &empty)
    {
        QByteArrayView names[kMaxAttributes];
        int count = 0;
        for (;;) {
            const char *gap = p;
            while (p < end && isXmlSpace(*p))
                ++p;
            if (p >= end)
                return Incomplete;
            if (*p == '>') {
                ++p;
                empty = false;
                return Unit;
            }
            if (*p == '/') {
                if (p + 1 >= end)
                    return Incomplete;
                if (p[1] != '>')
                    return Bad;
                p += 2;
                empty = true;
                return Unit;
            }
            if (p == gap) // attributes are separated by white space
                return Bad;
            const char *name = p;
            while (p < end && isNameChar(*p))
                ++p;
            if (p >= end)
                return Incomplete;
            const QByteArrayView key(name, p - name);
            const qsizetype colon = key.indexOf(':');
            if (key.isEmpty() || !((key[0] >= 'a' && key[0] <= 'z') || (key[0] >= 'A' && key[0] <= 'Z') || key[0] == '_')
                || colon != key.lastIndexOf(':') || colon == key.size() - 1 || key.startsWith("xmlns"))
                return Bad;
            if (colon > 0) {
                // A prefixed attribute: its local name must not be one the XML reader would
                // take for ours, and its prefix must be declared around the sheet data.
                const QByteArrayView local = key.sliced(colon + 1);
                if (local == "r" || local == "t" || local == "s")
                    return Bad;
                const QByteArray prefix = key.first(colon).toByteArray();
                if (!m_prefixes.contains(prefix)) {
                    if (m_prefixes.size() > 64)
                        return Bad;
                    m_prefixes.append(prefix);
                }
            }
            for (int i = 0; i < count; ++i) {
                if (names[i] == key)
                    return Bad;
            }
            if (count == kMaxAttributes)
                return Bad;
            names[count++] = key;
            while (p < end && isXmlSpace(*p))
                ++p;
            if (p >= end)
                return Incomplete;
            if (*p != '=')
                return Bad;
            ++p;
            while (p < end && isXmlSpace(*p))
                ++p;
            if (p >= end)
                return Incomplete;
            if (*p != '"' && *p != '\'')
                return Bad;
            const char quote = *p++;
            const char *value = p;
            while (p < end && *p != quote) {
                const uchar c = uchar(*p);
                if (c < 0x20 || c >= 0x80 || c == '<' || c == '&')
                    return Bad;
                ++p;
            }
            if (p >= end)
                return Incomplete;
            const QByteArrayView v(value, p - value);
            ++p;
            if (key == "r")
                a.r = v;
            else if (key == "t")
                a.t = v;
            else if (key == "s")
                a.s = v;
        }
    }

    // Text up to the next '<', which must start `close`. Entities are allowed only where
    // `entities` says so, and then only the five predefined ones.
    static Step readText(const char *&p, const char *end, QByteArrayView close, bool entities, QByteArrayView &text)
    {
        const char *from = p;
        const void *lt = memchr(p, '<', size_t(end - p));
        if (!lt)
            return Incomplete;
        p = static_cast<const char *>(lt);
        text = QByteArrayView(from, p - from);
        if (end - p < close.size())
            return Incomplete;
        if (!startsWith(p, end, close))
            return Bad;
        p += close.size();
        if (text.contains("]]>"))
            return Bad;
        for (qsizetype amp = text.indexOf('&'); amp >= 0; amp = text.indexOf('&', amp + 1)) {
            if (!entities)
                return Bad;
            const QByteArrayView rest = text.sliced(amp);
            if (!(rest.startsWith("&amp;") || rest.startsWith("&lt;") || rest.startsWith("&gt;")
                  || rest.startsWith("&quot;") || rest.startsWith("&apos;")))
                return Bad;
        }
        return plainXmlText(text) ? Unit : Bad;
    }

    // One unit of the sheet data from p: white space, a row's start or end tag, a whole cell,
    // or the end of the sheet data. Nothing changes until the unit is complete.
    Step unit(const char *&p, const char *end)
    {
        if (p == end)
            return Incomplete;
        if (*p != '<') {
            const Step s = skipSpace(p, end);
            return s == Unit ? Unit : s;
        }
        if (end - p < 12)
            return m_atEnd ? Bad : Incomplete;
        // Cells first: they are nearly every unit.
        if (p[1] == 'c' && (isXmlSpace(p[2]) || p[2] == '>' || p[2] == '/'))
            return cell(p, end);
        if (startsWith(p, end, "</row>")) {
            if (!m_inRow)
                return Bad;
            p += 6;
            m_inRow = false;
            return Unit;
        }
        if (startsWith(p, end, "<row") && (isXmlSpace(p[4]) || p[4] == '>' || p[4] == '/')) {
            if (m_inRow)
                return Bad;
            p += 4;
            Attributes a;
            bool empty = false;
            const Step s = readAttributes(p, end, a, empty);
            if (s != Unit)
                return s;
            m_cursor.row(a.r.data(), a.r.data() + a.r.size());
            m_inRow = !empty;
            return Unit;
        }
        if (startsWith(p, end, "</sheetData>")) {
            if (m_inRow)
                return Bad;
            p += 12;
            return EndOfData;
        }
        return Bad;
    }

    Step cell(const char *&p, const char *end)
    {
        p += 2;
        Attributes a;
        bool empty = false;
        Step s = readAttributes(p, end, a, empty);
        if (s != Unit)
            return s;
        QByteArrayView valueText;
        bool hasValue = false;
        while (!empty) {
            while (p < end && isXmlSpace(*p))
                ++p;
            if (end - p < 4)
                return Incomplete;
            if (startsWith(p, end, "</c>")) {
                p += 4;
                break;
            }
            if (startsWith(p, end, "<v>")) {
                p += 3;
                s = readText(p, end, "</v>", false, valueText);
                if (s != Unit)
                    return s;
                hasValue = true;
                continue;
            }
            if (startsWith(p, end, "<f") && (isXmlSpace(p[2]) || p[2] == '>' || p[2] == '/')) {
                p += 2;
                Attributes ignored;
                bool emptyFormula = false;
                s = readAttributes(p, end, ignored, emptyFormula);
                if (s != Unit)
                    return s;
                QByteArrayView formula;
                if (!emptyFormula && (s = readText(p, end, "</f>", true, formula)) != Unit)
                    return s;
                continue;
            }
            return Bad; // inline strings, other elements, text
        }

        // The cell is whole: place it and take its value.
        int row = 0, col = 0;
        CellCursor probe = m_cursor;
        const CellCursor::Place place = probe.cell(a.r.data(), a.r.data() + a.r.size(), row, col);
        if (place != CellCursor::Placed) {
            *m_why = CellCursor::problem(place, m_part);
            return Error;
        }
        m_cursor = probe;
        if (m_count) {
            *m_count += hasValue ? 1 : 0;
            return Unit;
        }
        if (m_sink && !m_sink->wantsValues()) {
            bool present = false;
            switch (plainPresence(a.t, valueText, hasValue)) {
            case Present:
                present = true;
                break;
            case Absent:
                break;
            case BadIndex:
                *m_why = QStringLiteral("shared string index out of range in %1").arg(m_part);
                return Error;
            case Unknown: {
                QVariant value;
                if (!cellValue(QString::fromLatin1(a.t), QString::fromUtf8(valueText), hasValue, QString(), false,
                               false, m_date1904, m_shared, value)) {
                    *m_why = QStringLiteral("shared string index out of range in %1").arg(m_part);
                    return Error;
                }
                present = normalizeCellValue(value).isValid();
                break;
            }
            }
            if (!m_sink->place(row, col, present)) {
                *m_why = QStringLiteral("reading was stopped");
                return Error;
            }
            return Unit;
        }
        const bool isDate = isDateStyle(a.s.data(), a.s.data() + a.s.size(), m_dateStyles);
        QVariant value;
        if (!fastValue(a.t, valueText, hasValue, isDate, value)) {
            const QString type = QString::fromLatin1(a.t);
            const QString text = QString::fromUtf8(valueText);
            if (!cellValue(type, text, hasValue, QString(), false, isDate, m_date1904, m_shared, value)) {
                *m_why = QStringLiteral("shared string index out of range in %1").arg(m_part);
                return Error;
            }
            if (type != QLatin1String("s") && value.typeId() == QMetaType::QString)
                m_sheet->allocatedBytes += Limits::textBytes(value.toString().size());
        }
        if (m_sink) {
            if (!m_sink->value(row, col, normalizeCellValue(value))) {
                *m_why = QStringLiteral("reading was stopped");
                return Error;
            }
            return Unit;
        }
        m_sheet->setCell(row, col, normalizeCellValue(value));
        if (m_sheet->allocatedBytes > m_budget) {
            *m_why = QStringLiteral("the workbook is too large to read");
            return Error;
        }
        return Unit;
    }

    enum Presence { Present, Absent, BadIndex, Unknown };
    // Whether a cell has a value, for numbers and shared strings without building it; Unknown
    // leaves the cell to the general rules. A number text that does not read as one is kept as
    // text (so any text is a value), and an empty shared string is an empty cell, as value()
    // has it.
    Presence plainPresence(QByteArrayView type, QByteArrayView text, bool hasValue) const
    {
        if (!hasValue)
            return Absent;
        if (type.isEmpty() || type == "n") // a number, or else the text itself: never read here
            return text.isEmpty() ? Absent : Present;
        if (type == "s") {
            qint64 index = 0;
            if (!parseInteger(text.data(), text.data() + text.size(), index) || index < 0 || index >= m_shared.size())
                return BadIndex;
            return m_shared.at(index).isEmpty() ? Absent : Present;
        }
        return Unknown;
    }

    // Numbers and shared strings, the bulk of every sheet, without going through QString;
    // false leaves the cell to the general rules, which give the same value more slowly.
    bool fastValue(QByteArrayView type, QByteArrayView text, bool hasValue, bool isDate, QVariant &value) const
    {
        if (!hasValue)
            return false;
        if (type.isEmpty() || type == "n") {
            double d = 0;
            if (!parseNumber(text.data(), text.data() + text.size(), d))
                return false;
            if (isDate) {
                const QDateTime dt = fromSerial(d, m_date1904);
                if (dt.isValid()) {
                    value = dt;
                    return true;
                }
            }
            value = d;
            return true;
        }
        if (type == "s") {
            qint64 index = 0;
            if (!parseInteger(text.data(), text.data() + text.size(), index) || index < 0 || index >= m_shared.size())
                return false;
            value = m_shared.at(index);
            return true;
        }
        return false;
    }

    PartDevice &m_device;
    const QString &m_part;
    const QStringList &m_shared;
    const QList<bool> &m_dateStyles;
    bool m_date1904;
    Sheet *m_sheet = nullptr;
    qint64 m_budget = 0;
    QString *m_why = nullptr;

    QByteArray m_buf;
    qsizetype m_pos = 0;
    bool m_atEnd = false;
    bool m_failed = false;
    qint64 m_bytesRead = 0;
    QByteArray m_prefix;
    QList<QByteArray> m_prefixes;
    CellCursor m_cursor;
    bool m_inRow = false;
    qint64 *m_count = nullptr;
    CellSink *m_sink = nullptr;
};

// One <c> element of the XML reader, from its start tag to its end tag.
bool readCellElement(QXmlStreamReader &xml, CellCursor &cursor, const QString &part, const QStringList &shared,
                     const QList<bool> &dateStyles, bool date1904, Sheet &sheet, qint64 budget, QString *error)
{
    const QXmlStreamAttributes cellAttributes = xml.attributes();
    const QStringView ref = attr(cellAttributes, QLatin1String("r"));
    int row = 0, col = 0;
    const CellCursor::Place place = cursor.cell(begin16(ref), begin16(ref) + ref.size(), row, col);
    if (place != CellCursor::Placed) {
        if (error)
            *error = CellCursor::problem(place, part);
        return false;
    }
    const QString type = attr(cellAttributes, QLatin1String("t")).toString();
    const QStringView style = attr(cellAttributes, QLatin1String("s"));
    const bool isDate = isDateStyle(begin16(style), begin16(style) + style.size(), dateStyles);
    QString valueText;
    bool hasValue = false;
    QString inlineText;
    bool hasInline = false;
    while (xml.readNextStartElement()) {
        if (xml.name() == QLatin1String("v")) {
            valueText = xml.readElementText(QXmlStreamReader::IncludeChildElements);
            hasValue = true;
        } else if (xml.name() == QLatin1String("is")) {
            inlineText = readStringItem(xml);
            hasInline = true;
        } else {
            xml.skipCurrentElement();
        }
    }
    if (xml.hasError())
        return true; // reported by the caller
    QVariant value;
    if (!cellValue(type, valueText, hasValue, inlineText, hasInline, isDate, date1904, shared, value)) {
        if (error)
            *error = QStringLiteral("shared string index out of range in %1").arg(part);
        return false;
    }
    // Texts not shared with the string table are the cell's own.
    if (type != QLatin1String("s") && value.typeId() == QMetaType::QString)
        sheet.allocatedBytes += Limits::textBytes(value.toString().size());
    sheet.setCell(row, col, normalizeCellValue(value));
    if (sheet.allocatedBytes > budget) {
        if (error)
            *error = QStringLiteral("the workbook is too large to read");
        return false;
    }
    return true;
}

bool readSheet(const ZipArchive &zip, const QString &part, const QStringList &shared,
               const QList<bool> &dateStyles, bool date1904, Sheet &sheet, qint64 budget, QString *error,
               XlsxSheetReader reader)
{
    QString openError;
    auto device = zip.open(part, &openError);
    if (!device) {
        if (error)
            *error = openError.isEmpty() ? QStringLiteral("missing worksheet part %1").arg(part) : openError;
        return false;
    }
    if (reader == XlsxSheetReader::Quick) {
        QString why;
        FastSheetReader fast(*device, part, shared, dateStyles, date1904);
        switch (fast.read(sheet, budget, &why)) {
        case FastSheetReader::Done:
            return true;
        case FastSheetReader::Failed:
            if (error)
                *error = why;
            return false;
        case FastSheetReader::Unsupported:
            sheet.rows.clear();
            sheet.allocatedBytes = 0;
            zip.refund(fast.bytesRead());
            break;
        }
        device = zip.open(part, &openError);
        if (!device) {
            if (error)
                *error = openError.isEmpty() ? QStringLiteral("missing worksheet part %1").arg(part) : openError;
            return false;
        }
    }
    // Cells are the <c> elements of <sheetData>, in <row> elements or directly in it; other
    // elements there, and anything outside it, hold no cells.
    QXmlStreamReader xml(device.get());
    CellCursor cursor;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement() || xml.name() != QLatin1String("sheetData"))
            continue;
        while (xml.readNextStartElement()) {
            if (xml.name() == QLatin1String("row")) {
                const QStringView r = attr(xml, QLatin1String("r"));
                cursor.row(begin16(r), begin16(r) + r.size());
                while (xml.readNextStartElement()) {
                    if (xml.name() != QLatin1String("c"))
                        xml.skipCurrentElement();
                    else if (!readCellElement(xml, cursor, part, shared, dateStyles, date1904, sheet, budget, error))
                        return false;
                }
            } else if (xml.name() == QLatin1String("c")) {
                if (!readCellElement(xml, cursor, part, shared, dateStyles, date1904, sheet, budget, error))
                    return false;
            } else {
                xml.skipCurrentElement();
            }
        }
    }
    if (xml.hasError() || !readToEnd(*device)) {
        if (error)
            *error = ZipArchive::xmlProblem(xml, *device, part);
        return false;
    }
    return true;
}

bool endsWithType(const QString &type, QLatin1String suffix)
{
    return type.endsWith(QLatin1Char('/') + suffix);
}

struct SheetRef
{
    QString name;
    QString part;
};

// What the workbook part says: its worksheets and where the shared strings and styles are.
struct WorkbookParts
{
    QList<SheetRef> sheets;
    bool date1904 = false;
    QString sharedStrings;
    QString styles;
};

bool readWorkbookParts(const ZipArchive &zip, WorkbookParts &parts, QString *error)
{
    if (!zip.isOpen()) {
        if (error)
            *error = QStringLiteral("not a readable zip archive");
        return false;
    }
    QString workbookPart = QStringLiteral("xl/workbook.xml");
    const QHash<QString, Relationship> rootRels = readRels(zip, QString());
    for (const Relationship &rel : rootRels) {
        if (endsWithType(rel.type, QLatin1String("officeDocument"))) {
            workbookPart = rel.target;
            break;
        }
    }
    QString openError;
    const auto workbookDevice = zip.open(workbookPart, &openError);
    if (!workbookDevice) {
        if (error)
            *error = openError.isEmpty() ? QStringLiteral("no workbook part") : openError;
        return false;
    }
    const QHash<QString, Relationship> rels = readRels(zip, workbookPart);
    for (const Relationship &rel : rels) {
        if (endsWithType(rel.type, QLatin1String("sharedStrings")))
            parts.sharedStrings = rel.target;
        else if (endsWithType(rel.type, QLatin1String("styles")))
            parts.styles = rel.target;
    }

    QList<SheetRef> &sheetRefs = parts.sheets;
    bool &date1904 = parts.date1904;
    {
        QXmlStreamReader xml(workbookDevice.get());
        while (!xml.atEnd()) {
            xml.readNext();
            if (!xml.isStartElement())
                continue;
            if (xml.name() == QLatin1String("workbookPr")) {
                const QStringView v = attr(xml, QLatin1String("date1904"));
                date1904 = v == QLatin1String("1") || v == QLatin1String("true");
            } else if (xml.name() == QLatin1String("sheet")) {
                const auto rel = rels.constFind(attr(xml, QLatin1String("id")).toString());
                // Chart sheets and dialog sheets have no cells to read.
                if (rel == rels.constEnd() || !endsWithType(rel->type, QLatin1String("worksheet")))
                    continue;
                if (sheetRefs.size() < 65535)
                    sheetRefs.append({attr(xml, QLatin1String("name")).toString(), rel->target});
            }
        }
        if (xml.hasError() || !readToEnd(*workbookDevice)) {
            if (error)
                *error = ZipArchive::xmlProblem(xml, *workbookDevice, workbookPart);
            return false;
        }
    }
    if (sheetRefs.isEmpty()) {
        if (error)
            *error = QStringLiteral("the workbook holds no worksheet");
        return false;
    }

    return true;
}

} // namespace

bool readXlsxData(const QByteArray &file, Workbook &workbook, int onlySheet, QString *error, bool dates,
                  XlsxSheetReader sheetReader)
{
    ZipArchive zip(file);
    WorkbookParts parts;
    if (!readWorkbookParts(zip, parts, error))
        return false;
    const QList<SheetRef> &sheetRefs = parts.sheets;
    Workbook result;
    result.sheets.resize(size_t(sheetRefs.size()));
    for (qsizetype i = 0; i < sheetRefs.size(); ++i) {
        result.sheets[size_t(i)].name = sheetRefs.at(i).name;
        result.sheets[size_t(i)].loaded = onlySheet < 0 || onlySheet == i;
    }
    if (onlySheet >= sheetRefs.size()) {
        workbook = std::move(result);
        return true;
    }

    QStringList shared;
    qint64 used = 0;
    if (!readSharedStrings(zip, parts.sharedStrings, shared, &used, error))
        return false;
    const QList<bool> dateStyles = dates ? readDateStyles(zip, parts.styles) : QList<bool>();

    for (size_t i = 0; i < result.sheets.size(); ++i) {
        Sheet &sheet = result.sheets[i];
        if (!sheet.loaded)
            continue;
        if (!readSheet(zip, sheetRefs.at(qsizetype(i)).part, shared, dateStyles, parts.date1904, sheet,
                       Limits::kMaxModelBytes - used, error, sheetReader))
            return false;
        used += sheet.allocatedBytes;
    }
    workbook = std::move(result);
    return true;
}


namespace {

// One worksheet read by the quick reader into a sink, as often as asked: the workbook, shared
// strings and styles are read once.
class XlsxSheetStream final : public SheetStream
{
public:
    explicit XlsxSheetStream(const QByteArray &file) : m_zip(file) {}

    bool prepare(int sheet, bool dates, QString *error)
    {
        if (!readWorkbookParts(m_zip, m_parts, error))
            return false;
        if (sheet < 0 || sheet >= m_parts.sheets.size()) {
            if (error)
                *error = QStringLiteral("the workbook has no sheet %1").arg(sheet + 1);
            return false;
        }
        m_part = m_parts.sheets.at(sheet).part;
        qint64 used = 0;
        if (!readSharedStrings(m_zip, m_parts.sharedStrings, m_shared, &used, error))
            return false;
        if (dates)
            m_dateStyles = readDateStyles(m_zip, m_parts.styles);
        m_inflatedLeft = m_zip.inflatedLeft();
        return true;
    }

    Result read(CellSink &sink, QString *error) override
    {
        m_zip.setInflatedLeft(m_inflatedLeft);
        QString openError;
        auto device = m_zip.open(m_part, &openError);
        if (!device) {
            if (error)
                *error = openError.isEmpty() ? QStringLiteral("missing worksheet part %1").arg(m_part) : openError;
            return Failed;
        }
        QString why;
        FastSheetReader fast(*device, m_part, m_shared, m_dateStyles, m_parts.date1904);
        fast.toSink(&sink);
        Sheet unused;
        switch (fast.read(unused, Limits::kMaxModelBytes, &why)) {
        case FastSheetReader::Done:
            return Done;
        case FastSheetReader::Failed:
            if (error)
                *error = why;
            return Failed;
        case FastSheetReader::Unsupported:
            break;
        }
        return Unsupported;
    }

private:
    ZipArchive m_zip;
    WorkbookParts m_parts;
    QString m_part;
    QStringList m_shared;
    QList<bool> m_dateStyles;
    qint64 m_inflatedLeft = 0;
};

} // namespace

std::unique_ptr<SheetStream> openXlsxSheet(const QByteArray &file, int sheet, bool dates, QString *error)
{
    auto stream = std::make_unique<XlsxSheetStream>(file);
    if (!stream->prepare(sheet, dates, error))
        return nullptr;
    return stream;
}

bool countXlsxCells(const QString &path, std::vector<qint64> &cells, QString *error)
{
    const ZipArchive zip(path);
    WorkbookParts parts;
    if (!readWorkbookParts(zip, parts, error))
        return false;
    cells.assign(size_t(parts.sheets.size()), 0);
    QStringList shared;
    bool sharedRead = false;
    for (qsizetype i = 0; i < parts.sheets.size(); ++i) {
        const QString &part = parts.sheets.at(i).part;
        QString openError;
        auto device = zip.open(part, &openError);
        if (!device) {
            if (error)
                *error = openError.isEmpty() ? QStringLiteral("missing worksheet part %1").arg(part) : openError;
            return false;
        }
        QString why;
        FastSheetReader fast(*device, part, shared, {}, false);
        fast.countOnly(&cells[size_t(i)]);
        Sheet ignored;
        switch (fast.read(ignored, Limits::kMaxModelBytes, &why)) {
        case FastSheetReader::Done:
            continue;
        case FastSheetReader::Failed:
            if (error)
                *error = why;
            return false;
        case FastSheetReader::Unsupported:
            break;
        }
        // Markup the quick reader leaves to the XML reader: the cells are read and counted.
        qint64 used = 0;
        if (!sharedRead && !readSharedStrings(zip, parts.sharedStrings, shared, &used, error))
            return false;
        sharedRead = true;
        Sheet sheet;
        if (!readSheet(zip, part, shared, {}, false, sheet, Limits::kMaxModelBytes, error, XlsxSheetReader::XmlOnly))
            return false;
        qint64 n = 0;
        for (const QList<QVariant> &row : sheet.rows)
            n += std::count_if(row.cbegin(), row.cend(), [](const QVariant &v) { return v.isValid(); });
        cells[size_t(i)] = n;
    }
    return true;
}

} // namespace exchange
