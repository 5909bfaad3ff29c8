#include "historyevents.h"

#include "historyjson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>
#include <QSysInfo>

#include <charconv>
#include <cmath>
#include <limits>

#include <openssl/evp.h>

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

// A Qt JSON object seen as the replay reads its values.
struct QtJsonValues
{
    const QJsonObject &object;
    QJsonValue value(QByteArrayView key) const { return object.value(QLatin1StringView(key)); }
    bool contains(QByteArrayView key) const { return object.contains(QLatin1StringView(key)); }
    double number(QByteArrayView key, double otherwise) const { return numberOr(value(key), otherwise); }
    QString text(QByteArrayView key) const { return value(key).toString(); }
};

// The judgement's fields of object, where it has them, into row.
template <typename Object>
void readJudgement(const Object &object, HistoryRow *row)
{
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    if (object.contains("delta_e"))
        row->deltaE = object.number("delta_e", nan);
    if (object.contains("verdict"))
        row->verdict = object.text("verdict");
    if (object.contains("passed"))
        row->passed = int(object.number("passed", -1));
    if (object.contains("formula_text"))
        row->formulaText = object.text("formula_text");
    if (object.contains("threshold_text"))
        row->thresholdText = object.text("threshold_text");
    if (object.contains("device_name"))
        row->deviceName = object.text("device_name");
    if (object.contains("serial_number"))
        row->serialNumber = object.text("serial_number");
    if (object.contains("formula_index"))
        row->formulaIndex = int(object.number("formula_index", -1));
    if (object.contains("threshold"))
        row->threshold = object.number("threshold", -1.0);
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

// OpenSSL's SHA-256 uses the processor's SHA instructions where it has them: the check of a long
// history hashes every event, and Qt's own SHA-256 is several times slower.
struct HistoryEventHasher::Private
{
    EVP_MD *digest = nullptr;
    EVP_MD_CTX *context = nullptr;
    bool ok = false;
    char hex[2 * EVP_MAX_MD_SIZE];
    int hexSize = 0;
};

HistoryEventHasher::HistoryEventHasher() : d(std::make_unique<Private>())
{
    d->digest = EVP_MD_fetch(nullptr, "SHA256", nullptr);
    d->context = EVP_MD_CTX_new();
}

HistoryEventHasher::~HistoryEventHasher()
{
    EVP_MD_CTX_free(d->context);
    EVP_MD_free(d->digest);
}

bool HistoryEventHasher::begin(QByteArrayView previousHash)
{
    d->ok = d->digest && d->context && EVP_DigestInit_ex(d->context, d->digest, nullptr);
    add(previousHash);
    return d->ok;
}

void HistoryEventHasher::add(QByteArrayView field)
{
    // Each field as its length in bytes, a colon and its UTF-8 bytes: no text can pass for two.
    char length[24];
    const auto written = std::to_chars(length, length + sizeof length - 1, field.size());
    *written.ptr = ':';
    d->ok = d->ok && EVP_DigestUpdate(d->context, length, size_t(written.ptr + 1 - length))
            && EVP_DigestUpdate(d->context, field.data(), size_t(field.size()));
}

QByteArrayView HistoryEventHasher::finish()
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (!d->ok || !EVP_DigestFinal_ex(d->context, digest, &size))
        return {};
    static const char kHex[] = "0123456789abcdef";
    for (unsigned int i = 0; i < size; ++i) {
        d->hex[2 * i] = kHex[digest[i] >> 4];
        d->hex[2 * i + 1] = kHex[digest[i] & 15];
    }
    d->hexSize = int(2 * size);
    return QByteArrayView(d->hex, d->hexSize);
}

bool historyEventKindFromName(QByteArrayView name, HistoryEventKind *kind)
{
    for (const auto &known : kKindNames)
        if (name == QByteArrayView(known.name)) {
            *kind = known.kind;
            return true;
        }
    return false;
}

QByteArray historyEventHash(const QByteArray &previousHash, const QByteArray (&fields)[kHashedFieldCount])
{
    thread_local HistoryEventHasher hasher;
    hasher.begin(previousHash);
    for (const QByteArray &field : fields)
        hasher.add(field);
    return hasher.finish().toByteArray();
}

QString HistoryEvent::computeHash(const QString &previousHash) const
{
    const QByteArray fields[kHashedFieldCount] = {
        chainId.toUtf8(), QByteArray::number(sequence), uuid.toUtf8(), at.toUtf8(), login.toUtf8(),
        host.toUtf8(), desk.toUtf8(), historyEventKindName(kind).toUtf8(), rowUuid.toUtf8(),
        oldValue.toUtf8(), newValue.toUtf8(),
    };
    return QString::fromLatin1(historyEventHash(previousHash.toLatin1(), fields));
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

void historyReadJudgement(const QJsonObject &object, HistoryRow *row)
{
    readJudgement(QtJsonValues{object}, row);
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
    return apply(event.kind, event.rowUuid, event.at, event.desk, event.newValue.toUtf8());
}

bool HistoryReplayer::apply(HistoryEventKind kind, const QString &rowUuid, const QString &at, const QString &desk,
                            const QByteArray &newValue)
{
    HistoryReplay &r = m_replay;
    auto fail = [&r](const QString &why) {
        r.ok = false;
        r.problem = why;
        return false;
    };
    if (!m_started) {
        m_started = true;
        if (kind != HistoryEventKind::Added)
            return fail(QStringLiteral("the first event is not 'added'"));
        HistoryJsonObject o;
        o.parse(newValue);
        HistoryRow &row = r.row;
        row.uuid = rowUuid;
        row.desk = desk;
        row.storedAt = at;
        row.state = HistoryRowState::InTable;
        if (!historyOriginFromName(o.text("origin"), &row.origin))
            return fail(QStringLiteral("unknown origin"));
        row.originFile = o.text("origin_file");
        row.sequence = o.number("sequence", std::numeric_limits<double>::quiet_NaN());
        row.testName = o.text("test_name");
        row.timeText = o.text("time_text");
        o.numbers("std", row.standard.data(), 5, std::numeric_limits<double>::quiet_NaN());
        o.numbers("smp", row.sample.data(), 5, std::numeric_limits<double>::quiet_NaN());
        readJudgement(o, &row);
        r.runUuid = o.text("run");
        r.ok = true;
        return true;
    }
    if (!r.ok)
        return false;
    HistoryJsonObject o;
    o.parse(newValue);
    switch (kind) {
    case HistoryEventKind::Added:
        return fail(QStringLiteral("added twice"));
    case HistoryEventKind::Renamed:
        r.row.testName = o.text("test_name");
        return true;
    case HistoryEventKind::Rejudged:
        readJudgement(o, &r.row);
        return true;
    case HistoryEventKind::Restored:
        r.runUuid = o.text("run");
        // Put back from the history window, a row that had left a table is in one again; put
        // back after a crash, it never left (no state given).
        if (o.contains("state") && !historyStateFromName(o.text("state"), &r.row.state))
            return fail(QStringLiteral("unknown state"));
        return true;
    case HistoryEventKind::Deleted:
    case HistoryEventKind::Cleared:
    case HistoryEventKind::Exported:
    case HistoryEventKind::NotRestored:
        if (!historyStateFromName(o.text("state"), &r.row.state))
            return fail(QStringLiteral("unknown state"));
        return true;
    }
    return fail(QStringLiteral("unknown event"));
}
