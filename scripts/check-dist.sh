#!/usr/bin/env bash
# Checks the release artifacts that make dist wrote: each artifact's file list, that the modules carry the
# project version in their version record and no debug sections, that the Windows files need no runtime
# DLL beside them, that the Debian package's Depends names the package of every library its files link
# against, and that the tarball's kvo-host finds its module.
# Usage: scripts/check-dist.sh <dist folder> <project version>
# Prints one line per fault and exits 1 when there is any.
set -uo pipefail
[ $# -eq 2 ] || { echo "usage: scripts/check-dist.sh <dist folder> <project version>" >&2; exit 2; }
dist=$1 version=$2
arch=$(dpkg --print-architecture)
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
deb=$dist/kvo_${version}_${arch}.deb
tgz=$dist/kvo-$version-Linux-$(uname -m).tar.gz
zip=$dist/kvo-$version-win32.zip
linux_root=kvo-$version-Linux-$(uname -m) win32_root=kvo-$version-win32
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

faults=0
fault() {
  echo "FAULT: $*"
  faults=$((faults + 1))
}

# What cmake --install lays out on Linux, below the prefix (the tables below name these lists).
# shellcheck disable=SC2034
linux_files=(bin/kvo-host
  include/kvo/kvo_export.h include/kvo/kvo_host.h include/kvo/kvo_plugin.h
  lib/cmake/kvo/kvoConfig.cmake lib/cmake/kvo/kvoConfigVersion.cmake lib/cmake/kvo/kvoTargets.cmake
  lib/cmake/kvo/kvoTargets-release.cmake
  lib/kvo/deadband.so lib/kvo/deadband.lng lib/kvo/deadband.chm
  lib/libkvohost.so lib/libkvohost.so.1 "lib/libkvohost.so.$version" lib/libkvohost.a
  lib/pkgconfig/kvohost.pc)
# shellcheck disable=SC2034
win32_files=(README.txt bin/kvo-host.exe lib/kvo/deadband.dll lib/kvo/deadband.lng lib/kvo/deadband.chm)

# Unpacks each artifact into $work/<name>; a missing or unreadable one is a fault.
unpack() {
  local name=$1 file=$2
  mkdir -p "$work/$name"
  [ -f "$file" ] || { fault "$file: not made"; return 1; }
  case $name in
    deb) dpkg-deb -x "$file" "$work/$name" ;;
    tgz) tar -xzf "$file" -C "$work/$name" ;;
    zip) unzip -q "$file" -d "$work/$name" ;;
  esac || { fault "$file: cannot be unpacked"; return 1; }
}

# artifact  file  root inside it  expected files
artifacts=(
  "deb        $deb  usr             linux_files"
  "tgz        $tgz  $linux_root     linux_files"
  "zip        $zip  $win32_root     win32_files"
)
for row in "${artifacts[@]}"; do
  read -r name file root list <<<"$row"
  unpack "$name" "$file" || continue
  declare -n expected=$list
  # Files and links only: folders follow from them.
  actual=$(cd "$work/$name" && find . \( -type f -o -type l \) | sed 's|^\./||' | sort)
  wanted=$(printf "$root/%s\n" "${expected[@]}" | sort)
  if [ "$actual" != "$wanted" ]; then
    fault "$file: file list differs (< missing, > not expected):"
    diff <(echo "$wanted") <(echo "$actual") | grep '^[<>]' | sed 's/^/  /'
  fi
  unset -n expected
done

# The bytes of <section> of <file> in hex, one line.
section_hex() {
  local objdump=$1 file=$2 section=$3 size offset
  read -r size offset < <("$objdump" -h "$file" | awk -v s="$section" '$2 == s { print $3, $6 }')
  [ -n "${size:-}" ] || return 1
  od -An -v -tx1 -j $((16#$offset)) -N $((16#$size)) "$file" | tr -d ' \n'
}

# The fixed version record in a section's hex: the 32-bit aligned signature 0xFEEF04BD, the structure's
# version, then the file version's two words; as "major.minor.release.build".
version_record() {
  local hex=$1 at words
  at=$(grep -ob bd04effe <<<"$hex" | awk -F: '$1 % 8 == 0 { print $1; exit }')
  [ -n "$at" ] || return 1
  words=${hex:$((at + 16)):16}
  le16() { echo $((16#${1:2:2}${1:0:2})); }
  echo "$(le16 "${words:4:4}").$(le16 "${words:0:4}").$(le16 "${words:12:4}").$(le16 "${words:8:4}")"
}

# The project version with all four numbers, as the version records hold it.
IFS=. read -r v1 v2 v3 v4 <<<"$version"
full=$((10#${v1:-0})).$((10#${v2:-0})).$((10#${v3:-0})).$((10#${v4:-0}))

# artifact  file                             objdump                   section of the version record
modules=(
  "deb        usr/lib/kvo/deadband.so          objdump                   .kvo_version"
  "zip        $win32_root/lib/kvo/deadband.dll  i686-w64-mingw32-objdump  .rsrc"
  "zip        $win32_root/bin/kvo-host.exe      i686-w64-mingw32-objdump  -"
)
for row in "${modules[@]}"; do
  read -r name file objdump section <<<"$row"
  path=$work/$name/$file
  [ -f "$path" ] || continue  # already a fault of the file list
  debug=$("$objdump" -h "$path" | awk '$2 ~ /^\.(z?debug|stab)/ { printf " %s", $2 }')
  [ -z "$debug" ] || fault "$name: $file has debug sections:$debug"
  if [ "$section" != - ]; then
    hex=$(section_hex "$objdump" "$path" "$section") || hex=
    got=$(version_record "$hex") || got="none"
    [ "$got" = "$full" ] || fault "$name: $file carries version $got in $section, not the project's $full"
  fi
  if [ "$name" = zip ]; then
    # mingw's runtime DLLs (lib*.dll) are not in the zip: the files must link it statically.
    runtime=$("$objdump" -p "$path" | awk '/DLL Name: lib/ { printf " %s", $3 }')
    [ -z "$runtime" ] || fault "$name: $file needs DLLs that are not in the zip:$runtime"
  fi
done

# Debian metadata: the version, and a dependency on the package of every library that a packaged file
# links against (other than the package's own).
if [ -d "$work/deb/usr" ]; then
  got=$(dpkg-deb -f "$deb" Version)
  [ "$got" = "$version" ] || fault "deb: version $got, not the project's $version"
  depends=$(dpkg-deb -f "$deb" Depends)
  [ -n "$depends" ] || fault "deb: no Depends"
  # "a (>= 1), b | c" -> a, b, c
  depends_names=$(tr ',|' '\n' <<<"$depends" | sed -E 's/^ *//; s/[ (:].*//')
  own=$(find "$work/deb" -name 'lib*.so.*' -printf '%f\n')
  needed=$(find "$work/deb" -type f -exec objdump -p {} + 2>/dev/null | awk '$1 == "NEEDED" { print $2 }' | sort -u)
  for soname in $needed; do
    grep -qxF "$soname" <<<"$own" && continue
    owner=$(dpkg -S "*/$multiarch/$soname" 2>/dev/null | sed -n -E "s/^([^:, ]+)(:$arch)?: .*/\1/p" | sort -u |
      head -1)
    if [ -z "$owner" ]; then
      fault "deb: no installed package has $soname, which the package's files need"
    elif ! grep -qxF "$owner" <<<"$depends_names"; then
      fault "deb: Depends does not name $owner (for $soname): $depends"
    fi
  done
fi

# The tarball's program finds the module beside it, as installed.
host=$work/tgz/$linux_root/bin/kvo-host
if [ -x "$host" ]; then
  if ! out=$("$host" info 2>&1); then
    fault "tgz: kvo-host info failed: $out"
  elif ! grep -q "^module: *$work/tgz/$linux_root/lib/kvo/deadband.so$" <<<"$out"; then
    fault "tgz: kvo-host took another module than the one beside it: $out"
  fi
fi

if [ $faults -ne 0 ]; then
  echo "dist check: $faults fault(s) in $dist"
  exit 1
fi
echo "dist check: $deb, $tgz and $zip are whole (version $version)"
