#!/usr/bin/env bash
# The README's main command: builds the native module with the command-line
# host and shows the module repairing clicks in real audio, then builds the
# module for the 32-bit Windows editor.
set -euo pipefail
source "$(dirname "$0")/common.sh"

# build NAME TARGET...: builds the targets, showing the log only when it fails.
build() {
  local name=$1
  shift
  local log="$TESMORA_BUILD/$name.build.log"
  if ! cmake --build "$TESMORA_BUILD/$name" --target "$@" >"$log" 2>&1; then
    cat "$log" >&2
    return 1
  fi
}

bash "$TESMORA_ROOT/scripts/install-deps.sh"

echo "Building the native module and the command-line host in $TESMORA_BUILD/native ..."
configure native && build native tesmora tesmora_cli
echo
"$TESMORA_BUILD/native/tesmora" demo "$TESMORA_BUILD/demo"

echo
echo "Building the module for the 32-bit Windows editor in $TESMORA_BUILD/i686 ..."
configure i686 "$I686_TOOLCHAIN" && build i686 tesmora
echo
echo "The module for the editor:  $TESMORA_BUILD/i686/tesmora.xfm"
echo "The command-line host:      $TESMORA_BUILD/native/tesmora (beside its module, tesmora.so)"
echo "The demo's files:           $TESMORA_BUILD/demo/clicks.wav, repaired.wav and repaired.svg"
echo "Repair your own file:       $TESMORA_BUILD/native/tesmora repair IN.wav -o OUT.wav --range FIRST:LAST"
echo "  or let it find the clicks: $TESMORA_BUILD/native/tesmora repair IN.wav -o OUT.wav --detect --report"
