#include "xlsxfilewriter.h"

#include <QFile>
#include <QHash>
#include <QSet>

#include <zip.h>

#include <charconv>
#include <ctime>
#include <functional>
#include <list>
#include <memory>

namespace exchange {

namespace {

// Cell styles of styles.xml: 0 general, then date-time, date and time.
enum Style { kGeneral = 0, kDateTime = 1, kDate = 2, kTime = 3 };

bool isHexDigit(QChar ch)
{
    return (ch >= QLatin1Char('0') && ch <= QLatin1Char('9')) || (ch >= QLatin1Char('a') && ch <= QLatin1Char('f'))
        || (ch >= QLatin1Char('A') && ch <= QLatin1Char('F'));
}

void appendEscape(QByteArray &out, char16_t code)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "_x%04X_", unsigned(code));
    out.append(buf);
}

// Text as element content: XML's own escapes, characters XML cannot carry
// (controls, a carriage return that a reader would turn into a line feed)
// as _xHHHH_, and a literal "_xHHHH_" kept literal with an escaped
// underscore.
void appendText(QByteArray &out, const QString &text)
{
    const qsizetype n = text.size();
    qsizetype plainFrom = 0;
    auto flush = [&](qsizetype to) {
        if (to > plainFrom)
            out.append(QStringView(text).mid(plainFrom, to - plainFrom).toUtf8());
    };
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t ch = text.at(i).unicode();
        const char *entity = nullptr;
        bool escape = false;
        switch (ch) {
        case u'&': entity = "&amp;"; break;
        case u'<': entity = "&lt;"; break;
        case u'>': entity = "&gt;"; break;
        case u'\t':
        case u'\n':
            break;
        case u'_':
            escape = i + 6 < n && text.at(i + 1) == QLatin1Char('x') && text.at(i + 6) == QLatin1Char('_')
                && isHexDigit(text.at(i + 2)) && isHexDigit(text.at(i + 3)) && isHexDigit(text.at(i + 4))
                && isHexDigit(text.at(i + 5));
            break;
        default:
            escape = ch < 0x20 || ch == 0xFFFE || ch == 0xFFFF;
            break;
        }
        if (!entity && !escape)
            continue;
        flush(i);
        if (entity)
            out.append(entity);
        else
            appendEscape(out, ch);
        plainFrom = i + 1;
    }
    flush(n);
}

void appendAttribute(QByteArray &out, const QString &text)
{
    QString s = text;
    s.replace(QLatin1Char('&'), QLatin1String("&amp;"));
    s.replace(QLatin1Char('<'), QLatin1String("&lt;"));
    s.replace(QLatin1Char('>'), QLatin1String("&gt;"));
    s.replace(QLatin1Char('"'), QLatin1String("&quot;"));
    out.append(s.toUtf8());
}

void appendNumber(QByteArray &out, double value)
{
    char buf[32];
    const std::to_chars_result r = std::to_chars(buf, buf + sizeof buf, value);
    out.append(buf, int(r.ptr - buf));
}

void appendCellRef(QByteArray &out, int row, int col)
{
    char letters[4];
    int n = 0;
    for (int c = col + 1; c > 0; c = (c - 1) / 26)
        letters[n++] = char('A' + (c - 1) % 26);
    while (n > 0)
        out.append(letters[--n]);
    out.append(QByteArray::number(row + 1));
}

Style styleFor(const QDateTime &dt)
{
    if (dt.date() == QDate(1899, 12, 30))
        return kTime;
    return dt.time().msecsSinceStartOfDay() == 0 ? kDate : kDateTime;
}

const char kXmlHead[] = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
const char kMainNs[] = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
const char kRelNs[] = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

QByteArray stylesPart()
{
    QByteArray s(kXmlHead);
    s += "<styleSheet xmlns=\"";
    s += kMainNs;
    s += "\"><numFmts count=\"3\"><numFmt numFmtId=\"164\" formatCode=\"yyyy/mm/dd hh:mm:ss\"/>"
         "<numFmt numFmtId=\"165\" formatCode=\"yyyy/mm/dd\"/><numFmt numFmtId=\"166\" formatCode=\"hh:mm:ss\"/>"
         "</numFmts><fonts count=\"1\"><font><sz val=\"11\"/><name val=\"Calibri\"/><family val=\"2\"/></font></fonts>"
         "<fills count=\"2\"><fill><patternFill patternType=\"none\"/></fill><fill><patternFill patternType=\"gray125\"/></fill></fills>"
         "<borders count=\"1\"><border><left/><right/><top/><bottom/><diagonal/></border></borders>"
         "<cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/></cellStyleXfs>"
         "<cellXfs count=\"4\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"/>"
         "<xf numFmtId=\"164\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\" applyNumberFormat=\"1\"/>"
         "<xf numFmtId=\"165\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\" applyNumberFormat=\"1\"/>"
         "<xf numFmtId=\"166\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\" applyNumberFormat=\"1\"/></cellXfs>"
         "<cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" builtinId=\"0\"/></cellStyles></styleSheet>";
    return s;
}

struct ZipSourceDeleter
{
    void operator()(zip_source_t *s) const { zip_source_free(s); }
};

// A part whose text is made as the archive is written, piece by piece: `next` appends the next
// piece and says More, or Done when none is left, or Failed (with why) when the text cannot be
// had. Opening the part again starts it afresh, where `restart` can.
class GeneratedPart
{
public:
    enum Step { More, Done, Failed };
    using Next = std::function<Step(QByteArray &, QString &why)>;
    GeneratedPart(std::function<bool()> restart, Next next) : m_restart(std::move(restart)), m_next(std::move(next))
    {
        zip_error_init(&m_error);
    }
    ~GeneratedPart() { zip_error_fini(&m_error); }

    static zip_int64_t callback(void *self, void *data, zip_uint64_t length, zip_source_cmd_t command)
    {
        return static_cast<GeneratedPart *>(self)->handle(data, length, command);
    }
    // Why the part could not be made, or empty.
    QString failure() const { return m_failure; }

private:
    zip_int64_t handle(void *data, zip_uint64_t length, zip_source_cmd_t command)
    {
        switch (command) {
        case ZIP_SOURCE_OPEN:
            if (!m_restart()) {
                m_failure = QStringLiteral("a sheet of rows taken once was asked for again");
                zip_error_set(&m_error, ZIP_ER_OPNOTSUPP, 0);
                return -1;
            }
            m_pending.clear();
            m_taken = 0;
            m_done = false;
            return 0;
        case ZIP_SOURCE_READ: {
            while (!m_done && m_pending.size() - m_taken < qsizetype(length)) {
                if (m_taken > 0) {
                    m_pending.remove(0, m_taken);
                    m_taken = 0;
                }
                const Step step = m_next(m_pending, m_failure);
                if (step == Failed) {
                    zip_error_set(&m_error, ZIP_ER_READ, 0);
                    return -1;
                }
                m_done = step == Done;
            }
            const qsizetype n = std::min<qsizetype>(qsizetype(length), m_pending.size() - m_taken);
            memcpy(data, m_pending.constData() + m_taken, size_t(n));
            m_taken += n;
            return n;
        }
        case ZIP_SOURCE_CLOSE:
            m_pending = QByteArray();
            return 0;
        case ZIP_SOURCE_STAT: {
            auto *st = static_cast<zip_stat_t *>(data);
            zip_stat_init(st);
            st->valid = ZIP_STAT_MTIME;
            st->mtime = time(nullptr);
            return sizeof(zip_stat_t);
        }
        case ZIP_SOURCE_ERROR:
            return zip_error_to_data(&m_error, data, length);
        case ZIP_SOURCE_FREE:
            return 0; // owned by the writer
        case ZIP_SOURCE_SUPPORTS:
            return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                                                  ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
        default:
            zip_error_set(&m_error, ZIP_ER_OPNOTSUPP, 0);
            return -1;
        }
    }

    std::function<bool()> m_restart;
    Next m_next;
    QByteArray m_pending;
    qsizetype m_taken = 0;
    bool m_done = false;
    zip_error_t m_error;
    QString m_failure;
};

// The parts of one workbook. The sheets are written as the archive asks for them, a few
// thousand cells at a time, so that no sheet's whole text is ever held; the shared strings
// they name are collected on the way and written last.
class XlsxParts
{
public:
    XlsxParts(const Workbook &workbook, const StreamedSheet *streamed) : m_workbook(workbook), m_streamed(streamed)
    {
    }

    // Checks that every cell of the workbook's own sheets fits the format, before anything is
    // written; the rows of a streamed sheet are checked as they come.
    bool check(QString *error) const
    {
        for (size_t i = 0; i < m_workbook.sheets.size(); ++i) {
            const Sheet &sheet = m_workbook.sheets[i];
            if (isStreamed(i))
                continue;
            for (const QList<QVariant> &row : sheet.rows) {
                for (int c = 0; c < row.size(); ++c) {
                    const QVariant &v = row.at(c);
                    if (!v.isValid())
                        continue;
                    if (c >= Workbook::maxColumns(FileFormat::Xlsx)) {
                        if (error)
                            *error = QStringLiteral("more than %1 columns do not fit a .xlsx file")
                                         .arg(Workbook::maxColumns(FileFormat::Xlsx));
                        return false;
                    }
                    if (v.typeId() == QMetaType::QString && v.toString().size() > kMaxCellText) {
                        if (error)
                            *error = QStringLiteral("a text of %1 characters is longer than a cell holds (%2)")
                                         .arg(v.toString().size()).arg(kMaxCellText);
                        return false;
                    }
                }
            }
        }
        return true;
    }

    // Adds every part to the archive; the generated ones are read from this object when the
    // archive is closed, so it must live until then.
    bool add(zip_t *archive, QString *why)
    {
        QByteArray workbookXml(kXmlHead), workbookRels(kXmlHead), types(kXmlHead);
        workbookXml += "<workbook xmlns=\"";
        workbookXml += kMainNs;
        workbookXml += "\" xmlns:r=\"";
        workbookXml += kRelNs;
        workbookXml += "\"><bookViews><workbookView/></bookViews><sheets>";
        workbookRels += "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
        types += "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
                 "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
                 "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
                 "<Override PartName=\"/xl/workbook.xml\" ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
                 "<Override PartName=\"/xl/styles.xml\" ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml\"/>"
                 "<Override PartName=\"/xl/sharedStrings.xml\" ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml\"/>";
        SheetNames sheetNames;
        for (size_t i = 0; i < m_workbook.sheets.size(); ++i) {
            const QByteArray n = QByteArray::number(qulonglong(i + 1));
            workbookXml += "<sheet name=\"";
            appendAttribute(workbookXml, sheetNames.take(m_workbook.sheets[i].name, int(i)));
            workbookXml += "\" sheetId=\"" + n + "\" r:id=\"rId" + n + "\"/>";
            workbookRels += "<Relationship Id=\"rId" + n
                + "\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" "
                  "Target=\"worksheets/sheet" + n + ".xml\"/>";
            types += "<Override PartName=\"/xl/worksheets/sheet" + n
                + ".xml\" ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>";
        }
        workbookXml += "</sheets></workbook>";
        workbookRels += "<Relationship Id=\"rId" + QByteArray::number(qulonglong(m_workbook.sheets.size() + 1))
            + "\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles\" Target=\"styles.xml\"/>"
              "<Relationship Id=\"rId" + QByteArray::number(qulonglong(m_workbook.sheets.size() + 2))
            + "\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings\" "
              "Target=\"sharedStrings.xml\"/></Relationships>";
        types += "</Types>";
        QByteArray rootRels(kXmlHead);
        rootRels += "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                    "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" "
                    "Target=\"xl/workbook.xml\"/></Relationships>";
        // The content types first, as readers that stream the archive expect.
        m_fixed = {{"[Content_Types].xml", types},
                   {"_rels/.rels", rootRels},
                   {"xl/workbook.xml", workbookXml},
                   {"xl/_rels/workbook.xml.rels", workbookRels},
                   {"xl/styles.xml", stylesPart()}};
        for (const auto &part : m_fixed) {
            zip_source_t *src = zip_source_buffer(archive, part.second.constData(), zip_uint64_t(part.second.size()), 0);
            if (!addSource(archive, part.first, src, why))
                return false;
        }
        for (size_t i = 0; i < m_workbook.sheets.size(); ++i) {
            const Sheet *sheet = &m_workbook.sheets[i];
            SheetRows *rows = nullptr;
            if (isStreamed(i)) {
                rows = m_streamed->rows;
            } else {
                m_ownRows.push_back(std::make_unique<ModelRows>(*sheet));
                rows = m_ownRows.back().get();
            }
            auto state = std::make_shared<SheetState>();
            // A streamed sheet has no used range before its rows are written: it goes without a
            // dimension, which readers work out themselves.
            const bool dimension = !isStreamed(i);
            m_parts.push_back(std::make_unique<GeneratedPart>(
                [state, rows] {
                    *state = SheetState();
                    return rows->rewind();
                },
                [this, sheet, rows, dimension, state](QByteArray &out, QString &why) {
                    return sheetPiece(*sheet, *rows, dimension, *state, out, why);
                }));
            const QByteArray name = "xl/worksheets/sheet" + QByteArray::number(qulonglong(i + 1)) + ".xml";
            if (!addGenerated(archive, name, why))
                return false;
        }
        auto next = std::make_shared<qsizetype>(0);
        m_parts.push_back(std::make_unique<GeneratedPart>(
            [next] {
                *next = -1;
                return true;
            },
            [this, next](QByteArray &out, QString &) {
                return sharedStringsPiece(*next, out) ? GeneratedPart::More : GeneratedPart::Done;
            }));
        return addGenerated(archive, "xl/sharedStrings.xml", why);
    }

    // Why a part could not be made, or empty.
    QString failure() const
    {
        for (const auto &part : m_parts) {
            if (!part->failure().isEmpty())
                return part->failure();
        }
        return {};
    }

private:
    struct SheetState
    {
        int stage = 0; // 0 head, 1 rows, 2 done
    };

    bool isStreamed(size_t index) const { return m_streamed && m_streamed->index == index; }
    static constexpr qsizetype kPiece = 64 * 1024;

    bool addSource(zip_t *archive, const char *name, zip_source_t *src, QString *why)
    {
        const zip_int64_t index = src ? zip_file_add(archive, name, src, ZIP_FL_ENC_UTF_8) : -1;
        if (index < 0) {
            if (src)
                zip_source_free(src);
            *why = QString::fromUtf8(zip_strerror(archive));
            return false;
        }
        // The fastest level: a table compresses well at any level, and the time goes mostly
        // into deflating.
        zip_set_file_compression(archive, zip_uint64_t(index), ZIP_CM_DEFLATE, 1);
        return true;
    }
    bool addGenerated(zip_t *archive, const QByteArray &name, QString *why)
    {
        m_names.push_back(name);
        return addSource(archive, m_names.back().constData(),
                         zip_source_function(archive, &GeneratedPart::callback, m_parts.back().get()), why);
    }

    int stringIndex(const QString &text)
    {
        ++m_stringRefs;
        auto it = m_stringIndex.constFind(text);
        if (it == m_stringIndex.constEnd()) {
            it = m_stringIndex.insert(text, int(m_strings.size()));
            m_strings.append(text);
        }
        return *it;
    }

    GeneratedPart::Step sheetPiece(const Sheet &sheet, SheetRows &rows, bool dimension, SheetState &state,
                                   QByteArray &xml, QString &why)
    {
        if (state.stage == 0) {
            xml += kXmlHead;
            xml += "<worksheet xmlns=\"";
            xml += kMainNs;
            xml += "\">";
            int fr, fc, lr, lc;
            if (dimension && sheet.usedRange(fr, fc, lr, lc)) {
                xml += "<dimension ref=\"";
                appendCellRef(xml, fr, fc);
                xml += ':';
                appendCellRef(xml, lr, lc);
                xml += "\"/>";
            }
            xml += "<sheetData>";
            state.stage = 1;
            return GeneratedPart::More;
        }
        if (state.stage == 2)
            return GeneratedPart::Done;
        const qsizetype until = xml.size() + kPiece;
        int r = 0;
        const QList<QVariant> *cells = nullptr;
        bool more = true;
        while (xml.size() < until && (more = rows.next(r, cells))) {
            const QList<QVariant> &row = *cells;
            bool open = false;
            for (int c = 0; c < row.size(); ++c) {
                const QVariant &v = row.at(c);
                if (!v.isValid())
                    continue;
                if (!open) {
                    xml += "<row r=\"" + QByteArray::number(qulonglong(r) + 1) + "\">";
                    open = true;
                }
                xml += "<c r=\"";
                appendCellRef(xml, r, c);
                switch (v.typeId()) {
                case QMetaType::QString:
                    xml += "\" t=\"s\"><v>";
                    xml += QByteArray::number(stringIndex(v.toString()));
                    xml += "</v></c>";
                    break;
                case QMetaType::Bool:
                    xml += v.toBool() ? "\" t=\"b\"><v>1</v></c>" : "\" t=\"b\"><v>0</v></c>";
                    break;
                case QMetaType::QDateTime: {
                    const QDateTime dt = v.toDateTime();
                    xml += "\" s=\"" + QByteArray::number(int(styleFor(dt))) + "\"><v>";
                    appendNumber(xml, toSerial(dt));
                    xml += "</v></c>";
                    break;
                }
                default:
                    xml += "\"><v>";
                    appendNumber(xml, v.toDouble());
                    xml += "</v></c>";
                    break;
                }
            }
            if (open)
                xml += "</row>";
        }
        if (!more) {
            if (!rows.failure().isEmpty()) {
                why = rows.failure();
                return GeneratedPart::Failed;
            }
            xml += "</sheetData></worksheet>";
            state.stage = 2;
        }
        return GeneratedPart::More;
    }

    // next: -1 for the head, then the index of the next string.
    bool sharedStringsPiece(qsizetype &next, QByteArray &sst)
    {
        if (next < 0) {
            sst += kXmlHead;
            sst += "<sst xmlns=\"";
            sst += kMainNs;
            sst += "\" count=\"" + QByteArray::number(m_stringRefs) + "\" uniqueCount=\""
                + QByteArray::number(qsizetype(m_strings.size())) + "\">";
            next = 0;
            return true;
        }
        if (next > m_strings.size())
            return false;
        const qsizetype until = sst.size() + kPiece;
        for (; next < m_strings.size() && sst.size() < until; ++next) {
            const QString &s = m_strings.at(next);
            const bool preserve = s.front().isSpace() || s.back().isSpace() || s.contains(QLatin1Char('\n'))
                || s.contains(QLatin1Char('\t'));
            sst += preserve ? "<si><t xml:space=\"preserve\">" : "<si><t>";
            appendText(sst, s);
            sst += "</t></si>";
        }
        if (next == m_strings.size()) {
            sst += "</sst>";
            ++next;
        }
        return true;
    }

    const Workbook &m_workbook;
    const StreamedSheet *m_streamed;
    std::vector<std::unique_ptr<ModelRows>> m_ownRows;
    std::vector<std::pair<const char *, QByteArray>> m_fixed;
    std::vector<std::unique_ptr<GeneratedPart>> m_parts;
    std::list<QByteArray> m_names;
    QHash<QString, int> m_stringIndex;
    QStringList m_strings;
    qint64 m_stringRefs = 0;
};

bool refuseBadWorkbook(const Workbook &workbook, const StreamedSheet *streamed, QString *error)
{
    if (workbook.sheets.empty()) {
        if (error)
            *error = QStringLiteral("no worksheet to write");
        return true;
    }
    for (size_t i = 0; i < workbook.sheets.size(); ++i) {
        if (!workbook.sheets[i].loaded && !(streamed && streamed->index == i)) {
            if (error)
                *error = QStringLiteral("the workbook was not read whole");
            return true;
        }
    }
    return false;
}

} // namespace

bool writeXlsxFile(const Workbook &workbook, const QString &path, QString *error, const StreamedSheet *streamed)
{
    if (refuseBadWorkbook(workbook, streamed, error))
        return false;
    XlsxParts parts(workbook, streamed);
    if (!parts.check(error))
        return false;
    auto fail = [&](const QString &why) {
        if (error)
            *error = QStringLiteral("cannot write %1: %2").arg(path, why);
        return false;
    };
    int code = 0;
    zip_t *archive = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    if (!archive) {
        zip_error_t err;
        zip_error_init_with_code(&err, code);
        const QString why = QString::fromUtf8(zip_error_strerror(&err));
        zip_error_fini(&err);
        return fail(why);
    }
    QString why;
    if (!parts.add(archive, &why)) {
        zip_discard(archive);
        return fail(why);
    }
    if (zip_close(archive) != 0) {
        why = parts.failure().isEmpty() ? QString::fromUtf8(zip_strerror(archive)) : parts.failure();
        zip_discard(archive);
        return fail(why);
    }
    return true;
}

bool buildXlsxFile(const Workbook &workbook, QByteArray &out, QString *error)
{
    if (refuseBadWorkbook(workbook, nullptr, error))
        return false;
    XlsxParts parts(workbook, nullptr);
    if (!parts.check(error))
        return false;
    auto fail = [&](const QString &why) {
        if (error)
            *error = QStringLiteral("cannot build the .xlsx archive: %1").arg(why);
        return false;
    };
    zip_error_t err;
    zip_error_init(&err);
    std::unique_ptr<zip_source_t, ZipSourceDeleter> memory(zip_source_buffer_create(nullptr, 0, 0, &err));
    if (!memory) {
        const QString why = QString::fromUtf8(zip_error_strerror(&err));
        zip_error_fini(&err);
        return fail(why);
    }
    zip_source_keep(memory.get());
    zip_t *archive = zip_open_from_source(memory.get(), ZIP_TRUNCATE, &err);
    if (!archive) {
        zip_source_free(memory.get()); // drops the reference kept for the archive
        const QString why = QString::fromUtf8(zip_error_strerror(&err));
        zip_error_fini(&err);
        return fail(why);
    }
    zip_error_fini(&err);
    QString why;
    if (!parts.add(archive, &why)) {
        zip_discard(archive);
        return fail(why);
    }
    if (zip_close(archive) != 0) {
        why = QString::fromUtf8(zip_strerror(archive));
        zip_discard(archive);
        return fail(why);
    }
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_source_stat(memory.get(), &st) != 0 || !(st.valid & ZIP_STAT_SIZE) || zip_source_open(memory.get()) != 0)
        return fail(QStringLiteral("the archive in memory cannot be read"));
    out.resize(qsizetype(st.size));
    const zip_int64_t got = zip_source_read(memory.get(), out.data(), st.size);
    zip_source_close(memory.get());
    if (got != zip_int64_t(st.size))
        return fail(QStringLiteral("the archive in memory cannot be read"));
    return true;
}

} // namespace exchange
