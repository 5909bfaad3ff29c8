#pragma once

#include <QLoggingCategory>

// Diagnostics of the link (open, read and write failures): on by default.
Q_DECLARE_LOGGING_CATEGORY(lcLink)
// Every frame sent and every reply received, in hex with its result, and the worker's polling
// counts: off by default. QT_LOGGING_RULES="colorimeter.frames.debug=true" switches it on.
Q_DECLARE_LOGGING_CATEGORY(lcFrames)
