#!/bin/sh
# Fails when an AVX2 object uses an aligned vector move against the stack: Windows only
# aligns the stack to 16 bytes, so a 32-byte vmovaps/vmovdqa there can fault.
# Usage: check_avx2_stack_moves.sh OBJDUMP OBJECT...
set -eu
objdump=$1
shift
status=0
for obj in "$@"; do
  hits=$("$objdump" -d "$obj" | grep -E 'vmov(aps|apd|dqa|dqa64|dqa32)[[:space:]].*\(%r(sp|bp)\)' || true)
  if [ -n "$hits" ]; then
    echo "aligned vector moves against the stack in $obj:" >&2
    echo "$hits" >&2
    status=1
  fi
done
[ $status -eq 0 ] && echo "no aligned vector stack moves in $# object(s)"
exit $status
