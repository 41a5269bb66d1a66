# shellcheck shell=bash
# What the scripts in scripts/ share. Each one starts with
#
#   set -euo pipefail
#   source "$(dirname "$0")/lib/common.sh"
#
# and then has $root (the source tree) and the functions below. Whatever a
# function starts or makes for the script's run (a virtual X server, a Wine
# prefix, a temporary folder) is registered with at_exit and goes when the
# script ends, however it ends; a script registers its own with at_exit too.

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

# Wine's 64-bit loader and server: the `wine` wrapper would complain at every
# start about a 32-bit part that nothing here needs.
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver64

# What building Mirvane.exe with mingw-w64 (posix threads, so std::thread
# exists) needs, and what build-windows/ with its tests needs besides, to
# build GoogleTest from its sources and run the window under Wine on a
# virtual X server with the Japanese font Wine draws its texts with.
# shellcheck disable=SC2034
windows_build_packages=(cmake ninja-build g++-mingw-w64-x86-64-posix)
# shellcheck disable=SC2034
windows_run_packages=(googletest wine wine64 xvfb xauth fonts-ipafont-gothic)

# ---------------------------------------------------------------------------
# Clean-up when the script ends

at_exit_commands=()

# at_exit COMMAND [ARGUMENT...]: runs the command when the script ends, the
# last registered first (as a later thing may live in or on an earlier one).
at_exit() {
  local command
  printf -v command '%q ' "$@"
  at_exit_commands+=("$command")
}

# One trap for every clean-up, so that no function replaces another's; a
# clean-up that fails does not stop the others, nor change the exit status.
run_at_exit() {
  local status=$? i
  set +e
  for ((i = ${#at_exit_commands[@]} - 1; i >= 0; i--)); do
    eval "${at_exit_commands[i]}"
  done
  exit "$status"
}
trap run_at_exit EXIT
# Bash runs no EXIT trap when a signal kills it: exit instead, so it does.
trap 'exit 130' INT
trap 'exit 143' TERM

# stop_process PID: ends a process this script started and waits for it.
stop_process() {
  kill "$1" 2>/dev/null || true
  wait "$1" 2>/dev/null || true
}

# ---------------------------------------------------------------------------
# Packages and locales

# as_root COMMAND [ARGUMENT...]: runs the command as root, through sudo when
# the script is not root already.
as_root() {
  if ((EUID == 0)); then
    "$@"
  else
    sudo "$@"
  fi
}

# apt_get ARGUMENT...: apt-get as root, asking nothing, and waiting for the
# package database while another installation holds it.
apt_get() {
  as_root env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 "$@"
}

# install_packages PACKAGE...: installs those of the Debian packages that are
# not installed, without the packages they merely recommend.
install_packages() {
  local package missing=()
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
  done
  ((${#missing[@]})) || return 0
  echo "Installing: ${missing[*]}"
  apt_get update -qq
  apt_get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# ensure_locales LOCALE...: makes the UTF-8 locales (en_US, de_DE...) that
# the system does not have yet.
ensure_locales() {
  local locale
  install_packages locales
  for locale in "$@"; do
    if ! locale -a 2>/dev/null | grep -qi "^${locale}\.utf-\?8$"; then
      as_root localedef -i "$locale" -f UTF-8 "$locale.UTF-8"
    fi
  done
}

# ---------------------------------------------------------------------------
# Builds

# configure_windows BUILD_DIR [CMAKE_ARGUMENT...]: configures a release cross
# build for 64-bit Windows with mingw-w64 (the window included).
configure_windows() {
  cmake -S "$root" -B "$1" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DMIRVANE_BUILD_UI=ON "${@:2}" >/dev/null
}

# ---------------------------------------------------------------------------
# A screen and Wine

# start_xvfb [SCREEN]: starts a virtual X server (SCREEN as Xvfb takes it,
# 1024x768x24 unless given) on a free display and sets DISPLAY to it; the
# server stops when the script ends.
start_xvfb() {
  local screen=${1:-1024x768x24} number_file number pid
  number_file=$(mktemp -t mirvane-display.XXXXXX)
  # The server picks a free display number and writes it to descriptor 3
  # once it takes clients.
  Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp 3>"$number_file" </dev/null >/dev/null 2>&1 &
  pid=$!
  at_exit stop_process "$pid"
  for _ in {1..200}; do
    [[ -s "$number_file" ]] && break
    sleep 0.1
  done
  number=$(<"$number_file")
  rm -f "$number_file"
  if [[ -z "$number" ]]; then
    echo "$(basename "$0"): the virtual X server did not start" >&2
    return 1
  fi
  export DISPLAY=":$number"
}

# No Mono or Gecko: nothing here needs them, and making a prefix would
# otherwise offer to download them.
wine_environment() {
  export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
}

wine_boots=()

# start_wine_prefix DIR [DPI]: begins making a new Wine prefix in DIR (what
# was there goes) in the background; wait_wine_prefixes waits for it. Each
# prefix has a server of its own, so several can be made side by side. The
# prefix takes its regional settings from LC_ALL as it is here; with a DPI
# its screen has that many dots per inch. The prefix's server is started
# here and kept running, so that its programs do not start later as
# children of a test and hold the test's output open. Its server is ended
# and DIR removed when the script ends.
start_wine_prefix() {
  wine_environment
  at_exit remove_wine_prefix "$1"
  boot_wine_prefix "$@" &
  wine_boots+=("$!")
}

# wait_wine_prefixes: waits for the prefixes start_wine_prefix began; fails
# when one could not be made.
wait_wine_prefixes() {
  local pid failed=0
  for pid in "${wine_boots[@]}"; do
    wait "$pid" || failed=1
  done
  wine_boots=()
  if ((failed)); then
    echo "$(basename "$0"): a Wine prefix could not be made" >&2
    return 1
  fi
}

# make_wine_prefix DIR [DPI]: start_wine_prefix, then waits for it.
make_wine_prefix() {
  start_wine_prefix "$@"
  wait_wine_prefixes
}

boot_wine_prefix() {
  export WINEPREFIX=$1
  rm -rf "$WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  "$wineserver" -p
  "$wine" wineboot --init
  # Wine draws the windows' frames itself: with no window manager on the
  # server, a window left to one waits two seconds for it at every hide.
  "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f
  if [[ -n "${2:-}" ]]; then
    "$wine" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$2" /f
  fi
} </dev/null >/dev/null 2>&1

remove_wine_prefix() {
  local pid
  # A prefix still being made when the script ends stops being made first,
  # or its next step would start its server again.
  for pid in "${wine_boots[@]}"; do stop_process "$pid"; done
  wine_boots=()
  if [[ -d "$1" ]]; then
    # The server writes the registry out as it ends: it must be gone before
    # the folder is.
    WINEPREFIX=$1 "$wineserver" -k 2>/dev/null || true
    WINEPREFIX=$1 timeout 30 "$wineserver" -w 2>/dev/null || true
    rm -rf "$1"
  fi
}

# start_wine_session: a virtual X server and a new Wine prefix, for showing
# the Windows program; sets DISPLAY, WINEPREFIX, and wine_session to the
# temporary folder that holds the prefix (and may hold the caller's own
# files). All of it goes when the script ends.
start_wine_session() {
  wine_session=$(mktemp -d -t mirvane-wine.XXXXXX)
  at_exit rm -rf "$wine_session"
  start_xvfb 1024x768x24
  export WINEPREFIX="$wine_session/wine"
  make_wine_prefix "$WINEPREFIX"
}
