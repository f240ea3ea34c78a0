#!/usr/bin/env bash
# Holds the dependency directions of the design note: each git grep line must print nothing.
set -uo pipefail
cd "$(dirname "$0")/.."

# The lines exactly as the design note gives them (house.md, "Dependency directions").
checks=(
  "git grep -n '#include \"\\(core\\|pipeline\\|usb\\|models\\)/' -- kernels/ base/"
  "git grep -n '#include \"\\(core\\|usb\\|models\\|dshow\\)/'    -- pipeline/"
  "git grep -n '#include \"\\(core\\|pipeline\\|models\\|dshow\\)/' -- usb/"
  "git grep -n '#include \"\\(models\\|dshow\\)/'               -- core/"
  "git grep -n '#include \"\\(pipeline\\|usb\\)/' -- core/lumorix.h core/lumorix_impl_base.h core/lumorix_frame.h core/model_catalogue.h core/camera_enumeration.h core/camera_opening.h"
  "git grep -n '#include \"dshow/\\(filter\\|pins\\)/'          -- dshow/base/ pages/"
  "git grep -n '#include \"\\(core\\|pipeline\\|models\\)/'      -- sim/"
)

violations=0
for check in "${checks[@]}"; do
  found=$(eval "$check")
  [ -n "$found" ] || continue
  echo "$found"
  violations=$((violations + $(wc -l <<<"$found")))
done
echo "layering: $violations violations"
[ "$violations" -eq 0 ]
