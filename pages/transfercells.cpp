#include "transfercells.h"

#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace transfer {

int hundredthsFromText(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char('.'));
    QString fraction = parts.size() > 1 ? parts.at(1) : QString();
    if (fraction.size() > 2)
        fraction.truncate(2); // cut, never rounded
    while (fraction.size() < 2)
        fraction.append(QLatin1Char('0'));
    bool ok = false;
    const int value = (parts.at(0) + fraction).toInt(&ok, 10);
    return ok ? value : 0;
}

bool hundredthsFit16(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char('.'));
    QString digits = parts.at(0) + (parts.size() > 1 ? parts.at(1).left(2).leftJustified(2, QLatin1Char('0'))
                                                     : QStringLiteral("00"));
    bool ok = false;
    const qint64 value = digits.toLongLong(&ok, 10);
    if (ok)
        return value >= -32768 && value <= 32767;
    // Too many digits for 64 bits is a number beyond 16 bits too; anything else is no number.
    static const QRegularExpression integer(QStringLiteral("^[+-]?[0-9]+$"));
    return !integer.match(digits).hasMatch();
}

qint64 firstColourValueBeyond16(const CellRows &rows, int firstRow, qint64 count, QString *text)
{
    for (qint64 i = 0; i < count; ++i) {
        const int row = firstRow + static_cast<int>(i);
        for (int column = 1; column <= 3; ++column) {
            const QString value = cellText(rows, row, column);
            if (!hundredthsFit16(value)) {
                *text = value;
                return row;
            }
        }
    }
    return -1;
}

QString hundredthsText(int hundredths)
{
    // Whole numbers only: no binary fraction can make 0.05 show as 0.04.
    const qint64 magnitude = std::llabs(static_cast<qint64>(hundredths));
    return QStringLiteral("%1%2.%3")
        .arg(hundredths < 0 ? QStringLiteral("-") : QString())
        .arg(magnitude / 100)
        .arg(magnitude % 100, 2, 10, QLatin1Char('0'));
}

void appendLe16(QByteArray *bytes, int value)
{
    bytes->append(static_cast<char>(value & 0xFF));
    bytes->append(static_cast<char>((value >> 8) & 0xFF));
}

int le16Signed(const QByteArray &bytes, int offset)
{
    const quint16 raw = static_cast<quint16>(static_cast<quint8>(bytes.at(offset))
                                             | (static_cast<quint8>(bytes.at(offset + 1)) << 8));
    return static_cast<qint16>(raw);
}

qint64 cellInteger(const QVariant &cell)
{
    bool ok = false;
    double value = 0;
    switch (cell.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Bool:
        value = cell.toDouble(&ok);
        break;
    case QMetaType::QString:
        value = cell.toString().trimmed().toDouble(&ok);
        break;
    default:
        return 0;
    }
    // Beyond what an integer can hold is no integer at all.
    if (!ok || !std::isfinite(value) || std::fabs(value) >= 9.0e18)
        return 0;
    return static_cast<qint64>(value);
}

QString cellText(const CellRows &rows, int row, int column)
{
    if (row < 0 || row >= rows.size() || column < 0 || column >= rows.at(row).size())
        return QString();
    return rows.at(row).at(column).toString().simplified();
}

qint64 cellInteger(const CellRows &rows, int row, int column)
{
    if (row < 0 || row >= rows.size() || column < 0 || column >= rows.at(row).size())
        return 0;
    return cellInteger(rows.at(row).at(column));
}

int packetCount(qint64 bytes)
{
    return bytes <= 0 ? 0 : static_cast<int>((bytes + kPacketSize - 1) / kPacketSize);
}

int packetLength(qint64 bytes, int k)
{
    const qint64 rest = bytes - static_cast<qint64>(k) * kPacketSize;
    return static_cast<int>(std::clamp<qint64>(rest, 0, kPacketSize));
}

} // namespace transfer
