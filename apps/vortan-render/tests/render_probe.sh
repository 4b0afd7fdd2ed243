#!/usr/bin/env bash
# vortan-render probe on scripted processors: features, the "Viewer" values, the angle table, no Direct3D 8.
set -euo pipefail
tool="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/../../../testsupport/tools/run_tool.sh"

angles='^angle-table 0=1 1=3 8191=21844 16382=65075 16383=65532 sum=[0-9]+ never-decreases$'

expect_done probe --cpu other-vendor > "$work/other.txt"
grep -q '^cpu=other-vendor init=ok probed mmx=0 sse=0 sse2=0$' "$work/other.txt" || fail "other vendor probe"
[ "$(grep -c '^profile=.* active mmx=0 sse=0 sse2=0 ' "$work/other.txt")" -eq 4 ] || fail "other vendor: a feature"
grep -Eq "$angles" "$work/other.txt" || fail "angle table: $(grep angle "$work/other.txt")"
grep -q '^direct3d8=unbound$' "$work/other.txt" || fail "a Direct3D 8 entry without a runtime"

expect_done probe --cpu all > "$work/all.txt"
grep -q '^profile=1 wanted mmx=1 sse=1 sse2=1 active mmx=1 sse=1 sse2=1 stored MMX=1 SSE=1 SSE2=1$' "$work/all.txt" ||
    fail "profile 1"
grep -q '^profile=2 wanted mmx=0 sse=0 sse2=0 active mmx=0 sse=0 sse2=0 stored MMX=2 SSE=2 SSE2=2$' "$work/all.txt" ||
    fail "profile 2 does not turn the features off"
grep -q '^profile=missing wanted mmx=1 sse=1 sse2=1 active mmx=1 sse=1 sse2=1 stored MMX=1 SSE=1 SSE2=1$' \
    "$work/all.txt" || fail "a missing value is not written back as 1"

expect_done probe --cpu sse2-only > "$work/sse2.txt"
grep -q '^cpu=sse2-only init=ok probed mmx=1 sse=0 sse2=0$' "$work/sse2.txt" || fail "SSE2 without SSE"
expect_done probe --cpu no-em > "$work/noem.txt"
grep -q 'probed mmx=1 sse=0 sse2=0$' "$work/noem.txt" || fail "EM bit set"
expect_done probe > "$work/real.txt" # the host: whatever it has, the same shape
grep -Eq "$angles" "$work/real.txt" || fail "real processor run"

expect_usage probe --cpu pentium
expect_message '--cpu must be real, all, nosse2, sse2-only, no-em, other-vendor or no-cpuid, not "pentium"'
expect_usage probe --fast
expect_message 'unknown argument "--fast"'
echo "ok"
