# Sourced by the developer tools' test scripts after they set `tool` and `work`. Runs the tool so that a sanitizer
# report can never pass for an expected refusal: the sanitizers exit with a code of their own, every run's stderr is
# kept and searched for a report, and a refusal must exit with exactly the tool's refusal code.

readonly exit_failed=1
readonly exit_usage=2
readonly exit_refused=3
readonly exit_skip=77 # ctest reports the test as skipped
readonly exit_sanitizer=86

# Ours come last, so they win over whatever the caller's environment sets.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}exitcode=$exit_sanitizer:abort_on_error=0"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:+$UBSAN_OPTIONS:}halt_on_error=1:exitcode=$exit_sanitizer:print_stacktrace=1"
export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}exitcode=$exit_sanitizer"

tool_err="$work/tool.err" # the last run's stderr

fail() { echo "FAIL: $*" >&2; exit 1; }

# Runs the tool with its stderr in $tool_err; fails the test on any sanitizer report. Sets `tool_status`.
run_tool() {
    tool_status=0
    "$tool" "$@" 2> "$tool_err" || tool_status=$?
    if [ "$tool_status" -eq "$exit_sanitizer" ] ||
        grep -Eq 'ERROR: (Address|Leak|Memory|Thread)Sanitizer|runtime error:' "$tool_err"; then
        cat "$tool_err" >&2
        fail "sanitizer report (exit $tool_status) from: $(basename "$tool") $*"
    fi
}

# The tool must end with exactly this code; its stdout passes through.
expect_exit() {
    local want=$1
    shift
    run_tool "$@"
    if [ "$tool_status" -ne "$want" ]; then
        cat "$tool_err" >&2
        fail "exit $tool_status, expected $want, from: $(basename "$tool") $*"
    fi
}

expect_done() { expect_exit 0 "$@"; }
expect_refused() { expect_exit "$exit_refused" "$@"; }
expect_usage() { expect_exit "$exit_usage" "$@"; }

# The last run's stderr is one line that matches the extended regular expression.
expect_message() {
    local lines
    lines=$(wc -l < "$tool_err")
    [ "$lines" -eq 1 ] || { cat "$tool_err" >&2; fail "expected one line of error, got $lines"; }
    grep -Eq -- "$1" "$tool_err" || fail "error '$(cat "$tool_err")' does not match '$1'"
}

# A corpus that is absent fails in CI, where it must have been fetched, and is a skip elsewhere.
skip_without_corpus() {
    if [ "${CI:-}" = true ]; then
        fail "$1 (CI must fetch it: scripts/fetch-test-data)"
    fi
    echo "skipped: $1 (run scripts/fetch-test-data)"
    exit "$exit_skip"
}
