#!/usr/bin/env bash
# Runs every benchmark and prints the table that BENCHMARKS.md keeps: the
# copy phase against cp, the install log update against a raw read and
# write, the hive rewrite against a copy, start to menu, and the peak memory
# of a whole run. Each figure is measured against its baseline in the same
# run. Usage: scripts/bench.sh [BUILD_DIR]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build="$(cd "${1:-build}" && pwd)"
scripts/setup.sh time
cmake --build "$build" --target pache suk copy_phase_bench log_update_bench >/dev/null
[ -f bench/hive_rewrite_bench.cpp ] && cmake --build "$build" --target hive_rewrite_bench >/dev/null
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
rows=()
row() { rows+=("$(printf '| %s | %s | %s | %s |' "$@")"); }

echo "== copy phase (1,000 files, 1 GB)"
"$build/bench/copy_phase_bench" 1000 1 | tee "$work/copy"
ratio=$(sed -n 's/^worker \/ cp = \([0-9.]*\).*/\1/p' "$work/copy")
synced=$(sed -n 's/.*worker \/ (cp + sync) = \([0-9.]*\).*/\1/p' "$work/copy")
reflink=$(grep -q 'not offered' "$work/copy" && echo "no reflink on this file system" || echo "see reflink line")
row "copy phase, no pauses" "$(awk '/copy worker/ {print $5 " s"}' "$work/copy")" \
  "${ratio}× cp ($(awk '/cp -r  / {print $3 " s"}' "$work/copy")); ${synced}× cp + sync; $reflink" "≤ 1.0× cp"

echo "== install log update (100,000 entries)"
"$build/bench/log_update_bench" --benchmark_color=false | sed "s/\x1b\[[0-9;]*m//g" | tee "$work/log"
ratio=$(sed -n 's/^log update \/ raw read+write = \([0-9.]*\).*/\1/p' "$work/log")
row "install log update, 100,000 entries" "$(awk '/UpdateLog.*median/ {print $2 " " $3}' "$work/log")" \
  "${ratio}× raw read+write ($(awk '/RawReadWrite.*median/ {print $2 " " $3}' "$work/log"))" "≤ 1.5×"

if [ -x "$build/bench/hive_rewrite_bench" ]; then
  echo "== hive rewrite"
  "$build/bench/hive_rewrite_bench" --benchmark_color=false | sed "s/\x1b\[[0-9;]*m//g" | tee "$work/hive"
  ratio=$(sed -n 's/^rewrite \/ copy = \([0-9.]*\).*/\1/p' "$work/hive")
  row "hive rewrite, one value of 30 MB" "$(awk '/RewriteValue.*median/ {print $2 " " $3}' "$work/hive")" \
    "${ratio}× copy" "≤ 2×"
fi

# A prefix with the product installed and a patch of ten files; its install
# log holds 100,000 entries.
prefix="$work/prefix"
mkdir -p "$prefix/drive_c/Game/an" "$prefix/drive_c/Patch" "$prefix/dosdevices" "$work/run"
ln -s ../drive_c "$prefix/dosdevices/c:"
printf 'WINE REGISTRY Version 2\n\n#arch=win32\n\n[Software\\\\Maker\\\\Game] 1714564800\n"InstallDir"="C:\\\\Game\\\\"\n"Version"="1.0"\n' \
  >"$prefix/system.reg"
printf 'Game\r\n1.0\r\n' >"$prefix/drive_c/Game/ver.txt"
lines=()
for i in $(seq 1 10); do
  head -c 1048576 /dev/urandom >"$prefix/drive_c/Patch/f$i.dat"
  lines+=("f$i.dat=f$i.dat")
done
printf '%s\r\n' 'TITOL=Game' 'VERSION=1.1' 'VERSION_TXT=ver.txt' 'DIR_REG=2SOFTWARE\Maker\Game-InstallDir' \
  '<COPY>' "${lines[@]}" '<COPY>' '<REG>' '2SOFTWARE\Maker\Game-Version=1.1' '<REG>' >"$work/def"
"$build/suk" encode "$work/def" "$prefix/drive_c/Patch/PACH.suk"
for i in $(seq 1 100000); do printf 'C:\\Game\\data\\old%06d.dat\n\n' "$i"; done >"$work/log"
printf '<END>\n\n' >>"$work/log"
"$build/suk" encode "$work/log" "$prefix/drive_c/Game/an/CP_Data.suk"
export WINEPREFIX="$prefix" XDG_RUNTIME_DIR="$work/run" PACHE_UI=headless
unset PACHE_ACP

echo "== start to menu, headless"
# Each run ends at the menu (quit), so its whole time bounds the time from
# exec to the menu prompt from above; /bin/true is the cost of a process.
runs=50
cd "$prefix/drive_c/Patch"
PACHE_MENU=quit "$build/pache" >"$work/menu.out" 2>&1 </dev/null
if grep -q '更新開始' "$work/menu.out"; then
  ms() { echo $(($(date +%s%N) / 1000)); }
  start=$(ms); for _ in $(seq $runs); do PACHE_MENU=quit "$build/pache" >/dev/null 2>&1 </dev/null; done
  pache_us=$((($(ms) - start) / runs))
  start=$(ms); for _ in $(seq $runs); do /bin/true >/dev/null 2>&1 </dev/null; done
  true_us=$((($(ms) - start) / runs))
  echo "pache to the menu and out: $pache_us µs; /bin/true: $true_us µs"
  row "start to menu, headless" "$(awk -v u="$pache_us" 'BEGIN {printf "%.1f ms", u / 1000}')" \
    "$(awk -v u="$pache_us" -v t="$true_us" 'BEGIN {printf "%.1f× /bin/true (%.1f ms)", u / t, t / 1000}')" "≤ 20 ms"
else
  echo "the run did not reach the menu: $(cat "$work/menu.out")"
  row "start to menu, headless" "not reached" "$(head -c 80 "$work/menu.out" | tr '\n' ' ')" "≤ 20 ms"
fi

echo "== peak memory of a whole run"
definition=$(stat -c %s "$prefix/drive_c/Patch/PACH.suk")
log=$(stat -c %s "$prefix/drive_c/Game/an/CP_Data.suk")
PACHE_MENU=start /usr/bin/time -v "$build/pache" >"$work/run.out" 2>"$work/time" </dev/null
peak_kb=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$work/time")
budget_kb=$(((definition + log) / 1024 + 16384))
grep -q '1.1' "$work/run.out" && note="whole run" || note="run ended early: $(head -c 60 "$work/run.out" | tr '\n' ' ')"
echo "peak $peak_kb KB; definition $definition B, log $log B; budget $budget_kb KB ($note)"
row "peak memory of a run" "$((peak_kb / 1024)) MB" \
  "$(awk -v p="$peak_kb" -v b="$budget_kb" 'BEGIN {printf "%.2f× budget of %.1f MB", p / b, b / 1024}') ($note)" \
  "≤ definition + log + 16 MB"

echo
echo "Machine: $(nproc) cores, $(sed -n 's/^model name\s*: //p' /proc/cpuinfo | head -1);" \
  "/tmp on $(df -T /tmp | awk 'NR == 2 {print $2}'), work dir on $(df -T "$build" | awk 'NR == 2 {print $2}');" \
  "kernel $(uname -r); $(date -u +%Y-%m-%d)"
echo
echo "| Benchmark | Measured | Against its baseline | Target |"
echo "|---|---|---|---|"
printf '%s\n' "${rows[@]}"
