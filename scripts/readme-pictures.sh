#!/usr/bin/env bash
# Draws the README's pictures anew into docs/pictures: the real question and
# error box of tesmora.xfm under wine on a virtual display, and the module's
# toolbar bitmap enlarged. The test command checks that the toolbar picture
# still matches the module's bitmap.
set -euo pipefail
source "$(dirname "$0")/common.sh"

bash "$TESMORA_ROOT/scripts/install-deps.sh"
configure_and_build i686 "$I686_TOOLCHAIN"
prepare_wine
pictures="$TESMORA_ROOT/docs/pictures"
scratch="$TESMORA_BUILD/pictures"
bash "$TESMORA_ROOT/testhost/real_boxes.sh" "$TESMORA_BUILD/i686" "$scratch"
mkdir -p "$pictures"
# Without their time stamps, so that drawing them again changes no byte.
for picture in question error toolbar; do
  convert "$scratch/$picture.png" -define png:exclude-chunks=date,time -strip "$pictures/$picture.png"
done
echo "The README's pictures, in $pictures: question.png, error.png, toolbar.png"
