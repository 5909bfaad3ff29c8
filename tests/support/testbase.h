// What the suites below the pages share: frames written as hex, frames with their CRC, files and
// sheets, a small disk to fill, and the virtual instrument behind an opened USB link on the
// current port.
#pragma once

#include "excelengine.h"

#include <QByteArray>
#include <QString>

class CLinkerUSB;
class LinkPort;
class VirtualInstrument;

namespace testsupport {

// The bytes a hex text stands for.
inline QByteArray hexBytes(const char *hex)
{
    return QByteArray::fromHex(hex);
}

// The frame body followed by its CRC-16/MODBUS, low byte first, as the instrument sends it.
QByteArray withCrc(QByteArray body);

// The bytes of a file; empty when it cannot be read.
QByteArray fileBytes(const QString &path);

// Writes rows to the first sheet of a new workbook, or reads that sheet back.
bool writeSheet(const QString &path, const CellRows &rows);
CellRows readSheet(const QString &path);

// A USB link opened on the virtual instrument; null when it does not open.
CLinkerUSB *openedLink(VirtualInstrument *vi);

// A new link port, made the current one, with an opened link on the virtual instrument. The
// port's link is null when it did not open: callers check it.
LinkPort *connectedPort(VirtualInstrument *vi);

// Deletes the port and the instrument and gives the instrument's waits their real length back.
void releaseInstrument(LinkPort *port, VirtualInstrument *vi);

// How many measurement requests the instrument has received.
int measurementRequests(const VirtualInstrument *vi);

// A small file system of its own (tmpfs) mounted on a folder, to run out of room in: a full
// disk as the program meets it (writes fail with ENOSPC), which a limit on file sizes is not.
// Mounting takes root, as in CI; elsewhere isMounted() is false and why() says so. Unmounted
// (lazily, should a file still be open) when it goes.
class SmallDisk
{
public:
    SmallDisk(const QString &folder, qint64 bytes);
    ~SmallDisk();
    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;
    bool isMounted() const { return m_mounted; }
    QString why() const { return m_why; }
    // Takes the room that is left with a file of its own, all of it or all but about leave
    // bytes (the disk counts whole pages); false when more is left.
    bool fill(qint64 leave = 0);
    // Gives back the room fill() took.
    bool makeRoom();

private:
    QString m_folder;
    QString m_why;
    bool m_mounted = false;
};

} // namespace testsupport
