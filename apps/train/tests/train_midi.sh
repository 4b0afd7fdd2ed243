#!/usr/bin/env bash
# vortan-train midi: a seed gives the same bytes every time and another seed other bytes; each file is a well-formed
# one-track standard MIDI file whose chunk lengths match its bytes and whose track ends with the end-of-track event;
# over forty seeds the generator plays drums on channel 10 and several programs; bad arguments are refused.
set -euo pipefail
train=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "train_midi: $*" >&2; exit 1; }

"$train" midi --seed 5 --out "$work/a.mid"
"$train" midi --out "$work/b.mid" --seed 5
"$train" midi --seed 6 --out "$work/c.mid"
cmp -s "$work/a.mid" "$work/b.mid" || fail "seed 5 wrote different bytes twice"
! cmp -s "$work/a.mid" "$work/c.mid" || fail "seeds 5 and 6 wrote the same bytes"

# Walks the track event by event (every event carries its status byte): prints "bad" when an event is cut, a status
# is unknown or a note is left sounding, else the channels that play notes and the programs chosen.
walk() {
    od -An -v -tu1 "$1" | tr -s ' ' '\n' | grep . | awk '
        { b[n++] = $1 }
        function var(   v) { v = 0; do { v = v * 128 + b[i] % 128 } while (b[i++] >= 128 && i < n); return v }
        END {
            i = 22
            while (i < n) {
                var()
                if (i >= n) { print "bad cut"; exit }
                s = b[i++]
                t = int(s / 16); c = s % 16
                if (s == 255) { i++; len = var(); i += len; continue }
                if (t == 9 || t == 8 || t == 11) {
                    if (i + 2 > n) { print "bad cut"; exit }
                    if (t == 9) { on[c " " b[i]]++; play[c] = 1 }
                    if (t == 8) { on[c " " b[i]]-- }
                    i += 2; continue
                }
                if (t == 12) { prog[b[i]] = 1; i++; continue }
                print "bad status " s; exit
            }
            if (i != n) { print "bad end"; exit }
            for (k in on) if (on[k] != 0) { print "bad sounding " k; exit }
            for (c in play) printf "channel%s ", c
            for (p in prog) printf "program%s ", p
            print ""
        }'
}

hex() { od -An -v -tx1 "$1" | tr -d ' \n'; }
drums=0
programs=""
for seed in $(seq 1 40); do
    "$train" midi --seed "$seed" --seconds 10 --out "$work/s.mid"
    bytes=$(hex "$work/s.mid")
    size=$(stat -c %s "$work/s.mid")
    # MThd, length 6, format 0, one track, 480 ticks per quarter; then MTrk with the rest of the file as its length.
    [ "${bytes:0:28}" = "4d546864000000060000000101e0" ] || fail "seed $seed: header ${bytes:0:28}"
    [ "${bytes:28:8}" = "4d54726b" ] || fail "seed $seed: no track chunk"
    [ $((16#${bytes:36:8})) -eq $((size - 22)) ] || fail "seed $seed: the track length is not the rest of the file"
    [ "${bytes: -6}" = "ff2f00" ] || fail "seed $seed: no end of track"
    [ "${bytes:44:6}" = "00ff51" ] || fail "seed $seed: no tempo first"
    events=$(walk "$work/s.mid")
    [[ "$events" != bad* ]] || fail "seed $seed: $events"
    grep -q "channel0 \|channel1 " <<< "$events" || fail "seed $seed plays no notes"
    [[ "$events" != *channel9* ]] || drums=$((drums + 1))
    programs+=" $(grep -o 'program[0-9]*' <<< "$events" | tr '\n' ' ')"
done
[ "$drums" -ge 3 ] || fail "only $drums of 40 seeds play drums on channel 10"
distinct=$(tr ' ' '\n' <<< "$programs" | sort -u | grep -c .)
[ "$distinct" -ge 10 ] || fail "only $distinct programs over 40 seeds"

expect() {
    local got=0
    "$train" midi "$@" > /dev/null 2> "$work/err" || got=$?
    [ "$got" = 2 ] || fail "$* exited $got, not 2"
    [ -s "$work/err" ] || fail "$* gave no message"
}
expect --out "$work/x.mid"
expect --seed 1
expect --seed x1 --out "$work/x.mid"
expect --seed 1 --out "$work/x.mid" --seconds 0
expect --seed 1 --out "$work/x.mid" --seconds 601
expect --seed 1 --out
[ ! -e "$work/x.mid" ] || fail "a refused run wrote its output"
echo "train_midi: ok"
