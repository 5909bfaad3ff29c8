#include "linklog.h"

Q_LOGGING_CATEGORY(lcLink, "colorimeter.link")
Q_LOGGING_CATEGORY(lcFrames, "colorimeter.frames", QtWarningMsg)
