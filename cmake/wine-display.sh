#!/bin/sh
# Runs a test executable under wine; one that opens windows gets a virtual X display if none is set.
if [ -n "$DISPLAY" ]; then
  exec wine "$@"
fi
exec xvfb-run -a wine "$@"
