#!/usr/bin/env bash
# GNU parallel spreads a folder over "machines" with mirvane-cli as its unit
# of work, as the guide shows: here two slots of this machine (":" is the
# local one in parallel's --sshlogin). Every file converts exactly once, no
# output overwrites another, and parallel sees each file's exit status.
#
#   parallel_runner_test.sh MIRVANE_CLI FAKE_ENCODER
set -euo pipefail
cli=$1 encoder=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/program/ffmpeg" "$work/videos"
cp "$cli" "$work/program/mirvane-cli"
cp "$encoder" "$work/program/ffmpeg/ffmpeg"
printf '[List]\nListTitle00=converts\nListOption00=progress:2:50 -i %%INPFILE %%OUTFILE\nListExt00=.mp4\n' \
  >"$work/program/MovieSet.ini"
for name in one two three "four five" 六 seven; do echo video >"$work/videos/$name.avi"; done
# A file converted before: its output is kept, the new one takes another name.
echo earlier >"$work/videos/one.mp4"

find "$work/videos" -name '*.avi' -print0 |
  parallel -0 --sshlogin 2/: --joblog "$work/jobs.log" "$work/program/mirvane-cli" --json {} >"$work/report"

failures=$(awk 'NR > 1 && $7 != 0' "$work/jobs.log" | wc -l)
converted=$(grep -c '"status":"converted"' "$work/report")
[[ $failures -eq 0 && $converted -eq 6 ]] || { cat "$work/jobs.log" "$work/report"; exit 1; }
[[ $(cat "$work/videos/one.mp4") == earlier && $(find "$work/videos" -name '*.mp4' | wc -l) -eq 7 ]] ||
  { ls "$work/videos"; exit 1; }
echo "6 files through parallel with two slots: all converted once"
