#!/bin/sh
# Runs a Windows program under wine for ctest. Wine's helper processes inherit the caller's
# descriptors and outlive the program, so its output goes through a file: a pipe held open by
# them would keep ctest waiting after the program has ended.
out=$(mktemp)
wine "$@" >"$out" 2>&1 </dev/null
rc=$?
cat "$out"
rm -f "$out"
exit $rc
