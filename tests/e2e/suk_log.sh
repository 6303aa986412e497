#!/usr/bin/env bash
# suk log: the entries of an install log, one a line in UTF-8, found by a
# DOS path or a prefix-relative path to the log or its install directory.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/suk_common.bash" "$1"

export WINEPREFIX="$work/prefix"
mkdir -p "$WINEPREFIX/dosdevices" "$WINEPREFIX/drive_c/Game/an"
ln -s ../drive_c "$WINEPREFIX/dosdevices/c:"
# Entries, each followed by two LF, then "<END>", two LF and zero fill; the
# second entry is in code page 932 ("音声" is 89 B9 90 BA).
printf 'C:\\Game\\a.dat\n\nC:\\Game\\\x89\xb9\x90\xba.dat\n\n<END>\n\n\0\0\0\0' |
  "$suk" encode - "$WINEPREFIX/drive_c/Game/an/CP_Data.suk"
expected=$'C:\\Game\\a.dat\nC:\\Game\\音声.dat'

for place in 'C:\Game' 'c:/game/' 'C:\Game\an\CP_Data.suk' drive_c/Game "$WINEPREFIX/drive_c/Game"; do
  [ "$("$suk" log "$place")" = "$expected" ] || fail "log $place: $("$suk" log "$place" 2>&1)"
done

# A log without "<END>" is listed whole, with a warning.
printf 'C:\\Game\\a.dat\n\n' | "$suk" encode - "$WINEPREFIX/drive_c/Game/an/CP_Data.suk"
status=0
out="$("$suk" log 'C:\Game' 2>err)" || status=$?
[ "$status" = 1 ] && [ "$out" = 'C:\Game\a.dat' ] && grep -q "no <END>" err ||
  fail "log without <END>: status $status, $out, $(cat err)"

# No log there: status 2 and the place named.
status=0
"$suk" log 'C:\Other' 2>err || status=$?
[ "$status" = 2 ] && grep -qF 'no install log at C:\Other' err || fail "missing log: $status $(cat err)"
echo ok
