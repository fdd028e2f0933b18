#!/usr/bin/env bash
# Installs the Debian packages the build and tests need, when run as root; otherwise names them and stops.
# Usage: scripts/deps.sh [native|windows|all|fuzz]
#   native:  what the Linux build and tests need (never touches the 32-bit package index)
#   windows: the 32-bit Windows cross-compiler, then Wine; exits 3 when the cross-compiler is there but Wine
#            cannot be installed, 4 when neither can, and prints "<packages>: <the package tool's reason>" on
#            standard output, so make test can go on without them
#   all:     native, then windows
#   fuzz:    native plus clang with libFuzzer, for make fuzz only
set -uo pipefail
want=${1:-all}

native=(cmake ninja-build g++ make pkg-config libgtest-dev libgmock-dev googletest libbenchmark-dev libcli11-dev
  nlohmann-json3-dev fp-compiler fp-units-fcl fp-units-misc libchm-dev qt6-base-dev fonts-dejavu-core
  binutils dpkg-dev zip unzip locales mosquitto mosquitto-clients libmosquitto-dev openssl)
# The cross-compiler needs no 32-bit index; Wine does.
windows_build=(g++-mingw-w64-i686 xvfb xauth)
windows_run=(wine wine32:i386)
fuzz=(clang libclang-rt-14-dev llvm)
arch=$(dpkg --print-architecture)
export DEBIAN_FRONTEND=noninteractive

missing_of() {
  local p status
  for p in "$@"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [ "$status" = "install ok installed" ] || echo "$p"
  done
}

# A mirror in the middle of a sync serves indexes of the wrong size for a while: try a few times, then go
# on with what could be fetched (apt keeps the old index or ignores the failed one); the install says
# whether the packages still resolve.
index_error=
update_index() {
  local try out
  for try in 1 2 3; do
    if out=$(apt-get "$@" update -q 2>&1); then return 0; fi
    echo "$out" | grep -E '^(E|W):' | head -3 >&2
    index_error=$(echo "$out" | grep -m1 -E '^E: Failed to fetch' | sed -E 's/ *\[IP:[^]]*\]//; s/^E: //')
    [ "$try" -lt 3 ] && { echo "apt-get update failed (try $try of 3); trying again in 10 s" >&2; sleep 10; }
  done
  echo "apt-get update still fails; going on with the indexes it has" >&2
  return 0
}

# Installs $@ (a set), or prints why not and returns 1. "$opts" go before the verb.
install_set() {
  local missing out
  mapfile -t missing < <(missing_of "$@")
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "Missing packages. Install them with:" >&2
    [[ " ${missing[*]}" == *":i386"* ]] && echo "  sudo dpkg --add-architecture i386 && sudo apt-get update" >&2
    echo "  sudo apt-get install -y --no-install-recommends ${missing[*]}" >&2
    exit 1
  fi
  echo "Installing: ${missing[*]}" >&2
  update_index "${opts[@]}"
  if ! out=$(apt-get "${opts[@]}" install -y -q --no-install-recommends "${missing[@]}" 2>&1); then
    echo "$out" | tail -20 >&2
    reason=$( (echo "$out" | grep -m1 -E 'not installable|has no installation candidate|Unable to locate' \
      | sed -E 's/^ *//; s/ +/ /g'; echo "$out" | grep -m1 -E '^E:') | paste -sd ';' | sed 's/;/; /')
    [ -n "$index_error" ] && reason="an index could not be fetched ($index_error), so: $reason"
    echo "${missing[*]}: ${reason:-apt-get install failed}"
    return 1
  fi
}

native_step() {
  # Only the machine's own architecture: a broken 32-bit index must not stop the Linux build.
  opts=(-o "APT::Architectures=$arch")
  install_set "${native[@]}" >&2 || exit 1
}

windows_step() {
  if [ "$(id -u)" -eq 0 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
  opts=(-o "APT::Architectures=$arch")
  install_set "${windows_build[@]}" || exit 4
  opts=()
  install_set "${windows_run[@]}" || exit 3
}

case "$want" in
  native) native_step ;;
  windows) windows_step ;;
  all) native_step; windows_step ;;
  fuzz) native_step; opts=(-o "APT::Architectures=$arch"); install_set "${fuzz[@]}" >&2 || exit 1 ;;
  *) echo "usage: scripts/deps.sh [native|windows|all|fuzz]" >&2; exit 2 ;;
esac
exit 0
