// Colour-difference record download: the tests stored in the instrument become table rows,
// judged with the formula and threshold the instrument holds now.
#include "firstpagefortesk.h"

#include "cprotocol.h"
#include "deltae.h"
#include "instrumentname.h"
#include "linklock.h"
#include "modal.h"
#include "transfercells.h"
#include "transferflow.h"
#include "ui_firstpagefortesk.h"
#include "verdict.h"

#include <QDateTime>
#include <QMutexLocker>

#include <cmath>
#include <limits>

namespace {

constexpr quint32 kLabBase = 0x10000;
constexpr quint32 kNameBase = 0x20000;
constexpr int kLabBytes = 12;
constexpr int kNameSize = 14;

} // namespace

void FirstPageForTesk::on_readcolordifrecordBtn_clicked()
{
    using namespace transfer;
    if (!requireLink(this))
        return;
    if (rowCount() > 2) {
        if (Modal::question(this, QStringLiteral("Colorimeter"),
                            tr("Data import willempty the list, to save data first?"),
                            QMessageBox::Yes | QMessageBox::No)
            == QMessageBox::No)
            on_ClearBtn_clicked();
        else
            exportTable(); // saved, the table is emptied; cancelled or failed, its rows stay
    }
    // Takes the link lock itself, so it runs before this flow takes it.
    if (on_readparameterBtn_clicked() < 0)
        return;

    QMutexLocker locker(&linkLock());
    CProtocol *protocol = CProtocol::instance();
    int count = 0;
    const int header = protocol->readRecordCount(&count);
    if (header == -4) {
        Modal::information(this, tr("Error"), tr("Color difference history data error, unable to export!"));
        return;
    }
    if (header < 0) {
        Modal::information(this, tr("Error"), tr("Failed to read the number of color difference records!"));
        return;
    }

    const qint64 labBytes = static_cast<qint64>(kLabBytes) * count;
    const qint64 nameBytes = static_cast<qint64>(kNameSize) * count;
    const int labPackets = packetCount(labBytes);
    const int namePackets = packetCount(nameBytes);
    ModalProgress progress(tr("Storing data,please wait..."), tr("cancel"), 0, labPackets + namePackets, this);
    progress.show();

    QByteArray lab;
    lab.reserve(static_cast<int>(labBytes));
    if (!readPackets(protocol, kLabBase, labBytes, &lab, [&](int k) { progress.setValue(k); })) {
        progress.hide();
        Modal::information(this, tr("Error"), tr("Reading color difference recording lab data failed!"));
        return;
    }
    QByteArray names;
    names.reserve(static_cast<int>(nameBytes));
    if (!readPackets(protocol, kNameBase, nameBytes, &names, [&](int j) { progress.setValue(labPackets + j); })) {
        progress.hide();
        Modal::information(this, tr("Error"), tr("Failed to read color difference record name data!"));
        return;
    }
    if (lab.size() != labBytes || names.size() != nameBytes) { // never read past what arrived
        progress.hide();
        Modal::information(this, tr("Error"), tr("Reading color difference recording lab data failed!"));
        return;
    }

    const QString formulaText = ui->formulaEdit->text();
    const QString thresholdText = ui->ThresholdsEdit->text();
    const QString deviceText = ui->DeviceNameEdit->text();
    const QString serialText = ui->serialNoEdit->text();
    // As with a live measurement: without the instrument's formula and threshold a record is
    // shown, not judged (no ΔE, no verdict, not counted) until re-judging gives it both.
    const bool judged = parametersKnown();
    RowOriginScope origin(rowOrigin, {RowOrigin::Downloaded, QString()});
    QList<MeasurementRecord> records;
    records.reserve(count);
    for (int r = 0; r < count; ++r) {
        const auto value = [&](int i) { return le16Signed(lab, kLabBytes * r + 2 * i) / 100.0; };
        const LabColor standard{value(0), value(1), value(2)};
        const LabColor sample{value(3), value(4), value(5)};
        MeasurementRecord record;
        record.deltaE = std::numeric_limits<double>::quiet_NaN();
        if (judged) {
            const double deltaE = computeDeltaE(formulaIndex, standard, sample);
            // Only a real number is judged; anything else is not a pass.
            const bool pass = std::isfinite(deltaE) && std::isfinite(threshold) && passes(deltaE, threshold);
            ++totalCount;
            if (pass)
                ++passCount;
            else
                ++ngCount;
            record.deltaE = deltaE;
            record.verdict = pass ? tr("PASS") : tr("NG");
        }
        // Unjudged rows are numbered as they will be once re-judging counts them.
        record.sequence = judged ? totalCount : totalCount + r + 1;
        record.testName = instrumentNameText(names.mid(kNameSize * r, kNameSize));
        record.timeText = QDateTime::currentDateTime().toString(QStringLiteral("yyyy/MM/dd  hh:mm"));
        record.standard = {standard.L, standard.a, standard.b, std::hypot(standard.a, standard.b),
                           hueAngle(standard.a, standard.b)};
        record.sample = {sample.L, sample.a, sample.b, std::hypot(sample.a, sample.b),
                         hueAngle(sample.a, sample.b)};
        record.formulaText = formulaText;
        record.thresholdText = thresholdText;
        record.deviceName = deviceText;
        record.serialNumber = serialText;
        records.append(std::move(record));
    }
    // All rows in one step: one layout and one paint. The counters are shown once, at the end.
    appendRows(records);
    showCounters();
    locker.unlock();
    progress.close();
    if (!judged && count > 0)
        Modal::information(this, tr("Information"),
                           tr("The records were not judged because the △E parameters are unknown."));
}
