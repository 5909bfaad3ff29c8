#!/usr/bin/env bash
# Installs, builds and runs the whole test suite through ctest.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh
bash scripts/fuzz-smoke.sh
bash scripts/test-package.sh   # the .deb: build, install, start as an ordinary user
cd build
# Beside a throwaway PostgreSQL server: the history's suites run on it too, and here a missing
# server fails them instead of skipping them.
COLORIMETER_REQUIRE_PG=1 QT_QPA_PLATFORM=offscreen bash ../scripts/with-postgres.sh \
    ctest --output-on-failure --parallel "$(nproc)" --timeout 600
