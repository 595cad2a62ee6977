#!/usr/bin/env bash
# Builds the module for 32-bit Windows and natively, and shows what was built.
set -euo pipefail
source "$(dirname "$0")/common.sh"

bash "$TESMORA_ROOT/scripts/install-deps.sh"
configure i686 "$I686_TOOLCHAIN" && cmake --build "$TESMORA_BUILD/i686" --target tesmora >/dev/null
configure native && cmake --build "$TESMORA_BUILD/native" --target tesmora >/dev/null

module="$TESMORA_BUILD/i686/tesmora.xfm"
echo
echo "The transform module for the 32-bit editor: $module"
i686-w64-mingw32-objdump -p "$module" | sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p'
echo "The native library (Linux): $TESMORA_BUILD/native/tesmora.so"
nm -D --defined-only "$TESMORA_BUILD/native/tesmora.so"
