#!/usr/bin/env bash
# build/pache with its GTK window system on a virtual display, driven as a
# person would with the mouse: the patch menu is shown (and saved as
# BUILD_DIR/menu.png), "更新開始" applies the patch and the completion
# message is confirmed; in a second run "終了" changes nothing.
set -euo pipefail
build="$(cd "$1" && pwd)"
pache="$build/pache"
suk="$build/suk"
work="$(mktemp -d)"
xvfb=""
cleanup() {
  [ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; [ ! -s "$work/err" ] || sed 's/^/  pache: /' "$work/err" >&2; exit 1; }

grep -qa gtk_init_check "$pache" || { echo "SKIP: pache is built without GTK"; exit 0; }
for tool in Xvfb xdotool import; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is missing (scripts/setup.sh installs it)"; exit 0; }
done

# A display of our own, on a free number.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start"
export DISPLAY=":$(head -n1 "$work/display")"
unset WAYLAND_DISPLAY PACHE_MENU PACHE_ACP
# A UTF-8 locale, so that the windows carry their Japanese titles for
# xdotool to find.
export LC_ALL=C.UTF-8
export WINEPREFIX="$work/prefix" PACHE_UI=gtk XDG_RUNTIME_DIR="$work/run" GSETTINGS_BACKEND=memory \
  NO_AT_BRIDGE=1
mkdir -p "$work/run"

# The product "Sample Story" 1.02, installed in C:\Games\SampleStory of a
# fresh prefix, and the patch to 1.03 in C:\Patch.
make_prefix() {
  prefix="$WINEPREFIX"
  rm -rf "$prefix"
  game="$prefix/drive_c/Games/SampleStory"
  patch="$prefix/drive_c/Patch"
  mkdir -p "$prefix/dosdevices" "$game/data" "$game/an" "$patch"
  ln -s ../drive_c "$prefix/dosdevices/c:"
  ln -s / "$prefix/dosdevices/z:"
  cat >"$prefix/system.reg" <<'EOF'
WINE REGISTRY Version 2
;; All keys relative to \\Machine

#arch=win32

[Software\\SampleMaker\\SampleStory] 1714564800
#time=1da9bbf17cd3687
"InstallDir"="C:\\Games\\SampleStory"
"Version"="1.02"
EOF
  printf 'Sample Story\r\n1.02\r\n' >"$game/version.txt"
  printf 'old story\n' >"$game/story.exe"
  { printf 'C:\\Games\\SampleStory\\story.exe\n\n<END>\n\n'; head -c 249 /dev/zero; } >"$work/log"
  "$suk" encode "$work/log" "$game/an/CP_Data.suk"
  printf '%s\r\n' 'TITOL=Sample Story' 'VERSION=1.03' 'VERSION_TXT=version.txt' \
    'DIR_REG=2SOFTWARE\SampleMaker\SampleStory-InstallDir' '<COPY>' 'data\voice' \
    'voice01.dat=data\voice\voice01.dat' 'story.exe=story.exe' '<COPY>' '<REG>' \
    '2SOFTWARE\SampleMaker\SampleStory-Version=1.03' '<REG>' >"$work/definition"
  "$suk" encode "$work/definition" "$patch/PACH.suk"
  printf 'voice one\n' >"$patch/voice01.dat"
  printf 'new story\n' >"$patch/story.exe"
}

# Everything in the prefix, content and names, as one fingerprint.
fingerprint() {
  (cd "$prefix" && find . -path ./dosdevices -prune -o -type f -print0 | sort -z |
    xargs -0 sha1sum)
}

# The visible top-level window with this exact title and more than a pixel
# in size (the main window shares the menu's title but is one pixel).
wait_for_window() {
  local title="$1" id size
  for _ in $(seq 200); do
    for id in $(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null); do
      size="$(xdotool getwindowgeometry "$id" | sed -n 's/.*Geometry: //p')"
      if [ "${size%x*}" -gt 1 ]; then
        echo "$id"
        return 0
      fi
    done
    sleep 0.1
  done
  return 1
}

# Clicks the point (x, y) of a window's client area, given from the client
# area's bottom-left corner: the window's frame is as wide at the left, the
# right and the bottom.
click_in_client() {
  local id="$1" client_width="$2" x="$3" from_bottom="$4" width height border
  eval "$(xdotool getwindowgeometry --shell "$id")"
  width=$WIDTH height=$HEIGHT
  border=$(((width - client_width) / 2))
  xdotool mousemove --window "$id" $((border + x)) $((height - border - from_bottom)) click 1
}

start_pache() {
  (cd "$patch" && exec timeout 60 "$pache" >"$work/out" 2>"$work/err" </dev/null) &
  pache_pid=$!
}

wait_for_exit() {
  local status=0
  wait "$pache_pid" || status=$?
  [ "$status" = 0 ] || fail "pache exited with $status"
}

# The menu's client area is 235 x 161 dialog units; the stand-in Gothic
# font at 9 points has base units of 7 x 12 pixels: 411 x 242 pixels. The
# buttons' centres lie 24 pixels above its bottom, at x 119 and 285.
menu_width=411

# ------------------------------------------------------ "更新開始" applies it
make_prefix
start_pache
menu="$(wait_for_window 'パッチメニュー')" || fail "no menu appeared"
sleep 0.5  # let it draw
import -window "$menu" "$build/menu.png" || fail "no screenshot"
eval "$(xdotool getwindowgeometry --shell "$menu")"
[ "$WIDTH" -ge "$menu_width" ] && [ "$WIDTH" -lt $((menu_width + 40)) ] ||
  fail "menu is $WIDTH pixels wide"
click_in_client "$menu" "$menu_width" 119 24

box="$(wait_for_window 'お待たせ致しました！')" || fail "no completion message"
xdotool windowfocus --sync "$box" key Return
wait_for_exit
[ ! -s "$work/out" ] || fail "printed: $(cat "$work/out")"

cmp -s "$game/data/voice/voice01.dat" "$patch/voice01.dat" || fail "voice01.dat not copied"
cmp -s "$game/story.exe" "$patch/story.exe" || fail "story.exe not replaced"
grep -qx '"Version"="1.03"' "$prefix/system.reg" || fail "registry: $(grep Version "$prefix/system.reg")"
grep -qx '"InstallDir"="C:\\\\Games\\\\SampleStory"' "$prefix/system.reg" || fail "InstallDir changed"
"$suk" decode "$game/an/CP_Data.suk" "$work/newlog"
printf 'C:\\Games\\SampleStory\\story.exe\n\nC:\\Games\\SampleStory\\data\\voice\\voice01.dat\n\nC:\\Games\\SampleStory\\story.exe\n\n<END>\n\n' |
  cmp -s - <(tr -d '\0' <"$work/newlog") || fail "install log: $(tr -d '\0' <"$work/newlog")"

# ------------------------------------------------------ "終了" changes nothing
make_prefix
before="$(fingerprint)"
start_pache
menu="$(wait_for_window 'パッチメニュー')" || fail "no menu appeared the second time"
click_in_client "$menu" "$menu_width" 285 24
wait_for_exit
[ "$(fingerprint)" = "$before" ] || fail "quit changed the prefix"
[ ! -s "$work/out" ] || fail "printed: $(cat "$work/out")"

echo "ok"
