#!/usr/bin/env bash
# Runs a Windows program under Wine, quietly, with a Wine prefix of its own
# (WINEPREFIX, default: ~/.cache/lorewright/wine). Used by the Windows cross
# build for build-time generators and tests.
set -euo pipefail
export WINEPREFIX="${WINEPREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/lorewright/wine}"
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko installer prompts on a machine without a display.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
export WINEARCH=win64
wine=""
for candidate in wine wine64 /usr/lib/wine/wine64; do
  if command -v "$candidate" >/dev/null 2>&1; then wine="$candidate"; break; fi
done
if [ -z "$wine" ]; then
  echo "wine-run.sh: Wine is not installed (Debian: apt-get install wine64)" >&2
  exit 127
fi
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  # Parallel builds may start several programs at once: one sets the prefix up.
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      "$wine" wineboot --init >/dev/null 2>&1 || true
      wineserver -w 2>/dev/null || true
    fi
  ) 9>"$WINEPREFIX.lock"
fi
# A Wine server that stays up between programs: the default one quits 3 s
# after its last program, and a program starting in that moment loses its
# connection ("recvmsg: Connection reset by peer"). No-op when one runs.
if command -v wineserver >/dev/null 2>&1; then
  wineserver -p"${LW_WINESERVER_LINGER:-30}" </dev/null >/dev/null 2>&1 || true
fi
exec "$wine" "$@"
