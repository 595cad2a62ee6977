# The table of scripts/detect-bench.sh from its score lines (key=value
# fields: det, mat, kind, sens, and the counts of score_detections).
function pct(a, b) { return b > 0 ? sprintf("%5.1f", 100 * a / b) : "    -" }
function perMinute(a, seconds) { return seconds > 0 ? sprintf("%7.2f", a * 60 / seconds) : "      -" }
function gain(before, after) { return after > 0 ? sprintf("%6.1f", 10 * log(before / after) / log(10)) : "     -" }
# The remains of each click found, gathered per group for their median.
function median(group) { return group in kept ? sprintf("%6.1f", medianOf(kept[group])) : "     -" }

{
  readFields()
  if (!(det in order)) { order[det] = ++detectors; names[detectors] = det }
  if (!(f["mat"] in materialOrder)) { materialOrder[f["mat"]] = ++materialCount; materialNames[materialCount] = f["mat"] }
  for (g = 0; g < 2; g++) {
    group = det SUBSEP (g == 0 ? "all" : f["mat"])
    if (f["kind"] == "clean") {
      add(group, "cleanfa", f["fa"])
      add(group, "cleanseconds", f["seconds"])
      continue
    }
    if ("remains" in f) appendTo(kept, group, f["remains"])
    for (key in f)
      if (key != "det" && key != "mat" && key != "kind" && key != "sens" && key != "remains") add(group, key, f[key])
  }
}

function row(det, material, group) {
  group = det SUBSEP material
  if (!(group in seen)) return
  printf "%-16s %-12s %6s %5s %5s %5s  %5s %5s %5s %7s %7s %6s %6s %6s %7s\n", det, material,
    pct(get(group, "found"), get(group, "clicks")),
    pct(get(group, "w0f"), get(group, "w0n")), pct(get(group, "w1f"), get(group, "w1n")),
    pct(get(group, "w2f"), get(group, "w2n")),
    pct(get(group, "p0f"), get(group, "p0n")), pct(get(group, "p1f"), get(group, "p1n")),
    pct(get(group, "p2f"), get(group, "p2n")),
    perMinute(get(group, "fa"), get(group, "seconds")), perMinute(get(group, "cleanfa"), get(group, "cleanseconds")),
    (get(group, "found") > 0 ? sprintf("%6.2f", get(group, "bsum") / get(group, "found")) : "     -"),
    gain(get(group, "errbefore"), get(group, "errafter")), median(group),
    (get(group, "wall") > 0 ? sprintf("%7.0f", get(group, "seconds") / get(group, "wall")) : "      -")
}

END {
  header = sprintf("%-16s %-12s %6s %5s %5s %5s  %5s %5s %5s %7s %7s %6s %6s %6s %7s", "detector", "material",
    "recall", "w1-3", "w4-11", "w12+", "p3-6", "p6-12", "p12+", "FA/min", "cleanFA", "bound", "SNR+dB", "left%",
    "xRT")
  print "Recall (%) overall, by width (samples) and by peak (times the local RMS); false alarms a minute on the"
  print "corrupted files and on the clean originals; mean boundary error (samples) of the clicks found; SNR gain"
  print "around the clicks (dB); what remains of a click found after the repair (median % of its peak); speed"
  print "(times real time, detect only for tesmora, detect and repair for adeclick)."
  print header
  for (d = 1; d <= detectors; d++) {
    if (names[d] ~ /^curve /) continue
    row(names[d], "all")
    for (m = 1; m <= materialCount; m++) row(names[d], materialNames[m])
  }
  print ""
  print "Sensitivity curve of tesmora detect (all materials, then recall / clean FA a minute by material):"
  line = sprintf("%-5s %6s %7s %7s ", "sens", "recall", "FA/min", "cleanFA")
  for (m = 1; m <= materialCount; m++) line = line sprintf(" %15s", materialNames[m])
  print line
  for (d = 1; d <= detectors; d++) {
    if (names[d] !~ /^curve /) continue
    group = names[d] SUBSEP "all"
    line = sprintf("%-5s %6s %7s %7s ", substr(names[d], 7), pct(get(group, "found"), get(group, "clicks")),
      perMinute(get(group, "fa"), get(group, "seconds")), perMinute(get(group, "cleanfa"), get(group, "cleanseconds")))
    for (m = 1; m <= materialCount; m++) {
      group = names[d] SUBSEP materialNames[m]
      line = line sprintf(" %6s /%7s", pct(get(group, "found"), get(group, "clicks")),
        perMinute(get(group, "cleanfa"), get(group, "cleanseconds")))
    }
    print line
  }
}
