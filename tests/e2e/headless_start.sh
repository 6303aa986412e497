#!/usr/bin/env bash
# build/pache without a display, in a patch folder on a temporary prefix:
# its refusals as printed lines, the exit code, a second copy, and a prefix
# whose drives it cannot see.
set -euo pipefail
pache="$(cd "$1" && pwd)/pache"
suk="$(cd "$1" && pwd)/suk"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

prefix="$work/prefix"
mkdir -p "$prefix/drive_c/Patch" "$prefix/dosdevices" "$work/run"
ln -s ../drive_c "$prefix/dosdevices/c:"
ln -s / "$prefix/dosdevices/z:"
export WINEPREFIX="$prefix" XDG_RUNTIME_DIR="$work/run" PACHE_UI=headless PACHE_MENU=start
unset PACHE_ACP

run() {  # runs pache in the folder $1; its output lands in $work/out and $work/err
  (cd "$1" && timeout 20 "$pache" >"$work/out" 2>"$work/err" </dev/null) || fail "exit code $? in $1"
}

# No patch definition: one box, in UTF-8, nothing on standard error.
run "$prefix/drive_c/Patch"
printf '[！警告！] PACH.sukが同じディレクトリに見つかりません\n' | cmp - "$work/out" ||
  fail "missing definition: $(cat "$work/out")"
[ ! -s "$work/err" ] || fail "unexpected standard error: $(cat "$work/err")"

# A definition whose registry value names nothing installed: the box keeps
# its line feed.
printf 'TITOL=Sample\r\nVERSION=1.02\r\nDIR_REG=2SOFTWARE\\Sample\\Game-InstallDir\r\nVERSION_TXT=ver.txt\r\n' >"$work/def"
"$suk" encode "$work/def" "$prefix/drive_c/Patch/PACH.suk"
run "$prefix/drive_c/Patch"
printf '[お願い] インストールされていないか、レジストリに登録されておりません\nインストールし直してから、もう一度実行してください。\n' |
  cmp - "$work/out" || fail "not installed: $(cat "$work/out")"

# The definition is found by its name in any case, also from outside every
# drive but Z:.
mkdir -p "$work/outside"
"$suk" encode "$work/def" "$work/outside/pach.SUK"
run "$work/outside"
grep -q '^\[お願い\]' "$work/out" || fail "outside the drives: $(cat "$work/out")"

# Nothing was left behind in the patch folder.
[ "$(ls -A "$prefix/drive_c/Patch")" = "PACH.suk" ] || fail "patch folder: $(ls -A "$prefix/drive_c/Patch")"

# Output that nobody reads any more does not end the run with a signal.
status=0
(cd "$prefix/drive_c/Patch" && { sleep 0.3; "$pache" 2>/dev/null; } | true; exit "${PIPESTATUS[0]}") ||
  status=$?
[ "$status" = 0 ] || fail "closed output: exit code $status"

# A second copy, while another holds the instance lock, ends at once with
# exit code 0 and shows nothing.
exec 9>"$work/run/pache.lock"
flock -n 9 || fail "could not take the lock"
run "$prefix/drive_c/Patch"
[ ! -s "$work/out" ] && [ ! -s "$work/err" ] || fail "second copy printed: $(cat "$work/out" "$work/err")"
exec 9>&-

echo "ok"
