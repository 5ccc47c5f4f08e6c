#!/usr/bin/env bash
# Computes one grid in PARTS parts of rows with GNU parallel on this machine
# and joins them into the file a single run writes, then draws its map.
#
#   scripts/grid-parallel.sh [-p PARTS] [-j JOBS] [-o OUT] [-c VALDRIN_CALC] [-- CALC-OPTIONS...]
#
# CALC-OPTIONS go to every valdrin-calc run (--params net.ini, --mode ...,
# --medium layered, ...). OUT (default grid.txt) is the joined results file;
# The parts are written as OUT.part-NNN and removed once joined. Do not put
# --png or --output among the options; draw the joined file instead:
#   valdrin-calc render OUT --png map.png
# (render takes the parts as well, in order.) Each run computes on one
# thread; parallel starts JOBS of them at once.
set -euo pipefail

parts=4
jobs=0 # 0: one per core
out=grid.txt
calc=${VALDRIN_CALC:-valdrin-calc}
while [ $# -gt 0 ]; do
  case "$1" in
    -p) parts=$2; shift 2 ;;
    -j) jobs=$2; shift 2 ;;
    -o) out=$2; shift 2 ;;
    -c) calc=$2; shift 2 ;;
    --) shift; break ;;
    *) echo "Неизвестный параметр: $1" >&2; exit 2 ;;
  esac
done
opts=("$@")

# The grid's row count, from the message of a run asking for too many rows
# (it stops before computing anything).
msg=$("$calc" "${opts[@]}" --rows 0:2147483646 2>&1 >/dev/null || true)
rows=$(sed -n 's/.*строк по первой оси \([0-9]*\).*/\1/p' <<<"$msg")
if [ -z "$rows" ]; then
  echo "Не удалось узнать число строк сетки: $msg" >&2
  exit 3
fi
[ "$parts" -gt "$rows" ] && parts=$rows

# Part p holds rows p*rows/parts .. (p+1)*rows/parts - 1; only the first
# keeps the header.
ranges=()
for ((p = 0; p < parts; ++p)); do
  ranges+=("$p:$((p * rows / parts)):$(((p + 1) * rows / parts - 1))")
done

quoted=""
[ ${#opts[@]} -gt 0 ] && quoted=$(printf '%q ' "${opts[@]}")
export calc out
printf '%s\n' "${ranges[@]}" | parallel --will-cite --jobs "$jobs" --halt now,fail=1 --colsep : \
  '"$calc" '"$quoted"' --threads 1 --rows {2}:{3} \
     $( [ {1} -gt 0 ] && echo --no-header ) --output "$out".part-$(printf %03d {1})'

files=()
for ((p = 0; p < parts; ++p)); do files+=("$(printf '%s.part-%03d' "$out" "$p")"); done
# set -e does not stop inside an && list: a failed join must not report success.
cat "${files[@]}" >"$out.tmp" && mv "$out.tmp" "$out" && rm -f "${files[@]}" || exit
echo "$out: $rows строк в $parts частях"
