# What the detection benchmark's two tables share (awk -f this -f the table):
# the sums per group, the key=value fields of a score line, the median of a
# comma-separated list.
function add(group, key, value) { sum[group, key] += value; seen[group] = 1 }
function get(group, key) { return sum[group, key] + 0 }
# The fields of the current line into f; det: the detector, with the
# sensitivity for the curve's lines.
function readFields(    i, kv) {
  delete f
  for (i = 1; i <= NF; i++) {
    split($i, kv, "=")
    f[kv[1]] = substr($i, length(kv[1]) + 2)
  }
  det = f["det"] (f["det"] == "curve" ? " " f["sens"] : "")
}
# Appends a comma-separated list to lists[group]. (mawk makes lists[group]
# before it asks whether it is there: no ?: here.)
function appendTo(lists, group, list) {
  if (list == "") return
  if (group in lists) lists[group] = lists[group] "," list
  else lists[group] = list
}
# The median of a comma-separated list of numbers; -1 for an empty list.
function medianOf(list,    values, n, i, j, v) {
  n = split(list, values, ",")
  if (n == 0) return -1
  for (i = 1; i <= n; i++) values[i] += 0
  for (i = 2; i <= n; i++) {
    v = values[i]
    for (j = i - 1; j >= 1 && values[j] > v; j--) values[j + 1] = values[j]
    values[j + 1] = v
  }
  return n % 2 ? values[(n + 1) / 2] : (values[n / 2] + values[n / 2 + 1]) / 2
}
