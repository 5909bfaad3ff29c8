#include "xlsxfilereader.h"

#include <QFile>
#include <QHash>
#include <QSet>
#include <QXmlStreamReader>

#include <zip.h>

#include <charconv>
#include <cstring>
#include <memory>

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
        for (zip_int64_t i = 0; i < got; ++i) {
            if (data[i] == '<') {
                m_run = 0;
            } else if (++m_run > kMaxTextRun) {
                m_problem = QStringLiteral("a part holds a text or a gap longer than any cell");
                return -1;
            }
        }
        return got;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    zip_file_t *m_file;
    qint64 *m_left;
    qint64 m_run = 0;
    QString m_problem;
};

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
    const QString endName = xml.name().toString();
    QString text;
    int phonetic = 0;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            if (xml.name() == QLatin1String("rPh"))
                ++phonetic;
            else if (xml.name() == QLatin1String("t") && phonetic == 0)
                text += decodeEscapes(xml.readElementText(QXmlStreamReader::IncludeChildElements));
        } else if (xml.isEndElement()) {
            if (xml.name() == QLatin1String("rPh"))
                --phonetic;
            else if (xml.name() == endName)
                break;
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
    if (xml.hasError()) {
        if (error)
            *error = ZipArchive::xmlProblem(xml, *device, part);
        return false;
    }
    return true;
}

// "AB12" -> 0-based row 11, column 27. False for anything else.
bool parseCellRef(QStringView ref, int &row, int &col)
{
    int i = 0;
    qint64 c = 0;
    while (i < ref.size() && ref.at(i).isLetter() && i < 4) {
        const char16_t ch = QChar::toUpper(ref.at(i).unicode());
        if (ch < u'A' || ch > u'Z')
            return false;
        c = c * 26 + (ch - u'A' + 1);
        ++i;
    }
    if (i == 0 || i >= ref.size())
        return false;
    bool ok = false;
    const qint64 r = ref.mid(i).toLongLong(&ok);
    if (!ok || r < 1 || r > Workbook::maxRows(FileFormat::Xlsx) || c > Workbook::maxColumns(FileFormat::Xlsx))
        return false;
    row = int(r - 1);
    col = int(c - 1);
    return true;
}

QVariant numericCell(QStringView text, bool isDate, bool date1904)
{
    bool ok = false;
    const double d = text.trimmed().toDouble(&ok);
    if (!ok)
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
// False, with *error set, for a shared-string index outside the table.
bool cellValue(QStringView type, QStringView valueText, bool hasValue, const QString &inlineText, bool hasInline,
               bool isDate, bool date1904, const QStringList &shared, QVariant &value)
{
    if (type == QLatin1String("inlineStr")) {
        value = hasInline ? inlineText : valueText.toString();
    } else if (!hasValue) {
        value = hasInline ? QVariant(inlineText) : QVariant();
    } else if (type == QLatin1String("s")) {
        bool ok = false;
        const int index = valueText.trimmed().toInt(&ok);
        if (!ok || index < 0 || index >= shared.size())
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

// A quick reader of the sheet's cells for the plain XML that spreadsheet
// writers produce: <row> and <c> elements with r, t and s attributes, <v>
// values and <f> formulas, no prefixes, comments, CDATA or inline strings.
// Anything else makes it give up (Unsupported) before it has read a cell
// wrongly; the full XML reader then reads the part.
class FastSheetReader
{
public:
    enum Result { Done, Failed, Unsupported };

    FastSheetReader(const QByteArray &data, const QStringList &shared, const QList<bool> &dateStyles,
                    bool date1904)
        : m_p(data.constData()), m_end(data.constData() + data.size()), m_shared(shared),
          m_dateStyles(dateStyles), m_date1904(date1904)
    {
    }

    Result read(Sheet &sheet, qint64 budget, QString *why)
    {
        const QByteArrayView all(m_p, m_end - m_p);
        const qsizetype start = all.indexOf(QByteArrayView("<sheetData"));
        if (start < 0)
            return Unsupported;
        m_p += start + 10;
        if (m_p < m_end && *m_p == '/')
            return skipTo('>') ? Done : Unsupported; // <sheetData/>
        if (!skipTo('>'))
            return Unsupported;
        int rowIndex = -1;
        int nextCol = 0;
        for (;;) {
            if (!skipTo('<'))
                return Unsupported;
            ++m_p;
            if (startsWith("/sheetData>"))
                return Done;
            if (startsWith("/row>")) {
                m_p += 5;
                continue;
            }
            if (startsWith("row") && isEndOfName(m_p + 3)) {
                m_p += 3;
                Attributes a;
                bool empty = false;
                if (!readAttributes(a, empty))
                    return Unsupported;
                int r = 0;
                rowIndex = (toInt(a.r, r) && r >= 1 && r <= Workbook::maxRows(FileFormat::Xlsx)) ? r - 1 : rowIndex + 1;
                nextCol = 0;
                continue;
            }
            if (!(startsWith("c") && isEndOfName(m_p + 1)))
                return Unsupported;
            ++m_p;
            Attributes a;
            bool empty = false;
            if (!readAttributes(a, empty))
                return Unsupported;
            int row = rowIndex < 0 ? 0 : rowIndex;
            int col = nextCol;
            if (!a.r.isEmpty() && !parseRef(a.r, row, col)) {
                *why = QStringLiteral("bad cell reference");
                return Failed;
            }
            nextCol = col + 1;
            QByteArrayView valueText;
            bool hasValue = false;
            while (!empty) {
                if (!skipTo('<'))
                    return Unsupported;
                ++m_p;
                if (startsWith("/c>")) {
                    m_p += 3;
                    break;
                }
                if (startsWith("v>")) {
                    m_p += 2;
                    const char *from = m_p;
                    if (!skipTo('<') || !startsWith("</v>"))
                        return Unsupported;
                    valueText = QByteArrayView(from, m_p - from);
                    hasValue = true;
                    m_p += 4;
                    if (valueText.contains('&'))
                        return Unsupported;
                    continue;
                }
                if (startsWith("f") && isEndOfName(m_p + 1)) {
                    ++m_p;
                    Attributes ignored;
                    bool emptyFormula = false;
                    if (!readAttributes(ignored, emptyFormula))
                        return Unsupported;
                    if (!emptyFormula) {
                        if (!skipTo('<') || !startsWith("</f>"))
                            return Unsupported;
                        m_p += 4;
                    }
                    continue;
                }
                return Unsupported; // inline strings, extensions
            }
            int style = 0;
            const bool isDate = toInt(a.s, style) && style >= 0 && style < m_dateStyles.size() && m_dateStyles.at(style);
            QVariant value;
            if (!fastValue(a.t, valueText, hasValue, isDate, value)) {
                const QString type = QString::fromLatin1(a.t);
                const QString text = QString::fromUtf8(valueText);
                if (!cellValue(type, text, hasValue, QString(), false, isDate, m_date1904, m_shared, value)) {
                    *why = QStringLiteral("shared string index out of range");
                    return Failed;
                }
                if (type != QLatin1String("s") && value.typeId() == QMetaType::QString)
                    sheet.allocatedBytes += Limits::textBytes(value.toString().size());
            }
            sheet.setCell(row, col, normalizeCellValue(value));
            if (sheet.allocatedBytes > budget) {
                *why = QStringLiteral("the workbook is too large to read");
                return Failed;
            }
        }
    }

private:
    struct Attributes
    {
        QByteArrayView r, t, s;
    };

    bool startsWith(const char *text) const
    {
        const size_t n = strlen(text);
        return size_t(m_end - m_p) >= n && memcmp(m_p, text, n) == 0;
    }
    bool isEndOfName(const char *p) const
    {
        return p < m_end && (*p == ' ' || *p == '>' || *p == '/' || *p == '\t' || *p == '\n' || *p == '\r');
    }
    bool skipTo(char ch)
    {
        const void *hit = memchr(m_p, ch, size_t(m_end - m_p));
        if (!hit)
            return false;
        m_p = static_cast<const char *>(hit);
        return true;
    }
    static bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
    // Attributes up to the end of a start tag; *empty for "/>".
    bool readAttributes(Attributes &a, bool &empty)
    {
        for (;;) {
            while (m_p < m_end && isSpace(*m_p))
                ++m_p;
            if (m_p >= m_end)
                return false;
            if (*m_p == '>') {
                ++m_p;
                empty = false;
                return true;
            }
            if (*m_p == '/') {
                if (m_p + 1 >= m_end || m_p[1] != '>')
                    return false;
                m_p += 2;
                empty = true;
                return true;
            }
            const char *name = m_p;
            while (m_p < m_end && *m_p != '=' && !isSpace(*m_p) && *m_p != '>' && *m_p != '/')
                ++m_p;
            const QByteArrayView key(name, m_p - name);
            while (m_p < m_end && isSpace(*m_p))
                ++m_p;
            if (m_p >= m_end || *m_p != '=')
                return false;
            ++m_p;
            while (m_p < m_end && isSpace(*m_p))
                ++m_p;
            if (m_p >= m_end || (*m_p != '"' && *m_p != '\''))
                return false;
            const char quote = *m_p++;
            const char *value = m_p;
            if (!skipTo(quote))
                return false;
            const QByteArrayView v(value, m_p - value);
            ++m_p;
            if (v.contains('&') || v.contains('<'))
                return false;
            if (key == "r")
                a.r = v;
            else if (key == "t")
                a.t = v;
            else if (key == "s")
                a.s = v;
        }
    }
    // "AB12" -> 0-based row 11, column 27, within the sheet's bounds.
    static bool parseRef(QByteArrayView ref, int &row, int &col)
    {
        qsizetype i = 0;
        int c = 0;
        while (i < ref.size() && i < 3) {
            char ch = ref.at(i);
            if (ch >= 'a' && ch <= 'z')
                ch = char(ch - 'a' + 'A');
            if (ch < 'A' || ch > 'Z')
                break;
            c = c * 26 + (ch - 'A' + 1);
            ++i;
        }
        int r = 0;
        if (i == 0 || !toInt(QByteArrayView(ref.data() + i, ref.size() - i), r) || r < 1 || r > Workbook::maxRows(FileFormat::Xlsx)
            || c > Workbook::maxColumns(FileFormat::Xlsx))
            return false;
        row = r - 1;
        col = c - 1;
        return true;
    }
    static bool toInt(QByteArrayView text, int &out)
    {
        if (text.isEmpty())
            return false;
        const auto r = std::from_chars(text.data(), text.data() + text.size(), out);
        return r.ec == std::errc() && r.ptr == text.data() + text.size();
    }
    // Numbers and shared strings, the bulk of every sheet, without going
    // through QString; false leaves the cell to the general path.
    bool fastValue(QByteArrayView type, QByteArrayView text, bool hasValue, bool isDate, QVariant &value) const
    {
        if (!hasValue)
            return false;
        if (type.isEmpty() || type == "n") {
            double d = 0;
            const auto r = std::from_chars(text.data(), text.data() + text.size(), d);
            if (text.isEmpty() || r.ec != std::errc() || r.ptr != text.data() + text.size())
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
            int index = 0;
            if (!toInt(text, index) || index < 0 || index >= m_shared.size())
                return false;
            value = m_shared.at(index);
            return true;
        }
        return false;
    }

    const char *m_p;
    const char *m_end;
    const QStringList &m_shared;
    const QList<bool> &m_dateStyles;
    bool m_date1904;
};

bool readSheet(const ZipArchive &zip, const QString &part, const QStringList &shared,
               const QList<bool> &dateStyles, bool date1904, Sheet &sheet, qint64 budget, QString *error)
{
    QString openError;
    auto device = zip.open(part, &openError);
    if (!device) {
        if (error)
            *error = openError.isEmpty() ? QStringLiteral("missing worksheet part %1").arg(part) : openError;
        return false;
    }
    // The part is inflated whole (within the archive's bounds) so that the
    // quick reader can scan it; the XML reader takes over what it cannot,
    // reading the part afresh as a stream.
    {
        const QByteArray data = device->readAll();
        if (!device->problem().isEmpty()) {
            if (error)
                *error = QStringLiteral("%1: %2").arg(part, device->problem());
            return false;
        }
        QString why;
        FastSheetReader fast(data, shared, dateStyles, date1904);
        switch (fast.read(sheet, budget, &why)) {
        case FastSheetReader::Done:
            return true;
        case FastSheetReader::Failed:
            if (error)
                *error = QStringLiteral("%1: %2").arg(part, why);
            return false;
        case FastSheetReader::Unsupported:
            sheet.rows.clear();
            sheet.allocatedBytes = 0;
            zip.refund(data.size());
            break;
        }
    }
    device = zip.open(part, &openError);
    if (!device) {
        if (error)
            *error = openError.isEmpty() ? QStringLiteral("missing worksheet part %1").arg(part) : openError;
        return false;
    }
    QXmlStreamReader xml(device.get());
    int rowIndex = -1;
    int nextCol = 0;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        if (xml.name() == QLatin1String("row")) {
            bool ok = false;
            const int r = attr(xml, QLatin1String("r")).toInt(&ok);
            rowIndex = (ok && r >= 1 && r <= Workbook::maxRows(FileFormat::Xlsx)) ? r - 1 : rowIndex + 1;
            nextCol = 0;
            continue;
        }
        if (xml.name() != QLatin1String("c"))
            continue;
        int row = rowIndex < 0 ? 0 : rowIndex;
        int col = nextCol;
        const QXmlStreamAttributes cellAttributes = xml.attributes();
        const QStringView ref = attr(cellAttributes, QLatin1String("r"));
        if (!ref.isEmpty() && !parseCellRef(ref, row, col)) {
            if (error)
                *error = QStringLiteral("bad cell reference in %1").arg(part);
            return false;
        }
        if (row >= Workbook::maxRows(FileFormat::Xlsx) || col >= Workbook::maxColumns(FileFormat::Xlsx)) {
            if (error)
                *error = QStringLiteral("cell outside the sheet in %1").arg(part);
            return false;
        }
        nextCol = col + 1;
        const QString type = attr(cellAttributes, QLatin1String("t")).toString();
        const int style = attr(cellAttributes, QLatin1String("s")).toInt();
        const bool isDate = style >= 0 && style < dateStyles.size() && dateStyles.at(style);
        QString valueText;
        bool hasValue = false;
        QString inlineText;
        bool hasInline = false;
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isEndElement() && xml.name() == QLatin1String("c"))
                break;
            if (!xml.isStartElement())
                continue;
            if (xml.name() == QLatin1String("v")) {
                valueText = xml.readElementText(QXmlStreamReader::IncludeChildElements);
                hasValue = true;
            } else if (xml.name() == QLatin1String("is")) {
                inlineText = readStringItem(xml);
                hasInline = true;
            } else if (xml.name() == QLatin1String("f")) {
                xml.skipCurrentElement();
            }
        }
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
    }
    if (xml.hasError()) {
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

} // namespace

bool readXlsxData(const QByteArray &file, Workbook &workbook, int onlySheet, QString *error, bool dates)
{
    ZipArchive zip(file);
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
    QString sharedPart, stylesPart;
    for (const Relationship &rel : rels) {
        if (endsWithType(rel.type, QLatin1String("sharedStrings")))
            sharedPart = rel.target;
        else if (endsWithType(rel.type, QLatin1String("styles")))
            stylesPart = rel.target;
    }

    struct SheetRef
    {
        QString name;
        QString part;
    };
    QList<SheetRef> sheetRefs;
    bool date1904 = false;
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
        if (xml.hasError()) {
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
    if (!readSharedStrings(zip, sharedPart, shared, &used, error))
        return false;
    const QList<bool> dateStyles = dates ? readDateStyles(zip, stylesPart) : QList<bool>();

    for (size_t i = 0; i < result.sheets.size(); ++i) {
        Sheet &sheet = result.sheets[i];
        if (!sheet.loaded)
            continue;
        if (!readSheet(zip, sheetRefs.at(qsizetype(i)).part, shared, dateStyles, date1904, sheet,
                       Limits::kMaxModelBytes - used, error))
            return false;
        used += sheet.allocatedBytes;
    }
    workbook = std::move(result);
    return true;
}

} // namespace exchange
