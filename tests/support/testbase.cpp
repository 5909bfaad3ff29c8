#include "testbase.h"

#include "clinker.h"
#include "cprotocol.h"
#include "crc16.h"
#include "linkport.h"
#include "virtualinstrument.h"

#include <QDir>
#include <QFile>
#include <QStorageInfo>

#include <cerrno>
#include <cstring>

#include <sys/mount.h>

namespace testsupport {

QByteArray withCrc(QByteArray body)
{
    const quint16 crc = crc16Modbus(body.constData(), body.size());
    body.append(char(crc & 0xFF));
    body.append(char(crc >> 8));
    return body;
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeSheet(const QString &path, const CellRows &rows)
{
    ExcelEngine engine(path);
    return engine.open(1) && engine.writeAll(rows) && engine.save();
}

CellRows readSheet(const QString &path)
{
    CellRows rows;
    ExcelEngine engine(path);
    if (engine.open(1))
        engine.readAll(rows);
    return rows;
}

CLinkerUSB *openedLink(VirtualInstrument *vi)
{
    auto *usb = new CLinkerUSB(vi);
    if (usb->open(0x2047, 0x0301) == 0)
        return usb;
    delete usb;
    return nullptr;
}

LinkPort *connectedPort(VirtualInstrument *vi)
{
    auto *port = new LinkPort;
    LinkPort::setCurrent(port);
    port->link = openedLink(vi);
    return port;
}

void releaseInstrument(LinkPort *port, VirtualInstrument *vi)
{
    delete port;
    delete vi;
    CProtocol::setWaitScaleForTests(1.0);
}

int measurementRequests(const VirtualInstrument *vi)
{
    int n = 0;
    for (const QByteArray &frame : vi->receivedFrames())
        n += frame.size() > 1 && quint8(frame[1]) == 0x44;
    return n;
}

SmallDisk::SmallDisk(const QString &folder, qint64 bytes)
    : m_folder(folder)
{
    if (!QDir().mkpath(folder)) {
        m_why = QStringLiteral("cannot make %1").arg(folder);
        return;
    }
    const QByteArray options = "size=" + QByteArray::number(bytes) + ",mode=0777";
    if (::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", 0, options.constData()) != 0) {
        m_why = QStringLiteral("a small file system cannot be mounted here (%1); it takes root")
                    .arg(QString::fromLocal8Bit(std::strerror(errno)));
        return;
    }
    m_mounted = true;
}

SmallDisk::~SmallDisk()
{
    if (m_mounted)
        ::umount2(QFile::encodeName(m_folder).constData(), MNT_DETACH);
}

bool SmallDisk::fill(qint64 leave)
{
    if (!m_mounted)
        return false;
    QFile filler(m_folder + QStringLiteral("/filler"));
    if (!filler.open(QIODevice::Append))
        return false;
    QStorageInfo disk(m_folder);
    const QByteArray block(512, 'f');
    while (disk.bytesAvailable() > leave && filler.write(block) == block.size() && filler.flush())
        disk.refresh();
    filler.close();
    disk.refresh();
    return disk.bytesAvailable() <= leave;
}

bool SmallDisk::makeRoom()
{
    return m_mounted && QFile::remove(m_folder + QStringLiteral("/filler"));
}

} // namespace testsupport
