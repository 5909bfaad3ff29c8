#include "xlsfilewriter.h"

#include "compoundfile.h"

#include <QHash>
#include <QSet>
#include <QtEndian>

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

static bool buildXlsStream(const Workbook &workbook, QByteArray &stream, QString *error)
{
    const int maxRows = Workbook::maxRows(FileFormat::Xls);
    const int maxCols = Workbook::maxColumns(FileFormat::Xls);
    if (workbook.sheets.empty()) {
        if (error)
            *error = QStringLiteral("no worksheet to write");
        return false;
    }
    if (!workbook.allLoaded()) {
        if (error)
            *error = QStringLiteral("the workbook was not read whole");
        return false;
    }

    // Shared strings first: the globals must hold the table before any
    // sheet refers to it.
    QStringList strings;
    QHash<QString, quint32> stringIndex;
    quint32 stringRefs = 0;
    for (const Sheet &sheet : workbook.sheets) {
        if (sheet.rows.size() > size_t(maxRows)) {
            int fr, fc, lr, lc;
            if (sheet.usedRange(fr, fc, lr, lc) && lr >= maxRows) {
                if (error)
                    *error = QStringLiteral("more than %1 rows do not fit a .xls file").arg(maxRows);
                return false;
            }
        }
        for (const QList<QVariant> &row : sheet.rows) {
            for (int c = 0; c < row.size(); ++c) {
                const QVariant &v = row.at(c);
                if (!v.isValid())
                    continue;
                if (c >= maxCols) {
                    if (error)
                        *error = QStringLiteral("more than %1 columns do not fit a .xls file").arg(maxCols);
                    return false;
                }
                if (v.typeId() != QMetaType::QString)
                    continue;
                const QString s = v.toString();
                if (s.size() > kMaxCellText) {
                    if (error)
                        *error = QStringLiteral("a text of %1 characters is longer than a cell holds (%2)")
                                     .arg(s.size()).arg(kMaxCellText);
                    return false;
                }
                ++stringRefs;
                if (!stringIndex.contains(s)) {
                    stringIndex.insert(s, quint32(strings.size()));
                    strings.append(s);
                }
            }
        }
    }

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

    // Sheet names; the BOUNDSHEET offsets are patched once the sheet
    // streams' positions are known.
    SheetNames sheetNames;
    QList<int> offsetPositions;
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
        offsetPositions.append(globals.size() + 4);
        record(globals, 0x0085, b.data);
    }
    writeSst(globals, strings, stringRefs);
    record(globals, 0x000A, QByteArray());

    stream = std::move(globals);
    for (size_t i = 0; i < workbook.sheets.size(); ++i) {
        const Sheet &sheet = workbook.sheets[i];
        qToLittleEndian(quint32(stream.size()), stream.data() + offsetPositions.at(int(i)));
        record(stream, 0x0809, bof(0x0010));
        int fr, fc, lr, lc;
        const bool used = sheet.usedRange(fr, fc, lr, lc);
        {
            Bytes b;
            b.u32(used ? quint32(fr) : 0);
            b.u32(used ? quint32(lr + 1) : 0);
            b.u16(used ? quint16(fc) : 0);
            b.u16(used ? quint16(lc + 1) : 0);
            b.u16(0);
            record(stream, 0x0200, b.data);
        }
        for (size_t r = 0; r < sheet.rows.size(); ++r) {
            const QList<QVariant> &row = sheet.rows[r];
            for (int c = 0; c < row.size(); ++c) {
                const QVariant &v = row.at(c);
                if (!v.isValid())
                    continue;
                Bytes b;
                b.u16(quint16(r));
                b.u16(quint16(c));
                switch (v.typeId()) {
                case QMetaType::QString:
                    b.u16(kXfGeneral);
                    b.u32(stringIndex.value(v.toString()));
                    record(stream, 0x00FD, b.data);
                    break;
                case QMetaType::Bool:
                    b.u16(kXfGeneral);
                    b.u8(v.toBool() ? 1 : 0);
                    b.u8(0);
                    record(stream, 0x0205, b.data);
                    break;
                case QMetaType::QDateTime: {
                    const QDateTime dt = v.toDateTime();
                    b.u16(xfForDate(dt));
                    b.f64(toSerial(dt));
                    record(stream, 0x0203, b.data);
                    break;
                }
                default:
                    b.u16(kXfGeneral);
                    b.f64(v.toDouble());
                    record(stream, 0x0203, b.data);
                    break;
                }
            }
        }
        {
            Bytes b;
            b.u16(i == 0 ? 0x06B6 : 0x04B6);
            b.u16(0);
            b.u16(0);
            b.u32(0x40);
            b.u16(0);
            b.u16(0);
            b.u32(0);
            record(stream, 0x023E, b.data);
        }
        record(stream, 0x000A, QByteArray());
    }
    return true;
}

bool buildXlsFile(const Workbook &workbook, QByteArray &out, QString *error)
{
    QByteArray stream;
    if (!buildXlsStream(workbook, stream, error))
        return false;
    out = buildCompoundFile(QStringLiteral("Workbook"), stream);
    return true;
}

bool writeXlsFile(const Workbook &workbook, const std::function<bool(const char *, qint64)> &sink, QString *error)
{
    QByteArray stream;
    if (!buildXlsStream(workbook, stream, error))
        return false;
    return writeCompoundFile(QStringLiteral("Workbook"), stream, sink);
}

} // namespace exchange
