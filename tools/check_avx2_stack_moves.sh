#!/bin/sh
# Fails when an AVX2 object uses an aligned vector move against the stack: Windows only
# aligns the stack to 16 bytes, so a 32-byte vmovaps/vmovdqa there can fault.
# Usage: check_avx2_stack_moves.sh OBJDUMP OBJECT...
set -eu
objdump=$1
shift
status=0
count=0
# CMake hands a target's objects over as one ;-separated argument.
set -f
saved_ifs=$IFS
IFS=';'
for obj in $*; do
  IFS=$saved_ifs
  count=$((count + 1))
  # A file objdump cannot read is a failure, not an object without hits.
  listing=$("$objdump" -d "$obj")
  hits=$(printf '%s\n' "$listing" | grep -E 'vmov(aps|apd|dqa|dqa64|dqa32)[[:space:]].*\(%r(sp|bp)\)' || true)
  if [ -n "$hits" ]; then
    echo "aligned vector moves against the stack in $obj:" >&2
    echo "$hits" >&2
    status=1
  fi
done
[ $status -eq 0 ] && echo "no aligned vector stack moves in $count object(s)"
exit $status
