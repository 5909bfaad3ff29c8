// Standard colour card upload: a "StdColor.xlsx" made for the connected model goes into the
// instrument as the card count, one information record per card and one stream of colours,
// once every part of it is known to be accepted.
#include "firstpagefortesk.h"

#include "cprotocol.h"
#include "instrumentname.h"
#include "linklock.h"
#include "modal.h"
#include "transfercells.h"
#include "transferflow.h"

#include <QFileInfo>
#include <QMutexLocker>

namespace {

constexpr quint32 kCardInfoBase = 0x2000;
constexpr quint32 kCardInfoStride = 48;
constexpr quint32 kStreamBase = 0x40000;
constexpr int kColourNameSize = 20;
constexpr int kColourBytes = kColourNameSize + 6;
constexpr int kCardNameSize = 16;
// Card rows start at sheet row 3 and colours at row 50: more than 47 cards would run into the
// colours.
constexpr int kFirstCardRow = 2;  // 0-based
constexpr int kFirstColourRow = 49; // 0-based
constexpr int kMaxCards = kFirstColourRow - kFirstCardRow;

} // namespace

void FirstPageForTesk::on_writeStdColorBtn_clicked()
{
    using namespace transfer;
    if (!requireLink(this))
        return;
    // Held across the dialogs too, so the worker cannot take a reply meant for this upload.
    QMutexLocker locker(&linkLock());

    const QString path = uploadPath(this, QStringLiteral("excel file (*.xlsx)"));
    if (path.isEmpty())
        return;
    if (QFileInfo(path).fileName() != QLatin1String("StdColor.xlsx")) {
        Modal::warning(this, tr("Error"), tr("File error, unable to write!"));
        return;
    }
    CellRows rows;
    if (!readDeviceSheet(this, path, deviceName, &rows))
        return;
    const qint64 cards = cellInteger(rows, 1, 0);
    if (cards < 0 || cards > kMaxCards) {
        Modal::information(this, tr("Error"),
                           tr("Error in Excel file with not enough rows of standard color cards!"));
        return;
    }

    // Every block is checked against the check value the sheet gives for it before the first
    // is written: a sheet the instrument would refuse half-way must not leave a new count
    // beside old card records.
    const qint64 countCheck = cellInteger(rows, 1, 1);
    if (!CProtocol::blockCrcMatches(CProtocol::stdColorCountData(static_cast<int>(cards)), countCheck)) {
        Modal::information(this, tr("Error"), tr("Failed to write the total number of standard color cards!"));
        return;
    }
    struct Card
    {
        QString name1, name2;
        int colours = 0;
        int value2 = 0;
        int check = 0;
        NameEncoding encoding = NameEncoding::Utf8;
    };
    QList<Card> plan;
    qint64 colours = 0;
    for (int j = 0; j < cards; ++j) {
        const int row = kFirstCardRow + j;
        const qint64 count = cellInteger(rows, row, 2);
        const qint64 value2 = cellInteger(rows, row, 3);
        const qint64 check = cellInteger(rows, row, 4);
        Card card;
        card.name1 = cellText(rows, row, 0);
        card.name2 = cellText(rows, row, 1);
        if (count < 0 || count > 0xFFFF || value2 < 0 || value2 > 0xFFFF) {
            Modal::information(this, tr("Error"), tr("Failed to write standard color card information!"));
            return;
        }
        const auto record = [&](NameEncoding encoding) {
            return CProtocol::stdColorInfoData(card.name1, card.name2, static_cast<int>(count),
                                               static_cast<int>(value2), encoding);
        };
        const auto proves = [check](const QByteArray &data) {
            return !data.isEmpty() && CProtocol::blockCrcMatches(data, check);
        };
        // The card's names go as UTF-8; a sheet made for the instrument's own code page proves
        // GBK with its check value instead. Never a form the check value does not prove.
        const QByteArray utf8 = record(NameEncoding::Utf8);
        if (proves(utf8)) {
            card.encoding = NameEncoding::Utf8;
        } else if (proves(record(NameEncoding::Gbk))) {
            card.encoding = NameEncoding::Gbk;
        } else if (utf8.isEmpty()) {
            const QString tooLong = card.name1.toUtf8().size() > kCardNameSize ? card.name1 : card.name2;
            Modal::information(this, tr("Error"),
                               tr("The standard color card name \"%1\" is longer than 16 bytes, unable to write!")
                                   .arg(tooLong));
            return;
        } else {
            Modal::information(this, tr("Error"), tr("Failed to write standard color card information!"));
            return;
        }
        card.colours = static_cast<int>(count);
        card.value2 = static_cast<int>(value2);
        card.check = static_cast<int>(check);
        colours += count;
        plan.append(card);
    }
    // Rows beyond the colours are not sent; fewer rows than colours cannot be.
    if (rows.size() < kFirstColourRow + colours) {
        Modal::information(this, tr("Error"),
                           tr("Error in Excel file with not enough rows of standard color cards!"));
        return;
    }
    if (!colourValuesFit(this, rows, kFirstColourRow, colours))
        return;

    CProtocol *protocol = CProtocol::instance();
    if (protocol->writeStdColorCount(static_cast<int>(cards), static_cast<int>(countCheck)) < 0) {
        Modal::information(this, tr("Error"), tr("Failed to write the total number of standard color cards!"));
        return;
    }
    for (int j = 0; j < plan.size(); ++j) {
        const Card &card = plan.at(j);
        if (protocol->writeStdColorInfo(static_cast<int>(kCardInfoBase + kCardInfoStride * j), card.name1,
                                        card.name2, card.colours, card.value2, card.check, card.encoding)
            < 0) {
            Modal::information(this, tr("Error"), tr("Failed to write standard color card information!"));
            return;
        }
    }

    // The stream: every colour's name in a field of 20 bytes, then every colour's L*, a*, b*.
    QByteArray stream;
    stream.reserve(static_cast<int>(colours * kColourBytes));
    for (int i = 0; i < colours; ++i)
        stream += instrumentNameField(cellText(rows, kFirstColourRow + i, 0), kColourNameSize);
    for (int i = 0; i < colours; ++i) {
        for (int column = 1; column <= 3; ++column)
            appendLe16(&stream, hundredthsFromText(cellText(rows, kFirstColourRow + i, column)));
    }

    const int packets = packetCount(stream.size());
    ModalProgress progress(tr("Storing data,please wait..."), tr("cancel"), 0, packets, this);
    progress.show();
    if (!writePackets(protocol, &CProtocol::writeStdColorData, kStreamBase, stream,
                      [&](int k) { progress.setValue(k); })) {
        progress.hide();
        Modal::information(this, tr("Error"), tr("Failed to write standard color card data!"));
        return;
    }
    const int closed = protocol->writeStdColorData(kStreamBase + static_cast<quint32>(stream.size()), QByteArray(), 0);
    if (closed < 0) {
        progress.hide();
        if (closed == -3)
            Modal::information(this, tr("Error"), tr("Failed to write!"));
        else
            Modal::information(this, tr("Error"), tr("Failed to write empty packet!"));
        return;
    }
    progress.setValue(packets);
    progress.hide();
    Modal::information(this, tr("Information"), tr("Write to standard color card library successfully!"));
    drainAfterUpload();
}
