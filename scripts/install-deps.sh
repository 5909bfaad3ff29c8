#!/usr/bin/env bash
# Installs every Debian 12 package the build, the tests and the demo need. (Qt SQL's headers and
# CMake files come with qt6-base-dev; its SQLite driver, which the history uses, is a package of
# its own. Qt Charts' CMake files need Qt OpenGL's, which qt6-charts-dev does not pull in. The
# history hashes its events with OpenSSL's SHA-256 and stops its long reads with SQLite's own
# sqlite3_interrupt; argyll's colverify reads its CGATS export in the tests. A laboratory's shared
# history is a PostgreSQL server reached through Qt SQL's QPSQL driver; the tests start a throwaway
# server of Debian's postgresql and read it back with psycopg2.)
set -euo pipefail
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update
$SUDO apt-get install -y --no-install-recommends \
    cmake ninja-build make g++ pkg-config zlib1g-dev \
    qt6-base-dev qt6-base-dev-tools qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools \
    qt6-qpa-plugins qt6-translations-l10n libqt6core5compat6-dev libgl-dev \
    libqt6sql6-sqlite libqt6sql6-psql postgresql qt6-charts-dev qt6-svg-dev libqt6opengl6-dev \
    libhidapi-dev libudev-dev libzip-dev libssl-dev libsqlite3-dev libpq-dev \
    clang libclang-rt-14-dev \
    xvfb xauth fonts-wqy-microhei poppler-utils \
    python3 python3-xlrd python3-openpyxl python3-xlwt python3-psycopg2 argyll \
    dpkg-dev file desktop-file-utils appstream lintian man-db
