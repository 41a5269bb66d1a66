#!/usr/bin/env bash
# mirvane-cli's own cost: short audio jobs through mirvane-cli against the
# very commands it ran (read back from its log) in a plain shell loop, and
# with two jobs at once against xargs -P2 running them. Prints table rows;
# never fails on a number.
#
#   cli_bench.sh BUILD_DIR [CLIPS] [PAIRS]
set -euo pipefail
# shellcheck source=../scripts/lib/common.sh
source "$(dirname "$0")/../scripts/lib/common.sh"
build=$1 clips=${2:-20} pairs=${3:-5}

work=$(mktemp -d)
at_exit rm -rf "$work"
# A portable copy: the program beside its settings and its encoder.
mkdir -p "$work/program/ffmpeg" "$work/clips"
cp "$build/mirvane-cli" "$work/program/"
cp "$root/MovieSet.ini" "$work/program/"
ln -s "$(command -v ffmpeg)" "$work/program/ffmpeg/ffmpeg"
for ((i = 0; i < clips; i++)); do
  ffmpeg -v error -f lavfi -i "sine=frequency=440:duration=2" "$work/clips/clip$i.wav"
done
# The shipped "audio only MP3" preset, by its number: its title follows the language.
preset=4

remove_outputs() { rm -f "$work/clips/"*.mp3; }
seconds_of() {
  local start=$EPOCHREALTIME
  "$@" >/dev/null 2>&1 || true
  awk -v end="$EPOCHREALTIME" -v start="$start" 'BEGIN { print end - start }'
}

# The encoder's command lines as the log recorded them, one shell script each.
remove_outputs
"$work/program/mirvane-cli" --preset "$preset" "$work/clips/"*.wav >/dev/null
mkdir -p "$work/commands"
grep -a "^$work/program/ffmpeg/ffmpeg " "$work/program/mirvane-cli.log" | tr -d '\r' |
  awk -v dir="$work/commands" '{ print $0 " </dev/null >/dev/null 2>&1" > (dir "/job" NR ".sh") }'
[[ $(find "$work/commands" -name '*.sh' | wc -l) -eq $clips ]]

through_cli() { remove_outputs; seconds_of "$work/program/mirvane-cli" --preset "$preset" --jobs "$1" "$work/clips/"*.wav; }
shell_loop() { remove_outputs; seconds_of sh -c 'for job in "$@"; do sh "$job"; done' sh "$work/commands/"*.sh; }
xargs_two() { remove_outputs; seconds_of sh -c 'printf "%s\n" "$@" | xargs -P2 -n1 sh' sh "$work/commands/"*.sh; }

# Which goes first alternates, so that a drift of the machine's speed favours neither.
median_ratio() {
  local ours=$1 theirs=$2 pair a b ratios=()
  for ((pair = 0; pair < pairs; pair++)); do
    if ((pair % 2 == 0)); then a=$($ours); b=$($theirs); else b=$($theirs); a=$($ours); fi
    ratios+=("$(awk -v a="$a" -v b="$b" 'BEGIN { print a / b }')")
  done
  printf '%s\n' "${ratios[@]}" | sort -n | awk '{ r[NR] = $1 } END { printf "%.3f", r[int((NR + 1) / 2)] }'
}
row() {
  local met=MISSED
  if awk -v r="$2" 'BEGIN { exit !(r <= 1.05) }'; then met=met; fi
  echo "| $1 | $2 (median of $pairs pairs) | <= 1.05 | $met |"
}

one_job() { through_cli 1; }
two_jobs() { through_cli 2; }
row "mirvane-cli overhead: $clips short audio jobs / the same commands in a shell loop" "$(median_ratio one_job shell_loop)"
row "mirvane-cli --jobs 2 / the same commands through xargs -P2" "$(median_ratio two_jobs xargs_two)"
