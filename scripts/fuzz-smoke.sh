#!/usr/bin/env bash
# Builds the libFuzzer targets of the spreadsheet readers (clang, AddressSanitizer) into
# ./build-fuzz and runs each for a few seconds over its seed corpus, the test fixtures, so that
# the targets keep building and the readers stay clean. FUZZ_SECONDS sets the time per target.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${FUZZ_SECONDS:-5}"
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCOLORIMETER_FUZZ=ON
cmake --build build-fuzz --target fuzz_xls fuzz_xlsx --parallel "$(nproc)"
for kind in xls xlsx; do
    corpus="$(mktemp -d)"
    cp tests/exchange/data/*."$kind" exchange/fuzz/corpus/"$kind"/* "$corpus"/
    build-fuzz/exchange/fuzz/fuzz_"$kind" -max_total_time="$seconds" -timeout=10 \
        -rss_limit_mb=1024 -malloc_limit_mb=256 -max_len=1048576 "$corpus"
    rm -rf "$corpus"
done
