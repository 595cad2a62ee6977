#!/usr/bin/env bash
# The real message boxes of the real tesmora.xfm, under wine on a virtual
# display, with nothing patched: each box is found by its caption, described
# from the Windows side, photographed, and answered with a key press, and the
# entry point's result is checked. Also draws the module's own toolbar bitmap,
# enlarged, and compares it with the README's picture when one is named.
#   real_boxes.sh BUILD_DIR OUT_DIR [README_TOOLBAR_PNG]
set -euo pipefail
build=$1
out=$2
reference=${3:-}
mkdir -p "$out"
cd "$build"

for tool in Xvfb xdotool import compare; do
  command -v "$tool" >/dev/null || { echo "real boxes: $tool is missing (scripts/install-deps.sh installs it)"; exit 1; }
done

# A display of its own, on the first free number.
exec 3< <(Xvfb -displayfd 1 -screen 0 640x480x24 -nolisten tcp 2>/dev/null & echo "pid $!")
read -r _ xvfb <&3
read -r number <&3
export DISPLAY=":$number"
trap 'kill "$xvfb" 2>/dev/null || true' EXIT
# Wine's desktop belongs to its server's session: a session begun by a program
# without a display has none for windows. Wait for the prefix's server to end
# (the test runs alone), so that this session begins on the virtual display.
wineserver -w

failures=0
fail() {
  echo "real boxes: $*"
  failures=$((failures + 1))
}

# box NAME ARGUMENT KEY SCREENSHOT EXPECTED_LINE...: shows one box, answers KEY.
box() {
  local name=$1 argument=$2 key=$3 screenshot=$4
  shift 4
  local log="$out/$name.log"
  : >"$log"
  wine ./tesmora_real_boxes.exe "$argument" >"$log" 2>/dev/null &
  local program=$!
  local waited=0
  until grep -q '^shown' "$log" || grep -q '^no box' "$log"; do
    sleep 0.1
    waited=$((waited + 1))
    [ $waited -lt 900 ] || break  # wine's first start on a display can be slow
  done
  local window
  window=$(xdotool search --name '^Tesmora$' 2>/dev/null | head -1 || true)
  if [ -z "$window" ]; then
    fail "$name: no window titled Tesmora"
    kill "$program" 2>/dev/null || true
    return
  fi
  sleep 0.3  # let the box paint before it is photographed
  [ -z "$screenshot" ] || import -window "$window" "$out/$screenshot"
  xdotool key "$key"
  local done_waiting=0
  while kill -0 "$program" 2>/dev/null && [ $done_waiting -lt 200 ]; do
    sleep 0.1
    done_waiting=$((done_waiting + 1))
  done
  if kill -0 "$program" 2>/dev/null; then
    fail "$name: the box did not close on the key $key"
    kill "$program" 2>/dev/null || true
  fi
  sed -i 's/\r$//' "$log"  # the console's line ends
  local line
  for line in "$@"; do
    grep -qxF -- "$line" "$log" || fail "$name: expected \"$line\"; the box showed: $(tr '\n' '|' <"$log")"
  done
  echo "real boxes: $name: $(grep returned "$log" || echo 'no result')"
}

box question-answered-no question n question.png \
  "box: caption Tesmora, owner the host's window" 'text: You selected very long area.\nContinue?' \
  "button: &Yes" "button: &No" "XfmSetup returned 0"
box question-answered-yes question y "" "XfmSetup returned 1"
box error-dismissed error Return error.png \
  "box: caption Tesmora, owner none" "text: Can only handle 16-bit data." "button: OK" "XfmDo returned 0"

# The toolbar bitmap as the module carries it, ten times its size.
if wine ./tesmora_real_boxes.exe toolbar "$out/toolbar.bmp" >/dev/null 2>&1; then
  convert "$out/toolbar.bmp" -scale 1000% "$out/toolbar.png"
  if [ -n "$reference" ] && [ "$(compare -metric AE "$out/toolbar.png" "$reference" null: 2>&1)" != 0 ]; then
    fail "the toolbar picture in the README differs from the module's bitmap: run scripts/readme-pictures.sh"
  fi
else
  fail "no TOOLBARICON bitmap could be read from the module"
fi

wineserver -w  # the next programs begin a session of their own
[ $failures -eq 0 ] && echo "real boxes: all passed; pictures in $out"
exit $((failures != 0))
