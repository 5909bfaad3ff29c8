#pragma once

#include <QObject>

// The instrument's command set. Stateless: every command is one request and one reply over the
// link of LinkPort::current(), made while the caller holds the link lock. Commands return 1 on
// success and a negative code on failure (-1 request not sent, -2 no complete reply, -3 reply
// does not echo the request, -4 block CRC mismatch, -5 the instrument's error reply).
class CProtocol : public QObject
{
    Q_OBJECT
public:
    static CProtocol *instance();

    // Blocks the calling thread until more than ms milliseconds have passed on a monotonic clock.
    // It sleeps rather than spins, so a waiting thread leaves the processor to others.
    static void delayMs(int ms);

private:
    CProtocol() = default;
};
