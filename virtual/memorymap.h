// The instrument's memory as the host sees it through the read and write commands: a flat,
// byte-addressable 32-bit space backed by flash, plus a small bank of 16-bit registers.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QtGlobal>

class MemoryMap
{
public:
    // Flash reads 0xFF where nothing was ever written.
    static constexpr char kErased = char(0xFF);
    static constexpr quint16 kUnsetRegister = 0xFFFF;

    // Bytes [address, address + length); wraps at the top of the 32-bit space. A negative length
    // gives an empty array.
    QByteArray read(quint32 address, int length) const;
    void write(quint32 address, const QByteArray &bytes);
    void write(quint32 address, const char *data, qsizetype length);

    quint16 registerValue(quint16 reg) const;
    void setRegister(quint16 reg, quint16 value);

    void clear();
    int pageCount() const { return int(m_pages.size()); }

private:
    // Pages are created on first write only, so a sparse map covering the whole address space
    // costs what was written, not what could be addressed.
    static constexpr quint32 kPageBits = 12;
    static constexpr quint32 kPageSize = 1u << kPageBits;

    QHash<quint32, QByteArray> m_pages;   // page number -> kPageSize bytes
    QHash<quint16, quint16> m_registers;
};
