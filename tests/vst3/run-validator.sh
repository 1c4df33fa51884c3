#!/bin/sh
# run-validator.sh VALIDATOR BUNDLE [OPTIONS...]
# The VST 3 SDK's validator on the bundle: every test must pass. Exit status 77 (skipped)
# where the validator is absent: only some machines have it (TW07_VST3_VALIDATOR).
set -u
validator=$1
bundle=$2
shift 2
if [ ! -x "$validator" ]; then
  echo "no VST 3 validator at '$validator' (set TW07_VST3_VALIDATOR): skipped"
  exit 77
fi
# One of the validator's own threading tests can hang now and then: a hang is a failure here.
output=$(timeout 600 "$validator" "$@" "$bundle" 2>&1)
status=$?
echo "$output" | grep -E "Failed|ERROR|Result:"
[ "$status" -eq 0 ] || { echo "the validator exited with $status"; exit 1; }
echo "$output" | grep -qE "^Result: [0-9]+ tests passed, 0 tests failed" || exit 1
