#!/usr/bin/env bash
# Installs the Debian packages the build and tests need, when run as root; otherwise names them and stops.
# Usage: scripts/deps.sh [native|all|fuzz]   (native: what the Linux build needs; all: also the Windows
# cross-build; fuzz: native plus clang with libFuzzer, for make fuzz only)
set -euo pipefail
want=${1:-all}

native=(cmake ninja-build g++ make pkg-config libgtest-dev libgmock-dev googletest libbenchmark-dev libcli11-dev nlohmann-json3-dev fp-compiler fp-units-fcl fp-units-misc libchm-dev qt6-base-dev fonts-dejavu-core)
windows=(g++-mingw-w64-i686 wine wine32:i386 xvfb xauth)
fuzz=(clang libclang-rt-14-dev llvm)

pkgs=("${native[@]}")
[ "$want" = all ] && pkgs+=("${windows[@]}")
[ "$want" = fuzz ] && pkgs+=("${fuzz[@]}")

missing=()
for p in "${pkgs[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [ "$status" = "install ok installed" ] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

needs_i386=no
for p in "${missing[@]}"; do [[ $p == *:i386 ]] && needs_i386=yes; done

if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages. Install them with:" >&2
  [ $needs_i386 = yes ] && echo "  sudo dpkg --add-architecture i386 && sudo apt-get update" >&2
  echo "  sudo apt-get install -y --no-install-recommends ${missing[*]}" >&2
  exit 1
fi

echo "Installing: ${missing[*]}"
if [ $needs_i386 = yes ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}"
