#!/usr/bin/env bash
# Runs the Windows build's tests under Wine, in a fresh 32-bit prefix kept inside the build tree.
# Usage: scripts/wine-ctest.sh <build-dir> [ctest args...]
set -uo pipefail
build=$(cd "$1" && pwd); shift
export WINEPREFIX="$build/wineprefix" WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
rm -rf "$WINEPREFIX"
# Wine's service processes must not inherit ctest's pipes, or every test waits for them.
wineserver -p </dev/null >/dev/null 2>&1
wine wineboot </dev/null >/dev/null 2>&1
ctest --test-dir "$build" --output-on-failure --timeout 120 --no-tests=error "$@"
rc=$?
wineserver -k </dev/null >/dev/null 2>&1
exit $rc
