#!/usr/bin/env bash
# suk plan against the run: every verdict the plan gives (folders, copies,
# registry values, the install log) is what pache then does, and a second
# plan after the run sees the product up to date.
set -euo pipefail
# Runs once the host registry reads and writes hive files; until then every
# run is refused at the registry value, and there is nothing to compare.
if grep -q '^// Placeholder' "$(dirname "${BASH_SOURCE[0]}")/../../platform/host/host_registry.cpp"; then
  echo "skipped: the host registry is a placeholder"
  exit 0
fi
source "$(dirname "${BASH_SOURCE[0]}")/suk_common.bash" "$1"
export HOME="$work/home" XDG_RUNTIME_DIR="$work/run"
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"

export WINEPREFIX="$work/prefix"
install="$WINEPREFIX/drive_c/Game"
mkdir -p "$WINEPREFIX/dosdevices" "$install/an" "$install/data"
ln -s ../drive_c "$WINEPREFIX/dosdevices/c:"
printf 'Sample\r\n1.02\r\n' >"$install/version.txt"
echo "old program" >"$install/story.exe"
chmod a-w "$install/story.exe"
printf 'C:\\Game\\story.exe\n\n<END>\n\n\0\0' | "$suk" encode - "$install/an/CP_Data.suk"
cat >"$WINEPREFIX/system.reg" <<'EOF'
WINE REGISTRY Version 2
;; All keys relative to \\Machine

#arch=win32

[Software\\Maker\\Game] 1765400000
"InstallDir"="C:\\Game"
"Version"="1.02"
EOF

patch="$work/patch"
mkdir -p "$patch"
echo "voice" >"$patch/voice01.dat"
echo "new program" >"$patch/story.exe"
echo "read me" >"$patch/readme.txt"
printf 'Sample\r\n1.03\r\n' >"$patch/version.txt"
"$suk" build - "$patch/PACH.suk" <<'EOF'
TITOL=Sample
VERSION=1.03
VERSION_TXT=version.txt
DIR_REG=2SOFTWARE\Maker\Game-InstallDir
<COPY>
data\voice
voice01.dat=data\voice\voice01.dat
missing.dat=missing.dat
story.exe=story.exe
readme.txt=docs\readme.txt
extra\deep
data
=nothing.dat
version.txt=version.txt
<COPY>
<REG>
2SOFTWARE\Maker\Game-Version=1.03
2SOFTWARE\Maker\Game-Missing=x
2SOFTWARE\Maker\Game-InstallDir
<REG>
EOF

status=0
(cd "$patch" && "$suk" plan) >plan.txt 2>plan.err || status=$?
[ "$status" = 1 ] || fail "plan exited $status (some lines fail): $(cat plan.txt plan.err)"
cat plan.txt
expect() { grep -qxF -- "$1" plan.txt || fail "plan lacks: $1"; }
expect 'check: passes (Sample 1.02 -> 1.03, installed in C:\Game\)'
expect 'folder C:\Game\data\voice: created'
expect 'folder C:\Game\extra\deep: not created (its parent folder is missing)'
expect 'folder C:\Game\data: exists already'
expect 'registry 2SOFTWARE\Maker\Game-Version=1.03: rewritten with "1.03"'
expect 'registry 2SOFTWARE\Maker\Game-Missing=x: skipped (no such value, or the key cannot be opened with full access)'
expect 'registry 2SOFTWARE\Maker\Game-InstallDir: skipped (no "=" after the value name)'

host_path() { local path="${1#C:\\Game}"; printf '%s%s' "$install" "${path//\\//}"; }

(cd "$patch" && PACHE_UI=headless PACHE_MENU=start "$build/pache") >run.txt 2>run.err ||
  fail "pache exited $?"

# Folders.
while IFS= read -r line; do
  folder="${line#folder }"; folder="${folder%%: *}"
  case "$line" in
    *": created" | *": exists already") [ -d "$(host_path "$folder")" ] || fail "$line, but no folder" ;;
    *) [ ! -e "$(host_path "$folder")" ] || fail "$line, but the folder is there" ;;
  esac
done < <(grep '^folder ' plan.txt)

# Copies: each "copied" target holds its source, each failure was one
# failure message of the run, and the new log entries are the copied targets.
copied=()
while IFS= read -r line; do
  pair="${line#copy }"; pair="${pair%%: *}"
  source="${pair%% -> *}"; target="${pair##* -> }"
  name="${source##*\\}"
  case "$line" in
    *": copied")
      cmp -s "$patch/$name" "$(host_path "$target")" || fail "$line, but the target differs"
      copied+=("$target") ;;
    *": fails "*)
      grep -qF "$target にコピー出来ません" run.txt || fail "$line, but no failure message" ;;
  esac
done < <(grep '^copy ' plan.txt)
[ "$(grep -c '^\[失敗\]' run.txt)" = "$(grep -c '^copy .*: fails' plan.txt)" ] ||
  fail "failure messages: $(cat run.txt)"
expect "log C:\\Game\\an\\CP_Data.suk: ${#copied[@]} entries appended"
[ "$("$suk" log 'C:\Game')" = "$(printf '%s\n' 'C:\Game\story.exe' "${copied[@]}")" ] ||
  fail "install log: $("$suk" log 'C:\Game')"
# Without a path, suk log finds the log through the patch definition.
[ "$(cd "$patch" && "$suk" log)" = "$("$suk" log 'C:\Game')" ] || fail "suk log in the patch folder"

# Registry values.
grep -qxF '"Version"="1.03"' "$WINEPREFIX/system.reg" || fail "Version not rewritten"
! grep -qF '"Missing"' "$WINEPREFIX/system.reg" || fail "Missing was created"

# Now the product is at the patch's version.
status=0
(cd "$patch" && "$suk" plan) >again.txt || status=$?
[ "$status" = 2 ] && grep -q '^check: refused \[' again.txt || fail "second plan: $(cat again.txt)"
echo ok
