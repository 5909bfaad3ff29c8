#include "usersettings.h"

#include <QDir>
#include <QStandardPaths>

QString userSettingsPath()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation))
        .filePath(QStringLiteral("colorimeter.conf"));
}

std::unique_ptr<QSettings> openUserSettings()
{
    return std::make_unique<QSettings>(userSettingsPath(), QSettings::IniFormat);
}
