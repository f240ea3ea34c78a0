# Sourced by the prefix scripts: wine_retry CMD... runs a wine step up to three times. Wine 8 now
# and then fails to start a process at all ("failed to map the shared user data") while several
# prefixes boot at once; every step these scripts retry is idempotent, so a second run is safe.
wine_retry() {
  for wine_attempt in 1 2 3; do
    if "$@"; then
      return 0
    fi
    [ "$wine_attempt" -lt 3 ] || return 1
    echo "wine step failed (attempt $wine_attempt), trying again: $*" >&2
    sleep 1
  done
}
