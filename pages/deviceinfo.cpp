// Who the connected instrument is and with which ΔE parameters it judges: the meter-number
// table, the identity read on connection, reading and writing the parameters, and judging the
// table again after a write.
#include "firstpagefortesk.h"

#include "cprotocol.h"
#include "datafolders.h"
#include "deltae.h"
#include "excelengine.h"
#include "linkport.h"
#include "modal.h"
#include "seteparameterpagefortesk.h"
#include "ui_firstpagefortesk.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QMutexLocker>

Q_DECLARE_LOGGING_CATEGORY(lcPage)

namespace {

// The labels of the formula indices as the instrument stores them; translated in the
// "Colorimeter" context like every ΔE label.
const char *const kFormulaLabels[] = {
    QT_TRANSLATE_NOOP("Colorimeter", "△E*ab"),       QT_TRANSLATE_NOOP("Colorimeter", "△E*uv"),
    QT_TRANSLATE_NOOP("Colorimeter", "△E*94"),       QT_TRANSLATE_NOOP("Colorimeter", "△E*cmc(2:1)"),
    QT_TRANSLATE_NOOP("Colorimeter", "△E*cmc(1:1)"), QT_TRANSLATE_NOOP("Colorimeter", "△E*00"),
};

// Beside the executable first, as deployed; then the installed data folders.
QString meterNumberPath()
{
    const QString beside = QCoreApplication::applicationDirPath() + QStringLiteral("/meterno.xls");
    if (QFileInfo::exists(beside))
        return beside;
    const QStringList folders = installedDataFolders();
    for (const QString &folder : folders) {
        const QString installed = folder + QStringLiteral("/meterno.xls");
        if (QFileInfo::exists(installed))
            return installed;
    }
    return beside;
}

bool linkOpen()
{
    LinkPort *port = LinkPort::current();
    return port && port->isLinkOpen();
}

} // namespace

QString FirstPageForTesk::formulaLabel(int formula)
{
    if (formula < 0 || formula > 5)
        return QString();
    return QCoreApplication::translate("Colorimeter", kFormulaLabels[formula]);
}

int FirstPageForTesk::loadMeterNumbers()
{
    // Read only: nothing is created or written where the table is missing.
    const QString path = meterNumberPath();
    ExcelEngine engine(path);
    if (!QFileInfo(path).isFile() || !engine.open(1)) {
        Modal::information(this, tr("Error："), tr("Can't open file！"));
        return -1;
    }
    meterRowCount = engine.rowCount();
    qCDebug(lcPage) << "meter-number table" << path << "read:" << meterRowCount << "rows";
    if (meterRowCount > 1) {
        meterRows.clear();
        engine.readAll(meterRows);
        engine.close();
        return 0;
    }
    engine.close();
    Modal::information(this, tr("Error："), tr("Failed to read excel file！"));
    return -1;
}

QString FirstPageForTesk::deviceNameFor(qint64 modelCode) const
{
    for (int i = 1; i < meterRowCount && i < meterRows.size(); ++i) {
        const QList<QVariant> &row = meterRows.at(i);
        if (row.size() < 2)
            continue;
        bool isNumber = false;
        const double code = row.at(0).toDouble(&isNumber);
        if (isNumber && static_cast<qint64>(code) == modelCode)
            return row.at(1).toString(); // the upper of two equal codes wins
    }
    return tr("UnKnow");
}

void FirstPageForTesk::readInstrumentSettings()
{
    readDeviceIdentity();
    on_readparameterBtn_clicked();
}

void FirstPageForTesk::readDeviceIdentity()
{
    // Whatever this read achieves, the name of an earlier instrument is no answer for this one.
    deviceName.clear();
    ui->DeviceNameEdit->clear();
    if (!linkOpen() || !worker)
        return;
    QMutexLocker lock(&worker->mutex);
    CProtocol *protocol = CProtocol::instance();

    DeviceInfo info;
    const int infoResult = protocol->readDeviceInfo(&info);
    if (infoResult < 0) {
        lock.unlock(); // no lock while a message box waits for the user
        if (infoResult == -4)
            Modal::information(this, tr("Warn"),
                               tr("The instrument is not configured production information!"));
        else
            Modal::information(this, tr("Error"), tr("Failed to read device information!"));
        return;
    }
    if (info.productionDate.isValid())
        ui->ProductionDateEdit->setDate(info.productionDate);
    ui->serialNoEdit->setText(QString::number(static_cast<quint32>(info.serialNumber)));
    deviceName = deviceNameFor(info.modelCode);
    ui->DeviceNameEdit->setText(deviceName);

    QDate calibrated;
    if (protocol->readCalibrationDate(&calibrated) < 0) {
        lock.unlock();
        Modal::information(this, tr("Error"), tr("Failed to read calibration date!"));
        return;
    }
    if (calibrated.isValid())
        ui->CalibrationeDateEdit->setDate(calibrated);

    int versionX10 = 0;
    if (protocol->readFirmwareVersion(&versionX10) < 0) {
        lock.unlock();
        Modal::information(this, tr("Error"), tr("Failed to read software version number!"));
        return;
    }
    ui->FirmwareVersionEdit->setText(QString::number(versionX10 / 10.0, 'f', 1));
}

int FirstPageForTesk::on_readparameterBtn_clicked()
{
    if (!linkOpen() || !worker) {
        Modal::information(this, tr("Error"), tr("Please connect the device first!"));
        return -1;
    }
    QMutexLocker lock(&worker->mutex);
    int formula = -1;
    int thresholdX10 = 0;
    if (CProtocol::instance()->readDeltaEParameter(&formula, &thresholdX10) < 0) {
        lock.unlock();
        Modal::information(this, tr("Error"), tr("Failed to read △E parameter information!"));
        return -1;
    }
    // An index the program does not know leaves the label as it was; the index itself is kept,
    // and every ΔE computed with it is -1.
    if (formula >= 0 && formula <= 5)
        ui->formulaEdit->setText(formulaLabel(formula));
    formulaIndex = formula;
    threshold = thresholdX10 / 10.0;
    ui->ThresholdsEdit->setText(QString::number(threshold, 'f', 1));
    return 1;
}

void FirstPageForTesk::on_writeparameterBtn_clicked()
{
    if (!linkOpen()) {
        Modal::information(this, tr("Error"), tr("Please connect the device first!"));
        return;
    }
    setEParameterPageForTesk dialog(this);
    if (Modal::exec(&dialog) != QDialog::Accepted)
        return;
    on_readparameterBtn_clicked();
    refreshVerdict();
    reevaluateRows();
}
