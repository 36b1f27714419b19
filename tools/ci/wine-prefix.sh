#!/usr/bin/env bash
# Prepares a fresh 32-bit Wine prefix for running the Windows tests headless, and starts a
# persistent wine server in it. Source it: it exports WINEPREFIX, WINEARCH and WINEDEBUG.
set -euo pipefail
export WINEARCH=win32
export WINEDEBUG=-all
export WINEPREFIX="${WINEPREFIX:-${TMPDIR:-/tmp}/qv-wine-prefix}"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  rm -rf "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1 || true
  wineserver -w
fi
# A persistent server, then one warm-up run, so that Wine's background services do not hold
# on to the output pipe of the first test.
wineserver -p >/dev/null 2>&1 || true
wine cmd /c exit 0 </dev/null >/dev/null 2>&1 || true
