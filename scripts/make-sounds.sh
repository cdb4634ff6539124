#!/usr/bin/env bash
# Lets a reader hear the effects before installing: renders the bundled
# mono voice through every built-in preset into docs/sounds/ as short Opus
# files (and the dry voice), draws one before/after spectrogram per effect
# into docs/, and rewrites the README's table of presets between its
# "sounds" markers. Effect and preset names come from tovana itself.
#
# Reproducible: every run is seeded, and the Ogg stream serial number,
# which libsndfile draws at random, is set to a fixed one, so the same
# sources give the same bytes. Run after building (build/bin/tovana, or
# TOVANA=path/to/tovana).
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD
tovana=${TOVANA:-$top/build/bin/tovana}
[[ -x $tovana ]] || { echo "make-sounds.sh: build tovana first (cmake --build build --target tovana)" >&2; exit 1; }
command -v python3 >/dev/null || { echo "make-sounds.sh: needs python3" >&2; exit 1; }

seed=1
quality=0.5                     # about 22 kbit/s: a few kilobytes per clip
voice=voice_mono.wav
# The preset shown in each effect's spectrogram.
declare -A pictured=([alienator]=Computer [communicator]=Stormtrooper [deepenator]="Dark Lord" [cylonator]="Battle Droid")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TOVANA_REGISTRY=$work/registry.reg   # your own store stays untouched
cp "data/$voice" "$work/$voice"
mkdir -p docs/sounds
rm -f docs/sounds/*.opus

slug() { tr '[:upper:]' '[:lower:]' <<<"$1" | sed -E 's/[^a-z0-9]+/-/g; s/^-+|-+$//g'; }

# Ogg pages carry a stream serial number and a CRC over the page.
fix_serial() {
    python3 - "$@" <<'PY'
import sys
def crc(data):
    value = 0
    for byte in data:
        value ^= byte << 24
        for _ in range(8):
            value = ((value << 1) ^ 0x04C11DB7 if value & 0x80000000 else value << 1) & 0xFFFFFFFF
    return value
for path in sys.argv[1:]:
    data = bytearray(open(path, 'rb').read())
    at = 0
    while at < len(data):
        assert data[at:at + 4] == b'OggS', path
        segments = data[at + 26]
        size = 27 + segments + sum(data[at + 27:at + 27 + segments])
        data[at + 14:at + 18] = (0x546F766E).to_bytes(4, 'little')
        data[at + 22:at + 26] = bytes(4)
        data[at + 22:at + 26] = crc(data[at:at + size]).to_bytes(4, 'little')
        at += size
    open(path, 'wb').write(data)
PY
}

apply() { (cd "$work" && "$tovana" apply -q --seed "$seed" "$@"); }

apply --effect alienator --wet 0 --dry 100 --quality "$quality" "$voice" voice.opus
mv "$work/voice.opus" docs/sounds/voice.opus

table=$'| effect | presets: the bundled voice through each |\n|---|---|\n'
table+="| *dry* | [the voice itself](docs/sounds/voice.opus) |"$'\n'
pictures=$'| | |\n|---|---|\n'
column=0
while IFS= read -r effect; do
    title=${effect^}
    row="| **$title** |"
    separator=" "
    while IFS= read -r preset; do
        file="$effect-$(slug "$preset").opus"
        apply --effect "$effect" --preset "$preset" --quality "$quality" "$voice" "$file"
        mv "$work/$file" "docs/sounds/$file"
        row+="$separator[$preset](docs/sounds/$file)"
        separator=" · "
    done < <("$tovana" --complete presets "$effect")
    table+="$row |"$'\n'
    name="$effect-$(slug "${pictured[$effect]}")"
    apply --effect "$effect" --preset "${pictured[$effect]}" --spectrogram "spectrogram-$effect.png" \
          "$voice" "$name.wav"
    mv "$work/spectrogram-$effect.png" "docs/spectrogram-$effect.png"
    cell="![$title, ${pictured[$effect]}](docs/spectrogram-$effect.png)"
    if ((column == 0)); then pictures+="| $cell "; else pictures+="| $cell |"$'\n'; fi
    column=$((1 - column))
done < <("$tovana" --complete effects)
fix_serial docs/sounds/*.opus

# The README's section between the markers, replaced whole.
section=$work/section.md
{
    echo "<!-- sounds: made by scripts/make-sounds.sh; edit the script, not this table -->"
    echo
    printf '%s\n' "$table"
    echo "Before and after, one preset per effect (\`tovana apply --spectrogram\`):"
    echo
    printf '%s' "$pictures"
    echo "<!-- sounds: end -->"
} >"$section"
python3 - README.md "$section" <<'PY'
import re, sys
readme, section = sys.argv[1], open(sys.argv[2]).read()
text = open(readme).read()
pattern = re.compile(r'<!-- sounds: made by .*?<!-- sounds: end -->\n', re.S)
if not pattern.search(text):
    sys.exit('README.md has no sounds markers')
open(readme, 'w').write(pattern.sub(lambda m: section, text))
PY
echo "docs/sounds: $(ls docs/sounds | wc -l) files, $(du -ch docs/sounds/*.opus | tail -n 1 | cut -f1)"
