#!/bin/sh
# Gives the Wine prefix a drive M: that no one may write, holding a copy of
# the program beside its settings and encoder: what Program Files is to a
# user on Windows. Root only (a read-only bind mount); elsewhere it leaves no
# drive and the test that needs one says so.
#   read_only_drive.sh setup FOLDER PROGRAM ENCODER | cleanup FOLDER
set -u
action=$1 folder=$2
drive="${WINEPREFIX:?}/dosdevices/m:"
case $action in
setup)
  rm -rf "$folder"
  mkdir -p "$folder/files/ffmpeg" "$folder/mount"
  cp "$3" "$folder/files/Mirvane.exe"
  cp "$4" "$folder/files/ffmpeg/ffmpeg.exe"
  printf '[List]\nListTitle00=Quick\nListOption00=progress:2:10 -i %%INPFILE %%OUTFILE\nListExt00=.mp4\n' \
    >"$folder/files/MovieSet.ini"
  if mount --bind "$folder/files" "$folder/mount" 2>/dev/null &&
    mount -o remount,bind,ro "$folder/mount" 2>/dev/null; then
    ln -sfn "$folder/mount" "$drive"
  fi
  ;;
cleanup)
  rm -f "$drive"
  umount "$folder/mount" 2>/dev/null
  rm -rf "$folder"
  ;;
esac
exit 0
