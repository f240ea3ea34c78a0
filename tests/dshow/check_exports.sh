#!/usr/bin/env bash
# check_exports.sh MODULE NAME...: each NAME is an undecorated name in MODULE's export table.
set -euo pipefail
module=$1
shift
table=$(x86_64-w64-mingw32-objdump -p "$module")
for name in "$@"; do
  grep -Eq "^[[:space:]]*\[ *[0-9]+\] ${name}\$" <<<"$table" || { echo "missing: $name"; exit 1; }
done
