#include "testbase.h"

#include "clinker.h"
#include "cprotocol.h"
#include "crc16.h"
#include "linkport.h"
#include "virtualinstrument.h"

#include <QFile>

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

} // namespace testsupport
