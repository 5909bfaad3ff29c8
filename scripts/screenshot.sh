#!/usr/bin/env bash
# Draws docs/screenshot.png, the README's picture of the main window with the virtual
# instrument and a few measured pairs, under Xvfb at 1440 x 810. Needs a built ./build.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --build build --target colorimeter-screenshot
mkdir -p docs
xvfb-run -a -s "-screen 0 1440x810x24" env QT_QPA_PLATFORM=xcb \
    ./build/tools/screenshot/colorimeter-screenshot docs/screenshot.png
