#!/usr/bin/env bash
# Crash trials: runs build/pache headless on a prefix of its own with a real
# patch (many files, some large, a long install log, a large hive), kills it
# with SIGKILL at random moments, and checks what it left: every target is
# its old or its new content byte for byte, the install log is the old one
# or the complete new one (which decodes and ends with its "<END>" block),
# and system.reg parses with the version value old or new.
#
# Usage: scripts/crash_trials.sh BUILD_DIR [TRIALS] [SECONDS]
# Stops after TRIALS trials (default 100) or SECONDS seconds (default 600),
# whichever comes first. Exits non-zero when any trial lost data, and with
# 77 when the tool cannot read the prefix's registry at all. The large files
# are PACHE_CRASH_LARGE_MB (default 24) MB each.
set -euo pipefail
build="$(cd "${1:?usage: crash_trials.sh BUILD_DIR [TRIALS] [SECONDS]}" && pwd)"
trials=${2:-100}
budget=${3:-600}
pache="$build/pache"
suk="$build/suk"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export XDG_RUNTIME_DIR="$work/run" PACHE_UI=headless PACHE_MENU=start
unset PACHE_ACP
mkdir -p "$work/run"

# ------------------------------------------------------------ the machine
template="$work/template"
game="$template/drive_c/Game"
patch="$template/drive_c/Patch"
mkdir -p "$game/an" "$game/data" "$patch/data" "$template/dosdevices"
ln -s ../drive_c "$template/dosdevices/c:"
ln -s / "$template/dosdevices/z:"

# A hive of a few MB, so that its rewrite takes a while, with the game's key
# in the middle.
{
  printf 'WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\Machine\n\n#arch=win32\n\n'
  for i in $(seq 1 4000); do
    printf '[Software\\\\Filler\\\\Key%05d] 1714564800\n#time=1da9bbf17cd3687\n' "$i"
    printf '"Value%d"="%s"\n' 1 "some text for key $i" 2 "more text for key $i" 3 "and more for $i"
    printf '"Path"="C:\\\\Program Files\\\\Filler\\\\%05d\\\\"\n\n' "$i"
    if [ "$i" = 2000 ]; then
      printf '[Software\\\\Maker\\\\Game] 1714564800\n#time=1da9bbf17cd3687\n'
      printf '"InstallDir"="C:\\\\Game\\\\"\n"Version"="1.0"\n\n'
    fi
  done
} >"$template/system.reg"

printf 'Game\r\n1.0\r\n' >"$game/ver.txt"
# An install log of 50,000 entries.
for i in $(seq 1 50000); do printf 'C:\\Game\\data\\old%05d.dat\n\n' "$i"; done >"$work/log.txt"
printf '<END>\n\n' >>"$work/log.txt"
"$suk" encode "$work/log.txt" "$game/an/CP_Data.suk"

# 40 files: most small, a few large; most replace an older file.
lines=('data')
for i in $(seq 1 40); do
  name="data/file$i.dat"
  case $i in
    5 | 20 | 35) size=$((${PACHE_CRASH_LARGE_MB:-24} << 20)) ;;
    *) size=$(((i * 7919) % 65536 + 1)) ;;
  esac
  head -c "$size" /dev/urandom >"$patch/$name"
  [ $((i % 4)) = 0 ] || head -c $((size / 2 + 17)) /dev/urandom >"$game/$name"
  lines+=("$name=$name")
done
printf '%s\r\n' 'TITOL=Game' 'VERSION=1.1' 'VERSION_TXT=ver.txt' \
  'DIR_REG=2SOFTWARE\Maker\Game-InstallDir' '<COPY>' "${lines[@]}" '<COPY>' \
  '<REG>' '2SOFTWARE\Maker\Game-Version=1.1' '<REG>' >"$work/def"
"$suk" encode "$work/def" "$patch/PACH.suk"

# The hive without the lines a rewrite may change: key times.
normalised_hive() { grep -v -e '^#time=' -e '^\[' "$1" | sed 's/^"Version"="1\.[01]"$/"Version"=V/'; }

run_pache() {  # prefix; starts pache in the background, its pid in $pid
  (cd "$1/drive_c/Patch" && WINEPREFIX="$1" exec "$pache" >"$1.out" 2>/dev/null </dev/null) &
  pid=$!
}

now_ms() { echo $(($(date +%s%N) / 1000000)); }

# ------------------------------------------------ a reference run, whole
reference="$work/reference"
cp -a "$template" "$reference"
start=$(now_ms)
run_pache "$reference"
wait "$pid"
full=$(($(now_ms) - start))
if grep -q 'レジストリに登録されておりません' "$reference.out"; then
  echo "crash trials: the tool cannot read system.reg here" >&2
  exit 77
fi
grep -q '1.1' "$reference.out" || { echo "crash trials: the reference run did not finish: $(cat "$reference.out")" >&2; exit 1; }
grep -q '^"Version"="1.1"$' "$reference/system.reg" || { echo "crash trials: the reference run left the version" >&2; exit 1; }
"$suk" decode "$reference/drive_c/Game/an/CP_Data.suk" "$work/new-log.txt"
cmp -s -n $(($(stat -c %s "$work/log.txt") - 7)) "$work/log.txt" "$work/new-log.txt" ||
  { echo "crash trials: the reference log lost its old entries" >&2; exit 1; }
normalised_hive "$template/system.reg" >"$work/hive.norm"
echo "crash trials: a whole run takes ${full} ms"

# ----------------------------------------------------------- the trials
failures=0 done_trials=0 old_log=0 new_log=0 leftovers=0 killed_before_end=0
declare -A outcome=()
deadline=$(($(date +%s) + budget))
check() {  # prefix; prints one line per fault found
  local prefix=$1 path target
  for path in "${lines[@]}"; do
    [[ $path == *=* ]] || continue
    target="$prefix/drive_c/Game/${path#*=}"
    if cmp -s "$target" "$reference/drive_c/Game/${path#*=}"; then
      outcome[new]=$((${outcome[new]:-0} + 1))
    elif [ -e "$template/drive_c/Game/${path#*=}" ] && cmp -s "$target" "$template/drive_c/Game/${path#*=}"; then
      outcome[old]=$((${outcome[old]:-0} + 1))
    elif [ ! -e "$template/drive_c/Game/${path#*=}" ] && [ ! -e "$target" ]; then
      outcome[absent]=$((${outcome[absent]:-0} + 1))
    else
      echo "torn target ${path#*=}"
    fi
  done
  local log="$prefix/drive_c/Game/an/CP_Data.suk"
  if cmp -s "$log" "$template/drive_c/Game/an/CP_Data.suk"; then
    old_log=$((old_log + 1))
  elif cmp -s "$log" "$reference/drive_c/Game/an/CP_Data.suk"; then
    new_log=$((new_log + 1))
    "$suk" decode "$log" - | tr -d '\0' | tail -c 7 | cmp -s - <(printf '<END>\n\n') ||
      echo "the new log does not end with its <END> block"
  else
    echo "install log neither old nor complete ($(stat -c %s "$log" 2>/dev/null || echo missing) bytes)"
  fi
  head -n 1 "$prefix/system.reg" | grep -q '^WINE REGISTRY Version 2$' || echo "system.reg lost its header"
  normalised_hive "$prefix/system.reg" | cmp -s - "$work/hive.norm" || echo "system.reg is neither old nor new"
  leftovers=$((leftovers + $(find "$prefix" -name '.pache-*' | wc -l)))
}

while [ "$done_trials" -lt "$trials" ] && [ "$(date +%s)" -lt "$deadline" ]; do
  trial="$work/trial"
  rm -rf "$trial" "$trial.out"
  cp -a "$template" "$trial"
  # Half the kills fall anywhere in the run, half in its last fifth, where
  # the registry and the install log are rewritten.
  if [ $((RANDOM % 2)) = 0 ]; then delay=$((RANDOM * 32768 + RANDOM)); delay=$((delay % (full + 1)))
  else delay=$((full * 4 / 5 + (RANDOM * 32768 + RANDOM) % (full / 5 + 1))); fi
  run_pache "$trial"
  sleep "$(printf '%d.%03d' $((delay / 1000)) $((delay % 1000)))"
  if kill -KILL "$pid" 2>/dev/null; then killed_before_end=$((killed_before_end + 1)); fi
  wait "$pid" 2>/dev/null || true
  check "$trial" >"$work/faults"
  faults="$(cat "$work/faults")"
  done_trials=$((done_trials + 1))
  if [ -n "$faults" ]; then
    failures=$((failures + 1))
    echo "trial $done_trials (kill at $delay ms): $faults" >&2
  fi
done

echo "crash trials: $done_trials trials, $killed_before_end killed before their end," \
  "$failures with data lost or torn"
echo "crash trials: install log old in $old_log, complete new in $new_log;" \
  "targets new ${outcome[new]:-0}, old ${outcome[old]:-0}, not yet made ${outcome[absent]:-0};" \
  "temporary files left by killed copies: $leftovers"
[ "$failures" = 0 ]
