#include "historylocation.h"

#include <QSettings>

namespace {
const char kLocation[] = "history/location";
const char kHost[] = "history/serverHost";
const char kPort[] = "history/serverPort";
const char kDatabase[] = "history/serverDatabase";
const char kUser[] = "history/serverUser";
const char kService[] = "history/serverService";
const char kDeskName[] = "history/deskName";
} // namespace

HistoryLocation HistoryLocation::read(const QSettings &settings)
{
    HistoryLocation location;
    location.onServer = settings.value(QLatin1String(kLocation)).toString() == QLatin1String("server");
    location.server.host = settings.value(QLatin1String(kHost)).toString();
    location.server.port = settings.value(QLatin1String(kPort)).toInt();
    location.server.database = settings.value(QLatin1String(kDatabase)).toString();
    location.server.user = settings.value(QLatin1String(kUser)).toString();
    location.server.service = settings.value(QLatin1String(kService)).toString();
    location.deskName = settings.value(QLatin1String(kDeskName)).toString();
    return location;
}

void HistoryLocation::write(QSettings &settings) const
{
    settings.setValue(QLatin1String(kLocation), onServer ? QStringLiteral("server") : QStringLiteral("this computer"));
    settings.setValue(QLatin1String(kHost), server.host);
    settings.setValue(QLatin1String(kPort), server.port);
    settings.setValue(QLatin1String(kDatabase), server.database);
    settings.setValue(QLatin1String(kUser), server.user);
    settings.setValue(QLatin1String(kService), server.service);
    settings.setValue(QLatin1String(kDeskName), deskName);
}

bool HistoryLocation::operator==(const HistoryLocation &other) const
{
    return onServer == other.onServer && server == other.server && deskName == other.deskName;
}
