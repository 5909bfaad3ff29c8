#include "transferflow.h"

#include "linkport.h"
#include "modal.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace transfer {

bool linkOpen()
{
    LinkPort *port = LinkPort::current();
    return port && port->isLinkOpen();
}

void drainAfterUpload()
{
    LinkPort *port = LinkPort::current();
    if (!port || !port->isLinkOpen())
        return;
    QByteArray ignored;
    port->receivePacket(&ignored, 1000, 1024, false);
}

bool readSheet(QWidget *parent, const QString &path, CellRows *rows)
{
    // An upload only reads: a path that is not a file is not made into one.
    ExcelEngine engine(path);
    if (!QFileInfo(path).isFile() || !engine.open(1)) {
        Modal::information(parent, QCoreApplication::translate("FirstPageForTesk", "Error"),
                           QCoreApplication::translate("FirstPageForTesk", "Can't open file!"));
        return false;
    }
    if (engine.rowCount() < 1) {
        engine.close();
        Modal::information(parent, QCoreApplication::translate("FirstPageForTesk", "Error"),
                           QCoreApplication::translate("FirstPageForTesk", "Failed to read excel file!"));
        return false;
    }
    rows->clear();
    const bool read = engine.readAll(*rows);
    engine.close();
    if (!read) {
        Modal::information(parent, QCoreApplication::translate("FirstPageForTesk", "Error"),
                           QCoreApplication::translate("FirstPageForTesk", "Failed to read excel file!"));
        return false;
    }
    return true;
}

} // namespace transfer
