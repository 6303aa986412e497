#!/usr/bin/env bash
# Sets up the machine, builds, and applies the demo patch (demo/) to a
# sample product installed in a Wine prefix of its own, build/demo/prefix:
# the product's files, version file, install log and registry value. Then
# shows the plan, runs pache in the patch folder (headless, answering the
# menu with "start", unless a display is there) and shows the install log
# and the registry value it left.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -G Ninja
cmake --build build

root="$PWD"
suk="$root/build/suk"
demo="$root/build/demo"
rm -rf "$demo"
export WINEPREFIX="$demo/prefix"
install="$WINEPREFIX/drive_c/Program Files/SampleStory"
patch="$demo/patch"
step() { printf '\n== %s\n' "$*"; }

# Text files of the product are code page 932 with CR LF line ends.
to_cp932() { sed 's/\r$//; s/$/\r/' "$1" | iconv -f UTF-8 -t CP932; }

step "The product, installed in $WINEPREFIX"
mkdir -p "$WINEPREFIX/dosdevices" "$install/an"
ln -s ../drive_c "$WINEPREFIX/dosdevices/c:"
ln -s / "$WINEPREFIX/dosdevices/z:"
cp -R demo/product/. "$install/"
to_cp932 demo/product/version.txt >"$install/version.txt"
{
  for file in story.exe 'data\scenario.dat' version.txt; do
    printf 'C:\\Program Files\\SampleStory\\%s\n\n' "$file"
  done
  printf '<END>\n\n'
} | "$suk" encode - "$install/an/CP_Data.suk"
cat >"$WINEPREFIX/system.reg" <<'EOF'
WINE REGISTRY Version 2
;; All keys relative to \\Machine

#arch=win32

[Software\\SampleMaker\\SampleStory] 1765400000
"InstallDir"="C:\\Program Files\\SampleStory"
"Version"="1.02"
EOF
for hive in user.reg userdef.reg; do
  printf 'WINE REGISTRY Version 2\n;; All keys relative to \\\\User\n\n#arch=win32\n' \
    >"$WINEPREFIX/$hive"
done
find "$install" -type f | sed "s|^$WINEPREFIX/||" | sort

step "The patch: suk build demo/patch/PACH.txt, then suk lint"
mkdir -p "$patch"
"$suk" build demo/patch/PACH.txt "$patch/PACH.suk"
cp demo/patch/files/* "$patch/"
to_cp932 demo/patch/files/version.txt >"$patch/version.txt"
"$suk" lint "$patch/PACH.suk" && echo "no findings"

step "suk plan: what pache will do"
(cd "$patch" && "$suk" plan) || true

step "pache, started in the patch folder"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -z "${PACHE_UI:-}" ]; then
  (cd "$patch" && "$root/build/pache")
else
  (cd "$patch" && PACHE_UI=headless PACHE_MENU=start "$root/build/pache")
fi

step "suk log: the install log now"
"$suk" log 'C:\Program Files\SampleStory'

step "The registry value the patch rewrote"
sed -n '/^\[Software\\\\SampleMaker\\\\SampleStory\]/,/^$/p' "$WINEPREFIX/system.reg" |
  grep -F '"Version"'

step "suk plan again: the product is up to date"
(cd "$patch" && "$suk" plan) || true
