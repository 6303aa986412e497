#!/usr/bin/env bash
# suk lint: each trap of the definition format gives its diagnostic, a
# clean definition gives none, and the exit status tells errors (2) from
# warnings (1) from nothing found (0).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/suk_common.bash" "$1"
export WINEPREFIX="$work/prefix"
failures=0

# lint_case NAME STATUS PATTERN: the definition on standard input (LF line
# ends, stored with CR LF unless NAME starts with "raw-") must give exit
# STATUS and a diagnostic line containing PATTERN ("" for no output at all).
lint_case() {
  local name="$1" status="$2" pattern="$3"
  if [[ "$name" == raw-* ]]; then cat >"$name.txt"; else sed 's/$/\r/' >"$name.txt"; fi
  local got=0
  "$suk" lint "$name.txt" >"$name.out" 2>&1 || got=$?
  if [ "$got" != "$status" ]; then
    echo "FAIL $name: exit $got, expected $status"; cat "$name.out"; failures=$((failures + 1))
  elif [ -z "$pattern" ] && [ -s "$name.out" ]; then
    echo "FAIL $name: expected no diagnostics"; cat "$name.out"; failures=$((failures + 1))
  elif [ -n "$pattern" ] && ! grep -qF -- "$name.txt:$pattern" "$name.out"; then
    echo "FAIL $name: no '$pattern' in:"; cat "$name.out"; failures=$((failures + 1))
  fi
}

keys='TITOL=Sample Story
VERSION=1.03
VERSION_TXT=version.txt
DIR_REG=2SOFTWARE\SampleMaker\SampleStory-InstallDir'
copy='<COPY>
data\voice
voice01.dat=data\voice\voice01.dat
story.exe=story.exe
<COPY>'
reg='<REG>
2SOFTWARE\SampleMaker\SampleStory-Version=1.03
<REG>'

lint_case clean 0 "" <<<"$keys
$copy
$reg"

# Keys.
lint_case missing-key 2 "1:1: error: no TITOL= line" <<<"${keys#*$'\n'}
$copy"
lint_case empty-key 2 "2:1: error: VERSION= has an empty value" <<<"TITOL=Sample Story
VERSION=
VERSION_TXT=version.txt
DIR_REG=2SOFTWARE\SampleMaker\SampleStory-InstallDir"
lint_case key-text-first 2 "1:18: error: VERSION= occurs here, before its key line 3" <<<"2SOFTWARE\Sample-VERSION=1.00
$keys"
lint_case key-in-section 2 "2:1: error: the TITOL= line stands inside the <COPY> section" <<<"<COPY>
TITOL=Sample Story
<COPY>
${keys#*$'\n'}"
lint_case version-number 2 "2:9: error: the version \"1.3\" has no number starting at its fourth byte" \
  <<<"TITOL=Sample Story
VERSION=1.3
VERSION_TXT=version.txt
DIR_REG=2SOFTWARE\SampleMaker\SampleStory-InstallDir"
lint_case reference-without-dash 2 "4:9: error: the install directory reference" <<<"${keys%DIR_REG=*}DIR_REG=2SOFTWARE\Maker"

# Sections.
lint_case marker-before-opening 2 "1:14: error: <REG> occurs here, before its opening line 5" \
  <<<"TITOL=Sample <REG> Story
${keys#*$'\n'}
$reg"
lint_case bytes-after-marker 2 "5:7: error: bytes between <COPY> and its CR LF" <<<"$keys
<COPY> files
story.exe=story.exe
<COPY>"
lint_case no-closing-line 2 "5:1: error: the <REG> section has no closing <REG> line" <<<"$keys
<REG>
2SOFTWARE\SampleMaker\SampleStory-Version=1.03"
lint_case second-section 2 "9:1: error: a second <COPY> section is never read" <<<"$keys
<COPY>
story.exe=story.exe
<COPY>
save
<COPY>"

# Line ends and lengths.
lint_case raw-lf-only 2 "1:19: error: line ends with LF alone (3 more in this file)" <<<"$keys"
lint_case raw-cr-only 2 "1:19: error: line ends with CR alone" < <(printf '%s\r' "$keys" | tr '\n' '\r')
lint_case raw-last-line 1 "6:7: warning: the last line has no CR LF" < <(sed 's/$/\r/' <<<"$keys"
  printf '<COPY>\r\n<COPY>')
long="$(printf 'a%.0s' $(seq 600))"
lint_case long-line 2 "6:1: error: the line is 1205 bytes long" <<<"$keys
<COPY>
$long.dat=$long
<COPY>"

# <COPY> lines.
lint_case two-equals 2 "6:4: error: a second \"=\": the tool drops everything from here on (\"c\")" \
  <<<"$keys
<COPY>
a=b=c
<COPY>"
lint_case empty-source 2 "6:1: error: no source before \"=\"" <<<"$keys
<COPY>
=story.exe
<COPY>"
lint_case copy-before-folder 1 "6:1: warning: copies into \"data\\voice\", which line 7 creates only afterwards" \
  <<<"$keys
<COPY>
voice01.dat=data\voice\voice01.dat
data\voice
<COPY>"
lint_case folder-before-parent 1 "6:1: warning: the parent folder \"save\" is created only afterwards, by line 7" \
  <<<"$keys
<COPY>
save\slot1
SAVE\\
<COPY>"

# <REG> lines.
lint_case reg-without-dash 2 "6:1: error: no \"-\" between the subkey and the value name" <<<"$keys
<REG>
2SOFTWARE\SampleMaker=1.03
<REG>"
lint_case reg-without-equals 2 "6:1: error: no \"=\" after the value name" <<<"$keys
<REG>
2SOFTWARE\SampleMaker-Version
<REG>"
lint_case reg-root-digit 2 "6:1: error: the root digit \"7\" is not \"0\" to \"6\"" <<<"$keys
<REG>
7SOFTWARE\SampleMaker-Version=1.03
<REG>"
lint_case lower-case-macros 1 "6:28: warning: \"%dir\" is not expanded" <<<"$keys
<REG>
1Software\SampleMaker-Path=%dir\saves %CD
<REG>"

# A scrambled definition is read as the tool reads it.
sed 's/$/\r/' <<<"$keys
$copy
$reg" >clean.plain
"$suk" encode clean.plain clean.suk
"$suk" lint clean.suk >clean.out || { echo "FAIL scrambled clean: $(cat clean.out)"; failures=$((failures + 1)); }
sed 's/$/\r/' <<<"${keys#*$'\n'}" | "$suk" encode - empty.suk
"$suk" lint empty.suk >empty.out || true
grep -qF "empty.suk:1:1: error: no TITOL= line" empty.out ||
  { echo "FAIL scrambled: no diagnostic"; failures=$((failures + 1)); }

[ "$failures" = 0 ] || { echo "$failures failures"; exit 1; }
echo ok
