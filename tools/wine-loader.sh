# Sourced by the tools: finds out once whether this machine runs Wine's
# 32-bit loader, and hands the answer to every tool started below through
# the environment. WINE_NO_32BIT=1 makes the tools act as on a machine that
# runs no 32-bit program, so that road can be tried anywhere.
#
# Sets WINE_LOADER (the loader that runs this machine's prefixes),
# WINE_WIDTHS (the builds whose programs run here), WINE_RUN_WIDTH (the one
# the demo and the benchmarks run: the 32-bit build where it can) and,
# where the 32-bit build cannot run, WINE_NO_32BIT_WHY.
if [ -z "${WINE_32BIT:-}" ]; then
  if [ -n "${WINE_NO_32BIT:-}" ]; then
    WINE_32BIT=no
    WINE_NO_32BIT_WHY="WINE_NO_32BIT is set"
  elif /usr/lib/wine/wine --version >/dev/null 2>&1; then
    WINE_32BIT=yes
  else
    WINE_32BIT=no
    WINE_NO_32BIT_WHY="this machine runs no 32-bit program, so Wine's 32-bit loader does not start"
  fi
  export WINE_32BIT WINE_NO_32BIT_WHY
fi
if [ "$WINE_32BIT" = yes ]; then
  WINE_LOADER=/usr/lib/wine/wine
  WINE_WIDTHS="win32 win64"
  WINE_RUN_WIDTH=win32
else
  WINE_LOADER=/usr/lib/wine/wine64
  WINE_WIDTHS=win64
  WINE_RUN_WIDTH=win64
  # Wine starts its own processes with this loader too.
  export WINELOADER=$WINE_LOADER
fi
