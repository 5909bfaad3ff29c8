#include "clinker.h"

#include "linklog.h"

#include <QElapsedTimer>

#include <algorithm>
#include <utility>
#include <vector>

CLinkerUSB::CLinkerUSB(hidaccess::Backend *backend, QObject *parent)
    : CLinker(parent), hid(backend)
{
}

CLinkerUSB::~CLinkerUSB() = default;

qint8 CLinkerUSB::open(quint16 vendorId, quint16 productId)
{
    if (hid.open(vendorId, productId) != 0) {
        qCDebug(lcLink, "hidDevice Open error!\n");
        return -1;
    }
    qCDebug(lcLink, "hidDevice Open success!\n");
    return 0;
}

void CLinkerUSB::close()
{
    hid.close();
}

qsizetype CLinkerUSB::missingOfCutMeasurement(const QByteArray &bytes)
{
    // Only the last frame length of bytes can hold a measurement that is not complete yet.
    const qsizetype from = std::max<qsizetype>(0, bytes.size() - kPushedFrameLength + 1);
    for (qsizetype pos = from; pos < bytes.size(); ++pos) {
        if (bytes.at(pos) != kStartByte)
            continue;
        const qsizetype have = bytes.size() - pos;
        const qsizetype n = std::min(have, kPushedHeader.size());
        if (bytes.mid(pos, n) == kPushedHeader.left(n))
            return kPushedFrameLength - have;
    }
    return 0;
}

int CLinkerUSB::read(QByteArray *buffer, unsigned timeoutMs, unsigned expectedLength)
{
    if (!buffer)
        return -1;
    std::vector<char> scratch(kScratchSize, 0);

    if (timeoutMs == 0) {
        // Measurements a reply read set aside come first, in the order they arrived.
        const bool hadPushed = !pushed.isEmpty();
        buffer->append(pushed);
        pushed.clear();
        const int count = hid.read(scratch.data(), kScratchSize, kReportWaitMs);
        // The worker polls this many times a second: its count goes with the frame traffic.
        qCDebug(lcFrames, " %01d ", count);
        if (count < 1 && !hadPushed)
            return count;
        if (count > 0) {
            buffer->append(scratch.data(), count);
            // The wait can end between the reports of a pushed measurement. Its rest would then
            // go to the next command's reply read, which drops whatever comes before a start
            // byte, and the measurement would be lost: fetch the rest now, within one more wait.
            const qsizetype missing = missingOfCutMeasurement(*buffer);
            if (missing > 0) {
                const int more = hid.read(scratch.data(), static_cast<int>(missing), kReportWaitMs);
                if (more > 0)
                    buffer->append(scratch.data(), more);
            }
        }
        return static_cast<int>(buffer->size());
    }

    // A caller may hand over bytes already: anything before a start byte is of no use.
    auto dropBeforeStart = [buffer] {
        qsizetype drop = 0;
        while (drop < buffer->size() && buffer->at(drop) != kStartByte)
            ++drop;
        buffer->remove(0, drop);
    };
    const qsizetype expected = static_cast<qsizetype>(expectedLength);
    // A measurement the instrument pushes on its own (its button) can come before the reply.
    // Unless the caller waits for a measurement, whose reply looks just the same, such a frame
    // is not the reply: it is set aside whole for the next polling read, and the reply is
    // looked for behind it.
    const qsizetype header = kPushedHeader.size();
    const bool mayBePushed = expected != kPushedFrameLength && expected >= header;
    auto startsPushed = [&] {
        if (!mayBePushed || buffer->isEmpty())
            return false;
        const qsizetype n = std::min(buffer->size(), header);
        return buffer->left(n) == kPushedHeader.left(n);
    };
    auto setAsidePushed = [&] {
        dropBeforeStart();
        while (startsPushed() && buffer->size() >= kPushedFrameLength) {
            pushed.append(buffer->left(kPushedFrameLength));
            buffer->remove(0, kPushedFrameLength);
            dropBeforeStart();
        }
    };
    setAsidePushed();
    QElapsedTimer clock;
    clock.start();
    int last = 0;
    for (;;) {
        // Once a start byte is held, ask only for what the frame still lacks: whatever follows
        // it (a measurement the instrument pushes right behind the reply) stays in the
        // transport's carry-over store for the next reader. Without one, stray bytes count
        // against the request, so it cannot reach past the end of the reply either. A frame that
        // may still turn out to be a pushed measurement is first read up to its header. The
        // scratch buffer bounds a single transport call, whatever length the caller expects.
        qsizetype missing = expected;
        if (!buffer->isEmpty()) {
            if (!startsPushed())
                missing = expected - buffer->size();
            else if (buffer->size() < header)
                missing = header - buffer->size();
            else
                missing = kPushedFrameLength - buffer->size();
        }
        if (missing <= 0 && !buffer->isEmpty())
            return static_cast<int>(buffer->size());
        const int ask = static_cast<int>(std::clamp<qsizetype>(missing, 1, kScratchSize));
        std::fill(scratch.begin(), scratch.begin() + ask, 0);
        last = hid.read(scratch.data(), ask, kReportWaitMs);
        if (last <= 0) {
            // The device is gone (the transport said so once): no point waiting for the rest.
            if (hid.isLost())
                return -1;
            qCDebug(lcLink, "hidDevice ReadMessage error!\n");
        } else {
            buffer->append(scratch.data(), last);
            setAsidePushed();
            if (!buffer->isEmpty() && !startsPushed() && buffer->size() >= expected)
                return static_cast<int>(buffer->size());
        }
        if (clock.elapsed() > static_cast<qint64>(timeoutMs))
            return last;
    }
}

QByteArray CLinkerUSB::takeSetAside()
{
    return std::exchange(pushed, QByteArray());
}

int CLinkerUSB::write(QByteArray *data, int timeoutMs)
{
    if (!data)
        return -1;
    const int length = static_cast<int>(data->size());
    const int ret = hid.write(data->constData(), length, timeoutMs);
    if (ret == length)
        return ret;
    qCDebug(lcLink, "hidDevice WriteMessage error! ret = %d\n", ret);
    return -1;
}

bool CLinkerUSB::isOpen()
{
    return hid.isOpen;
}

bool CLinkerUSB::isRemoved()
{
    return hid.isRemoved();
}
