#pragma once

// What the transfer flows of the page share: the link test, the file dialog of an upload, the
// sheet reader, the packet loops and the final drain. Internal to pages/.

#include "excelengine.h"

#include <functional>

class CProtocol;
class QWidget;

namespace transfer {

// A link exists and is open.
bool linkOpen();

// The link test of a flow, at its start and again after each dialog (the instrument may go while
// one is open): says "Please connect the device first!" and returns false when no link is open.
bool requireLink(QWidget *parent);

// The file dialog of an upload ("Select one Excel files to open" from "./" with filter), then the
// link test. Returns an empty path when the user cancelled or the instrument went.
QString uploadPath(QWidget *parent, const QString &filter);

// The file a save dialog's answer names: a name without a spreadsheet's extension (".xls",
// ".xlsx") gets suffix, so the engine writes that format and an open dialog filtered on it lists
// the file again. The dialog has not seen that name, so when a file of that name exists the user
// is asked (title caption) before it is replaced. Empty when the user says no.
QString spreadsheetPath(QWidget *parent, const QString &chosen, const QString &suffix, const QString &caption);

// After an upload the instrument may still send a little: one read of up to 1024 bytes with a
// 1000 ms limit takes it off the line, and whatever arrives is dropped.
void drainAfterUpload();

// Reads sheet 1 of an existing file whole. Shows "Can't open file!" or "Failed to read excel
// file!" and returns false on failure; never creates a file.
bool readSheet(QWidget *parent, const QString &path, CellRows *rows);

// readSheet, then the sheet must be made for the connected model: its first cell is deviceName.
// An instrument whose model is not known yet matches no sheet. Warns "The written contents do
// not match and cannot be written!" and returns false otherwise.
bool readDeviceSheet(QWidget *parent, const QString &path, const QString &deviceName, CellRows *rows);

// The colour values (columns 1 to 3 of count rows from firstRow) must fit the instrument's 16
// bits: a value beyond -327.68 .. 327.67 would be stored as another colour. Says which value does
// not and returns false; nothing has been written then.
bool colourValuesFit(QWidget *parent, const CellRows &rows, int firstRow, qint64 count);

// Reads bytes from the instrument's memory at base, packet by packet, appending to out; calls
// afterPacket(k) after packet k arrived. Returns false at the first packet that fails.
bool readPackets(CProtocol *protocol, quint32 base, qint64 bytes, QByteArray *out,
                 const std::function<void(int)> &afterPacket);

// One of CProtocol's memory writes: address, data, length.
using PacketWrite = int (CProtocol::*)(quint32, QByteArray, int);

// Writes area to the instrument at base, packet by packet, with write; calls afterPacket(k) after
// packet k went. Returns false at the first packet that fails.
bool writePackets(CProtocol *protocol, PacketWrite write, quint32 base, const QByteArray &area,
                  const std::function<void(int)> &afterPacket);

} // namespace transfer
