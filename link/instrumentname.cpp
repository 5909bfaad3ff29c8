#include "instrumentname.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace {

// Qt reaches GBK through ICU; a build without it would fall back to Latin-1, which keeps ASCII
// names right and turns the rest into '?'.
QStringEncoder gbkEncoder()
{
    QStringEncoder encoder("GBK");
    return encoder.isValid() ? std::move(encoder) : QStringEncoder(QStringConverter::Latin1);
}

QStringDecoder gbkDecoder()
{
    QStringDecoder decoder("GBK");
    return decoder.isValid() ? std::move(decoder) : QStringDecoder(QStringConverter::Latin1);
}

} // namespace

QByteArray instrumentNameField(const QString &name, int fieldSize)
{
    if (fieldSize <= 0)
        return QByteArray();
    QStringEncoder encoder = gbkEncoder();
    QByteArray field;
    field.reserve(fieldSize);
    // One character (code point) at a time, so a character that does not fit whole is left out
    // instead of being cut in half.
    for (qsizetype i = 0; i < name.size();) {
        const qsizetype length = name.at(i).isHighSurrogate() && i + 1 < name.size()
                && name.at(i + 1).isLowSurrogate() ? 2 : 1;
        QByteArray bytes = encoder.encode(QStringView(name).mid(i, length));
        if (bytes.isEmpty())
            bytes = QByteArray(1, '?');
        if (field.size() + bytes.size() > fieldSize)
            break;
        field += bytes;
        i += length;
    }
    field.append(QByteArray(fieldSize - field.size(), '\0'));
    return field;
}

QString instrumentNameText(const QByteArray &field)
{
    const qsizetype end = field.indexOf('\0');
    QStringDecoder decoder = gbkDecoder();
    return decoder.decode(end < 0 ? field : field.left(end));
}

QByteArray exactNameField(const QString &name, int fieldSize, NameEncoding encoding)
{
    if (fieldSize <= 0)
        return QByteArray();
    QByteArray bytes;
    if (encoding == NameEncoding::Utf8) {
        bytes = name.toUtf8();
        if (QString::fromUtf8(bytes) != name) // a lone surrogate has no UTF-8 form
            return QByteArray();
    } else {
        QStringEncoder encoder("GBK");
        if (!encoder.isValid())
            return QByteArray();
        bytes = encoder.encode(name);
        // A character GBK has no code for comes out as a substitute: only a form that reads
        // back as the name is that name.
        QStringDecoder decoder("GBK");
        if (encoder.hasError() || QString(decoder.decode(bytes)) != name)
            return QByteArray();
    }
    if (bytes.size() > fieldSize)
        return QByteArray();
    bytes.append(QByteArray(fieldSize - bytes.size(), '\0'));
    return bytes;
}
