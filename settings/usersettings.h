#pragma once

#include <QSettings>
#include <QString>

#include <memory>

// The user's settings file: one INI file in the user's configuration folder
// (QStandardPaths::AppConfigLocation, by default ~/.config/colorimeter/colorimeter.conf).
// The program has no organization name, so QSettings' default constructor cannot be used; every
// part of the program that keeps a setting opens this file instead. Tests point it elsewhere
// through XDG_CONFIG_HOME.
QString userSettingsPath();

// The settings file, opened for reading and writing. Changes are written when the object goes
// away (or on sync()); status() tells whether that worked.
std::unique_ptr<QSettings> openUserSettings();
