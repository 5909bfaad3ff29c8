#!/usr/bin/env bash
# Installs, builds and starts the application against the built-in virtual instrument.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display found: starting under xvfb-run (nothing will be visible)." >&2
    exec xvfb-run -a ./build/app/colorimeter --demo
fi
exec ./build/app/colorimeter --demo
