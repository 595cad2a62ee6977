# The summary table of scripts/bench.sh, from the two benchmark programs' output:
#   awk -f bench_summary.awk source=native NATIVE.csv source=i686 I686.txt
# NATIVE.csv is Google Benchmark's CSV output (its medians are read); I686.txt
# is what tesmora_bench_i686 prints. Builds and sizes are listed in the order
# they first appear; a missing figure shows as "-".

function record(build, name, size, nanoseconds) {
    ns[build, name, size] = nanoseconds
    if (!(build in seenBuild)) { seenBuild[build] = 1; builds[++buildCount] = build }
    if (name == "kernel" && !(size in seenSize)) { seenSize[size] = 1; sizes[++sizeCount] = size }
    if (name == "xfm_do") selection = size
}

# "kernel/1024/real_time_median",5,2921.33,...: ns per sample from items per second.
source == "native" && /^name,/ {
    columns = split($0, header, ",")
    for (i = 1; i <= columns; i++) if (header[i] == "items_per_second") itemsColumn = i
}
source == "native" && /_median",/ {
    split($0, field, ",")
    name = field[1]; gsub(/"/, "", name); split(name, part, "/")
    nanoseconds = 1e9 / field[itemsColumn]
    if (part[1] ~ /_full_scale$/) {
        sub(/_full_scale$/, "", part[1])
        record("native-full-scale", part[1], part[2], nanoseconds)
    } else {
        record("native", part[1], part[2], nanoseconds)
        # The store floor does not depend on the line: both native rows are held against it.
        if (part[1] == "memset") record("native-full-scale", "memset", part[2], nanoseconds)
    }
}

# Rows of "samples kernel reference memset ..." (6 fields) and "samples XfmDo copies ratio" (4).
source == "i686" && $1 ~ /^[0-9]+$/ && NF == 6 {
    record("i686", "kernel", $1, $2); record("i686", "reference", $1, $3); record("i686", "memset", $1, $4)
}
source == "i686" && $1 ~ /^[0-9]+$/ && NF == 4 { record("i686", "xfm_do", $1, $2); record("i686", "two_copies", $1, $3) }

function figure(build, name, size) {
    return ((build, name, size) in ns) ? sprintf("%10.3f", ns[build, name, size]) : sprintf("%10s", "-")
}

function ratio(build, over, under, size, width) {
    if (!((build, over, size) in ns) || !((build, under, size) in ns)) return sprintf("%" width "s", "-")
    return sprintf("%" width ".2f", ns[build, over, size] / ns[build, under, size])
}

END {
    print "Line repair, ns per sample (medians): lines from -30000 to 29000; full scale from -32768 to 32767"
    printf "%-18s %9s %10s %10s %10s %13s %16s\n", "build", "samples", "kernel", "reference", "memset",
           "kernel/memset", "reference/kernel"
    for (b = 1; b <= buildCount; b++) {
        for (s = 1; s <= sizeCount; s++) {
            build = builds[b]; size = sizes[s]
            if (!((build, "kernel", size) in ns)) continue
            printf "%-18s %9s %s %s %s %s %s\n", build, size, figure(build, "kernel", size),
                   figure(build, "reference", size), figure(build, "memset", size),
                   ratio(build, "kernel", "memset", size, 13), ratio(build, "reference", "kernel", size, 16)
        }
    }
    print ""
    print "XfmDo from a memcpy host against the host's own two copies, ns per sample (medians)"
    printf "%-18s %9s %10s %10s %12s\n", "build", "samples", "XfmDo", "two copies", "XfmDo/copies"
    for (b = 1; b <= buildCount; b++) {
        build = builds[b]
        if (!((build, "xfm_do", selection) in ns)) continue
        printf "%-18s %9s %s %s %s\n", build, selection, figure(build, "xfm_do", selection),
               figure(build, "two_copies", selection), ratio(build, "xfm_do", "two_copies", selection, 12)
    }
}
