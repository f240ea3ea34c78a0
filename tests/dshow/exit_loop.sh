#!/bin/sh
# exit_loop.sh RUNS COMMAND...: runs the wine host COMMAND RUNS times; each run must print
# "[exit] main returned" and then end with exit code 0 within ZX_EXIT_GRACE_S seconds (5).
# A run that outlives the grace, is killed, or fails is reported with its output.
runs=${1:?usage: exit_loop.sh RUNS COMMAND...}
shift
grace_ms=$((${ZX_EXIT_GRACE_S:-5} * 1000))
start_limit_ms=120000 # a run that never reaches the marker
marker='[exit] main returned'
out=$(mktemp)
trap 'rm -f "$out"' EXIT
now_ms() { date +%s%3N; }
failed=0
run=1
while [ "$run" -le "$runs" ]; do
  wine "$@" >"$out" 2>&1 </dev/null &
  pid=$!
  began=$(now_ms)
  returned=""
  late=""
  while kill -0 "$pid" 2>/dev/null; do
    t=$(now_ms)
    if [ -z "$returned" ] && grep -qF "$marker" "$out"; then returned=$t; fi
    if [ -n "$returned" ] && [ $((t - returned)) -gt "$grace_ms" ]; then late=after; fi
    if [ -z "$returned" ] && [ $((t - began)) -gt "$start_limit_ms" ]; then late=before; fi
    if [ -n "$late" ]; then
      kill -9 "$pid" 2>/dev/null
      break
    fi
    sleep 0.05
  done
  wait "$pid"
  rc=$?
  ended=$(now_ms)
  if [ -z "$returned" ] && grep -qF "$marker" "$out"; then returned=$ended; fi
  if [ -n "$late" ] || [ "$rc" -ne 0 ] || [ -z "$returned" ]; then
    failed=$((failed + 1))
    if [ "$late" = after ]; then
      echo "run $run: still running ${ZX_EXIT_GRACE_S:-5} s after main returned; killed"
    elif [ -z "$returned" ]; then
      echo "run $run: main never returned (exit code $rc)"
    else
      echo "run $run: exit code $rc, $((ended - returned)) ms after main returned"
    fi
    sed 's/^/    /' "$out"
  else
    echo "run $run: exit code 0, $((ended - returned)) ms after main returned"
  fi
  run=$((run + 1))
done
echo "$failed of $runs runs did not end cleanly"
[ "$failed" -eq 0 ]
