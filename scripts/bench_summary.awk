# Turns benchmark records, one a line as "build benchmark samples ns_per_sample",
# into the summary table of scripts/bench.sh. Builds and sizes are listed in
# the order they first appear; a missing figure shows as "-".

function figure(build, name, size) {
    return ((build, name, size) in ns) ? sprintf("%10.3f", ns[build, name, size]) : sprintf("%10s", "-")
}

function ratio(build, over, under, size, width) {
    if (!((build, over, size) in ns) || !((build, under, size) in ns)) return sprintf("%" width "s", "-")
    return sprintf("%" width ".2f", ns[build, over, size] / ns[build, under, size])
}

{
    ns[$1, $2, $3] = $4
    if (!($1 in seenBuild)) { seenBuild[$1] = 1; builds[++buildCount] = $1 }
    if ($2 == "kernel" && !($3 in seenSize)) { seenSize[$3] = 1; sizes[++sizeCount] = $3 }
    if ($2 == "xfm_do") selection = $3
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
