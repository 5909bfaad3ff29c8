#pragma once

#include <QByteArray>
#include <QString>

namespace exchange {

// Wraps one stream in a compound-file container (version 3, 512-byte
// sectors) under the given stream name. Streams shorter than the 4096-byte
// mini-stream cutoff are zero-padded to it, so everything lives in regular
// sectors and no mini stream is needed.
QByteArray buildCompoundFile(const QString &streamName, const QByteArray &stream);

} // namespace exchange
