#!/usr/bin/env bash
# Pictures of the options dialog with sample settings: Qt offscreen from the native build, Win32 under
# Wine with a virtual display from the Windows build. Each goes into its build folder.
# Usage: scripts/screenshots.sh <native-build-dir> <win32-build-dir>
set -uo pipefail
native=$(cd "$1" && pwd)
win32=$(cd "$2" && pwd)

if [ -z "${KVO_SCREENSHOT_XVFB:-}" ]; then
  if [ -x "$native/tests/view/kvo-dialog-screenshot" ]; then
    QT_QPA_PLATFORM=offscreen "$native/tests/view/kvo-dialog-screenshot" "$native/options-dialog-qt.png" || exit 1
  else
    echo "no Qt dialog in $native (built without Qt 6?)" >&2
  fi
  # The Windows part runs again inside a virtual display.
  export KVO_SCREENSHOT_XVFB=1
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$native" "$win32"
fi

export WINEPREFIX="$win32/wineprefix-screenshot" WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wineserver -p </dev/null >/dev/null 2>&1
wine wineboot </dev/null >/dev/null 2>&1
# Wine draws the frame itself; no window manager is waited for.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
wine "$win32/tests/view/kvo-dialog-screenshot.exe" "$win32/options-dialog-win32.png" </dev/null
rc=$?
wineserver -k </dev/null >/dev/null 2>&1
exit $rc
