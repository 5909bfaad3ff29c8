#pragma once

#include "historyserver.h"

#include <QString>

class QSettings;

// Where the measurement history lives, as the user's settings keep it: on this computer only
// (the default), or also on a laboratory's PostgreSQL server that the local file feeds. Never a
// password: libpq takes it from ~/.pgpass or the service file. And what this desk is called.
struct HistoryLocation
{
    bool onServer = false;
    HistoryServer server;
    QString deskName; // empty: the computer's host name

    static HistoryLocation read(const QSettings &settings);
    void write(QSettings &settings) const;
    bool operator==(const HistoryLocation &other) const;
    bool operator!=(const HistoryLocation &other) const { return !(*this == other); }
};
