#pragma once

#include "hidaccess.h"

namespace hidaccess {

// The real instrument: hidapi enumerates the HID interfaces; each opened node is a hidraw
// descriptor of our own.
//
// hidraw has no exclusive open. What stands in for it is an advisory lock (flock) on the opened
// node itself: exclusive opens take it exclusively, shared opens shared, and a conflicting holder
// is told InUse, as a sharing violation would tell it. Programs that do not take the lock are not
// kept out; the single-instance guard keeps a second copy of this program from getting that far.
//
// Writes keep their timeout although a hidraw write blocks in the kernel: each device writes on a
// thread of its own and the caller waits for it at most the timeout.
class HidapiBackend : public Backend
{
public:
    HidapiBackend();
    ~HidapiBackend() override;

    QList<InterfaceInfo> enumerate() override;
    std::unique_ptr<Device> open(const QByteArray &path, bool exclusive, OpenError *error) override;
    QString name() const override { return QStringLiteral("hidapi-hidraw"); }

    // The report size of the instrument: hidapi 0.13 cannot read the report descriptor.
    static constexpr int kReportLength = 64;
};

} // namespace hidaccess
