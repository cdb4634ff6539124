#!/usr/bin/env bash
# Measures tovana mic in a PipeWire session of its own (no sound card
# needed): the bundled voice, looped, plays into a virtual source while an
# application records the virtual microphone, both asking for QUANTUM
# frames per cycle; prints the graph's quantum as pw-profiler saw it and the
# share of one core that the filter-chain process takes.
#
#   scripts/measure-mic.sh [BUILD_DIR] [SECONDS] [QUANTUM] -- [tovana mic options]
#   scripts/measure-mic.sh build 40 1024 -- --effect deepenator --preset 'Dark Lord'
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-build}" && pwd)
seconds=${2:-40}
quantum=${3:-1024}
shift $(( $# >= 3 ? 3 : $# ))
[[ "${1:-}" == "--" ]] && shift

if [[ -z "${TOVANA_MEASURE_INSIDE:-}" ]]; then
    export TOVANA_MEASURE_INSIDE=1
    exec dbus-run-session -- "$0" "$build" "$seconds" "$quantum" -- "$@"
fi

work=$(mktemp -d /tmp/tovana-measure-XXXXXX)
pids=()
finish() {
    for (( i = ${#pids[@]} - 1; i >= 0; i-- )); do kill -INT "${pids[i]}" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap finish EXIT
export XDG_RUNTIME_DIR=$work HOME=$work XDG_CONFIG_HOME=$work/config XDG_STATE_HOME=$work/state
export LV2_PATH=$build/lib/lv2 TOVANA_REGISTRY=$work/registry.reg

until_ok() { for _ in $(seq 100); do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done; return 1; }

pipewire >"$work/pipewire.log" 2>&1 & pids+=($!)
until_ok pw-cli info 0
wireplumber >"$work/wireplumber.log" 2>&1 & pids+=($!)
until_ok sh -c 'pw-cli ls Metadata | grep -q "\"default\""'
pw-cli create-node adapter '{ factory.name=support.null-audio-sink node.name=tovana_measure_voice
    media.class=Audio/Source/Virtual audio.position=MONO object.linger=true }' >/dev/null

"$build/bin/tovana" mic --target tovana_measure_voice "$@" 2>"$work/mic.log" & mic=$!; pids+=($mic)
until_ok grep -q "is ready" "$work/mic.log" || { cat "$work/mic.log" >&2; exit 2; }
chain=$(pgrep -P "$mic" pipewire)
node=$(pw-cli ls Node | sed -n 's/.*node.name = "\(zentrix_tovana_[a-z]*\)"$/\1/p' | head -1)

# The voice, repeated to outlast the measurement.
copies=()
for _ in $(seq 20); do copies+=("$here/data/voice_mono.wav"); done
sox -q "${copies[@]}" "$work/long.wav"
pw-record --latency "$quantum" --target "$node" "$work/heard.wav" & pids+=($!)
pw-play --latency "$quantum" -P '{ node.autoconnect = false node.name = tovana_measure_play }' \
    "$work/long.wav" & pids+=($!)
until_ok pw-link tovana_measure_play:output_MONO tovana_measure_voice:input_MONO
# It writes plotting scripts beside its log.
(cd "$work" && exec pw-profiler -o profile.log >/dev/null 2>&1) & pids+=($!)
sleep 1

ticks() { awk '{ print $14 + $15 }' "/proc/$chain/stat"; }
start=$(ticks); began=$(date +%s.%N)
sleep "$seconds"
end=$(ticks); ended=$(date +%s.%N)
kill -INT "${pids[-1]}"; sleep 0.5

echo "$(head -1 "$work/mic.log" | sed 's/^tovana: //')"
# pw-profiler's fourth column: the duration of the driver's quantum in microseconds.
sort -n -k4 "$work/profile.log" | awk '{ q[NR] = $4 } END { if (NR) printf "graph quantum: %.1f ms (%d frames at 48 kHz; median of %d cycles)\n", q[int((NR + 1) / 2)] / 1000, q[int((NR + 1) / 2)] * 48 / 1000 + 0.5, NR }'
awk -v a="$start" -v b="$end" -v t0="$began" -v t1="$ended" -v hz="$(getconf CLK_TCK)" \
    'BEGIN { printf "filter-chain process: %.2f %% of one core over %.0f s\n", 100 * (b - a) / hz / (t1 - t0), t1 - t0 }'
