#!/usr/bin/env bash
# manual-page.sh PROGRAM MANUAL: the manual page names the same options and parameters as the
# program's --help, and groff formats it without a warning.
set -euo pipefail
export LC_ALL=C.UTF-8
program=$1 manual=$2
help=$("$program" --help)
failures=0
fail() { echo "manual page: $*" >&2; failures=$((failures + 1)); }

# Options: those at the start of --help's lines; in the manual, the tags of its .TP paragraphs.
from_help=$(sed -n 's/^  \(--*[a-z][a-z-]*\).*/\1/p' <<< "$help" | sort -u)
from_manual=$(awk 'tag { print; tag = 0 } /^\.TP/ { tag = 1 }' "$manual" | sed 's/\\-/-/g' |
  grep -o -- '--*[a-z][a-z-]*' | sort -u)
for option in $from_help; do
  grep -qx -- "$option" <<< "$from_manual" || fail "--help has $option, the manual page does not"
done
for option in $(grep -- '^--' <<< "$from_manual"); do
  grep -qx -- "$option" <<< "$from_help" || fail "the manual page has $option, --help does not"
done

# Parameters: "Parameters: A, B." in --help, "The parameters are A, B and C." in the manual.
listed() { sed 's/ and /, /; s/\.$//' | tr ',' '\n' | sed 's/^ *//; /^$/d'; }
help_parameters=$(sed -n 's/^Parameters: //p' <<< "$help" | listed)
manual_parameters=$(sed -n 's/^The parameters are //p' "$manual" | listed)
[ -n "$help_parameters" ] || fail "--help names no parameters"
[ "$help_parameters" = "$manual_parameters" ] ||
  fail "the parameters differ: --help [$(echo $help_parameters)], manual page [$(echo $manual_parameters)]"

warnings=$(MANWIDTH=80 man --warnings -E UTF-8 -l "$manual" 2>&1 >/dev/null || true)
[ -z "$warnings" ] || fail "groff warns: $warnings"

[ "$failures" -eq 0 ] || exit 1
echo "manual page: $(wc -w <<< "$from_help") options and $(wc -l <<< "$help_parameters") parameters as in --help"
