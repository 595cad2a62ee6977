#!/usr/bin/env bash
# Writes the manual page tesmora(1), gzipped, from the program's own help:
# `tesmora --help` for the synopsis and the global options, each command's
# `--help` for its own section, the footer for the examples and the exit
# statuses, `--version`
# for the copyright. Dated SOURCE_DATE_EPOCH, so two builds give the same bytes.
#   man_page.sh PROGRAM OUTPUT.1.gz
set -euo pipefail
program=$1
output=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# help2man reads the help of one program: the text arranged in its headings,
# with `*Heading*` for a section of the page and `line:` for a sub-section.
main_help=$("$program" --help)
commands=$(awk '/^Subcommands:$/ {inside = 1; next} inside && /^  [^ ]/ {print $1} inside && /^$/ {exit}' <<<"$main_help")
{
  awk '/^Subcommands:$/ {exit} {print}' <<<"$main_help"
  echo "*Commands*"
  for command in $commands; do
    "$program" "$command" --help | awk '
      NR == 1 { description = $0; next }
      /^Usage: / { sub(/^Usage: /, ""); print $0 ":"; print "  " description; print ""; next }
      /^Exit status:$/ { exit }
      /^  -h,--help |^  --help-all / { next }
      /^  / { print }'
    echo
  done
  echo "*Examples*"
  # Each command a paragraph of its own, not run together with the next.
  awk '/^Examples:$/ {inside = 1; next} /^Exit status:$/ {exit} inside {print} inside && /^    / {print ""}' \
    <<<"$main_help"
  echo "*Exit status*"
  awk '/^Exit status:$/ {inside = 1; next} inside {print}' <<<"$main_help"
} >"$work/help.txt"

# help2man names the page after the program it runs.
cat >"$work/tesmora" <<WRAPPER
#!/bin/sh
if [ "\$1" = --version ]; then exec "$program" --version; fi
cat "$work/help.txt"
WRAPPER
chmod +x "$work/tesmora"

SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-0} LC_ALL=C.UTF-8 help2man --no-info --section=1 \
  --name="repair clicks in audio files through the Tesmora module" --output="$work/tesmora.1" "$work/tesmora"
# A command's heading without the colon that marked it; -n: no name and no
# time in the gzip header.
sed 's/^\.SS "\(.*\):"$/.SS "\1"/' "$work/tesmora.1" | gzip -9 -n -c >"$output.tmp"
mv "$output.tmp" "$output"
