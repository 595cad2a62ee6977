#!/usr/bin/env bash
# Packs the release files twice from the trees scripts/test.sh built
# (release.sh --from-built) and checks them: both runs give the same bytes,
# the zip holds its three files with CRLF texts, the package holds what it
# should and passes lintian without errors, and the program unpacked from it
# shows the project's version and finds its module there.
set -uo pipefail
source "$(dirname "$0")/common.sh"

check="$TESMORA_BUILD/release-check"
rm -rf "$check"
mkdir -p "$check"
for run in first second; do
  if ! TESMORA_DIST="$check/$run" bash "$TESMORA_ROOT/scripts/release.sh" --from-built >"$check/$run.log" 2>&1; then
    cat "$check/$run.log"
    exit 1
  fi
done

failures=0
fail() {
  echo "release check: $*"
  failures=$((failures + 1))
}

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$TESMORA_BUILD/native/CMakeCache.txt")
dist="$check/first"
zip="$dist/tesmora-$version-win32.zip"
deb="$dist/tesmora_${version}_$(dpkg --print-architecture).deb"

diff -r "$check/first" "$check/second" >/dev/null || fail "two runs differ: $(cd "$check" && sha256sum first/* second/*)"
(cd "$dist" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not match the files"

# Every date is the last commit's (SOURCE_DATE_EPOCH was not set).
epoch=$(git -C "$TESMORA_ROOT" log -1 --format=%ct)
day=$(TZ=UTC date -d "@$epoch" +%Y-%m-%d)
[ "$(unzip -l "$zip" | awk '/ tesmora.xfm$/ {print $2}')" = "$day" ] || fail "the zip's dates are not $day"
[ "$(dpkg-deb --contents "$deb" | awk '{print $4}' | sort -u)" = "$day" ] || fail "the package's dates are not $day"

# The zip: its members, the module as built, every text line ending in CRLF.
members=$(unzip -Z1 "$zip" | tr '\n' ' ')
[ "$members" = "tesmora.xfm README.txt LICENSE.txt " ] || fail "the zip holds: $members"
unzip -p "$zip" tesmora.xfm | cmp -s - "$TESMORA_BUILD/i686/tesmora.xfm" || fail "the zip's tesmora.xfm is not the built one"
for text in README.txt LICENSE.txt; do
  lines=$(unzip -p "$zip" "$text" | wc -l)
  crlf=$(unzip -p "$zip" "$text" | grep -c $'\r$')
  [ "$lines" -gt 0 ] && [ "$lines" -eq "$crlf" ] || fail "$text: $crlf of $lines lines end in CRLF"
done
readme=$(unzip -p "$zip" README.txt | tr -d '\r')
for part in "Tesmora $version" "Installing." "What you see." "The question." "Can only handle 16-bit data." \
            "Invalid processing context." "MIT licence"; do
  grep -qF "$part" <<<"$readme" || fail "README.txt lacks \"$part\""
done

# The package: its files, its dependencies, lintian.
arch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
expected="./usr/bin/tesmora
./usr/lib/$arch/tesmora/tesmora.so
./usr/share/doc/tesmora/README.md
./usr/share/doc/tesmora/docs/pictures/error.png
./usr/share/doc/tesmora/docs/pictures/question.png
./usr/share/doc/tesmora/docs/pictures/toolbar.png
./usr/share/doc/tesmora/changelog.gz
./usr/share/doc/tesmora/copyright
./usr/share/man/man1/tesmora.1.gz"
files=$(dpkg-deb --contents "$deb" | awk '$1 !~ /^d/ {print $6}' | LC_ALL=C sort)
[ "$files" = "$(LC_ALL=C sort <<<"$expected")" ] || fail "the package holds: $files"
dpkg-deb --field "$deb" Depends | grep -q 'libsndfile1' || fail "the package does not depend on libsndfile1"
lintian --fail-on error "$deb" >"$check/lintian.txt" 2>&1 || { cat "$check/lintian.txt"; fail "lintian found errors"; }

# Unpacked into a scratch root: the version, the module found beside the
# program's folder as installed, the manual page's commands and statuses.
root="$check/root"
dpkg-deb -x "$deb" "$root"
[ "$("$root/usr/bin/tesmora" --version | head -1)" = "tesmora $version" ] || fail "tesmora --version does not say $version"
info=$("$root/usr/bin/tesmora" info 2>&1)
grep -qxF "module:       $root/usr/lib/$arch/tesmora/tesmora.so" <<<"$info" || fail "tesmora info: $info"
grep -qxF "version:      $version" <<<"$info" || fail "the module's file version is not $version: $info"
month=$(TZ=UTC LC_ALL=C date -d "@$epoch" '+%B %Y')
zcat "$root/usr/share/man/man1/tesmora.1.gz" | grep -q "^\.TH TESMORA \"1\" \"$month\"" ||
  fail "the manual page is not dated $month"
page=$(LC_ALL=C MANWIDTH=200 man -l "$root/usr/share/man/man1/tesmora.1.gz" 2>&1)
mapfile -t options < <("$root/usr/bin/tesmora" --help-all | grep -oE -- '--[a-z][a-z-]*' | sort -u)
for part in "tesmora repair" "tesmora info" "tesmora demo" "${options[@]}" "EXAMPLES" "--ranges clicks.txt" "EXIT STATUS" "130" "MIT licence"; do
  grep -qF -- "$part" <<<"$page" || fail "the manual page lacks \"$part\""
done

[ "$failures" -eq 0 ] || exit 1
echo "release files checked: $(cd "$dist" && ls | tr '\n' ' ')"
