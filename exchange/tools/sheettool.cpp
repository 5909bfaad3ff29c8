// Turns a tab-separated text file into a spreadsheet through the program's own engine, so that
// data files shipped with the program are kept in a readable form and built like any output.
// Usage: sheettool <input.tsv> <output.xls|output.xlsx>
// Cells that read as numbers are stored as numbers, everything else as text.
#include "excelengine.h"

#include <QCoreApplication>
#include <QFile>
#include <QTextStream>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: sheettool <input.tsv> <output.xls|output.xlsx>\n");
        return 2;
    }
    QFile in(args.at(1));
    if (!in.open(QFile::ReadOnly | QFile::Text)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(args.at(1)));
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
    QFile::remove(args.at(2));
    ExcelEngine engine(args.at(2));
    if (!engine.open(1) || !engine.writeAll(rows) || !engine.save()) {
        std::fprintf(stderr, "cannot write %s: %s\n", qPrintable(args.at(2)),
                     qPrintable(engine.errorString()));
        return 1;
    }
    engine.close();
    return 0;
}
