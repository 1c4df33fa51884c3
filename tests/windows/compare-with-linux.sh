#!/bin/sh
# compare-with-linux.sh LINUX_BUILD_DIR OUT_DIR COMMAND...
# Renders the demo riff through the Linux module with the Linux tw07-host, then runs
# COMMAND (the Windows test program under Wine) to render the same input file through
# the Windows module and compare. Exit status 77 (skipped) without a Linux build.
set -eu
linux_build=$1
out=$2
shift 2
host="$linux_build/tools/tw07-host"
module="$linux_build/plug/tw07.so"
if [ ! -x "$host" ] || [ ! -f "$module" ]; then
  echo "no Linux build with tw07-host and tw07.so in $linux_build: nothing to compare with"
  exit 77
fi
"$host" demo "$module" --out-dir "$out" >/dev/null
TW07_LINUX_REFERENCE="Z:$out" exec "$@" --gtest_filter=WindowsOutput.MatchesTheLinuxModule
