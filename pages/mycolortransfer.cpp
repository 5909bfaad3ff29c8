// The my-colour library between the instrument and a spreadsheet, both ways. The sheet the
// download writes is the sheet the upload reads.
#include "firstpagefortesk.h"

#include "cprotocol.h"
#include "instrumentname.h"
#include "linklock.h"
#include "modal.h"
#include "transfercells.h"
#include "transferflow.h"

#include <QDateTime>
#include <QMutexLocker>

namespace {

constexpr quint32 kValuesBase = 0x4000;
constexpr quint32 kNamesBase = 0x8000;
constexpr int kValueBytes = 6;
constexpr int kNameSize = 14;
constexpr int kFirstColourRow = 4; // 0-based: sheet row 5
// The names of more colours would run past 0xFFFF into the colour-difference records.
constexpr int kMaxColours = (0x10000 - kNamesBase) / kNameSize;

} // namespace

void FirstPageForTesk::on_readMyColorBtn_clicked()
{
    using namespace transfer;
    if (!requireLink(this))
        return;
    QMutexLocker locker(&linkLock());

    const QString suggested = QStringLiteral("Mycolor")
        + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddhhmm"));
    const QString chosen = Modal::getSaveFileName(this, tr("Storing data to Excel"), suggested,
                                                  QStringLiteral("excel file (*.xls)"));
    if (chosen.isEmpty())
        return;
    // The suggested name has no extension: without one the upload's dialog would not list it.
    const QString path = spreadsheetPath(this, chosen, QStringLiteral(".xls"), tr("Storing data to Excel"));
    if (path.isEmpty() || !requireLink(this))
        return;
    ExcelEngine engine(path);
    if (!engine.open(1)) {
        Modal::information(this, tr("Error"), tr("Can't open file!"));
        return;
    }

    CProtocol *protocol = CProtocol::instance();
    quint32 value0 = 0;
    int count = 0;
    int value2 = 0;
    int check = 0;
    if (protocol->readMyColorHeader(&value0, &count, &value2, &check) < 0) {
        Modal::information(this, tr("Error"), tr("Failed to read my color number!"));
        return;
    }

    const qint64 valueBytes = static_cast<qint64>(kValueBytes) * count;
    const qint64 nameBytes = static_cast<qint64>(kNameSize) * count;
    ModalProgress progress(tr("Storing data,please wait..."), tr("cancel"), 0,
                           packetCount(valueBytes) + packetCount(nameBytes), this);
    progress.show();
    QByteArray values;
    QByteArray names;
    int done = 0;
    const auto step = [&](int) { progress.setValue(++done); };
    if (!readPackets(protocol, kValuesBase, valueBytes, &values, step)
        || !readPackets(protocol, kNamesBase, nameBytes, &names, step)
        || values.size() != valueBytes || names.size() != nameBytes) {
        progress.hide();
        Modal::information(this, tr("Error"), tr("Failed to read my color data!"));
        return;
    }

    CellRows sheet;
    sheet.reserve(count + kFirstColourRow);
    sheet.append({deviceName, QString(), QString(), QString()});
    sheet.append({double(value0), double(count), double(value2), double(check)});
    sheet.append({QString(), QString(), QString(), QString()});
    sheet.append({QStringLiteral("name"), QStringLiteral("L*"), QStringLiteral("a*"), QStringLiteral("b*")});
    for (int i = 0; i < count; ++i) {
        QList<QVariant> row;
        row.append(instrumentNameText(names.mid(kNameSize * i, kNameSize)));
        for (int v = 0; v < 3; ++v)
            row.append(hundredthsText(le16Signed(values, kValueBytes * i + 2 * v)));
        sheet.append(row);
    }
    progress.hide();
    const bool written = engine.writeAll(sheet) && engine.save();
    engine.close();
    if (written)
        Modal::information(this, tr("Information"), tr("Read my color data successfully!"));
    else
        Modal::information(this, tr("Error"), tr("Failed to export data to excel file"));
}

void FirstPageForTesk::on_writeMyColorBtn_clicked()
{
    using namespace transfer;
    if (!requireLink(this))
        return;
    QMutexLocker locker(&linkLock());

    const QString path = uploadPath(this, QStringLiteral("excel file (*.xls)"));
    if (path.isEmpty())
        return;
    CellRows rows;
    if (!readDeviceSheet(this, path, deviceName, &rows))
        return;

    // The header and the rows it announces are checked before anything is written: a sheet the
    // instrument would refuse half-way must not leave a new count beside the old colours.
    const qint64 value0 = cellInteger(rows, 1, 0);
    const qint64 count = cellInteger(rows, 1, 1);
    const qint64 value2 = cellInteger(rows, 1, 2);
    const qint64 check = cellInteger(rows, 1, 3);
    // Values that do not fit their fields would go cut to their low bits.
    const bool fits = value0 >= 0 && value0 <= 0xFFFFFFFF && count >= 0 && count <= kMaxColours && value2 >= 0
        && value2 <= 0xFFFF;
    if (!fits
        || !CProtocol::blockCrcMatches(CProtocol::myColorHeaderData(static_cast<quint32>(value0),
                                                                    static_cast<int>(count),
                                                                    static_cast<int>(value2)),
                                       check)) {
        Modal::information(this, tr("Error"), tr("Write my color information, data error, unable to write!"));
        return;
    }
    if (rows.size() < kFirstColourRow + count) {
        Modal::information(this, tr("Error"), tr("Error in Excel file with not enough rows of my color!"));
        return;
    }
    if (!colourValuesFit(this, rows, kFirstColourRow, count))
        return;

    CProtocol *protocol = CProtocol::instance();
    const int header = protocol->writeMyColorHeader(static_cast<quint32>(value0), static_cast<int>(count),
                                                    static_cast<int>(value2), static_cast<int>(check));
    if (header == -4) {
        Modal::information(this, tr("Error"), tr("Write my color information, data error, unable to write!"));
        return;
    }
    if (header < 0) {
        Modal::information(this, tr("Error"), tr("Failed to write my color information!"));
        return;
    }

    QByteArray values;
    QByteArray names;
    values.reserve(static_cast<int>(kValueBytes * count));
    names.reserve(static_cast<int>(kNameSize * count));
    for (int i = 0; i < count; ++i) {
        const int row = kFirstColourRow + i;
        for (int column = 1; column <= 3; ++column)
            appendLe16(&values, hundredthsFromText(cellText(rows, row, column)));
        names += instrumentNameField(cellText(rows, row, 0), kNameSize);
    }

    // The bar counts the value packets; the name packets leave it at its end.
    ModalProgress progress(tr("Storing data,please wait..."), tr("cancel"), 0, packetCount(values.size()), this);
    progress.show();
    int done = 0;
    const auto step = [&](int) { progress.setValue(done++); };
    if (!writePackets(protocol, &CProtocol::writeMemory, kValuesBase, values, step)
        || !writePackets(protocol, &CProtocol::writeMemory, kNamesBase, names, step)) {
        progress.hide();
        Modal::information(this, tr("Error"), tr("Failed to write my color data!"));
        return;
    }
    progress.setValue(progress.maximum());
    progress.hide();
    Modal::information(this, tr("Information"), tr("Write my color data successfully!"));
    drainAfterUpload();
}
