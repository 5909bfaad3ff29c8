#include "transferflow.h"

#include "cprotocol.h"
#include "linkport.h"
#include "modal.h"
#include "transfercells.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace transfer {

bool linkOpen()
{
    LinkPort *port = LinkPort::current();
    return port && port->isLinkOpen();
}

bool requireLink(QWidget *parent)
{
    if (linkOpen())
        return true;
    Modal::information(parent, QCoreApplication::translate("FirstPageForTesk", "Error"),
                       QCoreApplication::translate("FirstPageForTesk", "Please connect the device first!"));
    return false;
}

QString uploadPath(QWidget *parent, const QString &filter)
{
    const QString path = Modal::getOpenFileName(
        parent, QCoreApplication::translate("FirstPageForTesk", "Select one Excel files to open"),
        QStringLiteral("./"), filter);
    if (path.isEmpty() || !requireLink(parent))
        return QString();
    return path;
}

QString spreadsheetPath(QWidget *parent, const QString &chosen, const QString &suffix, const QString &caption)
{
    const QString extension = QFileInfo(chosen).suffix().toLower();
    if (extension == QLatin1String("xls") || extension == QLatin1String("xlsx"))
        return chosen;
    const QString path = chosen + suffix;
    if (QFileInfo::exists(path)
        && Modal::question(parent, caption,
                           QCoreApplication::translate("FirstPageForTesk", "%1 already exists.\nDo you want to replace it?")
                               .arg(QFileInfo(path).fileName()),
                           QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
               != QMessageBox::Yes)
        return QString();
    return path;
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

bool readDeviceSheet(QWidget *parent, const QString &path, const QString &deviceName, CellRows *rows)
{
    if (!readSheet(parent, path, rows))
        return false;
    if (deviceName.isEmpty() || cellText(*rows, 0, 0) != deviceName) {
        Modal::warning(parent, QCoreApplication::translate("FirstPageForTesk", "Error"),
                       QCoreApplication::translate("FirstPageForTesk",
                                                   "The written contents do not match and cannot be written!"));
        return false;
    }
    return true;
}

bool colourValuesFit(QWidget *parent, const CellRows &rows, int firstRow, qint64 count)
{
    QString value;
    const qint64 row = firstColourValueBeyond16(rows, firstRow, count, &value);
    if (row < 0)
        return true;
    Modal::information(parent, QCoreApplication::translate("FirstPageForTesk", "Error"),
                       QCoreApplication::translate("FirstPageForTesk",
                                                   "The value %1 in row %2 is outside -327.68 to 327.67, unable to "
                                                   "write!")
                           .arg(value)
                           .arg(row + 1));
    return false;
}

bool readPackets(CProtocol *protocol, quint32 base, qint64 bytes, QByteArray *out,
                 const std::function<void(int)> &afterPacket)
{
    for (int k = 0, packets = packetCount(bytes); k < packets; ++k) {
        if (protocol->readMemory(base + kPacketSize * k, out, packetLength(bytes, k)) < 0)
            return false;
        afterPacket(k);
    }
    return true;
}

bool writePackets(CProtocol *protocol, PacketWrite write, quint32 base, const QByteArray &area,
                  const std::function<void(int)> &afterPacket)
{
    for (int k = 0, packets = packetCount(area.size()); k < packets; ++k) {
        const int length = packetLength(area.size(), k);
        if ((protocol->*write)(base + kPacketSize * k, area.mid(kPacketSize * k, length), length) < 0)
            return false;
        afterPacket(k);
    }
    return true;
}

} // namespace transfer
