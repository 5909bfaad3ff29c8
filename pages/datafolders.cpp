#include "datafolders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

QStringList installedDataFolders()
{
    QStringList candidates;
#ifdef COLORIMETER_DATADIR_FROM_BINDIR
    candidates << QDir::cleanPath(QCoreApplication::applicationDirPath() + QLatin1Char('/')
                                  + QStringLiteral(COLORIMETER_DATADIR_FROM_BINDIR));
#endif
#ifdef COLORIMETER_DATADIR
    candidates << QDir::cleanPath(QStringLiteral(COLORIMETER_DATADIR));
#endif
    QStringList folders;
    for (const QString &folder : std::as_const(candidates)) {
        if (!folders.contains(folder) && QFileInfo(folder).isDir())
            folders << folder;
    }
    return folders;
}
