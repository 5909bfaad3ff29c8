#pragma once

#include <QString>
#include <QStringList>

// CSV as RFC 4180 has it (UTF-8, CRLF), for the files the program writes.
namespace csvtext {

// One field: quoted when it holds a comma, a quote or a line break, its quotes doubled. A text a
// spreadsheet would take for a formula (=, +, @, a tab or a carriage return first, or - before
// anything but a number) gets a leading apostrophe, so opening the file never runs a name typed
// or imported as "=...".
QString field(const QString &text);
// The fields as one line, with its CRLF.
QString line(const QStringList &fields);

} // namespace csvtext
