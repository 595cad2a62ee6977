#!/usr/bin/env bash
# Makes the release files in dist/ (or $TESMORA_DIST):
#   tesmora-VERSION-win32.zip  the module for the editor, README.txt and LICENSE.txt (CRLF line ends)
#   tesmora_VERSION_ARCH.deb   the command-line host with its module and manual page (CPack)
#   SHA256SUMS                 over both
# Builds the 32-bit Windows module and the native tree first; with --from-built
# it packs the trees as they are (scripts/test.sh checks the packing that way).
# Reproducible: every date in the files is SOURCE_DATE_EPOCH, by default the
# date of the last commit, so two runs give the same bytes.
#   bash scripts/release.sh [--from-built]
set -euo pipefail
source "$(dirname "$0")/common.sh"

from_built=false
case "${1:-}" in
  "") ;;
  --from-built) from_built=true ;;
  *)
    echo "usage: bash scripts/release.sh [--from-built]" >&2
    exit 2
    ;;
esac

dist=${TESMORA_DIST:-$TESMORA_ROOT/dist}
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$TESMORA_ROOT" log -1 --format=%ct)}
export TZ=UTC LC_ALL=C.UTF-8

if ! $from_built; then
  bash "$TESMORA_ROOT/scripts/install-deps.sh"
  echo "Building the module for the editor in $TESMORA_BUILD/i686 and the native tree in $TESMORA_BUILD/native ..."
  configure i686 "$I686_TOOLCHAIN" || exit 1
  cmake --build "$TESMORA_BUILD/i686" --target tesmora
  configure_and_build native || exit 1
else
  # The manual page and the changelog carry the date: made again for this one.
  configure native || exit 1
  cmake --build "$TESMORA_BUILD/native" --target tesmora_man_page tesmora_changelog >/dev/null
fi

module="$TESMORA_BUILD/i686/tesmora.xfm"
for needed in "$module" "$TESMORA_BUILD/native/CPackConfig.cmake"; do
  if [ ! -f "$needed" ]; then
    echo "release.sh: $needed is missing; build the trees first (or run without --from-built)" >&2
    exit 1
  fi
done
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$TESMORA_BUILD/native/CMakeCache.txt")
[ -n "$version" ] || { echo "release.sh: no project version in the native tree" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$dist"
rm -f "$dist/tesmora-$version-win32.zip" "$dist"/tesmora_"$version"_*.deb "$dist/SHA256SUMS"

# The user's part of the README, for the editor's users: the section on the
# editor, with the Markdown marks and the pictures taken out and the table of
# messages laid out as lines that fit a window without word wrap.
readme_txt() {
  local title="Tesmora $version, the line repair of clicks for the waveform editor"
  echo "$title"
  echo "${title//?/=}"
  awk '/^## Using Tesmora in the editor$/ {inside = 1; next} inside && /^## / {exit} inside {print}' \
    "$TESMORA_ROOT/README.md" |
    sed "/^!\[/d; s/\*\*//g; s/\`//g; s/tesmora-VERSION-win32/tesmora-$version-win32/g" | cat -s |
    awk -F ' [|] ' '
      function wrap(text, indent,    count, words, line, i) {
        count = split(text, words, " ")
        line = indent
        for (i = 1; i <= count; i++) {
          if (line != indent && length(line) + 1 + length(words[i]) > 78) { print line; line = indent }
          line = line (line == indent ? "" : " ") words[i]
        }
        print line
      }
      /^[|] *(Message|---)/ { next }
      /^[|] / { sub(/^[|] /, "", $1); sub(/ [|]$/, "", $2); print "* " $1; wrap($2, "  "); next }
      { print }'
  echo "Licence"
  echo "-------"
  echo
  echo "$(grep -m1 '^Copyright' "$TESMORA_ROOT/LICENSE"). Tesmora is free software under"
  echo "the MIT licence: see LICENSE.txt."
}

# The zip for Windows: CRLF texts, fixed dates and modes, no extra fields.
stage="$work/win32"
mkdir -p "$stage"
cp "$module" "$stage/tesmora.xfm"
readme_txt | sed 's/$/\r/' >"$stage/README.txt"
sed 's/$/\r/' "$TESMORA_ROOT/LICENSE" >"$stage/LICENSE.txt"
chmod 644 "$stage"/*
touch -d "@$SOURCE_DATE_EPOCH" "$stage"/*
(cd "$stage" && zip -q -X -9 "$dist/tesmora-$version-win32.zip" tesmora.xfm README.txt LICENSE.txt)

# The Debian package, from the native tree's install rules.
if ! cpack --config "$TESMORA_BUILD/native/CPackConfig.cmake" -G DEB -B "$work/deb" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log" >&2
  exit 1
fi
cp "$work"/deb/tesmora_"$version"_*.deb "$dist/"

(cd "$dist" && sha256sum "tesmora-$version-win32.zip" tesmora_"$version"_*.deb >SHA256SUMS)
echo "The release files in $dist:"
(cd "$dist" && ls -l "tesmora-$version-win32.zip" tesmora_"$version"_*.deb SHA256SUMS)
