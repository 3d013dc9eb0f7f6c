# Prints wizard-compare.sh's table from its figures (seconds), '|'-separated:
#   install|LABEL|CP|ENGINE|WIZARD|PEER   (PEER "-" when not run)
#   remove|LABEL|RM|WINDOWLESS|IN_WINDOW|UNINSTALLER
# Time ratios: ours through the window over the other, so below 1 = ours faster.
function ratio(a, b) { return (a != "-" && b != "-" && b > 0) ? sprintf("%.2f", a / b) : "-" }
function secs(t) { return t == "-" ? "-" : sprintf("%.2f", t) }
$1 == "install" { ni++; il[ni] = $2; cp[ni] = $3; engine[ni] = $4; wizard[ni] = $5; peer[ni] = $6 }
$1 == "remove" { nr++; rl[nr] = $2; rm[nr] = $3; bare[nr] = $4; inwin[nr] = $5; window[nr] = $6 }
END {
    printf "\nInstall: seconds (best of %d; the peer one run)\n", rounds
    printf "  wizard: Setup.exe from the Install click to the finished page; engine: the Install call alone;\n"
    printf "  peer: NSIS from its Install click to its Close button, with its progress page\n"
    printf "%-22s %8s %8s %8s %8s %14s %10s %12s\n", "payload", "cp", "engine", "wizard", "peer",
        "wizard/engine", "cp/wizard", "peer/wizard"
    for (i = 1; i <= ni; i++)
        printf "%-22s %8s %8s %8s %8s %14s %10s %12s\n", il[i], secs(cp[i]), secs(engine[i]), secs(wizard[i]),
            secs(peer[i]), ratio(wizard[i], engine[i]), ratio(cp[i], wizard[i]), ratio(peer[i], wizard[i])
    if (nr == 0) exit
    printf "\nRemove: seconds (best of %d)\n", rounds
    printf "  uninstaller: Uninstall.exe from the Yes in its question to its report; windowless: the same removal\n"
    printf "  without a window, timed inside the process; in window: the removal through the uninstaller's progress\n"
    printf "  window, timed inside the process (no driver, no question); rm -rf of the same tree\n"
    printf "%-22s %8s %11s %10s %12s %18s %23s %16s\n", "payload", "rm -rf", "windowless", "in window", "uninstaller",
        "window/windowless", "uninstaller/windowless", "uninstaller/rm"
    for (i = 1; i <= nr; i++)
        printf "%-22s %8s %11s %10s %12s %18s %23s %16s\n", rl[i], secs(rm[i]), secs(bare[i]), secs(inwin[i]),
            secs(window[i]), ratio(inwin[i], bare[i]), ratio(window[i], bare[i]), ratio(window[i], rm[i])
}
