#!/usr/bin/env bash
# Generates the spoken-readout sounds sounds/0.wav .. sounds/9.wav and
# sounds/Point.wav with espeak-ng and sox: 16-bit mono 22050 Hz, leading and
# trailing silence trimmed, a 10 ms pad either side so no click at the edges.
# Usage: scripts/make-sounds.sh [output-dir]   (default: <repo>/sounds)
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
OUT="${1:-$ROOT/sounds}"
VOICE="${SOLVANE_VOICE:-en}"
SPEED="${SOLVANE_SPEED:-150}"   # words per minute; keeps each word short

for tool in espeak-ng sox; do
  command -v "$tool" >/dev/null || { echo "make-sounds: $tool not found" >&2; exit 1; }
done
mkdir -p "$OUT"
TMP="$(mktemp -d)"
trap 'rm -rf "$TMP"' EXIT

words=(zero one two three four five six seven eight nine)
make_one() {  # <word> <file name>
  espeak-ng -v "$VOICE" -s "$SPEED" -w "$TMP/raw.wav" "$1"
  # silence effect: drop everything below 1% until 20 ms of sound, at both ends.
  sox "$TMP/raw.wav" -r 22050 -b 16 -c 1 "$OUT/$2" \
      silence 1 0.02 1% reverse silence 1 0.02 1% reverse pad 0.01 0.01
  printf '%-10s %s s\n' "$2" "$(soxi -D "$OUT/$2")"
}
for i in "${!words[@]}"; do make_one "${words[$i]}" "$i.wav"; done
make_one point Point.wav
