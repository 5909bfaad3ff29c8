#!/usr/bin/env bash
# Installs, builds and runs the whole test suite through ctest.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh
bash scripts/fuzz-smoke.sh
bash scripts/test-package.sh   # the .deb: build, install, start as an ordinary user
cd build
QT_QPA_PLATFORM=offscreen ctest --output-on-failure --parallel "$(nproc)" --timeout 600
