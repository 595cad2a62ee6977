# The records table of scripts/detect-bench.sh from score_damage's lines
# (key=value fields: det, mat, file, sens, wall, and score_damage's figures).
function pct(a, b) { return b > 0 ? sprintf("%5.1f", 100 * a / b) : "    -" }
function perMinute(a, seconds) { return seconds > 0 ? sprintf("%6.2f", a * 60 / seconds) : "     -" }
function gain(before, after) { return after > 0 && before > 0 ? sprintf("%5.1f", 10 * log(before / after) / log(10)) : "    -" }
# The median of the comma-separated values gathered for group.
function median(group) { return group in remaining ? sprintf("%5.1f", medianOf(remaining[group])) : "    -" }

{
  readFields()
  if (!(det in order)) { order[det] = ++detectors; names[detectors] = det }
  if (!(f["mat"] in materialOrder)) { materialOrder[f["mat"]] = ++materialCount; materialNames[materialCount] = f["mat"] }
  clean = f["file"] ~ /\.clean$/
  for (g = 0; g < 2; g++) {
    group = det SUBSEP (g == 0 ? "all" : f["mat"])
    if (clean) {
      add(group, "cleanfa", f["fa"])
      add(group, "cleanseconds", f["chseconds"])
      add(group, "cleanchanged", f["changed"])
      add(group, "cleansamples", f["samples"])
      continue
    }
    for (key in f) if (key != "det" && key != "mat" && key != "file" && key != "sens" && key != "rem") add(group, key, f[key])
    add(group, "files", 1)
    # As numbers: compared as strings, 9.8e+11 stands above 1.2e+12.
    if (f["errout"] + 0 >= f["errin"] + 0) add(group, "worsefile", 1)
    if (f["rem"] != "none") appendTo(remaining, group, f["rem"])
  }
}

function row(det, material,    group) {
  group = det SUBSEP material
  if (!(group in seen)) return
  printf "%-14s %-14s %5s | %5s %5s %5s %5s | %5s %5s | %5s %5s %5s | %5s %5s %5s | %6s %6s | %5s | %5s %5s %5s | %3d/%-3d %5s %6s | %6s\n",
    det, material,
    pct(get(group, "f_all"), get(group, "n_all")),
    pct(get(group, "f_pulse"), get(group, "n_pulse")), pct(get(group, "f_pop"), get(group, "n_pop")),
    pct(get(group, "f_scratch"), get(group, "n_scratch")), pct(get(group, "f_crackle"), get(group, "n_crackle")),
    pct(get(group, "f_one"), get(group, "n_one")), pct(get(group, "f_both"), get(group, "n_both")),
    pct(get(group, "f_peak0"), get(group, "n_peak0")), pct(get(group, "f_peak1"), get(group, "n_peak1")),
    pct(get(group, "f_peak2"), get(group, "n_peak2")),
    pct(get(group, "f_width0"), get(group, "n_width0")), pct(get(group, "f_width1"), get(group, "n_width1")),
    pct(get(group, "f_width2"), get(group, "n_width2")),
    perMinute(get(group, "fa"), get(group, "chseconds")), perMinute(get(group, "cleanfa"), get(group, "cleanseconds")),
    median(group),
    gain(get(group, "errin"), get(group, "errout")), gain(get(group, "nearin"), get(group, "nearout")),
    gain(get(group, "nearin"), get(group, "nearideal")),
    get(group, "worsefile"), get(group, "files"),
    pct(get(group, "worse"), get(group, "ranges")),
    (get(group, "cleansamples") > 0 ? sprintf("%6.2f", 1e5 * get(group, "cleanchanged") / get(group, "cleansamples")) : "     -"),
    (get(group, "wall") > 0 ? sprintf("%6.0f", get(group, "seconds") / get(group, "wall")) : "     -")
}

END {
  print "Records: recall (%) of the cores of clicks of 3 times the local RMS or more, covered by what the line"
  print "replaces outright; by kind, by placement (one channel or both), by peak (times the local RMS, all"
  print "clicks) and by core width (milliseconds); false alarms a minute per channel on the damaged and the clean"
  print "files; median of what remains of a found click (% of its peak); SNR gain (dB) over the whole file,"
  print "around the clicks (10 ms each side), and what the ideal ranges give there; damaged files (channels)"
  print "whose error grew / files; % of ranges that end further from the clean signal; samples changed in"
  print "100,000 on the clean files; speed (times real time of the file, detect only for tesmora)."
  printf "%-14s %-14s %5s | %5s %5s %5s %5s | %5s %5s | %5s %5s %5s | %5s %5s %5s | %6s %6s | %5s | %5s %5s %5s | %7s %5s %6s | %6s\n",
    "detector", "material", "rec", "pulse", "pop", "scrat", "crack", "one", "both", "p1-3", "p3-10", "p10+",
    "w<.5", "w.5-2", "w2+", "FA/min", "clean", "rem%", "file", "near", "ideal", "worse", "rng%", "chg", "xRT"
  for (d = 1; d <= detectors; d++) {
    if (names[d] ~ /^curve /) continue
    row(names[d], "all")
    for (m = 1; m <= materialCount; m++) row(names[d], materialNames[m])
  }
  print ""
  print "Sensitivity curve of tesmora detect on the records (all materials: recall, FA/min, clean FA/min,"
  print "SNR gain around the clicks; then recall / clean FA a minute by material):"
  line = sprintf("%-5s %6s %7s %7s %6s ", "sens", "recall", "FA/min", "cleanFA", "near")
  for (m = 1; m <= materialCount; m++) line = line sprintf(" %15s", materialNames[m])
  print line
  for (d = 1; d <= detectors; d++) {
    if (names[d] !~ /^curve /) continue
    group = names[d] SUBSEP "all"
    line = sprintf("%-5s %6s %7s %7s %6s ", substr(names[d], 7), pct(get(group, "f_all"), get(group, "n_all")),
      perMinute(get(group, "fa"), get(group, "chseconds")), perMinute(get(group, "cleanfa"), get(group, "cleanseconds")),
      gain(get(group, "nearin"), get(group, "nearout")))
    for (m = 1; m <= materialCount; m++) {
      group = names[d] SUBSEP materialNames[m]
      line = line sprintf(" %6s /%7s", pct(get(group, "f_all"), get(group, "n_all")),
        perMinute(get(group, "cleanfa"), get(group, "cleanseconds")))
    }
    print line
  }
}
