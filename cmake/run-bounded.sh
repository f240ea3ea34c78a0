#!/bin/sh
# Runs a test program for ctest with a bound of its own, a little below ctest's time-out: a program
# still running then has every thread's stack printed, for each of its processes (the test itself,
# or the wine process running it), before it is killed, so a hang says where it hung rather than
# ending in silence. Usage: run-bounded.sh SECONDS PROGRAM [ARGUMENTS...]
bound=$1
shift
gdb_bound=60  # a process gdb cannot read in this time is killed all the same

# The processes below $1, children first, then $1 itself.
tree() {
  for child in $(ps -o pid= --ppid "$1" 2>/dev/null); do
    tree "$child"
  done
  echo "$1"
}

# The processes below $1 but the shells and helpers that only wait for the program.
workers() {
  for p in $(tree "$1"); do
    name=$(cat "/proc/$p/comm" 2>/dev/null) || continue
    case "$name" in sh | dash | bash | *.sh | sleep | cat | timeout | gdb) continue ;; esac
    echo "$p"
  done
}

# Every thread's stack of each worker process.
stacks() {
  for p in $(workers "$1"); do
    name=$(cat "/proc/$p/comm" 2>/dev/null) || continue
    echo "run-bounded: process $p ($name), every thread's stack:"
    if command -v gdb >/dev/null 2>&1; then
      timeout "$gdb_bound" gdb -q -batch -nx -iex "set auto-load off" -p "$p" \
        -ex "set pagination off" \
        -ex "thread apply all bt" </dev/null 2>&1
    else
      echo "run-bounded: no gdb here (tools/setup.sh installs it); its threads' kernel stacks:"
      for t in /proc/"$p"/task/*; do
        echo "thread ${t##*/} ($(cat "$t/comm" 2>/dev/null)):"
        cat "$t/stack" 2>/dev/null || cat "$t/wchan" 2>/dev/null
        echo
      done
    fi
  done
}

# The workers first: a runner script between them and us (wine's) still prints what the program
# wrote; whatever is left goes after a grace.
kill_tree() {
  for p in $(workers "$1"); do kill -KILL "$p" 2>/dev/null; done
  sleep 2
  kill -0 "$1" 2>/dev/null || return
  for p in $(tree "$1"); do kill -KILL "$p" 2>/dev/null; done
}

"$@" &
program=$!

# The watcher sleeps with no output of ours open, so a sleep it leaves behind keeps no pipe of
# ctest's open.
watch() {
  sleep "$bound" </dev/null >/dev/null 2>&1 &
  nap=$!
  trap 'kill "$nap" 2>/dev/null; exit 0' TERM
  wait "$nap" || exit 0
  echo "run-bounded: $1 still runs after ${bound} s; printing its stacks, then killing it"
  stacks "$program"
  kill_tree "$program"
}
watch "$1" &
watcher=$!

wait "$program"
rc=$?
kill "$watcher" 2>/dev/null
wait "$watcher" 2>/dev/null
exit "$rc"
