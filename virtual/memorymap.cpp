#include "memorymap.h"

#include <algorithm>

QByteArray MemoryMap::read(quint32 address, int length) const
{
    if (length <= 0)
        return {};
    QByteArray out(length, kErased);
    int done = 0;
    while (done < length) {
        const quint32 addr = address + quint32(done);   // unsigned: wraps by design
        const quint32 page = addr >> kPageBits;
        const quint32 offset = addr & (kPageSize - 1);
        const int run = int(std::min<quint32>(kPageSize - offset, quint32(length - done)));
        const auto it = m_pages.constFind(page);
        if (it != m_pages.constEnd())
            std::copy_n(it->constData() + offset, run, out.data() + done);
        done += run;
    }
    return out;
}

void MemoryMap::write(quint32 address, const QByteArray &bytes)
{
    write(address, bytes.constData(), bytes.size());
}

void MemoryMap::write(quint32 address, const char *data, qsizetype length)
{
    if (!data || length <= 0)
        return;
    qsizetype done = 0;
    while (done < length) {
        const quint32 addr = address + quint32(done);
        const quint32 page = addr >> kPageBits;
        const quint32 offset = addr & (kPageSize - 1);
        const qsizetype run = std::min<qsizetype>(qsizetype(kPageSize - offset), length - done);
        QByteArray &p = m_pages[page];
        if (p.isEmpty())
            p = QByteArray(int(kPageSize), kErased);
        std::copy_n(data + done, run, p.data() + offset);
        done += run;
    }
}

quint16 MemoryMap::registerValue(quint16 reg) const
{
    return m_registers.value(reg, kUnsetRegister);
}

void MemoryMap::setRegister(quint16 reg, quint16 value)
{
    m_registers.insert(reg, value);
}

void MemoryMap::clear()
{
    m_pages.clear();
    m_registers.clear();
}
