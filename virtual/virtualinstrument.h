// The virtual instrument: a device-side model of the colorimeter presented through the HID
// access layer. Demo mode runs the program against it, and the link's tests prove every byte
// against it; its fault knobs make the instrument misbehave in the ways real ones do.
#pragma once

#include "hidaccess.h"
#include "instrumentcore.h"
#include "measurementmodel.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <memory>

class VirtualInstrument : public QObject, public hidaccess::Backend
{
    Q_OBJECT
public:
    // Plugged in, memory seeded (see seed.h).
    explicit VirtualInstrument(QObject *parent = nullptr);
    ~VirtualInstrument() override;

    // hidaccess::Backend
    // One interface while plugged ("virtual:colorimeter", 0x2047:0x0301, serial "VC-0001",
    // interface 0); nothing while unplugged.
    QList<hidaccess::InterfaceInfo> enumerate() override;
    std::unique_ptr<hidaccess::Device> open(const QByteArray &path, bool exclusive,
                                            hidaccess::OpenError *error) override;
    QString name() const override;

    // Plugging. Devices opened before an unplug stay dead; a fresh open() is needed.
    void plug();
    void unplug();
    bool isPlugged() const;

    // Memory map: byte-addressable, never-written bytes read 0xFF; registers are 16-bit.
    QByteArray memory(quint32 address, int length) const;
    void setMemory(quint32 address, const QByteArray &bytes);
    quint16 registerValue(quint16 reg) const;
    void setRegister(quint16 reg, quint16 value);

    // Convenience seeds, each writing its block with a correct block CRC.
    void setDeltaEParameter(int formula, int thresholdX10);
    void setCalibrationDate(int year, int month, int day);   // stored as given, month 13 too
    void setProductionInfo(quint32 serialNumber, quint32 modelCode, int year, int month, int day);
    void eraseProductionInfo();   // all 0xFF: unconfigured, its block CRC fails
    void setFirmwareVersion(int versionX10);
    // Replaces the stored colour-difference records (header, data, names).
    struct Record {
        QByteArray name;
        int stdL = 0, stdA = 0, stdB = 0, smpL = 0, smpA = 0, smpB = 0;   // hundredths
    };
    void setRecords(const QList<Record> &records);
    // Back to the memory of a new instrument.
    void resetMemory();
    // The USB serial-number string reported by enumerate() and serialNumber().
    void setSerialString(const QString &serial);

    // Measurements, in hundredths (L, a, b signed; C, h unsigned) and R, G, B 0..255.
    using Measurement = VirtualMeasurement;
    // Used by the next 0x44 request or button press; otherwise a plausible one is generated.
    void queueMeasurement(const Measurement &m);
    static Measurement measurementFromLab(double L, double a, double b);
    Measurement lastMeasurement() const;
    void pressButton();                  // pushes a measurement frame unasked
    void setMeasurementTimeMs(int ms);   // delay between a 0x44 request and its reply
    void setGeneratorSeed(quint64 seed); // restarts the generated sequence

    // Faults, each applying to the next reply (or pushed frame) only, in order of injection.
    using Fault = VirtualFault;
    void injectFault(Fault kind, int param = 0, const QByteArray &bytes = {});
    void clearFaults();
    int pendingFaults() const;
    void setWriteFailure(bool fail);
    void setOpenError(hidaccess::OpenError e);
    // everyMs > 0: whenever nothing else is due, an empty input report (0x3F, count 0) every
    // everyMs milliseconds, as a firmware that keeps its endpoint busy; 0 stops it.
    void setEmptyReportFlood(int everyMs);

    // One 64-byte report per millisecond each way, as a full-speed interrupt endpoint.
    void setTimingModel(bool on);

    // Observation, for byte-for-byte tests.
    QList<QByteArray> receivedFrames() const;    // complete request frames, CRC included
    QList<QByteArray> receivedReports() const;   // raw output reports, report ID first
    void clearLog();
    int pendingInputReports() const;             // input reports not yet read by the host
    qint64 hostCalls() const;                    // report reads and writes the host began
    // Reads and writes the host began while another of its reads or writes was in progress:
    // a host that serialises its use of the link never makes one.
    qint64 overlappingHostCalls() const;
    // The readings whose frame (asked for or pushed) the host has read to its last report, in
    // that order; a frame cut off by an unplug is not among them.
    QList<Measurement> deliveredMeasurements() const;

signals:
    void pluggedIn();
    void unplugged();
    void frameReceived(const QByteArray &frame);

private:
    std::shared_ptr<InstrumentCore> m_core;
};
