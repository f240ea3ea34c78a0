#!/usr/bin/env bash
# Every tracked C and C++ source must be as clang-format leaves it (config in .clang-format).
set -uo pipefail
cd "$(dirname "$0")/.."

# The version setup.sh installs; another version formats some constructs differently.
format=clang-format-14
command -v "$format" >/dev/null || { echo "format: $format not installed"; exit 1; }

mapfile -t files < <(git ls-files -- '*.c' '*.cpp' '*.h')
# One run over all files; each misformatted spot is reported as "file:line:col: error: ...".
report=$(printf '%s\0' "${files[@]}" | xargs -0 -n 100 "$format" --dry-run --Werror 2>&1 >/dev/null)
mapfile -t bad < <(grep -oE '^[^:[:space:]]+:[0-9]+:[0-9]+: error' <<<"$report" | cut -d: -f1 | sort -u)
for f in "${bad[@]}"; do echo "misformatted: $f"; done
# A failure that names no file (a broken config, say) must not pass as clean.
if [ "${#bad[@]}" -eq 0 ] && [ -n "$report" ]; then
  echo "$report" | head -n 20
  echo "format: ${#files[@]} files checked, clang-format failed"
  exit 1
fi
echo "format: ${#files[@]} files checked, ${#bad[@]} misformatted"
[ "${#bad[@]}" -eq 0 ]
