#pragma once

#include <QString>
#include <QStringList>

// The instrument's USB identity and the udev rule that lets the user at the desk open it. The
// rule file that is installed (resources/linux/70-colorimeter.rules) holds exactly ruleLine().
namespace udevrule {

constexpr quint16 kVendorId = 0x2047;
constexpr quint16 kProductId = 0x0301;

// "70-colorimeter.rules": sorts before 73-seat-late.rules, which turns the tag into access.
QString fileName();

// SUBSYSTEM=="hidraw", ATTRS{idVendor}=="2047", ATTRS{idProduct}=="0301", TAG+="uaccess"
QString ruleLine();

// The folders udev reads rules from, the package's own first.
QStringList ruleFolders();

// The rule file found in one of the folders, or an empty string.
QString installedRule(const QStringList &folders = ruleFolders());

// What makes udev apply the rule to an instrument that is already plugged in.
QString reloadCommand();

// The exact shell command that gives access: reloading the rules when the file is installed,
// writing the rule into /etc/udev/rules.d first when it is not.
QString fixCommand(const QString &installedRulePath);

} // namespace udevrule
