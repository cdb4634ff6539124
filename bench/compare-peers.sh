#!/usr/bin/env bash
# Whole-process CPU time of tovana against general-purpose peers doing a
# comparable job on the same 60 s of 44.1 kHz voice (the bundled sample,
# repeated). Each row runs tovana and its peer alternately, PAIRS times, and
# prints the median CPU time (user + system, the process and its children)
# of each and the median of the per-pair ratios tovana / peer: above 1 the
# peer is faster.
#
#   bench/compare-peers.sh [BUILD_DIR] [PAIRS]      (defaults: build 7)
#   TOVANA_PEER_ROWS='deepenator cylonator' bench/compare-peers.sh   (some rows)
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$here/build}" && pwd)
pairs=${2:-7}
tovana=$build/bin/tovana
[[ -x "$tovana" ]] || { echo "no $tovana: build the target tovana first" >&2; exit 1; }
(( pairs >= 1 )) || { echo "PAIRS must be at least 1" >&2; exit 1; }

source "$here/scripts/packages.sh"
"$here/scripts/ensure-packages.sh" "${TOVANA_PEER_PACKAGES[@]}"
export LADSPA_PATH=${LADSPA_PATH:-/usr/lib/ladspa}
for plugin in ringmod_1188 vocoder_1337; do
    [[ -e "$LADSPA_PATH/$plugin.so" ]] || { echo "no $plugin.so in $LADSPA_PATH" >&2; exit 1; }
done

work=$(mktemp -d /tmp/tovana-peers-XXXXXX)
trap 'rm -rf "$work"' EXIT
# A store of the run's own: the user's settings stay untouched.
export TOVANA_REGISTRY=$work/registry.reg HOME=$work XDG_CONFIG_HOME=$work/config

sox "$here/data/voice_mono.wav" "$work/mono.wav" repeat 19 trim 0 60
sox "$here/data/voice_stereo.wav" "$work/stereo.wav" repeat 19 trim 0 60

# CPU seconds (user + system) of one command, its output thrown away.
cpu_seconds() {
    local TIMEFORMAT='%3U %3S' line
    line=$( { time "$@" >/dev/null 2>&1; } 2>&1 ) || { echo "failed: $*" >&2; exit 1; }
    awk '{ printf "%.3f\n", $1 + $2 }' <<<"$line"
}

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# One row: NAME GOAL -- TOVANA_ARGS... -- PEER_COMMAND...
row() {
    local name=$1 goal=$2; shift 3
    local ours=() peer=()
    while [[ $1 != -- ]]; do ours+=("$1"); shift; done
    shift
    peer=("$@")
    # One of each first, so that both start from a warm page cache.
    "$tovana" apply -q --seed 1 "${ours[@]}" "$work/ours.wav" >/dev/null 2>&1
    "${peer[@]}" >/dev/null 2>&1
    local t p ts=() ps=() ratios=()
    for (( i = 0; i < pairs; i++ )); do
        # The order alternates too, so neither side always runs second.
        if (( i % 2 == 0 )); then
            t=$(cpu_seconds "$tovana" apply -q --seed 1 "${ours[@]}" "$work/ours.wav")
            p=$(cpu_seconds "${peer[@]}")
        else
            p=$(cpu_seconds "${peer[@]}")
            t=$(cpu_seconds "$tovana" apply -q --seed 1 "${ours[@]}" "$work/ours.wav")
        fi
        ts+=("$t"); ps+=("$p")
        ratios+=("$(awk -v t="$t" -v p="$p" 'BEGIN { printf "%.3f", (p > 0 ? t / p : 0) }')")
    done
    local mt mp mr
    mt=$(printf '%s\n' "${ts[@]}" | median)
    mp=$(printf '%s\n' "${ps[@]}" | median)
    mr=$(printf '%s\n' "${ratios[@]}" | median)
    printf '| %s | %.3f s | %.3f s | %.2f | %s |\n' "$name" "$mt" "$mp" "$mr" "$goal"
}

wanted() { [[ -z "${TOVANA_PEER_ROWS:-}" || " $TOVANA_PEER_ROWS " == *" $1 "* ]]; }

echo "machine: $(nproc) cores, $(awk -F': ' '/^model name/ { print $2; exit }' /proc/cpuinfo)"
echo "load at the start: $(cut -d' ' -f1-3 /proc/loadavg); $pairs pairs per row"
echo
echo "| effect (preset), peer | tovana CPU | peer CPU | ratio | goal |"
echo "|---|---|---|---|---|"
ladspa=(sox "$work/stereo.wav" "$work/peer.wav" ladspa)
if wanted alienator; then
    row 'Alienator ("Computer", stereo), `sox vol 0.5`' '<= 1.0' -- \
        --effect alienator --preset Computer "$work/stereo.wav" -- \
        sox "$work/stereo.wav" "$work/peer.wav" vol 0.5
    # A sine carrier from the plug-in's own oscillator, full ring modulation.
    row 'Alienator ("Computer", stereo), swh `ringmod`' '-' -- \
        --effect alienator --preset Computer "$work/stereo.wav" -- \
        "${ladspa[@]}" -r ringmod_1188 ringmod_1i1o1l 2 440 1 0 0 0
fi
if wanted communicator; then
    row 'Communicator ("Stormtrooper", stereo), `sox sinc 300-3000`' '<= 1.0' -- \
        --effect communicator --preset Stormtrooper "$work/stereo.wav" -- \
        sox "$work/stereo.wav" "$work/peer.wav" sinc 300-3000
fi
if wanted deepenator; then
    row 'Deepenator ("Dark Lord", stereo), `sox pitch -400`' '<= 1.5' -- \
        --effect deepenator --preset 'Dark Lord' "$work/stereo.wav" -- \
        sox "$work/stereo.wav" "$work/peer.wav" pitch -400
fi
if wanted cylonator; then
    # The voice on the vocoder's formant input and a 110 Hz sawtooth made by
    # SoX itself on its carrier input: channel 1 is multiplied by a square
    # wave of 0 Hz (that is, by 1), channel 2 replaced by the sawtooth; of
    # the vocoder's two outputs the first is kept. All 16 bands at level 1.
    row 'Cylonator ("Battle Droid", mono), swh 16-band `vocoder`' '<= 1.0' -- \
        --effect cylonator --preset 'Battle Droid' "$work/mono.wav" -- \
        sox "$work/mono.wav" "$work/peer.wav" remix 1 0 \
            synth square amod 0 sawtooth create 110 \
            ladspa vocoder_1337 vocoder 16 0 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 remix 1
fi
echo
echo "load at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
