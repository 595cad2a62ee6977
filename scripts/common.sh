# Shared by the project's scripts: where things are built, and how.
# Sourced, not run.

TESMORA_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
TESMORA_BUILD=${TESMORA_BUILD:-$TESMORA_ROOT/build}

# Wine runs the 32-bit Windows programs in a prefix of the project's own, so
# that nothing of the user's own wine setup is touched; it needs no display,
# no .NET and no browser engine.
export WINEPREFIX=${WINEPREFIX:-$TESMORA_BUILD/wineprefix}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

# configure NAME [cmake arguments...]: configures $TESMORA_BUILD/NAME.
configure() {
  local name=$1
  shift
  local log="$TESMORA_BUILD/$name.configure.log"
  mkdir -p "$TESMORA_BUILD"
  if ! cmake -S "$TESMORA_ROOT" -B "$TESMORA_BUILD/$name" -G Ninja "$@" >"$log" 2>&1; then
    cat "$log" >&2
    return 1
  fi
}

# configure_and_build NAME [cmake arguments...]: configures and builds everything.
configure_and_build() {
  configure "$@" && cmake --build "$TESMORA_BUILD/$1"
}

# The cross build for 32-bit Windows.
I686_TOOLCHAIN="-DCMAKE_TOOLCHAIN_FILE=$TESMORA_ROOT/cmake/i686-w64-mingw32.cmake"

# Creates the wine prefix once, before tests run in parallel. Where a test
# shows a window on a virtual display, wine draws its caption itself (there is
# no window manager), with the symbols of its Marlett font.
prepare_wine() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    wineboot --init >/dev/null 2>&1
    wineserver -w
  fi
  local fonts="$WINEPREFIX/drive_c/windows/Fonts"
  if [ ! -f "$fonts/marlett.ttf" ] && [ -f /usr/share/wine/fonts/marlett.ttf ]; then
    mkdir -p "$fonts" && cp /usr/share/wine/fonts/marlett.ttf "$fonts/"
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    wineserver -w
  fi
}
