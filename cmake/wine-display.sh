#!/bin/sh
# Runs a test executable that opens windows under wine. Its windows need the X display the
# whole wine session was started with, so the caller provides one (./test and CI run ctest
# under xvfb-run); without one the test is reported as skipped rather than failed.
if [ -z "$DISPLAY" ]; then
  echo "no X display: run the windows tests under xvfb-run -a to include this one"
  exit 77
fi
exec sh "$(dirname "$0")/wine-run.sh" "$@"
