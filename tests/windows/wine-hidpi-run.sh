#!/bin/sh
# wine-hidpi-run.sh PREFIX PROGRAM [ARGS...]: runs a Windows program as wine-run.sh does,
# with the desktop at 192 DPI (200 %), which Wine reads when a process starts; the prefix
# is set back to its default afterwards.
set -eu
here=$(dirname "$0")
prefix=$1
desktop='HKCU\Control Panel\Desktop'
sh "$here/wine-run.sh" "$prefix" reg add "$desktop" /v LogPixels /t REG_DWORD /d 192 /f >/dev/null
status=0
sh "$here/wine-run.sh" "$@" || status=$?
sh "$here/wine-run.sh" "$prefix" reg delete "$desktop" /v LogPixels /f >/dev/null || true
exit $status
