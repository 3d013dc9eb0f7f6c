# Prints peer-compare.sh's table from its figures (seconds and bytes):
#   SET BYTES FILES CAT OURS PEER CP OURS_WALL PEER_WALL OURS_ENGINE   (big, many)
#   fixed OURS_WALL PEER_WALL                                         (1 kB package)
#   stub SETUP_EXE OURS_1KB PEER_1KB
# Net install times subtract the fixed cost of each installer's 1 kB run.
function label(set) {
    if (set == "big") return sprintf("%d MiB, 1 file", bytes[set] / 1048576)
    return sprintf("%d files, %d MB", count[set], bytes[set] / 1e6)
}
function mbs(set, t) { return t > 0 ? sprintf("%.0f", bytes[set] / t / 1e6) : "-" }
function cell(set, t) { return sprintf("%6.2f %-6s", t, "(" mbs(set, t) ")") }
function ratio(a, b) { return b > 0 ? sprintf("%.2f", a / b) : "-" }
function net(t, fixed) { return t - fixed > 0.001 ? t - fixed : 0.001 }
$1 == "big" || $1 == "many" {
    sets[++n] = $1; bytes[$1] = $2; count[$1] = $3
    cat[$1] = $4; pack_ours[$1] = $5; pack_peer[$1] = $6
    cp[$1] = $7; wall_ours[$1] = $8; wall_peer[$1] = $9; engine[$1] = $10
}
$1 == "fixed" { fixed_ours = $2; fixed_peer = $3 }
$1 == "stub" { stub = $2; tiny_ours = $3; tiny_peer = $4 }
END {
    printf "\nPacking, seconds (best of %d); ratios are time ratios, below 1 = ours faster\n", rounds
    printf "%-22s %9s %10s %9s %9s %10s\n", "payload", "cat", "makesetup", "makensis", "ours/cat", "ours/peer"
    for (i = 1; i <= n; i++) {
        s = sets[i]
        printf "%-22s %9.2f %10.2f %9.2f %9s %10s\n", label(s), cat[s], pack_ours[s], pack_peer[s],
            ratio(pack_ours[s], cat[s]), ratio(pack_ours[s], pack_peer[s])
    }

    printf "\nInstall into one folder, seconds (best of %d); MB/s in brackets\n", rounds
    printf "  wall: whole Wine process; net: wall less that installer's 1 kB run (ours %.2f s, peer %.2f s);\n",
        fixed_ours, fixed_peer
    printf "  engine: our Install call alone, as timed inside the process\n"
    printf "%-22s %-13s %-13s %-13s %-13s %-13s %-13s\n", "payload", "cp -r", "ours wall", "peer wall",
        "ours net", "peer net", "ours engine"
    for (i = 1; i <= n; i++) {
        s = sets[i]
        on = net(wall_ours[s], fixed_ours); pn = net(wall_peer[s], fixed_peer)
        printf "%-22s %s %s %s %s %s %s\n", label(s), cell(s, cp[s]), cell(s, wall_ours[s]),
            cell(s, wall_peer[s]), cell(s, on), cell(s, pn), cell(s, engine[s])
    }
    printf "\nInstall throughput ratios (= other's time / our time): above 1 = ours faster\n"
    printf "%-22s %12s %15s %15s %14s\n", "payload", "ours/cp net", "ours/cp engine", "ours/peer wall",
        "ours/peer net"
    for (i = 1; i <= n; i++) {
        s = sets[i]
        on = net(wall_ours[s], fixed_ours); pn = net(wall_peer[s], fixed_peer)
        printf "%-22s %12s %15s %15s %14s\n", label(s), ratio(cp[s], on), ratio(cp[s], engine[s]),
            ratio(wall_peer[s], wall_ours[s]), ratio(pn, on)
    }

    printf "\nStub sizes, bytes: Setup.exe %d; installer holding one 1 kB file: ours %d, peer %d (ours/peer %s)\n",
        stub, tiny_ours, tiny_peer, ratio(tiny_ours, tiny_peer)
}
