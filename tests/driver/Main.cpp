// windriver: drives the windows of programs running in the same Wine session
// (or Windows desktop) for end-to-end tests. Exit codes: 0 done, 1 a command
// failed or an expectation was not met, 2 a usage error.
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <string>
#include <vector>

#include "Commands.h"
#include "Serve.h"
#include "WindowFind.h"

int main(int argc, char** argv) {
    // Plain line feeds: the output is read by scripts on the Unix side.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    std::vector<std::string> words(argv + 1, argv + argc);
    if (words.empty()) {
        driver::PrintHelp("");
        return 2;
    }
    driver::Context context;
    try {
        if (words[0] == "script") {
            if (words.size() != 2) throw driver::UsageError("script wants one file");
            return driver::RunScript(context, words[1]);
        }
        if (words[0] == "serve") {
            if (words.size() != 2) throw driver::UsageError("serve wants one folder");
            return driver::Serve(words[1]);
        }
        driver::RunCommand(context, words);
        return 0;
    } catch (const driver::UsageError& e) {
        std::fprintf(stderr, "windriver: %s: %s\n", words[0].c_str(), e.what());
        return 2;
    } catch (const driver::CommandFailed& e) {
        std::fprintf(stderr, "windriver: %s: %s\n", words[0].c_str(), e.what());
        return 1;
    }
}
