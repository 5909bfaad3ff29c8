// libFuzzer target: any bytes as an event's values, read as the check's replay reads them (the
// reader alone, then a row replayed from an added event and a later event with those values).
// Nothing may be read outside the bytes; what parses as an object must be one for Qt's reader
// too.
#include "historyevents.h"
#include "historyjson.h"

#include <QJsonDocument>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    HistoryJsonObject object;
    const bool parsed = object.parse(bytes);
    if (parsed && !QJsonDocument::fromJson(bytes).isObject())
        std::abort();
    double five[5];
    for (const char *key : {"std", "smp", "test_name", "delta_e", "state", "run", "origin", ""}) {
        (void)object.contains(key);
        (void)object.text(key);
        (void)object.number(key, 0);
        object.numbers(key, five, 5, 0);
    }
    for (HistoryEventKind kind : {HistoryEventKind::Renamed, HistoryEventKind::Rejudged, HistoryEventKind::Restored,
                                  HistoryEventKind::Deleted}) {
        HistoryReplayer replayer;
        replayer.apply(HistoryEventKind::Added, QStringLiteral("row"), QStringLiteral("at"), QStringLiteral("desk"),
                       bytes);
        replayer.apply(kind, QStringLiteral("row"), QString(), QString(), bytes);
    }
    return 0;
}
