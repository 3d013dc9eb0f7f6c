// windriver serve FOLDER: one driver process runs the scripts a test hands it,
// one after another, so a scenario pays for one Wine process start instead of
// one per step (about two seconds each where Wine runs through qemu).
//
// The test writes script N (1, 2, ...) as FOLDER\N.txt, renamed into place
// whole. The server runs it as `windriver script` would, in the context the
// scripts before it left (the program started or attached, the window last
// used, the time-out), writes its output (stdout and stderr) to FOLDER\N.out, then its exit code to
// FOLDER\N.rc, renamed into place once the output is complete. A file named
// FOLDER\stop ends the server.
#pragma once

#include <string>

namespace driver {

int Serve(const std::string& folder);

}  // namespace driver
