#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

namespace exchange {

// Wraps one stream in a compound-file container (version 3, 512-byte
// sectors) under the given stream name. Streams shorter than the 4096-byte
// mini-stream cutoff are zero-padded to it, so everything lives in regular
// sectors and no mini stream is needed.
QByteArray buildCompoundFile(const QString &streamName, const QByteArray &stream);
// The same file handed to `sink` piece by piece (the stream itself in one piece, not copied);
// false as soon as the sink says false.
bool writeCompoundFile(const QString &streamName, const QByteArray &stream,
                       const std::function<bool(const char *, qint64)> &sink);
// The same with a stream of streamSize bytes that writeStream hands to the function it is
// given, piece by piece; false when it says false or hands over another number of bytes.
using StreamWriter = std::function<bool(const std::function<bool(const char *, qint64)> &)>;
bool writeCompoundFile(const QString &streamName, qint64 streamSize, const StreamWriter &writeStream,
                       const std::function<bool(const char *, qint64)> &sink);

// Reads the first stream named one of `names` (compared without case) out of
// a compound file image. Every sector chain is followed with checks for
// loops and for sectors outside the file; false, with a reason in *error,
// when the container is damaged or holds no such stream. A stream stored in consecutive
// sectors is not copied: `out` then refers to file's bytes, and file must outlive it.
bool readCompoundStream(const QByteArray &file, const QStringList &names, QByteArray &out,
                        QString *error);

} // namespace exchange
