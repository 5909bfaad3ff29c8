#!/usr/bin/env bash
# Hand-run benchmark of the measurement table as whole processes, two builds side by side in the
# same run (say the code before a change, built in another folder, and after it): each measure is
# taken REPEAT times from each build in turn and its median printed.
#   bench/pages/run_processes.sh OLD_BUILD NEW_BUILD [REPEAT] [ROWS]
# - bench_pages ROWS once: rows appended, re-judged, first paint; wall time and peak memory of
#   the process (/usr/bin/time)
# - bench_pages ROWS steady: one measured row near ROWS against near 100 rows
# - bench_transfers ROWS: the record download against the link's limit
# - bench_history 1000 ROWS: an unfinished run of ROWS rows put back at start, until shown
# - bench_tableexchange ROWS 1: the import of an .xls of ROWS rows through the page, and the
#   engine's share (reading the same file alone)
# Both builds need the bench targets (cmake --build BUILD --target bench_pages bench_transfers
# bench_history bench_tableexchange). bench_pages of the older build must be built from this
# folder's bench_pages.cpp, which uses only what the page has always offered.
set -euo pipefail
old="$(cd "${1:?old build folder}" && pwd)"
new="$(cd "${2:?new build folder}" && pwd)"
repeat="${3:-5}"
rows="${4:-5000}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen
cd "$work" # no meterno.xls here: the page's message is answered by itself

median() { sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

# run BUILD: one round of every measure; appends "name value" lines to $work/<build>.txt
run() {
    local label="$1" build="$2" out="$work/$1.txt"
    /usr/bin/time -f "%e %M" -o "$work/time" "$build/bench/pages/bench_pages" "$rows" once > /dev/null 2>&1
    read -r wall mem < "$work/time"
    echo "once_wall_s $wall" >> "$out"
    echo "once_peak_KiB $mem" >> "$out"
    "$build/bench/pages/bench_pages" "$rows" steady 2> /dev/null \
        | sed -n 's/.*near 100 rows, \([0-9.]*\) ms near.*(\([0-9.]*\) times).*/steady_ms_at_n \1\nsteady_ratio \2/p' >> "$out"
    "$build/bench/transfers/bench_transfers" "$rows" 2> /dev/null \
        | sed -n 's/^record download.* ratio \([0-9.]*\).*/download_ratio \1/p' >> "$out"
    mkdir -p "$work/history" && rm -rf "$work/history"/*
    "$build/bench/history/bench_history" 1000 "$rows" "$work/history" 2> /dev/null \
        | sed -n 's/^restoring .*, \([0-9.]*\) ms until shown/restore_until_shown_ms \1/p' >> "$out"
    "$build/bench/pages/bench_tableexchange" "$rows" 1 2> /dev/null \
        | sed -n 's/^xls .*import \([0-9.]*\) ms (cpu [0-9.]* ms; slot [0-9.]* ms, of which reading the file \([0-9.]*\) ms).*/import_xls_ms \1\nimport_xls_engine_ms \2/p' >> "$out"
}

for i in $(seq "$repeat"); do
    run old "$old"
    run new "$new"
    echo "round $i of $repeat done" >&2
done
printf '%-26s %12s %12s\n' "median of $repeat, $rows rows" old new
for key in once_wall_s once_peak_KiB steady_ms_at_n steady_ratio download_ratio restore_until_shown_ms \
           import_xls_ms import_xls_engine_ms; do
    o="$(awk -v k="$key" '$1 == k {print $2}' "$work/old.txt" | median)"
    n="$(awk -v k="$key" '$1 == k {print $2}' "$work/new.txt" | median)"
    printf '%-26s %12s %12s\n' "$key" "${o:--}" "${n:--}"
done
