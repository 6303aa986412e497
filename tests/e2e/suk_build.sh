#!/usr/bin/env bash
# suk build: UTF-8 text with any line ends becomes a scrambled code page 932
# definition with CR LF after every line; suk decode --utf8 gives it back.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/suk_common.bash" "$1"

# LF line ends and Japanese text round-trip, with CR LF added.
printf 'TITOL=サンプル物語\nVERSION=1.03\n<COPY>\nデータ\\音声\n<COPY>\n' >source.txt
"$suk" build source.txt PACH.suk
"$suk" decode --utf8 PACH.suk back.txt
cmp back.txt <(sed 's/$/\r/' source.txt) || fail "round trip through decode --utf8"
# Stored: code page 932 ("サ" is 83 54), every byte inverted.
"$suk" decode PACH.suk plain.bin
head -c 8 plain.bin | od -An -tx1 | tr -d ' \n' | grep -qx "5449544f4c3d8354" || fail "code page 932 bytes"
[ "$(head -c 2 PACH.suk | od -An -tx1 | tr -d ' \n')" = "abb6" ] || fail "scrambled bytes"

# Any line ends, a byte-order mark, and a last line without its end.
printf '\xef\xbb\xbfa\r\nb\nc\rd\r\re' | "$suk" build - - | "$suk" decode - mixed.bin
[ "$(od -An -c mixed.bin | tr -s ' \n' ' ')" = " a \r \n b \r \n c \r \n d \r \n \r \n e \r \n " ] ||
  fail "line ends: $(od -An -c mixed.bin)"
: | "$suk" build - empty.suk
[ ! -s empty.suk ] || fail "an empty text gives an empty definition"

# A character code page 932 cannot hold is an error naming line and column;
# nothing is written.
printf 'TITOL=ok\nVERSION=1😀3\n' >bad.txt
echo keep >out.suk
status=0
"$suk" build bad.txt out.suk 2>err || status=$?
[ "$status" = 2 ] || fail "build of bad text exited $status"
grep -qF 'bad.txt:2:10: error: character U+1F600 "😀" has no code page 932 form' err ||
  fail "no position in: $(cat err)"
[ "$(cat out.suk)" = keep ] || fail "output written despite the error"

# decode --utf8 of bytes that are no code page 932 text: written as "?",
# with a warning and status 1.
printf 'ok\x80\r\n' | "$suk" encode - odd.suk
status=0
"$suk" decode --utf8 odd.suk odd.txt 2>err || status=$?
[ "$status" = 1 ] && grep -q "warning" err && [ "$(head -c 3 odd.txt)" = "ok?" ] ||
  fail "decode --utf8 of odd bytes: status $status, $(cat err)"
echo ok
