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
# Leaks inside system libraries are the one shared file's to suppress.
lsan_suppressions="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)/scripts/lsan.supp"
export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}exitcode=$exit_sanitizer:suppressions=$lsan_suppressions"

tool_err="$work/tool.err" # the last run's stderr
tool_timeout=""           # seconds a run may take; empty: no bound (a run past it fails as a wait)

fail() { echo "FAIL: $*" >&2; exit 1; }

# Runs the tool with its stderr in $tool_err; fails the test on any sanitizer report. Sets `tool_status`.
run_tool() {
    tool_status=0
    if [ -n "$tool_timeout" ]; then
        timeout -k 2 "$tool_timeout" "$tool" "$@" 2> "$tool_err" || tool_status=$?
        [ "$tool_status" -ne 124 ] && [ "$tool_status" -ne 137 ] ||
            fail "still running after $tool_timeout s: $(basename "$tool") $*"
    else
        "$tool" "$@" 2> "$tool_err" || tool_status=$?
    fi
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

# Starts the tool with the arguments after the first two in the background, its stdout in $tool_out; once a line of
# it matches READY (an extended regular expression) sends SIGNAL (TERM, INT) and requires the tool to end within two
# seconds, with exit 0 and no sanitizer report. A background job starts with SIGINT ignored, which a terminal's
# program never does, so the tool gets every signal at its default.
tool_out="$work/tool.out"
expect_ends_on_signal() {
    local signal=$1 ready=$2 pid sent ms
    shift 2
    env --default-signal=INT,TERM "$tool" "$@" > "$tool_out" 2> "$tool_err" &
    pid=$!
    for _ in $(seq 600); do
        grep -Eq -- "$ready" "$tool_out" && break
        kill -0 "$pid" 2> /dev/null || break
        sleep 0.05
    done
    if ! grep -Eq -- "$ready" "$tool_out"; then
        kill -KILL "$pid" 2> /dev/null || true
        cat "$tool_out" "$tool_err" >&2
        fail "SIG$signal: never ready ('$ready') in 30 s: $(basename "$tool") $*"
    fi
    kill -"$signal" "$pid"
    sent=$(date +%s%N)
    for _ in $(seq 40); do
        kill -0 "$pid" 2> /dev/null || break
        sleep 0.05
    done
    if kill -0 "$pid" 2> /dev/null; then
        kill -KILL "$pid"
        fail "SIG$signal: still running 2 s after the signal: $(basename "$tool") $*"
    fi
    tool_status=0
    wait "$pid" || tool_status=$?
    ms=$((($(date +%s%N) - sent) / 1000000))
    if [ "$tool_status" -ne 0 ] || grep -Eq 'ERROR: (Address|Leak|Memory|Thread)Sanitizer|runtime error:' "$tool_err"; then
        cat "$tool_err" >&2
        fail "SIG$signal: exit $tool_status: $(basename "$tool") $*"
    fi
    [ "$ms" -le 2000 ] || fail "SIG$signal: ended $ms ms after the signal: $(basename "$tool") $*"
}
