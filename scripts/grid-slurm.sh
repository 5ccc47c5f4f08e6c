#!/usr/bin/env bash
# A Slurm job array that computes one grid in parts of rows, one array task
# per part, and a second job that joins the parts once all tasks are done.
#
#   ROWS=801 PARTS=32 sbatch --array=0-31 scripts/grid-slurm.sh --params net.ini --mode magnitude
#   # when the array has finished (or: sbatch --dependency=afterok:JOBID ...):
#   scripts/grid-slurm.sh --join
#
# ROWS is the grid's row count along the plane's first axis (valdrin-calc
# --rows 0:999999 names it in its refusal); PARTS the array's size. Every task
# writes $OUT.part-NNN (OUT default grid.txt) in the submission directory;
# --join concatenates them in order into $OUT. The options after the script
# go to valdrin-calc unchanged (not --output, --png or --rows).
#SBATCH --job-name=valdrin-grid
#SBATCH --ntasks=1
#SBATCH --cpus-per-task=1
#SBATCH --time=01:00:00
set -euo pipefail

calc=${VALDRIN_CALC:-valdrin-calc}
out=${OUT:-grid.txt}
parts=${PARTS:-${SLURM_ARRAY_TASK_COUNT:-1}}

if [ "${1:-}" = "--join" ]; then
  files=()
  for ((p = 0; p < parts; ++p)); do
    f=$(printf '%s.part-%03d' "$out" "$p")
    [ -f "$f" ] || { echo "Нет части $f" >&2; exit 3; }
    files+=("$f")
  done
  # set -e does not stop inside an && list: a failed join must not report success.
  cat "${files[@]}" >"$out.tmp" && mv "$out.tmp" "$out" && rm -f "${files[@]}" || exit
  echo "$out: $parts частей"
  exit 0
fi

: "${ROWS:?задайте ROWS, число строк сетки}"
p=${SLURM_ARRAY_TASK_ID:?запускайте через sbatch --array}
first=$((p * ROWS / parts))
last=$(((p + 1) * ROWS / parts - 1))
header=()
[ "$p" -gt 0 ] && header=(--no-header)
[ "$first" -le "$last" ] || { : >"$(printf '%s.part-%03d' "$out" "$p")"; exit 0; }
exec "$calc" "$@" --threads "${SLURM_CPUS_PER_TASK:-1}" --rows "$first:$last" "${header[@]}" \
  --output "$(printf '%s.part-%03d' "$out" "$p")"
