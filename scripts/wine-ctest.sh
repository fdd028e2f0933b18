#!/usr/bin/env bash
# Runs the Windows build's tests under Wine, in a fresh 32-bit prefix kept inside the build tree.
# Usage: scripts/wine-ctest.sh <build-dir> [ctest args...]
set -uo pipefail
build=$(cd "$1" && pwd); shift
# Dialog tests need a display: the whole Wine run (server, prefix, tests) shares one virtual display.
if [ -z "${KVO_WINE_XVFB:-}" ] && command -v xvfb-run >/dev/null 2>&1; then
  export KVO_WINE_XVFB=1
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$build" "$@"
fi
export WINEPREFIX="$build/wineprefix" WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
rm -rf "$WINEPREFIX"
# Wine's service processes must not inherit ctest's pipes, or every test waits for them.
wineserver -p </dev/null >/dev/null 2>&1
wine wineboot </dev/null >/dev/null 2>&1
# Without a window manager each closing window waits for one; Wine's own frames need none.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
ctest --test-dir "$build" --output-on-failure --timeout 120 --no-tests=error "$@"
rc=$?
wineserver -k </dev/null >/dev/null 2>&1
exit $rc
