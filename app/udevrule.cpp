#include "udevrule.h"

#include <QFileInfo>

namespace udevrule {

namespace {
QString hex4(quint16 id)
{
    // udev compares the sysfs text, which is four lower-case hex digits.
    return QStringLiteral("%1").arg(id, 4, 16, QLatin1Char('0')).toLower();
}
} // namespace

QString fileName()
{
    return QStringLiteral("70-colorimeter.rules");
}

QString ruleLine()
{
    return QStringLiteral("SUBSYSTEM==\"hidraw\", ATTRS{idVendor}==\"%1\", ATTRS{idProduct}==\"%2\", "
                          "TAG+=\"uaccess\"")
        .arg(hex4(kVendorId), hex4(kProductId));
}

QStringList ruleFolders()
{
    return {QStringLiteral("/usr/lib/udev/rules.d"), QStringLiteral("/lib/udev/rules.d"),
            QStringLiteral("/usr/local/lib/udev/rules.d"), QStringLiteral("/etc/udev/rules.d")};
}

QString installedRule(const QStringList &folders)
{
    for (const QString &folder : folders) {
        const QString path = folder + QLatin1Char('/') + fileName();
        if (QFileInfo(path).isFile())
            return path;
    }
    return QString();
}

QString reloadCommand()
{
    return QStringLiteral(
        "sudo udevadm control --reload-rules && sudo udevadm trigger --subsystem-match=hidraw --action=change");
}

QString fixCommand(const QString &installedRulePath)
{
    if (!installedRulePath.isEmpty())
        return reloadCommand();
    // Single quotes keep the rule's double quotes and braces away from the shell.
    return QStringLiteral("echo '%1' | sudo tee /etc/udev/rules.d/%2 && %3")
        .arg(ruleLine(), fileName(), reloadCommand());
}

} // namespace udevrule
