#!/usr/bin/env bash
# Installs, with apt-get, whatever of the build and test dependencies is
# missing. Usage: install-deps.sh [group...]; groups: linux (default),
# windows, fuzz.
set -euo pipefail

declare -A GROUPS_PKGS
GROUPS_PKGS[linux]="cmake ninja-build g++ g++-multilib libgtest-dev googletest libgmock-dev libbenchmark-dev libncurses-dev lib32ncurses-dev libcli11-dev socat tmux python3"
GROUPS_PKGS[windows]="g++-mingw-w64-i686 wine wine32 xvfb xauth imagemagick"
GROUPS_PKGS[fuzz]="clang-14 libclang-rt-14-dev"

groups=("$@")
[ ${#groups[@]} -eq 0 ] && groups=(linux)

missing=()
need_i386=0
for g in "${groups[@]}"; do
  for p in ${GROUPS_PKGS[$g]}; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$p")
      [[ "$p" == *32 || "$p" == wine32 ]] && need_i386=1
    fi
  done
done
# The last line printed says what was installed.
if [ ${#missing[@]} -eq 0 ]; then
  echo "nothing to install"
  exit 0
fi

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
if [ $need_i386 -eq 1 ] && ! dpkg --print-foreign-architectures | grep -q i386; then
  $SUDO dpkg --add-architecture i386
fi
echo "installing: ${missing[*]}" >&2
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
echo "installed ${missing[*]}"
