// Reads 64 KiB of instrument memory in 256-byte frames through the whole stack (commands,
// framing, CLinkerUSB, libHidDevice, virtual instrument) with the virtual instrument's timing
// model on: one 64-byte report per millisecond each way, as a full-speed interrupt endpoint.
// Run by hand: build/bench/link/bench_link [kib]
#include "clinker.h"
#include "cprotocol.h"
#include "linkport.h"
#include "virtualinstrument.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLoggingCategory>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("colorimeter.*.debug=false"));
    const int kib = argc > 1 ? qMax(1, atoi(argv[1])) : 64;
    const int frameBytes = 256;
    const int frames = kib * 1024 / frameBytes;

    VirtualInstrument instrument;
    instrument.setTimingModel(true);
    LinkPort port;
    LinkPort::setCurrent(&port);
    auto *usb = new CLinkerUSB(&instrument);
    if (usb->open(0x2047, 0x0301) != 0) {
        std::fprintf(stderr, "cannot open the virtual instrument\n");
        return 1;
    }
    port.link = usb;

    QByteArray out;
    out.reserve(kib * 1024);
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < frames; ++i) {
        if (CProtocol::instance()->readMemory(0x10000 + quint32(i * frameBytes), &out, frameBytes) != 1) {
            std::fprintf(stderr, "frame %d failed\n", i);
            return 1;
        }
    }
    const double ms = double(clock.nsecsElapsed()) / 1e6;

    // The link's limit: 62 data bytes per report, one report per millisecond each way. A read of
    // 256 bytes is one output report (the 10-byte request) and ceil(266 / 62) = 5 input reports.
    const int inputReports = (frameBytes + 10 + 61) / 62;
    const double limitMsPerFrame = 1.0 + inputReports;
    const double limitRate = frameBytes / limitMsPerFrame;  // bytes per millisecond
    const double rate = out.size() / ms;

    std::printf("read %lld bytes in %d frames of %d bytes: %.1f ms\n", (long long)out.size(), frames,
                frameBytes, ms);
    std::printf("achieved payload rate: %.1f KiB/s (%.2f ms per frame)\n", rate * 1000 / 1024, ms / frames);
    std::printf("link limit:            %.1f KiB/s (%.0f ms per frame: 1 output + %d input reports)\n",
                limitRate * 1000 / 1024, limitMsPerFrame, inputReports);
    std::printf("share of the limit:    %.2f\n", rate / limitRate);
    return 0;
}
