#pragma once

#include "excelengine.h"

#include <QByteArray>
#include <QString>
#include <QVariant>

// Cell and packet arithmetic shared by the transfers between spreadsheets and the instrument's
// libraries. Plain functions: no page, no link.
namespace transfer {

// A decimal text in hundredths, cut and not rounded: "50.1234" 5012, "-3.5" -350, "12" 1200,
// "-0.05" -5. Only the text between the first and a second "." counts as the fraction; a text
// that is not a decimal number gives 0.
int hundredthsFromText(const QString &text);

// Whether the instrument's signed 16 bits hold the value hundredthsFromText reads from text
// (-327.68 .. 327.67); a value beyond them would arrive as another colour. A text that is not a
// decimal number reads as 0 and fits.
bool hundredthsFit16(const QString &text);

// The first colour value (columns 1 to 3 of count rows from firstRow) that does not fit the
// instrument's 16 bits: its 0-based row, or -1 when all fit. *text is the value's cell text.
qint64 firstColourValueBeyond16(const CellRows &rows, int firstRow, qint64 count, QString *text);

// Hundredths as text with exactly two decimals: -1234 "-12.34", -5 "-0.05".
QString hundredthsText(int hundredths);

// Appends value as a 16-bit little-endian two's complement number (only its low 16 bits).
void appendLe16(QByteArray *bytes, int value);
// The signed 16-bit little-endian number at offset of bytes.
int le16Signed(const QByteArray &bytes, int offset);

// A cell taken as an integer: a number cell cut toward zero, a text holding a number the same,
// anything else (empty, words, a number beyond 64 bits, not finite) 0.
qint64 cellInteger(const QVariant &cell);

// The cell at 0-based row and column as text with white space simplified; empty where the
// sheet has no such cell.
QString cellText(const CellRows &rows, int row, int column);
qint64 cellInteger(const CellRows &rows, int row, int column);

// Packets of at most 256 bytes that carry bytes in all: ceil(bytes / 256).
int packetCount(qint64 bytes);
// Length of packet k of an area of bytes: 256, the last one the rest.
int packetLength(qint64 bytes, int k);

constexpr int kPacketSize = 256;

} // namespace transfer
