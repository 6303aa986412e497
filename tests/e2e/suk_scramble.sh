#!/usr/bin/env bash
# suk encode and decode: the stored bytes are the complements, any file
# comes back byte for byte, and failures say why with a non-zero status.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/suk_common.bash" "$1"

# The example bytes: "TITOL=" and CR LF.
printf 'TITOL=\r\n' >plain
"$suk" encode plain stored
[ "$(od -An -tx1 stored | tr -d ' \n')" = "abb6abb0b3c2f2f5" ] || fail "encoded bytes"

# Round trips: every byte value, an empty file, random bytes, through files
# and through standard input and output.
for i in $(seq 0 255); do printf "\\$(printf %03o "$i")"; done >all-bytes
: >empty
head -c 200000 /dev/urandom >random
for file in plain all-bytes empty random; do
  "$suk" encode "$file" "$file.suk"
  "$suk" decode "$file.suk" "$file.back"
  cmp "$file" "$file.back" || fail "round trip of $file"
  [ "$(stat -c %s "$file.suk")" = "$(stat -c %s "$file")" ] || fail "size of $file.suk"
  "$suk" encode - - <"$file" | "$suk" decode - - | cmp - "$file" || fail "pipe round trip of $file"
done
cmp all-bytes all-bytes.suk >/dev/null && fail "encoding changed nothing"

# In place: the output may be the input.
cp random same
"$suk" encode same same
"$suk" decode same same
cmp same random || fail "in-place round trip"

# Failures: a message naming the problem and status 2; an existing output
# is left as it was.
expect_failure() {
  local pattern="$1"; shift
  local status=0
  "$@" >out 2>err || status=$?
  [ "$status" = 2 ] || fail "$* exited $status"
  grep -q -- "$pattern" err || fail "$*: no '$pattern' in: $(cat err)"
}
echo keep >kept
expect_failure "cannot open missing" "$suk" encode missing kept
[ "$(cat kept)" = keep ] || fail "output touched by a failed encode"
expect_failure "cannot write no-such-dir/out" "$suk" decode plain no-such-dir/out
expect_failure "encode takes IN and OUT" "$suk" encode plain
expect_failure "unknown command 'scramble'" "$suk" scramble plain out
expect_failure "no command" "$suk"
[ -z "$(ls -A | grep -v -x -e plain -e stored -e all-bytes -e empty -e random -e same -e kept \
  -e out -e err -e '.*\.suk' -e '.*\.back')" ] || fail "temporary files left: $(ls -A)"

"$suk" --help | grep -q "Exit status" || fail "--help"
echo ok
