#!/usr/bin/env bash
# vortan-codec sound tonalwave-layout: the frame figures of AC8 and AC24, a code of a set without band edges, and
# refused codes. Called with the tool's path and the source folder.
set -euo pipefail
tool="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/../../../testsupport/tools/run_tool.sh"

expect_done sound tonalwave-layout ac8 > "$work/ac8.txt"
grep -q '^configuration 0x18080: set 8kHz-8kbps, C 1, N 512, S 64, M 256$' "$work/ac8.txt" || fail "ac8 head: $(cat "$work/ac8.txt")"
grep -q '^frame budget F 512, ' "$work/ac8.txt" || fail "ac8 budget"
grep -q '^long: V 422, n 31 (19 of 14 bits, 12 of 13, 0 other), D 17, ' "$work/ac8.txt" || fail "ac8 long"
grep -q '^medium: V 451, n 33 .* D 16, ' "$work/ac8.txt" || fail "ac8 medium"
grep -q '^short: V 397, n 29 .* D 18, ' "$work/ac8.txt" || fail "ac8 short"
grep -q 'bits per frame 512$' "$work/ac8.txt" || fail "ac8 bits"

expect_done sound tonalwave-layout ac24 > "$work/ac24.txt"
grep -q '^frame budget F 1114, ' "$work/ac24.txt" || fail "ac24 budget"
grep -q '^pad fields 2 0, bits per frame 1116$' "$work/ac24.txt" || fail "ac24 pad: $(cat "$work/ac24.txt")"
grep -q '^long: .* 1116 bits$' "$work/ac24.txt" || fail "ac24 long frame"

expect_done sound tonalwave-layout 0x32224 > "$work/acs48.txt"
grep -q 'bits per frame 2232$' "$work/acs48.txt" || fail "acs48 bits"
expect_done sound tonalwave-layout 0x12232 > "$work/ac24b.txt"
diff <(tail -n +2 "$work/ac24.txt") <(tail -n +2 "$work/ac24b.txt") > /dev/null || fail "0x12232 differs from ac24"
expect_done sound tonalwave-layout 0x11616 > "$work/16k.txt"
grep -q 'no band edges' "$work/16k.txt" || fail "the 16-kHz set is not marked undecodable"

expect_refused sound tonalwave-layout 0x28080
expect_message 'configuration code 0x28080 is refused: the channel digit must be 1 \(mono\) or 3 \(stereo\)'
expect_refused sound tonalwave-layout 0x18081
expect_message 'configuration code 0x18081 is refused: no parameter set has this sample-rate and bit-rate pair'
expect_usage sound tonalwave-layout ac9
expect_message 'MODEL must be ac8, ac10, acs20, ac24, acs48'
echo "tonalwave-layout: ok"
