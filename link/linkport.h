#pragma once

#include <QByteArray>
#include <QtGlobal>

class CLinker;

// The owner of the instrument link and of the two frame operations every command uses: the CRC
// is appended to each request and checked on replies here. The main window is the one owner in
// the program; tests make their own. Commands reach the owner through LinkPort::current().
class LinkPort
{
public:
    LinkPort();
    virtual ~LinkPort();

    LinkPort(const LinkPort &) = delete;
    LinkPort &operator=(const LinkPort &) = delete;

    // True when a link exists and it is open.
    bool isLinkOpen() const;

    // Appends the CRC (low byte first) to *request and writes it. Returns the bytes written
    // (request plus CRC) or -1; without an open link the request is left unchanged.
    int sendPacket(QByteArray *request, int timeoutMs);

    // timeoutMs > 0: waits for expectedLength bytes; timeoutMs 0: one polling read. Returns the
    // reply length, or 0 / a negative value on failure. The bytes received stay in *reply in
    // every case, so a caller can look at a short or failed reply.
    int receivePacket(QByteArray *reply, int timeoutMs, int expectedLength, bool checkCrc);

    // CRC-16/MODBUS of the first length bytes of *data.
    static quint16 crc16(QByteArray *data, int length);

    // The owner commands go through. Set once at start-up (or by a test) before links are used.
    static LinkPort *current();
    static void setCurrent(LinkPort *port);

    // Null while no instrument is connected; owned.
    CLinker *link = nullptr;
};
