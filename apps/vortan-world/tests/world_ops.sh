#!/usr/bin/env bash
# vortan-world ops: every edge case the operator and comparison lists name, and refusals of bad literals.
set -euo pipefail
tool=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/lib/run_tool.sh"

# left op right | expected result line | expected comparison code
check() {
    expect_exit 0 ops $1 "$2" $3
    grep -Eqx -- "result $4" "$tool_out" || { cat "$tool_out" >&2; fail "ops $1 $2 $3: expected 'result $4'"; }
    grep -qx -- "compare $5" "$tool_out" || { cat "$tool_out" >&2; fail "ops $1 $2 $3: expected 'compare $5'"; }
}

check s:abc + i:12 "string abc12" 6
check s:abc - i:12 "string abc" 6
check i:7 / i:2 "integer 3" 6
check i:-7 / i:2 "integer -3" 10
check i:7 / i:0 "integer 0" 6
check i:7 / f:2.0 "float 3.5000" 6
check b:1 - b:1 "boolean 0" 1
check b:1 - b:0 "boolean 1" 2
check b:0 + b:1 "boolean 1" 2
check v:1,0,-1 / i:0 "vector inf,-?nan,-inf" 6
check v:3,4,0 + v:0,0,5 "vector 3.0000,4.0000,5.0000" 1
check s:a + s:b "string ab" 10
check i:-2147483648 / i:-1 "integer -2147483648" 10
check i:2147483647 + i:1 "integer -2147483648" 6
check v:1,2,3 x v:4,5,6 "vector 32.0000,0.0000,0.0000" 10
check q:0,0,1,0 x q:0,0,1,0 "quaternion 0.0000,0.0000,0.0000,-1.0000" 1
check m:1,0,0,10,0,1,0,20,0,0,1,30,0,0,0,1 x v:1,2,3 "vector 11.0000,22.0000,33.0000" 2
check i:3 + v:1,2,3 "vector 4.0000,5.0000,6.0000" 6
check f:1.5 - v:4,0,0 "float 2.5000" 10
check f:nan + f:1 "float -?nan" 10

expect_exit 2 ops i:1 % i:2
expect_exit 2 ops z:1 + i:2
expect_exit 2 ops i:1 +
# An integer literal past 32 bits used to be truncated without a word.
expect_exit 2 ops i:99999999999999 + i:1
grep -qx 'vortan-world: ops: "i:99999999999999" is no integer: i: takes a whole number from -2147483648 to 2147483647' \
    "$tool_err" || fail "out-of-range literal: $(cat "$tool_err")"
expect_exit 2 ops i:1 + i:1.5
echo "ops: ok"
