#include "xlsxfilereader.h"

#include <QFile>
#include <QHash>
#include <QSet>
#include <QXmlStreamReader>

#include <zip.h>

#include <memory>

namespace exchange {

namespace {

// No part of a workbook this program deals with comes near this; a larger
// one is refused rather than inflated into memory.
constexpr zip_uint64_t kMaxPartSize = 512ull * 1024 * 1024;
constexpr int kMaxSharedStrings = 16 * 1024 * 1024;

class ZipArchive
{
public:
    explicit ZipArchive(const QString &path)
    {
        int err = 0;
        m_zip = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &err);
    }
    ~ZipArchive()
    {
        if (m_zip)
            zip_discard(m_zip);
    }
    bool isOpen() const { return m_zip != nullptr; }

    // Part names are case-insensitive; a missing part gives false.
    bool read(const QString &name, QByteArray &out, QString *error) const
    {
        const QByteArray n = name.toUtf8();
        const zip_int64_t index = zip_name_locate(m_zip, n.constData(), ZIP_FL_NOCASE);
        if (index < 0)
            return false;
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(m_zip, zip_uint64_t(index), 0, &st) != 0 || !(st.valid & ZIP_STAT_SIZE)
            || st.size > kMaxPartSize) {
            if (error)
                *error = QStringLiteral("part %1 is unreadable or too large").arg(name);
            return false;
        }
        std::unique_ptr<zip_file_t, int (*)(zip_file_t *)> file(
            zip_fopen_index(m_zip, zip_uint64_t(index), 0), zip_fclose);
        if (!file) {
            if (error)
                *error = QStringLiteral("cannot open part %1").arg(name);
            return false;
        }
        out.resize(qsizetype(st.size));
        zip_uint64_t done = 0;
        while (done < st.size) {
            const zip_int64_t got = zip_fread(file.get(), out.data() + done, st.size - done);
            if (got <= 0)
                break;
            done += zip_uint64_t(got);
        }
        if (done != st.size) {
            if (error)
                *error = QStringLiteral("part %1 is damaged").arg(name);
            return false;
        }
        return true;
    }

private:
    zip_t *m_zip = nullptr;
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
    QByteArray data;
    if (!zip.read(relsOf(sourcePart), data, nullptr))
        return rels;
    QXmlStreamReader xml(data);
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
                text += xml.readElementText(QXmlStreamReader::IncludeChildElements);
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
    QByteArray data;
    if (part.isEmpty() || !zip.read(part, data, nullptr))
        return dateStyles;
    QHash<int, bool> customDate;
    QXmlStreamReader xml(data);
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

bool readSharedStrings(const ZipArchive &zip, const QString &part, QStringList &strings, QString *error)
{
    // A workbook without strings has no shared-strings part.
    QByteArray data;
    QString readError;
    if (part.isEmpty())
        return true;
    if (!zip.read(part, data, &readError)) {
        if (readError.isEmpty())
            return true;
        if (error)
            *error = readError;
        return false;
    }
    QXmlStreamReader xml(data);
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("si")) {
            if (strings.size() >= kMaxSharedStrings)
                break;
            strings.append(readStringItem(xml));
        }
    }
    if (xml.hasError()) {
        if (error)
            *error = QStringLiteral("shared strings: %1").arg(xml.errorString());
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

bool readSheet(const ZipArchive &zip, const QString &part, const QStringList &shared,
               const QList<bool> &dateStyles, bool date1904, Sheet &sheet, QString *error)
{
    QByteArray data;
    if (!zip.read(part, data, error)) {
        if (error && error->isEmpty())
            *error = QStringLiteral("missing worksheet part %1").arg(part);
        return false;
    }
    QXmlStreamReader xml(data);
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
        if (type == QLatin1String("inlineStr")) {
            value = hasInline ? inlineText : valueText;
        } else if (!hasValue) {
            value = hasInline ? QVariant(inlineText) : QVariant();
        } else if (type == QLatin1String("s")) {
            bool ok = false;
            const int index = valueText.trimmed().toInt(&ok);
            if (!ok || index < 0 || index >= shared.size()) {
                if (error)
                    *error = QStringLiteral("shared string index out of range in %1").arg(part);
                return false;
            }
            value = shared.at(index);
        } else if (type == QLatin1String("b")) {
            value = valueText.trimmed() == QLatin1String("1") || valueText.trimmed() == QLatin1String("true");
        } else if (type == QLatin1String("str") || type == QLatin1String("e")) {
            value = valueText;
        } else if (type == QLatin1String("d")) {
            value = isoDateCell(valueText.trimmed());
        } else {
            value = numericCell(valueText, isDate, date1904);
        }
        sheet.setCell(row, col, normalizeCellValue(value));
        if (sheet.allocatedCells > Sheet::kMaxCells) {
            if (error)
                *error = QStringLiteral("worksheet %1 is too large").arg(part);
            return false;
        }
    }
    if (xml.hasError()) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(part, xml.errorString());
        return false;
    }
    return true;
}

bool endsWithType(const QString &type, QLatin1String suffix)
{
    return type.endsWith(QLatin1Char('/') + suffix);
}

} // namespace

bool readXlsxFile(const QString &path, Workbook &workbook, QString *error)
{
    ZipArchive zip(path);
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
    QByteArray data;
    if (!zip.read(workbookPart, data, error)) {
        if (error && error->isEmpty())
            *error = QStringLiteral("no workbook part");
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
        QXmlStreamReader xml(data);
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
                *error = QStringLiteral("workbook: %1").arg(xml.errorString());
            return false;
        }
    }
    if (sheetRefs.isEmpty()) {
        if (error)
            *error = QStringLiteral("the workbook holds no worksheet");
        return false;
    }

    QStringList shared;
    if (!readSharedStrings(zip, sharedPart, shared, error))
        return false;
    const QList<bool> dateStyles = readDateStyles(zip, stylesPart);

    Workbook result;
    for (const SheetRef &ref : sheetRefs) {
        Sheet sheet;
        sheet.name = ref.name;
        if (!readSheet(zip, ref.part, shared, dateStyles, date1904, sheet, error))
            return false;
        result.sheets.push_back(std::move(sheet));
    }
    workbook = std::move(result);
    return true;
}

} // namespace exchange
