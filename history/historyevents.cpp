#include "historyevents.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>
#include <QSysInfo>

#include <cmath>
#include <limits>

#include <pwd.h>
#include <unistd.h>

namespace {

const struct
{
    HistoryEventKind kind;
    const char *name;
} kKindNames[] = {
    {HistoryEventKind::Added, "added"},         {HistoryEventKind::Renamed, "renamed"},
    {HistoryEventKind::Deleted, "deleted"},     {HistoryEventKind::Cleared, "cleared"},
    {HistoryEventKind::Rejudged, "rejudged"},   {HistoryEventKind::Exported, "exported"},
    {HistoryEventKind::Restored, "restored"},   {HistoryEventKind::NotRestored, "not_restored"},
};

// Each field as its length in bytes, a colon and its UTF-8 bytes: no text can pass for two.
void addField(QCryptographicHash &hash, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    hash.addData(QByteArray::number(bytes.size()));
    hash.addData(QByteArrayView(":"));
    hash.addData(bytes);
}

// JSON has no NaN: a value not known (a ΔE that could not be worked out, a formula or threshold
// not read) is null.
QJsonValue number(double value)
{
    return std::isfinite(value) ? QJsonValue(value) : QJsonValue(QJsonValue::Null);
}

QJsonValue knownOrNull(double value)
{
    return value < 0 ? QJsonValue(QJsonValue::Null) : QJsonValue(value);
}

QJsonArray five(const std::array<double, 5> &values)
{
    QJsonArray array;
    for (double v : values)
        array.append(number(v));
    return array;
}

double numberOr(const QJsonValue &value, double otherwise)
{
    return value.isDouble() ? value.toDouble() : otherwise;
}

void readFive(const QJsonValue &value, std::array<double, 5> *values)
{
    const QJsonArray array = value.toArray();
    for (int i = 0; i < 5; ++i)
        (*values)[size_t(i)] = numberOr(array.at(i), std::numeric_limits<double>::quiet_NaN());
}

// The judgement's fields of object, where it has them, into row.
void readJudgement(const QJsonObject &object, HistoryRow *row)
{
    if (object.contains(QLatin1String("delta_e")))
        row->deltaE = numberOr(object.value(QLatin1String("delta_e")), std::numeric_limits<double>::quiet_NaN());
    if (object.contains(QLatin1String("verdict")))
        row->verdict = object.value(QLatin1String("verdict")).toString();
    if (object.contains(QLatin1String("passed")))
        row->passed = int(numberOr(object.value(QLatin1String("passed")), -1));
    if (object.contains(QLatin1String("formula_text")))
        row->formulaText = object.value(QLatin1String("formula_text")).toString();
    if (object.contains(QLatin1String("threshold_text")))
        row->thresholdText = object.value(QLatin1String("threshold_text")).toString();
    if (object.contains(QLatin1String("device_name")))
        row->deviceName = object.value(QLatin1String("device_name")).toString();
    if (object.contains(QLatin1String("serial_number")))
        row->serialNumber = object.value(QLatin1String("serial_number")).toString();
    if (object.contains(QLatin1String("formula_index")))
        row->formulaIndex = int(numberOr(object.value(QLatin1String("formula_index")), -1));
    if (object.contains(QLatin1String("threshold")))
        row->threshold = numberOr(object.value(QLatin1String("threshold")), -1.0);
}

} // namespace

QString historyEventKindName(HistoryEventKind kind)
{
    for (const auto &known : kKindNames)
        if (known.kind == kind)
            return QLatin1String(known.name);
    return QString();
}

bool historyEventKindFromName(const QString &name, HistoryEventKind *kind)
{
    for (const auto &known : kKindNames)
        if (name == QLatin1String(known.name)) {
            *kind = known.kind;
            return true;
        }
    return false;
}

QString HistoryEvent::computeHash(const QString &previousHash) const
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    addField(hash, previousHash);
    addField(hash, chainId);
    addField(hash, QString::number(sequence));
    addField(hash, uuid);
    addField(hash, at);
    addField(hash, login);
    addField(hash, host);
    addField(hash, desk);
    addField(hash, historyEventKindName(kind));
    addField(hash, rowUuid);
    addField(hash, oldValue);
    addField(hash, newValue);
    return QString::fromLatin1(hash.result().toHex());
}

HistoryIdentity HistoryIdentity::ofThisDesk()
{
    HistoryIdentity identity;
    if (const passwd *user = ::getpwuid(::geteuid()))
        identity.login = QString::fromLocal8Bit(user->pw_name);
    if (identity.login.isEmpty())
        identity.login = qEnvironmentVariable("USER");
    identity.host = QSysInfo::machineHostName();
    QString machine = QString::fromLatin1(QSysInfo::machineUniqueId());
    if (machine.isEmpty())
        machine = identity.host;
    identity.desk = machine + QLatin1Char(':') + identity.login;
    return identity;
}

QString historyJson(const QJsonObject &object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

QJsonObject historyJsonObject(const QString &text)
{
    return QJsonDocument::fromJson(text.toUtf8()).object();
}

QJsonObject historyJudgement(const HistoryRow &row)
{
    QJsonObject o;
    o.insert(QLatin1String("delta_e"), number(row.deltaE));
    o.insert(QLatin1String("verdict"), row.verdict);
    o.insert(QLatin1String("passed"), row.passed < 0 ? QJsonValue(QJsonValue::Null) : QJsonValue(row.passed));
    o.insert(QLatin1String("formula_text"), row.formulaText);
    o.insert(QLatin1String("threshold_text"), row.thresholdText);
    o.insert(QLatin1String("device_name"), row.deviceName);
    o.insert(QLatin1String("serial_number"), row.serialNumber);
    o.insert(QLatin1String("formula_index"), knownOrNull(row.formulaIndex));
    o.insert(QLatin1String("threshold"), knownOrNull(row.threshold));
    return o;
}

QJsonObject historyRowContent(const HistoryRow &row, const QString &runUuid)
{
    QJsonObject o = historyJudgement(row);
    o.insert(QLatin1String("run"), runUuid);
    o.insert(QLatin1String("origin"), historyOriginName(row.origin));
    o.insert(QLatin1String("origin_file"), row.originFile);
    o.insert(QLatin1String("sequence"), number(row.sequence));
    o.insert(QLatin1String("test_name"), row.testName);
    o.insert(QLatin1String("time_text"), row.timeText);
    o.insert(QLatin1String("std"), five(row.standard));
    o.insert(QLatin1String("smp"), five(row.sample));
    return o;
}

bool HistoryReplayer::apply(const HistoryEvent &event)
{
    HistoryReplay &r = m_replay;
    auto fail = [&r](const QString &why) {
        r.ok = false;
        r.problem = why;
        return false;
    };
    if (!m_started) {
        m_started = true;
        if (event.kind != HistoryEventKind::Added)
            return fail(QStringLiteral("the first event is not 'added'"));
        const QJsonObject o = historyJsonObject(event.newValue);
        HistoryRow &row = r.row;
        row.uuid = event.rowUuid;
        row.desk = event.desk;
        row.storedAt = event.at;
        row.state = HistoryRowState::InTable;
        if (!historyOriginFromName(o.value(QLatin1String("origin")).toString(), &row.origin))
            return fail(QStringLiteral("unknown origin"));
        row.originFile = o.value(QLatin1String("origin_file")).toString();
        row.sequence = numberOr(o.value(QLatin1String("sequence")), std::numeric_limits<double>::quiet_NaN());
        row.testName = o.value(QLatin1String("test_name")).toString();
        row.timeText = o.value(QLatin1String("time_text")).toString();
        readFive(o.value(QLatin1String("std")), &row.standard);
        readFive(o.value(QLatin1String("smp")), &row.sample);
        readJudgement(o, &row);
        r.runUuid = o.value(QLatin1String("run")).toString();
        r.ok = true;
        return true;
    }
    if (!r.ok)
        return false;
    const QJsonObject o = historyJsonObject(event.newValue);
    switch (event.kind) {
    case HistoryEventKind::Added:
        return fail(QStringLiteral("added twice"));
    case HistoryEventKind::Renamed:
        r.row.testName = o.value(QLatin1String("test_name")).toString();
        return true;
    case HistoryEventKind::Rejudged:
        readJudgement(o, &r.row);
        return true;
    case HistoryEventKind::Restored:
        r.runUuid = o.value(QLatin1String("run")).toString();
        return true;
    case HistoryEventKind::Deleted:
    case HistoryEventKind::Cleared:
    case HistoryEventKind::Exported:
    case HistoryEventKind::NotRestored:
        if (!historyStateFromName(o.value(QLatin1String("state")).toString(), &r.row.state))
            return fail(QStringLiteral("unknown state"));
        return true;
    }
    return fail(QStringLiteral("unknown event"));
}
