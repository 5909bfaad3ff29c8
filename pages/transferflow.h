#pragma once

// What the transfer flows of the page share: the link test, the final drain and the sheet
// reader. Internal to pages/.

#include "excelengine.h"

class QWidget;

namespace transfer {

// A link exists and is open.
bool linkOpen();

// After an upload the instrument may still send a little: one read of up to 1024 bytes with a
// 1000 ms limit takes it off the line, and whatever arrives is dropped.
void drainAfterUpload();

// Reads sheet 1 of an existing file whole. Shows "Can't open file!" or "Failed to read excel
// file!" and returns false on failure; never creates a file.
bool readSheet(QWidget *parent, const QString &path, CellRows *rows);

} // namespace transfer
