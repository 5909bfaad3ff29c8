#!/usr/bin/env bash
# Refreshes the translation sources from the code and forms (run after changing texts), then
# reports what is still unfinished. The build compiles them into Pelmo_en.qm and Pelmo_zh.qm.
set -euo pipefail
cd "$(dirname "$0")/.."
LUPDATE=${LUPDATE:-/usr/lib/qt6/bin/lupdate}
for lang in en zh; do
    "$LUPDATE" -locations none -no-obsolete app pages colour exchange history report batch batchwindow historywindow modal forms \
        -ts "resources/translations/Pelmo_${lang}.ts"
done
echo "unfinished in Pelmo_zh.ts: $(grep -c 'type="unfinished"' resources/translations/Pelmo_zh.ts || true)"
