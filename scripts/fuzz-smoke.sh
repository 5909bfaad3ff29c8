#!/usr/bin/env bash
# Builds every libFuzzer target (clang, AddressSanitizer, UndefinedBehaviorSanitizer) into
# ./build-fuzz and runs each for a few seconds over its seed corpus, so that the targets keep
# building and what they check keeps holding:
#   fuzz_xls, fuzz_xlsx   the spreadsheet readers, the writers' round trip cell for cell, and the
#                         quick .xlsx sheet reader against the XML reader
#   fuzz_engine           ExcelEngine: open, readAll, writeAll, save, open again; the streamed
#                         read and saveRows against them
#   fuzz_instrument       the bytes the instrument sends: report reassembly, frame reads, reply
#                         parsing, the scan for pushed measurement frames
#   fuzz_eventvalues      the values the history's events carry, as the check's replay reads them
# Seeds: the test fixtures and each target's corpus folder. FUZZ_SECONDS sets the time per target.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${FUZZ_SECONDS:-5}"
targets=(fuzz_xls fuzz_xlsx fuzz_engine fuzz_instrument fuzz_eventvalues)
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCOLORIMETER_FUZZ=ON
cmake --build build-fuzz --target "${targets[@]}" --parallel "$(nproc)"
for target in "${targets[@]}"; do
    corpus="$(mktemp -d)"
    case "$target" in
        fuzz_xls) cp tests/exchange/data/*.xls exchange/fuzz/corpus/xls/* "$corpus"/ ;;
        fuzz_xlsx) cp tests/exchange/data/*.xlsx exchange/fuzz/corpus/xlsx/* "$corpus"/ ;;
        fuzz_engine) cp exchange/fuzz/corpus/xls/* exchange/fuzz/corpus/xlsx/* "$corpus"/ ;;
        fuzz_instrument) cp link/fuzz/corpus/* "$corpus"/ ;;
        fuzz_eventvalues) cp history/fuzz/corpus/* "$corpus"/ ;;
    esac
    binary="$(find build-fuzz -name "$target" -type f -perm -u+x | head -n 1)"
    echo "== $target"
    "$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=1024 -malloc_limit_mb=256 \
        -max_len=1048576 "$corpus"
    rm -rf "$corpus"
done
