#pragma once

#include <QByteArray>
#include <QString>

// Names kept in the instrument (colour-difference records, my-colours, standard colour cards)
// are GBK text in fields of a fixed byte size. Every name that goes to the instrument or comes
// back from it passes through these two functions, so both directions agree on the encoding
// and no field is ever longer or shorter than its size.

// The GBK bytes of name, cut after the last whole character that fits, then zero bytes up to
// fieldSize. A character GBK cannot express becomes '?'.
QByteArray instrumentNameField(const QString &name, int fieldSize);

// The text of a name field: its GBK bytes up to the first zero byte, or the whole field when it
// has none.
QString instrumentNameText(const QByteArray &field);
