#!/usr/bin/env bash
# build/pache on a hand-written 64-bit prefix: the install check finds the
# install directory in the 32-bit view of HKLM, and the registry update
# rewrites the existing value (only its line and its key's time change in
# system.reg) and leaves a missing one absent. Optionally, when Wine is
# installed, Wine itself reads the value back.
set -euo pipefail
pache="$(cd "$1" && pwd)/pache"
suk="$(cd "$1" && pwd)/suk"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

prefix="$work/prefix"
mkdir -p "$prefix/drive_c/Patch" "$prefix/drive_c/Games/Sample/an" "$prefix/drive_c/Wrong" \
  "$prefix/dosdevices" "$work/run"
ln -s ../drive_c "$prefix/dosdevices/c:"
ln -s / "$prefix/dosdevices/z:"
export WINEPREFIX="$prefix" XDG_RUNTIME_DIR="$work/run" PACHE_UI=headless PACHE_MENU=start
unset PACHE_ACP

# The 64-bit key points elsewhere: only the 32-bit view leads to the game.
cat >"$prefix/system.reg" <<'EOF'
WINE REGISTRY Version 2
;; All keys relative to REGISTRY\\Machine

#arch=win64

[Software\\Sample\\Game] 1714564800
#time=1da9bbf17cd3687
"InstallDir"="C:\\Wrong\\"
"Version"="1.02"

[Software\\Wow6432Node\\Sample\\Game] 1714564800
#time=1da9bbf17cd3687
@="default"
"Blob"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\
  16,17,18,19,1a,1b,1c,1d,1e,1f,20,21,22,23,24,25,26,27
"InstallDir"="C:\\Games\\Sample\\"
"Version"="1.02"

[System\\CurrentControlSet] 1714564800
#time=1da9bbf17cd3687
#link
"SymbolicLinkValue"=hex(6):5c,00,52,00,65,00,67,00,69,00,73,00,74,00,72,00,79,\
  00,5c,00,4d,00,61,00,63,00,68,00,69,00,6e,00,65,00,5c,00,53,00,79,00,73,00,\
  74,00,65,00,6d,00,5c,00,43,00,6f,00,6e,00,74,00,72,00,6f,00,6c,00,53,00,65,\
  00,74,00,30,00,30,00,31,00
EOF
cp "$prefix/system.reg" "$work/system.before"
printf 'Sample Story\r\n1.02\r\n' >"$prefix/drive_c/Games/Sample/ver.txt"
printf 'Sample Story\r\n1.02\r\n' >"$prefix/drive_c/Wrong/ver.txt"
printf 'new\r\n' >"$prefix/drive_c/Patch/readme.txt"

printf '%s\r\n' 'TITOL=Sample Story' 'VERSION=1.03' 'VERSION_TXT=ver.txt' \
  'DIR_REG=2SOFTWARE\Sample\Game-InstallDir' \
  '<COPY>' 'readme.txt=readme.txt' '<COPY>' \
  '<REG>' '2SOFTWARE\Sample\Game-Version=1.03' '2SOFTWARE\Sample\Game-Missing=x' '<REG>' >"$work/def"
"$suk" encode "$work/def" "$prefix/drive_c/Patch/PACH.suk"

(cd "$prefix/drive_c/Patch" && timeout 30 "$pache" >"$work/out" 2>"$work/err" </dev/null) ||
  fail "exit code $?"
grep -q 'Sample Story ～Ver 1.03～ への更新を終了しました。' "$work/out" ||
  fail "no completion message: $(cat "$work/out")"

# The install directory came from the 32-bit view.
cmp -s "$prefix/drive_c/Patch/readme.txt" "$prefix/drive_c/Games/Sample/readme.txt" ||
  fail "readme.txt not copied into the game"
[ ! -e "$prefix/drive_c/Wrong/readme.txt" ] || fail "copied into the 64-bit key's folder"

# system.reg: the Version line of the 32-bit key and its key's time, nothing else.
diff "$work/system.before" "$prefix/system.reg" >"$work/diff" && fail "system.reg unchanged"
changed=$(grep -c '^[<>]' "$work/diff")
[ "$changed" = 6 ] || fail "$changed lines changed: $(cat "$work/diff")"
grep -q '^> \[Software\\\\Wow6432Node\\\\Sample\\\\Game\] [0-9]*$' "$work/diff" || fail "key line: $(cat "$work/diff")"
grep -q '^> #time=[0-9a-f]*$' "$work/diff" || fail "time line: $(cat "$work/diff")"
grep -q '^< "Version"="1.02"$' "$work/diff" || fail "old value: $(cat "$work/diff")"
grep -q '^> "Version"="1.03"$' "$work/diff" || fail "new value: $(cat "$work/diff")"
grep -q 'Missing' "$prefix/system.reg" && fail "a missing value was created"
[ "$(grep -c '"Version"="1.02"' "$prefix/system.reg")" = 1 ] || fail "the 64-bit key's value changed"
[ -z "$(ls -A "$prefix" | grep -v -x -e drive_c -e dosdevices -e system.reg)" ] ||
  fail "left in the prefix: $(ls -A "$prefix")"

# Wine, where it is installed, reads what pache wrote.
if command -v wine >/dev/null 2>&1; then
  value=$(timeout 120 wine reg query 'HKLM\Software\Wow6432Node\Sample\Game' /v Version 2>/dev/null | tr -d '\r' || true)
  timeout 30 wineserver -k >/dev/null 2>&1 || true
  case "$value" in
    *REG_SZ*1.03*) ;;
    *) fail "wine reg query gave: $value" ;;
  esac
else
  echo "wine is not installed: its read-back is skipped"
fi
echo "ok"
