# Sourced by the picture tools' live tests after they set `tool` and `work`: the run of every scene on a private X
# server and the refusals the tools share. The display library's leaks are the shared suppression file's (run_tool.sh).
source "$(dirname "${BASH_SOURCE[0]}")/run_tool.sh"
# A test machine may have no sound card, and its audio library says so on stderr; sound goes to a file instead.
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null

# Runs every scene live on a private X server into $work/out, the report in $work/report.txt; exits as skipped when
# no server can be started. Each picture named (the scenes' final ones) must be there as live-<name>.png and equal
# the layer's.
expect_live_shots() {
    run_tool --live --xvfb "$work/out" > "$work/report.txt"
    if [ "$tool_status" -eq "$exit_skip" ]; then
        cat "$work/report.txt"
        exit "$exit_skip"
    fi
    [ "$tool_status" -eq 0 ] || { cat "$work/report.txt" "$tool_err" >&2; fail "exit $tool_status"; }
    [ "$(grep -c '^live equals headless: yes ' "$work/report.txt")" -eq $# ] ||
        fail "$(grep '^live equals' "$work/report.txt")"
    local scene
    for scene in "$@"; do
        [ -s "$work/out/live-$scene.png" ] || fail "no live-$scene.png"
    done
}

# The refusals: no display, an unknown scene (the usage lists the scenes given) and an OUTDIR that cannot be written.
expect_shots_refusals() {
    local unknown=$1 scenes=$2
    VORTAN_DISPLAY=headless expect_exit "$exit_skip" --live "$work/out" > "$work/headless.txt"
    grep -q '^no display: VORTAN_DISPLAY=headless$' "$work/headless.txt" || fail "no reason given for the skip"
    expect_usage "$work/out" "$unknown"
    expect_message "scenes: $scenes\$"
    printf 'x' > "$work/file"
    expect_refused "$work/file/out"
    expect_message 'cannot write '
}
