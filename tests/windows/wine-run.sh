#!/bin/sh
# wine-run.sh PREFIX PROGRAM [ARGS...]: runs a Windows program under Wine in the build's
# own prefix, which is created on first use (once, even when tests start side by side).
# The prefix's Wine server is ended afterwards: it would keep the desktop made for this
# program's display (or lack of one) for the next program, whose display may differ.
set -eu
WINEPREFIX=$1
shift
# No debug channels; no Mono or Gecko installers (nothing here needs .NET or HTML).
WINEDEBUG=-all
WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX WINEDEBUG WINEDLLOVERRIDES
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  flock "$WINEPREFIX/.create.lock" sh -c '[ -f "$WINEPREFIX/system.reg" ] || { wineboot -i && wineserver -w; }'
fi
status=0
wine "$@" || status=$?
wineserver -k 2>/dev/null || true
exit $status
