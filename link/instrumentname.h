#pragma once

#include <QByteArray>
#include <QString>

// Names kept in the instrument are text in fields of a fixed byte size.
//
// Colour-difference records, my-colours and the colours of the standard colour card stream are
// GBK, cut to fit: every such name that goes to the instrument or comes back from it passes
// through instrumentNameField and instrumentNameText, so both directions agree on the encoding
// and no field is ever longer or shorter than its size.
//
// The two names of a standard colour card information record are different: that record is
// protected by a check value someone else computed over the name's bytes, so the field is
// never cut or altered (exactNameField), and its encoding is the one the check value proves.

// The GBK bytes of name, cut after the last whole character that fits, then zero bytes up to
// fieldSize. A character GBK cannot express becomes '?'.
QByteArray instrumentNameField(const QString &name, int fieldSize);

// The text of a name field: its GBK bytes up to the first zero byte, or the whole field when it
// has none.
QString instrumentNameText(const QByteArray &field);

enum class NameEncoding { Utf8, Gbk };

// The name's bytes in encoding followed by zero bytes up to fieldSize. Nothing is cut or
// replaced: a name whose bytes do not fit whole, or that the encoding cannot express exactly,
// gives an empty array.
QByteArray exactNameField(const QString &name, int fieldSize, NameEncoding encoding);
