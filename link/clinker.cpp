#include "clinker.h"

#include "linklog.h"

#include <QElapsedTimer>

#include <algorithm>
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

int CLinkerUSB::read(QByteArray *buffer, unsigned timeoutMs, unsigned expectedLength)
{
    if (!buffer)
        return -1;
    std::vector<char> scratch(kScratchSize, 0);

    if (timeoutMs == 0) {
        const int count = hid.read(scratch.data(), kScratchSize, kReportWaitMs);
        // The worker polls this many times a second: its count goes with the frame traffic.
        qCDebug(lcFrames, " %01d ", count);
        if (count < 1)
            return count;
        buffer->append(scratch.data(), count);
        return static_cast<int>(buffer->size());
    }

    // The scratch buffer bounds a single transport call, whatever length the caller expects.
    const int ask = static_cast<int>(std::min<unsigned>(expectedLength, kScratchSize));
    QElapsedTimer clock;
    clock.start();
    int last = 0;
    for (;;) {
        std::fill(scratch.begin(), scratch.end(), 0);
        last = hid.read(scratch.data(), ask, kReportWaitMs);
        if (last <= 0) {
            qCDebug(lcLink, "hidDevice ReadMessage error!\n");
        } else {
            buffer->append(scratch.data(), last);
            qsizetype drop = 0;
            while (drop < buffer->size() && buffer->at(drop) != kStartByte)
                ++drop;
            buffer->remove(0, drop);
            if (buffer->size() >= static_cast<qsizetype>(expectedLength) && !buffer->isEmpty()
                && buffer->at(0) == kStartByte)
                return static_cast<int>(buffer->size());
        }
        if (clock.elapsed() > static_cast<qint64>(timeoutMs))
            return last;
    }
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
