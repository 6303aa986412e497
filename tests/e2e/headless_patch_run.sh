#!/usr/bin/env bash
# A whole patch run of build/pache without a display, on a temporary prefix
# that holds an installed product: the menu, the titles, the copies, the
# completion message; then a second run refused, a run quit at the menu, a
# second copy while the first waits, and a close signal at the menu.
set -euo pipefail
pache="$(cd "$1" && pwd)/pache"
suk="$(cd "$1" && pwd)/suk"
work="$(mktemp -d)"
first=""
server=""
cleanup() {
  [ -z "$first" ] || kill "$first" 2>/dev/null || true
  if [ -n "$server" ]; then
    rm -rf "$server"
    rmdir "$(dirname "$server")" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# Without a host registry that reads hive files no product can be found.
if grep -q '^// Placeholder' "$(dirname "$0")/../../platform/host/host_registry.cpp"; then
  echo "SKIP: the host registry does not read hive files yet"
  exit 0
fi

prefix="$work/prefix"
game="$prefix/drive_c/Games/Sample"
patch="$prefix/drive_c/Patch"
mkdir -p "$prefix/dosdevices" "$game/data" "$patch" "$work/run"
ln -s ../drive_c "$prefix/dosdevices/c:"
ln -s / "$prefix/dosdevices/z:"
hive_head='WINE REGISTRY Version 2
;; All keys relative to REGISTRY\\Machine

#arch=win32
'
{
  printf '%s\n' "$hive_head"
  printf '[Software\\\\Sample\\\\Game] 1714564800\n#time=1da9bbf17cd3687\n'
  printf '"InstallDir"="C:\\\\Games\\\\Sample\\\\"\n"Version"="1.02"\n'
} >"$prefix/system.reg"
printf 'WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000\n\n#arch=win32\n' >"$prefix/user.reg"
printf 'WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\User\\\\.Default\n\n#arch=win32\n' >"$prefix/userdef.reg"

printf 'Sample Story\r\n1.02\r\n' >"$game/version.txt"
printf 'old program' >"$game/story.exe"
printf 'voice' >"$patch/voice01.dat"
printf 'new program' >"$patch/story.exe"
printf 'Sample Story\r\n1.03\r\n' >"$patch/version.txt"
printf '%s\r\n' 'TITOL=Sample Story' 'VERSION=1.03' 'VERSION_TXT=version.txt' \
  'DIR_REG=2SOFTWARE\Sample\Game-InstallDir' '<COPY>' 'data\voice' \
  'voice01.dat=data\voice\voice01.dat' 'story.exe=story.exe' 'version.txt=version.txt' \
  '<COPY>' '<REG>' \
  '2SOFTWARE\Sample\Game-Version=1.03' '<REG>' >"$work/def"
"$suk" encode "$work/def" "$patch/PACH.suk"

export WINEPREFIX="$prefix" XDG_RUNTIME_DIR="$work/run" PACHE_UI=headless
unset PACHE_ACP PACHE_MENU
menu='[パッチメニュー] 更新開始 = start, 終了 = quit'
tree() { (cd "$prefix" && find . -type f -exec sha1sum {} + | sort) }

# Quit at the menu: nothing changes.
before="$(tree)"
(cd "$patch" && echo quit | timeout 20 "$pache" >"$work/out" 2>"$work/err") || fail "exit code"
printf '%s\n' "$menu" | cmp - "$work/out" || fail "quit output: $(cat "$work/out")"
[ "$(tree)" = "$before" ] || fail "quitting changed files"

# Start: the files are copied, the titles follow the copies, the
# completion message ends the run.
(cd "$patch" && PACHE_MENU=start timeout 20 "$pache" >"$work/out" 2>"$work/err") || fail "exit code"
printf '%s\n' "$menu" '[お待たせ致しました！] Sample Story ～Ver 1.03～ への更新を終了しました。' |
  cmp - "$work/out" || fail "run output: $(cat "$work/out")"
printf '%s\n' 'title: しばらくお待ちください' 'title: data\voice\voice01.dat' 'title: story.exe' \
  'title: version.txt' 'title: 更新終了しました。' | cmp - "$work/err" || fail "titles: $(cat "$work/err")"
[ "$(cat "$game/data/voice/voice01.dat")" = voice ] || fail "voice01.dat"
[ "$(cat "$game/story.exe")" = "new program" ] || fail "story.exe"
grep -q '^"Version"="1.03"$' "$prefix/system.reg" || fail "registry value not rewritten"
[ -z "$(find "$prefix" -name '.pache-*')" ] || fail "temporary files left"

# Run again: the same version is refused.
(cd "$patch" && PACHE_MENU=start timeout 20 "$pache" >"$work/out" 2>"$work/err") || fail "exit code"
grep -q '^\[有難う御座います！\] 同バージョンに更新なされております。$' "$work/out" ||
  fail "second run: $(cat "$work/out")"

# A second copy while the first waits at its menu: it ends at once with
# exit code 0 and prints nothing; the first goes on.
printf 'Sample Story\r\n1.02\r\n' >"$game/version.txt"
mkfifo "$work/answer"
(cd "$patch" && exec timeout 20 "$pache" <"$work/answer" >"$work/out1" 2>"$work/err1") &
first=$!
exec 8>"$work/answer"
for _ in $(seq 100); do grep -q 'パッチメニュー' "$work/out1" 2>/dev/null && break; sleep 0.1; done
grep -q 'パッチメニュー' "$work/out1" || fail "first copy shows no menu"
(cd "$patch" && timeout 5 "$pache" >"$work/out" 2>"$work/err" </dev/null) || fail "second copy"
[ ! -s "$work/out" ] && [ ! -s "$work/err" ] || fail "second copy printed: $(cat "$work/out" "$work/err")"
kill -0 "$first" || fail "first copy ended"

# A close signal at the menu ends the first copy with exit code 0, having
# changed nothing.
before="$(tree)"
kill -TERM "$first"
wait "$first" || fail "first copy's exit code $?"
first=""
exec 8>&-
[ "$(tree)" = "$before" ] || fail "the close changed files"

# A close signal while the files are being copied: the run ends with exit
# code 0, the files copied so far stay, no half-copied file or temporary
# file is left, and the registry is not touched.
patch2="$prefix/drive_c/Patch2"
mkdir -p "$patch2"
lines=()
for i in $(seq -w 1 30); do
  printf 'file %s' "$i" >"$patch2/f$i.dat"
  lines+=("f$i.dat=data\\f$i.dat")
done
printf '%s\r\n' 'TITOL=Sample Story' 'VERSION=1.03' 'VERSION_TXT=version.txt' \
  'DIR_REG=2SOFTWARE\Sample\Game-InstallDir' '<COPY>' "${lines[@]}" '<COPY>' '<REG>' \
  '2SOFTWARE\Sample\Game-Version=9.99' '<REG>' >"$work/def2"
"$suk" encode "$work/def2" "$patch2/PACH.suk"
hive="$(sha1sum <"$prefix/system.reg")"
(cd "$patch2" && PACHE_MENU=start exec timeout 20 "$pache" >"$work/out" 2>"$work/err" </dev/null) &
first=$!
for _ in $(seq 100); do grep -q 'f01' "$work/err" 2>/dev/null && break; sleep 0.05; done
kill -TERM "$first"
wait "$first" || fail "closed run's exit code $?"
first=""
printf '%s\n' "$menu" | cmp - "$work/out" || fail "closed run printed: $(cat "$work/out")"
[ -f "$game/data/f01.dat" ] || fail "the first copy is gone"
[ ! -f "$game/data/f30.dat" ] || fail "the run was not cut short"
for copied in "$game"/data/f*.dat; do
  cmp -s "$copied" "$patch2/$(basename "$copied")" || fail "$copied differs from its source"
done
[ -z "$(find "$prefix" -name '.pache-*')" ] || fail "temporary files left"
[ "$(sha1sum <"$prefix/system.reg")" = "$hive" ] || fail "the registry changed"

# A wineserver that runs for the prefix holds the lock in its server folder:
# the tool says so and changes nothing.
server="/tmp/.wine-$(id -u)/server-$(stat -L -c %D "$prefix")-$(printf %x "$(stat -L -c %i "$prefix")")"
mkdir -p -m 700 "$server"
: >"$server/lock"
perl -MFcntl -e 'open(my $f, "+<", $ARGV[0]) or die "open: $!";
  my $lock = pack("s s x4 q q i x4", F_WRLCK, 0, 0, 1, 0);
  fcntl($f, F_SETLK, $lock) or die "lock: $!";
  $| = 1; print "locked\n"; sleep 30' "$server/lock" >"$work/locked" &
first=$!
for _ in $(seq 100); do [ -s "$work/locked" ] && break; sleep 0.05; done
[ -s "$work/locked" ] || fail "could not hold the server lock"
before="$(tree)"
(cd "$patch" && PACHE_MENU=start timeout 20 "$pache" >"$work/out" 2>"$work/err") || fail "exit code"
printf '[！警告！] Wine がこのプレフィックスで実行中です。\nWine を終了してから、もう一度実行してください。\n' |
  cmp - "$work/out" || fail "server running: $(cat "$work/out")"
[ "$(tree)" = "$before" ] || fail "files changed while the server runs"

echo "ok"
