#include "historyexport.h"

#include "csvtext.h"
#include "excelengine.h"
#include "historystore.h"
#include "historytask.h"

#include <QDateTime>
#include <QDir>
#include <QSaveFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

namespace {

// How many ids one statement takes.
constexpr int kIdsPerQuery = 500;
// The rows of an .xls (BIFF8) sheet, the header's included.
constexpr int kXlsRows = 65536;

QString columnsOfM()
{
    QStringList qualified;
    for (const QString &column : QString::fromLatin1(historyRowColumns()).split(QStringLiteral(", ")))
        qualified << QStringLiteral("m.") + column;
    return qualified.join(QStringLiteral(", "));
}

// The rows of a selection, one at a time: a filter's in the order they were stored, chosen ids
// in the order of the ids. Pulled, so that a writer that asks for rows (a spreadsheet written
// as it is saved) never holds them all.
class HistoryRowCursor
{
public:
    HistoryRowCursor(const QSqlDatabase &db, const HistorySelection &selection)
        : m_db(db), m_filter(selection.filter), m_byIds(!selection.ids.isEmpty()), m_ids(selection.ids)
    {
        std::sort(m_ids.begin(), m_ids.end());
    }

    // The next row; false at the end, or when the history cannot be read (error() says why).
    bool next(HistoryRow *row)
    {
        while (true) {
            if (m_query && m_query->next()) {
                *row = historyRowFromQuery(*m_query, 0);
                return true;
            }
            if (m_query && m_query->lastError().isValid()) {
                m_error = m_query->lastError().text();
                return false;
            }
            if (!startNext())
                return false;
        }
    }
    QString error() const { return m_error; }

private:
    bool startNext()
    {
        QString sql;
        QVariantList binds;
        if (!m_byIds) {
            if (m_started)
                return false;
            const HistoryWhere where = historyWhere(m_filter, m_db);
            if (!where.ok) {
                m_error = m_db.lastError().text();
                return false;
            }
            sql = QStringLiteral("SELECT %1 FROM measurements m%2 ORDER BY m.stored_at, m.id").arg(columnsOfM(), where.sql);
            binds = where.binds;
        } else {
            if (m_from >= m_ids.size())
                return false;
            const QList<qint64> part = m_ids.mid(m_from, kIdsPerQuery);
            m_from += kIdsPerQuery;
            QStringList marks;
            for (qint64 id : part) {
                marks << QStringLiteral("?");
                binds << id;
            }
            sql = QStringLiteral("SELECT %1 FROM measurements m WHERE m.id IN (%2) ORDER BY m.id")
                      .arg(columnsOfM(), marks.join(QStringLiteral(", ")));
        }
        m_started = true;
        m_query.reset(); // one statement at a time on the connection
        m_query = std::make_unique<QSqlQuery>(m_db);
        m_query->setForwardOnly(true);
        m_query->prepare(sql);
        for (const QVariant &bind : std::as_const(binds))
            m_query->addBindValue(bind);
        if (!m_query->exec()) {
            m_error = m_query->lastError().text();
            return false;
        }
        return true;
    }

    QSqlDatabase m_db;
    HistoryFilter m_filter;
    bool m_byIds = false;
    QList<qint64> m_ids;
    qsizetype m_from = 0;
    bool m_started = false;
    std::unique_ptr<QSqlQuery> m_query;
    QString m_error;
};

// A text inside a CGATS string: the format knows no escapes, so a quote becomes an apostrophe,
// and a line break a blank.
QString cgatsText(const QString &text)
{
    QString t = text;
    t.replace(u'"', u'\'').replace(u'\r', u' ').replace(u'\n', u' ').replace(u'\t', u' ');
    return u'"' + t + u'"';
}

QString cgatsNumber(double value)
{
    return QString::number(value, 'f', 4);
}

// The file's contents, written whole beside the target and renamed over it.
bool saveWhole(const QString &path, const QByteArray &bytes, QString *why)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        *why = file.errorString();
        return false;
    }
    return true;
}

} // namespace

bool forEachHistoryRow(const QSqlDatabase &db, const HistorySelection &selection,
                       const std::function<bool(const HistoryRow &)> &each, QString *error)
{
    HistoryRowCursor cursor(db, selection);
    HistoryRow row;
    while (cursor.next(&row)) {
        if (!each(row))
            return true;
    }
    if (!cursor.error().isEmpty()) {
        *error = cursor.error();
        return false;
    }
    return true;
}

tablesheet::Values historySheetValues(const HistoryRow &row)
{
    tablesheet::Values v;
    v.sequence = row.sequence;
    v.deviceName = row.deviceName;
    v.serialNumber = row.serialNumber;
    v.testName = row.testName;
    v.timeText = row.timeText;
    v.standard = row.standard;
    v.sample = row.sample;
    v.formulaText = row.formulaText;
    v.thresholdText = row.thresholdText;
    v.deltaE = row.deltaE;
    v.verdict = row.verdict;
    return v;
}

bool HistoryExport::failWith(const QString &text)
{
    m_error = text;
    return false;
}

void HistoryExport::begin()
{
    m_rows = 0;
    m_error.clear();
    m_cancelled = false;
}

bool HistoryExport::tick(qint64 rows)
{
    if (!m_control || (rows & 1023) != 0)
        return true;
    m_control->progress(rows, m_total);
    m_cancelled = m_control->stopRequested();
    return !m_cancelled;
}

bool HistoryExport::writeCsv(const HistorySelection &selection, const QString &path)
{
    begin();
    // Written as the rows are read: a long history never sits in memory as text.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return failWith(tr("%1 cannot be written (%2)").arg(QDir::toNativeSeparators(path), file.errorString()));
    QStringList head;
    for (const QVariant &title : tablesheet::header(false))
        head << title.toString();
    head << QStringLiteral("Stored (UTC)") << QStringLiteral("Origin") << QStringLiteral("Origin file");
    file.write(csvtext::line(head).toUtf8());
    qint64 rows = 0;
    QString why;
    QStringList fields;
    const bool read = forEachHistoryRow(m_db, selection, [&](const HistoryRow &row) {
        fields.clear();
        for (const QVariant &cell : tablesheet::cells(historySheetValues(row)))
            fields << cell.toString();
        fields << row.storedAt << historyOriginName(row.origin) << row.originFile;
        file.write(csvtext::line(fields).toUtf8());
        return tick(++rows);
    }, &why);
    if (!read || m_cancelled) {
        file.cancelWriting();
        return failWith(m_cancelled ? tr("the export was cancelled") : tr("the history cannot be read (%1)").arg(why));
    }
    if (!file.commit())
        return failWith(tr("%1 cannot be written (%2)").arg(QDir::toNativeSeparators(path), file.errorString()));
    m_rows = rows;
    return true;
}

bool HistoryExport::writeCgats(const HistorySelection &selection, const QString &standardsPath,
                               const QString &samplesPath)
{
    begin();
    QString standards, samples, formula, threshold;
    bool firstRow = true;
    qint64 rows = 0;
    QString why;
    const bool read = forEachHistoryRow(m_db, selection, [&](const HistoryRow &row) {
        const QString id = QString::number(row.id), name = cgatsText(row.testName);
        standards += QStringList{id, name, cgatsNumber(row.standard[0]), cgatsNumber(row.standard[1]),
                                 cgatsNumber(row.standard[2])}.join(u' ') + u'\n';
        samples += QStringList{id, name, cgatsNumber(row.sample[0]), cgatsNumber(row.sample[1]),
                               cgatsNumber(row.sample[2])}.join(u' ') + u'\n';
        if (firstRow) {
            formula = row.formulaText;
            threshold = row.thresholdText;
            firstRow = false;
        }
        if (formula != row.formulaText)
            formula = QStringLiteral("mixed");
        if (threshold != row.thresholdText)
            threshold = QStringLiteral("mixed");
        return tick(++rows);
    }, &why);
    if (!read || m_cancelled)
        return failWith(m_cancelled ? tr("the export was cancelled") : tr("the history cannot be read (%1)").arg(why));
    const QString created = QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
    auto file = [&](const QString &what, const QString &data) {
        return QStringLiteral("CGATS.17\n"
                              "ORIGINATOR \"Colorimeter\"\n"
                              "DESCRIPTOR %1\n"
                              "CREATED \"%2\"\n"
                              "KEYWORD \"DELTA_E_FORMULA\"\n"
                              "DELTA_E_FORMULA %3\n"
                              "KEYWORD \"DELTA_E_THRESHOLD\"\n"
                              "DELTA_E_THRESHOLD %4\n"
                              "COLOR_REP \"LAB\"\n\n"
                              "NUMBER_OF_FIELDS 5\n"
                              "BEGIN_DATA_FORMAT\n"
                              "SAMPLE_ID SAMPLE_NAME LAB_L LAB_A LAB_B\n"
                              "END_DATA_FORMAT\n\n"
                              "NUMBER_OF_SETS %5\n"
                              "BEGIN_DATA\n"
                              "%6"
                              "END_DATA\n")
            .arg(cgatsText(what), created, cgatsText(formula), cgatsText(threshold))
            .arg(rows)
            .arg(data)
            .toUtf8();
    };
    if (!saveWhole(standardsPath, file(QStringLiteral("standards"), standards), &why))
        return failWith(tr("%1 cannot be written (%2)").arg(QDir::toNativeSeparators(standardsPath), why));
    if (!saveWhole(samplesPath, file(QStringLiteral("samples"), samples), &why))
        return failWith(tr("%1 cannot be written (%2)").arg(QDir::toNativeSeparators(samplesPath), why));
    m_rows = rows;
    return true;
}

bool HistoryExport::writeSheet(const HistorySelection &selection, const QString &path, bool chinese)
{
    begin();
    // An .xls sheet ends at row 65,536; the engine would refuse the rows in its own words.
    const bool xlsx = path.endsWith(QLatin1String(".xlsx"), Qt::CaseInsensitive)
                      || path.endsWith(QLatin1String(".xlsm"), Qt::CaseInsensitive);
    const qint64 limit = xlsx ? std::numeric_limits<qint64>::max() : kXlsRows - 1;
    // The rows are pulled from the history while the file is written: a long history is never
    // held as cells.
    HistoryRowCursor cursor(m_db, selection);
    HistoryRow row;
    qint64 rows = 0;
    bool header = true, tooMany = false;
    ExcelEngine engine(path);
    const bool saved = engine.openNew() && engine.saveRows([&](QList<QVariant> &cells) {
        if (header) {
            header = false;
            cells = tablesheet::header(chinese);
            return ExcelEngine::RowStatus::Row;
        }
        if (!cursor.next(&row))
            return cursor.error().isEmpty() ? ExcelEngine::RowStatus::End : ExcelEngine::RowStatus::Stop;
        if (++rows > limit) {
            tooMany = true;
            return ExcelEngine::RowStatus::Stop;
        }
        cells = tablesheet::cells(historySheetValues(row));
        return tick(rows) ? ExcelEngine::RowStatus::Row : ExcelEngine::RowStatus::Stop;
    });
    if (saved) {
        m_rows = rows;
        return true;
    }
    if (!cursor.error().isEmpty())
        return failWith(tr("the history cannot be read (%1)").arg(cursor.error()));
    if (m_cancelled)
        return failWith(tr("the export was cancelled"));
    if (tooMany) {
        // How many were chosen, counted without keeping them.
        while (cursor.next(&row))
            ++rows;
        return failWith(tr("an .xls sheet holds %1 rows at most, and %2 were chosen: export them as .xlsx")
                            .arg(kXlsRows - 1)
                            .arg(rows));
    }
    return failWith(tr("%1 cannot be written (%2)").arg(QDir::toNativeSeparators(path), engine.errorString()));
}
