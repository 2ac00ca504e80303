#!/usr/bin/env bash
# Runs a Windows program under Wine for the tests: quiet, without a display, and without the
# Mono and Gecko installers that a new Wine prefix would offer.
set -euo pipefail
wine=""
for w in wine64 /usr/lib/wine/wine64 wine; do
  if command -v "$w" >/dev/null 2>&1; then
    wine="$(command -v "$w")"
    break
  fi
done
if [[ -z "$wine" ]]; then
  echo "wine-run: wine64 is not installed (bash tools/setup.sh --windows)" >&2
  exit 127
fi
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
export WINEPREFIX="${WINEPREFIX:-$HOME/.wine-pelterra}"
unset DISPLAY WAYLAND_DISPLAY
exec "$wine" "$@"
