// lumo-render: renders demo scenes without a window, for stills and benchmarks.
#include <iostream>
#include <string>
#include <vector>

#include "cli/options.h"
#include "cli/render_command.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const lumo::ParseResult parsed = lumo::parseOptions(args);
    switch (parsed.status) {
    case lumo::ParseResult::kHelp:
        std::cout << lumo::helpText();
        return 0;
    case lumo::ParseResult::kError:
        std::cerr << "lumo-render: " << parsed.error << std::endl;
        return 2;
    case lumo::ParseResult::kRun:
        break;
    }
    return lumo::runRender(parsed.options, std::cout, std::cerr);
}
