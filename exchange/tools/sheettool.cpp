// Command-line access to the program's own spreadsheet engine.
//
//   sheettool <input.tsv> <output.xls|output.xlsx>
//       Turns a tab-separated text file into a spreadsheet, so that data files shipped with the
//       program are kept in a readable form and built like any output. Cells that read as
//       numbers are stored as numbers, everything else as text.
//   sheettool --read <file> [sheet]
//       Prints the used range of a sheet (1-based, default 1) as tab-separated text: numbers
//       in their shortest exact form, date-times in ISO form, booleans as TRUE and FALSE.
//   sheettool --make <output.xls|output.xlsx> <rows> <columns> [--dates]
//       Writes the benchmark table: a header row, then rows of a number, a name, measured
//       values and a verdict (or, with --dates, a measurement time) in the last column.
#include "excelengine.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QTextStream>

#include <algorithm>
#include <charconv>
#include <cstdio>

namespace {

int fail(const QString &path, const ExcelEngine &engine)
{
    std::fprintf(stderr, "cannot handle %s: %s\n", qPrintable(path), qPrintable(engine.errorString()));
    return 1;
}

int writeRows(const QString &path, const CellRows &rows)
{
    QFile::remove(path);
    ExcelEngine engine(path);
    if (!engine.open(1) || !engine.writeAll(rows) || !engine.save())
        return fail(path, engine);
    engine.close();
    return 0;
}

int fromTsv(const QString &input, const QString &output)
{
    QFile in(input);
    if (!in.open(QFile::ReadOnly | QFile::Text)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(input));
        return 1;
    }
    CellRows rows;
    QTextStream text(&in);
    while (!text.atEnd()) {
        const QString line = text.readLine();
        if (line.trimmed().isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        QList<QVariant> row;
        for (const QString &cell : line.split(QLatin1Char('\t'))) {
            bool isNumber = false;
            const double value = cell.toDouble(&isNumber);
            row.append(isNumber ? QVariant(value) : QVariant(cell));
        }
        rows.append(row);
    }
    return writeRows(output, rows);
}

int read(const QString &path, int sheet)
{
    // The rows are printed as they are read: the sheet is never held in memory.
    ExcelEngine engine(path);
    if (!engine.open(sheet, ExcelEngine::Streamed))
        return fail(path, engine);
    QByteArray out;
    out.reserve(1 << 20);
    bool written = true;
    const bool read = engine.readRows([&](const QList<QVariant> &row) {
        for (qsizetype c = 0; c < row.size(); ++c) {
            if (c)
                out += '\t';
            const QVariant &v = row.at(c);
            switch (v.typeId()) {
            case QMetaType::Double: {
                char buf[32];
                const auto r = std::to_chars(buf, buf + sizeof buf, v.toDouble());
                out.append(buf, int(r.ptr - buf));
                break;
            }
            case QMetaType::Bool:
                out += v.toBool() ? "TRUE" : "FALSE";
                break;
            case QMetaType::QDateTime:
                out += v.toDateTime().toString(Qt::ISODateWithMs).toUtf8();
                break;
            default:
                out += v.toString().toUtf8();
                break;
            }
        }
        out += '\n';
        if (out.size() > (1 << 20)) {
            written = std::fwrite(out.constData(), 1, size_t(out.size()), stdout) == size_t(out.size());
            out.clear();
        }
        return written;
    });
    if (!read && written)
        return fail(path, engine);
    if (written)
        written = std::fwrite(out.constData(), 1, size_t(out.size()), stdout) == size_t(out.size());
    return written && std::fflush(stdout) == 0 ? 0 : 1;
}

// 08:00 on the first day, then every 61 seconds; built from its fields, so that the table costs
// one local-time conversion a value.
QDateTime measuredAt(QDate firstDay, int row)
{
    const int secs = 8 * 3600 + 61 * row;
    return QDateTime(firstDay.addDays(secs / 86400), QTime::fromMSecsSinceStartOfDay(secs % 86400 * 1000));
}

int make(const QString &path, int rowCount, int columns, bool dates)
{
    // Each row is made when the engine asks for it, while the file is written.
    const QDate firstDay(2024, 1, 1);
    int r = 0;
    const auto nextRow = [&](QList<QVariant> &row) {
        if (r >= std::max(rowCount, 1)) // the header row at least
            return ExcelEngine::RowStatus::End;
        row.reserve(columns);
        for (int c = 0; c < columns; ++c) {
            if (r == 0)
                row.append(QStringLiteral("Column %1").arg(c + 1));
            else if (c == 0)
                row.append(double(r));
            else if (c == 1)
                row.append(QStringLiteral("Comp%1").arg(r));
            else if (c == columns - 1 && !dates)
                row.append(r % 3 ? QStringLiteral("PASS") : QStringLiteral("NG"));
            else if (c == columns - 1)
                row.append(measuredAt(firstDay, r));
            else
                row.append(double((r * 7919 + c * 104729) % 20000) / 100.0 - 50.0);
        }
        ++r;
        return ExcelEngine::RowStatus::Row;
    };
    ExcelEngine engine(path);
    if (!engine.openNew() || !engine.saveRows(nextRow))
        return fail(path, engine);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    // Every local date-time makes the C library look up the time zone again, and with TZ
    // unset that costs a stat of /etc/localtime per value. Naming the same zone file keeps
    // the zone and makes the C library keep what it has read.
    if (!qEnvironmentVariableIsSet("TZ"))
        qputenv("TZ", ":/etc/localtime");
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() >= 3 && args.at(1) == QLatin1String("--read"))
        return read(args.at(2), args.size() > 3 ? args.at(3).toInt() : 1);
    if ((args.size() == 5 || args.size() == 6) && args.at(1) == QLatin1String("--make"))
        return make(args.at(2), args.at(3).toInt(), args.at(4).toInt(),
                    args.size() == 6 && args.at(5) == QLatin1String("--dates"));
    if (args.size() == 3 && !args.at(1).startsWith(QLatin1String("--")))
        return fromTsv(args.at(1), args.at(2));
    std::fprintf(stderr, "usage: sheettool <input.tsv> <output.xls|output.xlsx>\n"
                         "       sheettool --read <file> [sheet]\n"
                         "       sheettool --make <output.xls|output.xlsx> <rows> <columns> [--dates]\n");
    return 2;
}
