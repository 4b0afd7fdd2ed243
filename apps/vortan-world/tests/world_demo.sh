#!/usr/bin/env bash
# vortan-world demo: the sample world's tree, events, keys and variables are all printed.
set -euo pipefail
tool=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/lib/run_tool.sh"

expect_exit 0 demo
expect_line '^nodes$'
expect_line '^  node id=[0-9]+ kind=65 name=camera1$'
expect_line '^  node id=[0-9]+ kind=65 name=camera2$'
expect_line '^    node id=[0-9]+ kind=33 name=cube$'
expect_line '^  node id=[0-9]+ kind=2 name=hotspot$'
expect_line '^  node id=[0-9]+ kind=4 name=group$'
# The cube's world matrix is the holder's turn applied to its own translation.
expect_line '^      world 0\.8776,0\.0000,0\.4794,1\.7552,0\.0000,1\.0000,0\.0000,0\.0000,-0\.4794,0\.0000,0\.8776,-0\.9589,'
[ "$(grep -c '^event ' "$tool_out")" -eq 22 ] || fail "expected 22 events"
expect_line '^event id=[0-9]+ type=4 \(Timer\) name=event4 actions=1$'
expect_line '^  timer interval=500\.0$'
expect_line '^  watches NODE:cube\.cube_i$'
expect_line '^  key Space$'
expect_line '^  TXTB level2\.vto$'
expect_line '^keys 79$'
expect_line '^key 258 Up text=258$'
[ "$(grep -c '^key ' "$tool_out")" -eq 79 ] || fail "expected 79 keys"
for owner in NODE:cube NODE:holder SOUND:chime RESOURCE:scores WORLD: EVENT:event0; do
    for letter in s i b f v q m; do
        grep -Eq "^variable ${owner}[.]?[a-z0-9]*_${letter} " "$tool_out" || fail "no variable of type $letter on $owner"
    done
done
expect_line '^variable NODE:cube\.Position id=[0-9]+ type=16 flags=9 value=2\.0000,0\.0000,0\.0000$'
expect_exit 2 demo extra
echo "demo: ok"
