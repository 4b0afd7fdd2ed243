#!/usr/bin/env bash
# vortan-ui-demo --live on its own X server, told to end by SIGTERM and by SIGINT once its services window is open:
# the live display asks the window to close, and the demo ends within two seconds with exit 0. It used to run on
# until killed. Skipped (77) when no X server can be started.
set -euo pipefail
tool="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/../../testsupport/tools/run_tool.sh"
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null

if ! command -v Xvfb > /dev/null; then
    echo "skipped: no Xvfb"
    exit "$exit_skip"
fi
for signal in TERM INT; do
    expect_ends_on_signal "$signal" '^scripts done; the services window is open$' --live --xvfb "$work/out-$signal"
done
echo "ok"
