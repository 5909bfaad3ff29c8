#!/usr/bin/env bash
# Hand-run benchmark of the spreadsheet engine as whole processes, each paired in the same run
# with its peers: sheettool (this engine) against python3-xlrd / openpyxl (reads), xlwt /
# openpyxl (writes) and LibreOffice (soffice --headless --convert-to, when installed); with
# OLD_BUILD_DIR, also the sheettool of an older build (say main's, built in a folder of its own).
# Tables of ROWS rows (default "5000 50000") by 19 columns, .xls and .xlsx, in the VARIANTS
# given ("plain" and/or "dates": a date column last; default "plain"). Prints the median wall
# time, the median CPU time (user + system; steadier than wall time on a shared machine) and
# the largest peak resident memory of REPEAT runs of each. Needs perf (linux-perf).
#   bench/exchange/run_processes.sh BUILD_DIR [REPEAT] [OLD_BUILD_DIR]
set -euo pipefail
build="$(cd "${1:?build folder}" && pwd)"
repeat="${2:-5}"
old_tool=""
[ -n "${3:-}" ] && old_tool="$(cd "$3" && pwd)/exchange/sheettool"
sizes="${ROWS:-5000 50000}"
variants="${VARIANTS:-plain}"
here="$(cd "$(dirname "$0")" && pwd)"
tool="$build/exchange/sheettool"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export HOME="$work/home" # soffice keeps its profile there
mkdir -p "$HOME"
have_soffice=0
command -v soffice > /dev/null && have_soffice=1

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

# measure LABEL COMMAND...: runs the command REPEAT times; prints median wall and CPU seconds
# and the largest peak resident memory.
measure() {
    local label="$1"; shift
    local walls=() cpus=() peak=0
    for _ in $(seq "$repeat"); do
        # perf counts the CPU time to the microsecond where /usr/bin/time counts to 10 ms.
        /usr/bin/time -f "%e %M" -o "$work/time" perf stat -x, -e task-clock -o "$work/cpu" \
            "$@" > /dev/null 2> "$work/err" || { echo "$label FAILED:"; cat "$work/err"; return; }
        read -r wall mem < "$work/time"
        walls+=("$wall")
        cpus+=("$(awk -F, '/task-clock/ {printf "%.3f", $1 / 1000}' "$work/cpu")")
        (( mem > peak )) && peak=$mem
    done
    printf '%-44s wall %6.3f s  cpu %6.3f s  peak %7d KB\n' "$label" \
        "$(printf '%s\n' "${walls[@]}" | median)" "$(printf '%s\n' "${cpus[@]}" | median)" "$peak"
}

if [ "$have_soffice" = 1 ]; then # a first start creates the profile; not measured
    soffice --headless --convert-to csv --outdir "$work" /dev/null > /dev/null 2>&1 || true
fi
for rows in $sizes; do
for kind in xls xlsx; do
    for variant in $variants; do
        dates=""
        [ "$variant" = dates ] && dates="--dates"
        name="${rows}x19 .$kind ${dates:+with dates}"
        name="${name%% }"
        f="$work/engine.$kind"; p="$work/peer.$kind"; o="$work/old.$kind"
        echo "== $name"
        measure "write  sheettool" "$tool" --make "$f" "$rows" 19 $dates
        [ -n "$old_tool" ] && measure "write  sheettool (old build)" "$old_tool" --make "$o" "$rows" 19 $dates
        measure "write  python3 $([ $kind = xls ] && echo xlwt || echo openpyxl)" \
            /usr/bin/python3 "$here/peers.py" "write-$kind" "$p" "$rows" 19 $dates
        if [ "$have_soffice" = 1 ]; then
            "$tool" --read "$f" | tr '\t' ',' > "$work/table.csv"
            measure "write  soffice --convert-to $kind (from csv)" \
                soffice --headless --convert-to "$kind" --outdir "$work/lo" "$work/table.csv"
        fi
        measure "read   sheettool --read" "$tool" --read "$f"
        [ -n "$old_tool" ] && measure "read   sheettool --read (old build)" "$old_tool" --read "$f"
        measure "read   python3 $([ $kind = xls ] && echo xlrd || echo openpyxl)" \
            /usr/bin/python3 "$here/peers.py" "read-$kind" "$f"
        if [ "$have_soffice" = 1 ]; then
            measure "read   soffice --convert-to csv" soffice --headless --convert-to csv --outdir "$work/lo" "$f"
        fi
    done
done
done
