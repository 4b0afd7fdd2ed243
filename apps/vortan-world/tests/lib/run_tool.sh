# Sourced by the vortan-world test scripts after they set `tool` and `work`. A sanitizer report never passes: the
# sanitizers exit with a code of their own and every run's stderr is searched for a report.
readonly exit_sanitizer=86

export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}exitcode=$exit_sanitizer:abort_on_error=0"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:+$UBSAN_OPTIONS:}halt_on_error=1:exitcode=$exit_sanitizer:print_stacktrace=1"
# Leaks inside system libraries are the one shared file's to suppress.
lsan_suppressions="$(cd "$(dirname "${BASH_SOURCE[0]}")/../../../.." && pwd)/scripts/lsan.supp"
export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}exitcode=$exit_sanitizer:suppressions=$lsan_suppressions"

tool_err="$work/tool.err"
tool_out="$work/tool.out"

fail() { echo "FAIL: $*" >&2; exit 1; }

# Runs the tool; its stdout lands in $tool_out. Fails on a sanitizer report or an exit other than the one wanted.
expect_exit() {
    local want=$1
    shift
    local status=0
    "$tool" "$@" > "$tool_out" 2> "$tool_err" || status=$?
    if [ "$status" -eq "$exit_sanitizer" ] || grep -Eq 'ERROR: (Address|Leak|Memory|Thread)Sanitizer|runtime error:' "$tool_err"; then
        cat "$tool_err" >&2
        fail "sanitizer report (exit $status) from: vortan-world $*"
    fi
    [ "$status" -eq "$want" ] || { cat "$tool_err" >&2; fail "exit $status, expected $want, from: vortan-world $*"; }
}

# The output holds a line matching the extended regular expression.
expect_line() {
    grep -Eq -- "$1" "$tool_out" || { cat "$tool_out" >&2; fail "no line matches '$1'"; }
}
