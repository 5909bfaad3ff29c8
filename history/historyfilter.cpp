#include "historyfilter.h"

#include "historydialect.h"

#include <QRegularExpression>
#include <QSqlQuery>
#include <QStringList>

bool HistoryFilter::operator==(const HistoryFilter &other) const
{
    return storedFrom == other.storedFrom && storedUntil == other.storedUntil && nameContains == other.nameContains
           && serialNumber == other.serialNumber && desk == other.desk && verdict == other.verdict && origin == other.origin
           && state == other.state && runs == other.runs;
}

QString historyContainsPattern(const QString &text)
{
    QString escaped = text;
    escaped.replace(u'\\', QStringLiteral("\\\\")).replace(u'%', QStringLiteral("\\%")).replace(u'_', QStringLiteral("\\_"));
    return u'%' + escaped + u'%';
}

namespace {

// The longest stretch of the text without a LIKE wildcard: what the trigram index can look up
// (it takes LIKE patterns without an ESCAPE clause).
QString longestPlainPart(const QString &text)
{
    QString best;
    for (const QString &part : text.split(QRegularExpression(QStringLiteral("[%_]"))))
        if (part.size() > best.size())
            best = part;
    return best;
}

} // namespace

HistoryWhere historyWhere(const HistoryFilter &filter, const QSqlDatabase &db)
{
    HistoryWhere where;
    const HistoryDialect dialect(db);
    QStringList conditions;
    if (!filter.storedFrom.isEmpty()) {
        conditions << QStringLiteral("m.stored_at >= ?");
        where.binds << filter.storedFrom;
    }
    if (!filter.storedUntil.isEmpty()) {
        conditions << QStringLiteral("m.stored_at < ?");
        where.binds << filter.storedUntil;
    }
    if (!filter.serialNumber.isEmpty()) {
        conditions << QStringLiteral("m.serial_number = ?");
        where.binds << filter.serialNumber;
    }
    if (!filter.desk.isEmpty()) {
        conditions << QStringLiteral("m.desk = ?");
        where.binds << filter.desk;
    }
    switch (filter.verdict) {
    case HistoryFilter::Verdict::Any: break;
    case HistoryFilter::Verdict::Pass: conditions << QStringLiteral("m.passed = 1"); break;
    case HistoryFilter::Verdict::Ng: conditions << QStringLiteral("m.passed = 0"); break;
    case HistoryFilter::Verdict::NotJudged: conditions << QStringLiteral("m.passed IS NULL"); break;
    }
    if (filter.origin >= 0) {
        conditions << QStringLiteral("m.origin = ?");
        where.binds << historyOriginName(HistoryOrigin(filter.origin));
    }
    if (filter.state >= 0) {
        conditions << QStringLiteral("m.state = ?");
        where.binds << historyStateName(HistoryRowState(filter.state));
    }
    if (!filter.runs.isEmpty()) {
        QStringList marks;
        for (qint64 run : filter.runs) {
            marks << QStringLiteral("?");
            where.binds << run;
        }
        conditions << QStringLiteral("m.run_id IN (%1)").arg(marks.join(QStringLiteral(", ")));
    }
    if (!filter.nameContains.isEmpty()) {
        const QString plain = longestPlainPart(filter.nameContains);
        if (plain.size() >= 3 && !dialect.nameIndexProbe().isEmpty()) {
            const QString indexPattern = u'%' + plain + u'%';
            QSqlQuery probe(db);
            probe.setForwardOnly(true);
            probe.prepare(dialect.nameIndexProbe());
            probe.addBindValue(indexPattern);
            probe.addBindValue(HistoryWhere::kCommonName);
            if (!probe.exec() || !probe.next()) {
                where.ok = false;
                return where;
            }
            if (probe.value(0).toInt() < HistoryWhere::kCommonName) {
                conditions << dialect.nameIndexCondition();
                where.binds << indexPattern;
            }
        }
        // The exact condition: the index finds a superset (it folds case and knows no escapes).
        conditions << dialect.containsCondition(filter.nameContains, &where.binds);
    }
    if (!conditions.isEmpty())
        where.sql = QStringLiteral(" WHERE ") + conditions.join(QStringLiteral(" AND "));
    return where;
}
