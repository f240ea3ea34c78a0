#!/bin/sh
# Runs a Windows program under wine for ctest. Wine's helper processes inherit the caller's
# descriptors and outlive the program, so its output goes through a file: a pipe held open by
# them would keep ctest waiting after the program has ended.
# Wine 8 now and then fails to start a process at all ("failed to map the shared user data",
# reported on its virtual channel); the program never ran then, so it is run again, twice at most.
export WINEDEBUG="${WINEDEBUG:+$WINEDEBUG,}err+virtual"
out=$(mktemp)
for attempt in 1 2 3; do
  wine "$@" >"$out" 2>&1 </dev/null
  rc=$?
  if [ $rc -eq 0 ] || [ $attempt -eq 3 ] ||
     ! grep -q "failed to map the shared user data" "$out"; then
    break
  fi
  cat "$out"
  echo "wine-run: wine could not start the program; running it again"
done
cat "$out"
rm -f "$out"
exit $rc
