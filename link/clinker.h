#pragma once

#include "libhiddevice.h"

#include <QByteArray>
#include <QObject>

// The abstract link: frames are written and read through it. The base does nothing.
class CLinker : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    ~CLinker() override = default;

    virtual void close() {}
    virtual int read(QByteArray *buffer, unsigned timeoutMs, unsigned expectedLength)
    {
        Q_UNUSED(buffer);
        Q_UNUSED(timeoutMs);
        Q_UNUSED(expectedLength);
        return 0;
    }
    virtual int write(QByteArray *data, int timeoutMs)
    {
        Q_UNUSED(data);
        Q_UNUSED(timeoutMs);
        return 0;
    }
    virtual bool isOpen() { return false; }
    virtual bool isRemoved() { return true; }
};

// The instrument's USB HID link.
class CLinkerUSB : public CLinker
{
    Q_OBJECT
public:
    explicit CLinkerUSB(hidaccess::Backend *backend = nullptr, QObject *parent = nullptr);
    ~CLinkerUSB() override;

    // 0 on success, -1 on failure.
    qint8 open(quint16 vendorId, quint16 productId);

    void close() override;
    // timeoutMs 0: one polling read of whatever is pending. Otherwise frame mode: collect until
    // expectedLength bytes starting with the start byte are buffered, or timeoutMs has passed.
    // A measurement frame the instrument pushed before the reply is set aside (unless the
    // caller waits for a measurement) and comes first with the next polling read.
    int read(QByteArray *buffer, unsigned timeoutMs, unsigned expectedLength) override;
    int write(QByteArray *data, int timeoutMs) override;
    bool isOpen() override;
    bool isRemoved() override;

    // Why the last open failed.
    hidaccess::OpenError lastOpenError() const { return hid.lastOpenError(); }

    // Takes the pushed measurement frames a reply read set aside and no polling read has
    // collected yet. Under the link lock, or once no other thread uses the link.
    QByteArray takeSetAside();

    static constexpr int kScratchSize = 12800;
    static constexpr int kReportWaitMs = 50;
    static constexpr char kStartByte = char(0xAB);
    // The header of a measurement frame (function 0x44, address 0, 0x36 bytes) and its length.
    static inline const QByteArray kPushedHeader = QByteArray::fromHex("ab44000000003600");
    static constexpr qsizetype kPushedFrameLength = 64;
    // How many bytes the measurement frame that `bytes` ends inside still lacks (its start byte
    // and as much of its header as has come), or 0 when the bytes end with no frame cut short.
    static qsizetype missingOfCutMeasurement(const QByteArray &bytes);

private:
    libHidDevice hid;
    // Pushed measurement frames a reply read took out of the way, for the next polling read.
    QByteArray pushed;
};
