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

# Whether this machine runs 32-bit x86 programs. Some kernels refuse every
# i386 program ("Exec format error"; dmesg: "IA-32 emulation off"), and wine
# cannot start there: the module is then tested under the emulated caller
# only. TESMORA_NO_32BIT=1 pretends the machine cannot, to try that path on one
# that can. Probes once per run (a five-instruction i386 program that exits
# with status 7) and exports the answer.
runs_32bit_code() {
  if [ -z "${TESMORA_RUNS_32BIT:-}" ]; then
    TESMORA_RUNS_32BIT=no
    if [ "${TESMORA_NO_32BIT:-0}" != 1 ]; then
      local probe status=0
      probe=$(mktemp -d)
      printf '.globl _start\n_start: movl $1, %%eax\n movl $7, %%ebx\n int $0x80\n' >"$probe/probe.s"
      if as --32 "$probe/probe.s" -o "$probe/probe.o" 2>/dev/null &&
         ld -m elf_i386 "$probe/probe.o" -o "$probe/probe" 2>/dev/null; then
        ("$probe/probe") 2>/dev/null || status=$?
        [ "$status" -eq 7 ] && TESMORA_RUNS_32BIT=yes
      fi
      rm -rf "$probe"
    fi
    export TESMORA_RUNS_32BIT
  fi
  [ "$TESMORA_RUNS_32BIT" = yes ]
}
