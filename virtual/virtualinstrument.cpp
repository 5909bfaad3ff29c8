#include "virtualinstrument.h"

#include "seed.h"
#include "wire.h"

VirtualInstrument::VirtualInstrument(QObject *parent)
    : QObject(parent), m_core(std::make_shared<InstrumentCore>())
{
    // Frames are reported from whichever thread wrote them, with no lock of the instrument
    // held; receivers in other threads get a queued call.
    m_core->setFrameSink([this](const QByteArray &frame) { emit frameReceived(frame); });
}

VirtualInstrument::~VirtualInstrument()
{
    // Handles may outlive us: they keep the core and fail from now on; blocked readers wake.
    m_core->shutDown();
}

QList<hidaccess::InterfaceInfo> VirtualInstrument::enumerate()
{
    return m_core->enumerate();
}

std::unique_ptr<hidaccess::Device> VirtualInstrument::open(const QByteArray &path, bool exclusive,
                                                           hidaccess::OpenError *error)
{
    return m_core->open(path, exclusive, error);
}

QString VirtualInstrument::name() const
{
    return QStringLiteral("virtual");
}

void VirtualInstrument::plug()
{
    if (m_core->plug())
        emit pluggedIn();
}

void VirtualInstrument::unplug()
{
    if (m_core->unplug())
        emit unplugged();
}

bool VirtualInstrument::isPlugged() const
{
    return m_core->isPlugged();
}

QByteArray VirtualInstrument::memory(quint32 address, int length) const
{
    return m_core->memory(address, length);
}

void VirtualInstrument::setMemory(quint32 address, const QByteArray &bytes)
{
    m_core->setMemory(address, bytes);
}

quint16 VirtualInstrument::registerValue(quint16 reg) const
{
    return m_core->registerValue(reg);
}

void VirtualInstrument::setRegister(quint16 reg, quint16 value)
{
    m_core->setRegister(reg, value);
}

void VirtualInstrument::setDeltaEParameter(int formula, int thresholdX10)
{
    m_core->setMemory(seed::kDeltaEAddress, seed::deltaEBlock(formula, thresholdX10));
}

void VirtualInstrument::setCalibrationDate(int year, int month, int day)
{
    m_core->setMemory(seed::kCalibrationAddress, seed::calibrationBlock(year, month, day));
}

void VirtualInstrument::setProductionInfo(quint32 serialNumber, quint32 modelCode, int year,
                                          int month, int day)
{
    m_core->setMemory(seed::kProductionAddress,
                      seed::productionBlock(serialNumber, modelCode, year, month, day));
}

void VirtualInstrument::eraseProductionInfo()
{
    m_core->setMemory(seed::kProductionAddress, QByteArray(20, char(0xFF)));
}

void VirtualInstrument::setFirmwareVersion(int versionX10)
{
    m_core->setRegister(seed::kFirmwareRegister, quint16(versionX10));
}

void VirtualInstrument::setRecords(const QList<Record> &records)
{
    QByteArray data, names;
    for (const Record &r : records) {
        for (int v : {r.stdL, r.stdA, r.stdB, r.smpL, r.smpA, r.smpB})
            wire::appendLe16(data, quint16(qint16(v)));
        names.append(seed::nameField(r.name));
    }
    m_core->setMemory(seed::kRecordHeaderAddress, seed::recordHeader(int(records.size())));
    m_core->setMemory(seed::kRecordDataAddress, data);
    m_core->setMemory(seed::kRecordNamesAddress, names);
}

void VirtualInstrument::resetMemory()
{
    m_core->reseedMemory();
}

void VirtualInstrument::setSerialString(const QString &serial)
{
    m_core->setSerialString(serial);
}

void VirtualInstrument::queueMeasurement(const Measurement &m)
{
    m_core->queueMeasurement(m);
}

VirtualInstrument::Measurement VirtualInstrument::measurementFromLab(double L, double a, double b)
{
    return measurement::fromLab(L, a, b);
}

VirtualInstrument::Measurement VirtualInstrument::lastMeasurement() const
{
    return m_core->lastMeasurement();
}

void VirtualInstrument::pressButton()
{
    m_core->pressButton();
}

void VirtualInstrument::setMeasurementTimeMs(int ms)
{
    m_core->setMeasurementTimeMs(ms);
}

void VirtualInstrument::setGeneratorSeed(quint64 seed)
{
    m_core->setGeneratorSeed(seed);
}

void VirtualInstrument::injectFault(Fault kind, int param, const QByteArray &bytes)
{
    m_core->injectFault(kind, param, bytes);
}

void VirtualInstrument::clearFaults()
{
    m_core->clearFaults();
}

int VirtualInstrument::pendingFaults() const
{
    return m_core->pendingFaults();
}

void VirtualInstrument::setWriteFailure(bool fail)
{
    m_core->setWriteFailure(fail);
}

void VirtualInstrument::setOpenError(hidaccess::OpenError e)
{
    m_core->setOpenError(e);
}

void VirtualInstrument::setEmptyReportFlood(int everyMs)
{
    m_core->setEmptyReportFlood(everyMs);
}

void VirtualInstrument::setTimingModel(bool on)
{
    m_core->setTimingModel(on);
}

QList<QByteArray> VirtualInstrument::receivedFrames() const
{
    return m_core->receivedFrames();
}

QList<QByteArray> VirtualInstrument::receivedReports() const
{
    return m_core->receivedReports();
}

void VirtualInstrument::clearLog()
{
    m_core->clearLog();
}

int VirtualInstrument::pendingInputReports() const
{
    return m_core->pendingInputReports();
}

qint64 VirtualInstrument::hostCalls() const
{
    return m_core->hostCalls();
}

qint64 VirtualInstrument::overlappingHostCalls() const
{
    return m_core->overlappingHostCalls();
}

QList<VirtualInstrument::Measurement> VirtualInstrument::deliveredMeasurements() const
{
    return m_core->deliveredMeasurements();
}
