// Writes and reads back a 5,000-row (or the first argument's), 19-column table in .xls and
// .xlsx and prints the milliseconds of each step, and of the check after a save against a
// whole read; where soffice is on PATH, also the
// time it takes to convert the same file to CSV, as a peer figure.
#include "excelengine.h"
#include "workbook.h"
#include "xlsfilereader.h"
#include "xlsxfilereader.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdio>

namespace {

CellRows makeTable(int rows, int cols)
{
    CellRows table;
    QList<QVariant> header;
    for (int c = 0; c < cols; ++c)
        header.append(QStringLiteral("Column %1").arg(c + 1));
    table.append(header);
    const QDateTime start(QDate(2024, 1, 1), QTime(8, 0));
    for (int r = 1; r < rows; ++r) {
        QList<QVariant> row;
        for (int c = 0; c < cols; ++c) {
            if (c == 4)
                row.append(start.addSecs(60 * r));
            else if (c >= 5 && c <= 14)
                row.append(double(r) * 0.01 + c);
            else
                row.append(QStringLiteral("text %1-%2").arg(r).arg(c));
        }
        table.append(row);
    }
    return table;
}

void run(const QString &dir, const QString &name, const CellRows &table)
{
    const QString path = dir + QLatin1Char('/') + name;
    QElapsedTimer t;
    t.start();
    bool ok = false;
    {
        ExcelEngine engine(path);
        ok = engine.open(1) && engine.writeAll(table) && engine.save();
        engine.close();
    }
    const qint64 writeMs = t.elapsed();
    t.restart();
    CellRows back;
    int rows = 0;
    {
        ExcelEngine engine(path);
        ok = ok && engine.open(1) && engine.readAll(back);
        rows = engine.rowCount();
        engine.close();
    }
    const qint64 readMs = t.elapsed();
    std::printf("%-6s write %6lld ms   read %6lld ms   rows %d   %s\n", qPrintable(name),
                static_cast<long long>(writeMs), static_cast<long long>(readMs), rows, ok ? "ok" : "FAILED");

    // The check after a save: counting the cells of the file on the disk, against reading it
    // whole (what the check did before).
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    const QByteArray bytes = file.readAll();
    const bool xls = name.endsWith(QLatin1String(".xls"));
    std::vector<qint64> counts;
    QString error;
    t.restart();
    const bool counted = xls ? exchange::countXlsCells(bytes, counts, &error) : exchange::countXlsxCells(path, counts, &error);
    const qint64 countMs = t.elapsed();
    exchange::Workbook whole;
    t.restart();
    const bool parsed = xls ? exchange::readXlsData(bytes, whole, -1, &error, false)
                            : exchange::readXlsxData(bytes, whole, -1, &error, false);
    std::printf("%-6s check after a save: count %6lld ms   whole read %6lld ms   %s\n", qPrintable(name),
                static_cast<long long>(countMs), static_cast<long long>(t.elapsed()),
                counted && parsed ? "ok" : "FAILED");

    const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (soffice.isEmpty())
        return;
    QTemporaryDir outDir;
    t.restart();
    QProcess p;
    p.start(soffice, {QStringLiteral("--headless"), QStringLiteral("--convert-to"), QStringLiteral("csv"),
                      QStringLiteral("--outdir"), outDir.path(), path});
    p.waitForFinished(600000);
    std::printf("%-6s peer: soffice --headless --convert-to csv %6lld ms (exit %d)\n", qPrintable(name),
                static_cast<long long>(t.elapsed()), p.exitCode());
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const int rowCount = argc > 1 ? QByteArray(argv[1]).toInt() : 5000;
    const CellRows table = makeTable(rowCount > 1 ? rowCount : 5000, 19);
    std::printf("table: %lld rows x %lld columns\n", static_cast<long long>(table.size()),
                static_cast<long long>(table.first().size()));
    run(dir.path(), QStringLiteral("t.xls"), table);
    run(dir.path(), QStringLiteral("t.xlsx"), table);
    return 0;
}
