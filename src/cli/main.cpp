// lumo-render: renders demo scenes without a window, for stills, sequences, comparisons and benchmarks.
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "cli/options.h"
#include "cli/render_command.h"
#include "png/output_file.h"

int main(int argc, char** argv) {
    lumo::removeTemporaryOnSignals();
    const std::vector<std::string> args(argv + 1, argv + argc);
    const lumo::ParseResult parsed = lumo::parseOptions(args);
    switch (parsed.status) {
    case lumo::ParseResult::kHelp:
    case lumo::ParseResult::kVersion:
        errno = 0;
        std::cout << (parsed.status == lumo::ParseResult::kHelp ? lumo::helpText() : lumo::versionText()) << std::flush;
        if (!std::cout) {
            std::cerr << "lumo-render: cannot write to stdout: "
                      << (errno ? std::strerror(errno) : "write error") << std::endl;
            return 2;
        }
        return 0;
    case lumo::ParseResult::kError:
        std::cerr << "lumo-render: " << parsed.error << std::endl;
        return 2;
    case lumo::ParseResult::kRun:
        break;
    }
    return lumo::runRender(parsed.options, std::cout, std::cerr, isatty(STDERR_FILENO) == 1);
}
