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
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep "install ok installed" >/dev/null; then
      missing+=("$p")
      [[ "$p" == *32 || "$p" == wine32 ]] && need_i386=1
    fi
  done
done
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"

# apt-get update, tried again while an index fails to arrive: a mirror in
# the middle of a sync serves an index of the wrong size for a while. Each
# try is announced on one line; the waits grow (PLCLINK_APT_WAIT seconds,
# default 20, then twice and four times that: well under three minutes in
# all). Then the install goes ahead all the same, since the lists that did
# arrive may serve. UPDATE_FAILED says how the last try failed ("" when it
# did not).
APT_TRIES=4
UPDATE_FAILED=""
apt_update() {
  local try wait=${PLCLINK_APT_WAIT:-20} out status fetch
  out=$(mktemp)
  for try in $(seq "$APT_TRIES"); do
    status=0
    $SUDO apt-get update -qq >"$out" 2>&1 || status=$?
    cat "$out" >&2
    # "E: Failed to fetch URL  REASON": the index and why.
    fetch=$(sed -n 's/^[EW]: Failed to fetch //p' "$out" | tail -1)
    if [ -n "$fetch" ]; then
      UPDATE_FAILED="the index ${fetch%%[[:space:]]*} failed ($(echo "${fetch#*[[:space:]]}" | sed 's/^ *//; s/ *\[IP: [^]]*\]$//'))"
    elif [ $status -ne 0 ]; then
      UPDATE_FAILED="apt-get update failed (exit status $status)"
    else
      UPDATE_FAILED=""
      break
    fi
    [ "$try" -lt "$APT_TRIES" ] || break
    echo "apt-get update: try $try of $APT_TRIES failed; trying again in $wait s" >&2
    sleep "$wait"
    wait=$((wait * 2))
  done
  rm -f "$out"
  [ -z "$UPDATE_FAILED" ] ||
    echo "apt-get update: $APT_TRIES tries failed; installing from the lists that did arrive" >&2
}

# Installs the packages, or exits with one line that names the failing
# index or the packages, and says what to do.
apt_install() {  # package...
  echo "installing: $*" >&2
  apt_update
  local out status=0
  out=$(mktemp)
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "$@" >"$out" 2>&1 ||
    status=$?
  [ $status -eq 0 ] || cat "$out" >&2
  rm -f "$out"
  [ $status -eq 0 ] && return
  if [[ "$UPDATE_FAILED" == *"unexpected size"* || "$UPDATE_FAILED" == *"Mirror sync"* ||
        "$UPDATE_FAILED" == *"Hash Sum mismatch"* ]]; then
    echo "FAIL: could not install $*: $UPDATE_FAILED; the package mirror is being updated; run the command again later" >&2
  elif [ -n "$UPDATE_FAILED" ]; then
    echo "FAIL: could not install $*: $UPDATE_FAILED; check the network and the apt sources, then run the command again" >&2
  else
    echo "FAIL: apt-get could not install $* (its lines above say why)" >&2
  fi
  exit 1
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
  if [ $need_i386 -eq 1 ] && ! dpkg --print-foreign-architectures | grep i386 >/dev/null; then
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
