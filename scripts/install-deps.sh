#!/usr/bin/env bash
# Installs, with apt-get, whatever of the build and test dependencies is
# missing. Usage: install-deps.sh [group...]; groups: linux (default),
# windows, fuzz.
set -euo pipefail

declare -A GROUPS_PKGS
GROUPS_PKGS[linux]="cmake ninja-build g++ g++-multilib libgtest-dev googletest libgmock-dev libbenchmark-dev libncurses-dev lib32ncurses-dev libcli11-dev socat tmux python3"
GROUPS_PKGS[windows]="g++-mingw-w64-i686 wine wine32 wine64 xvfb xauth imagemagick"
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
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"

apt_install() {  # package...
  echo "installing: $*" >&2
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "$@" >/dev/null
}

# True when this machine runs a 32-bit x86 program (built here with -m32).
runs_32_bit_programs() {
  local dir status=0
  dir=$(mktemp -d)
  printf 'int main(void) { return 0; }\n' >"$dir/probe.c"
  gcc -m32 "$dir/probe.c" -o "$dir/probe" 2>/dev/null && "$dir/probe" 2>/dev/null || status=1
  rm -rf "$dir"
  return $status
}

# A kernel built without IA-32 emulation cannot start the 32-bit build's
# tests nor Wine's 32-bit programs; qemu's user-mode emulator, registered
# with the kernel for i386 programs, runs them instead.
enable_32_bit_emulation() {
  apt_install qemu-user-static binfmt-support
  local misc=/proc/sys/fs/binfmt_misc
  [ -e "$misc/register" ] || $SUDO mount -t binfmt_misc binfmt_misc "$misc"
  $SUDO update-binfmts --enable qemu-i386 >/dev/null 2>&1 || true
  if [ ! -e "$misc/qemu-i386" ]; then
    printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' |
      $SUDO tee "$misc/register" >/dev/null
  fi
}

installed=()
if [ ${#missing[@]} -ne 0 ]; then
  if [ $need_i386 -eq 1 ] && ! dpkg --print-foreign-architectures | grep -q i386; then
    $SUDO dpkg --add-architecture i386
  fi
  apt_install "${missing[@]}"
  installed+=("${missing[@]}")
fi
if [[ " ${groups[*]} " == *" linux "* ]] && ! runs_32_bit_programs; then
  enable_32_bit_emulation
  runs_32_bit_programs || { echo "FAIL: 32-bit programs do not run here, not even under qemu-i386" >&2; exit 1; }
  installed+=("qemu-user-static (32-bit programs run emulated)")
fi

# The last line printed says what was installed.
if [ ${#installed[@]} -eq 0 ]; then
  echo "nothing to install"
else
  echo "installed ${installed[*]}"
fi
