# Sourced by the scenario scripts: runs `vortan-trace run NAME` and compares its output with golden/NAME.txt.
# A sanitizer report fails the test whatever the output; VORTAN_UPDATE_GOLDEN=1 rewrites the golden file instead.
set -euo pipefail

readonly exit_sanitizer=86
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}exitcode=$exit_sanitizer:abort_on_error=0"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:+$UBSAN_OPTIONS:}halt_on_error=1:exitcode=$exit_sanitizer:print_stacktrace=1"
# Leaks inside system libraries are the one shared file's to suppress.
lsan_suppressions="$(cd "$(dirname "${BASH_SOURCE[0]}")/../../../.." && pwd)/scripts/lsan.supp"
export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}exitcode=$exit_sanitizer:suppressions=$lsan_suppressions"

fail() { echo "FAIL: $*" >&2; exit 1; }

# check_scenario TOOL SOURCE_DIR NAME
check_scenario() {
    local tool=$1 source=$2 name=$3
    local golden="$source/apps/vortan-trace/tests/golden/$name.txt"
    trace_work=$(mktemp -d)
    trap 'rm -rf "$trace_work"' EXIT
    local work=$trace_work
    local status=0
    "$tool" run "$name" > "$work/out.txt" 2> "$work/err.txt" || status=$?
    if [ "$status" -eq "$exit_sanitizer" ] ||
        grep -Eq 'ERROR: (Address|Leak|Memory|Thread)Sanitizer|runtime error:' "$work/err.txt"; then
        cat "$work/err.txt" >&2
        fail "sanitizer report (exit $status) from: vortan-trace run $name"
    fi
    [ "$status" -eq 0 ] || { cat "$work/err.txt" >&2; fail "exit $status from: vortan-trace run $name"; }
    [ -s "$work/err.txt" ] && { cat "$work/err.txt" >&2; fail "unexpected stderr from: vortan-trace run $name"; }
    if [ "${VORTAN_UPDATE_GOLDEN:-}" = 1 ]; then
        cp "$work/out.txt" "$golden"
        echo "updated $golden"
        return
    fi
    [ -f "$golden" ] || fail "no golden file $golden (VORTAN_UPDATE_GOLDEN=1 writes it)"
    diff -u "$golden" "$work/out.txt" >&2 || fail "vortan-trace run $name differs from $golden"
}
