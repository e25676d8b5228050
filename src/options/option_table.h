// Command-line options as a table: each option's name, what it accepts, its help and how it stores a
// value. Front ends build a table over their options struct and read argv with it.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace lumo {

struct Option {
    std::string name;     // "--size"
    std::string value;    // what follows the name in the help, "WxH"; empty for a switch
    std::string accepts;  // for error lines: "WxH with W and H from 1 to 8192, e.g. 640x480"
    std::string help;     // help text; '\n' starts an indented continuation line
    // Stores a value (empty for a switch); false when the value is not one `accepts` allows.
    std::function<bool(const std::string& value)> set;
    bool replacesRun = false;  // --help, --version: shown instead of a run, once every option is read
};
using OptionTable = std::vector<Option>;

struct OptionsRead {
    bool ok = true;
    std::string error;                  // one line naming the option and what it accepts
    const Option* request = nullptr;  // the first option given that replaces the run (--help)
};

// Reads "--name value", "--name=value" and switches; "--" ends the options. Takes no other arguments.
// Every argument is read, also after --help, so a bad one is an error whatever else is given.
OptionsRead readOptions(const std::vector<std::string>& args, const OptionTable& table);

// The table's options, one per line (continuations indented), for --help.
std::string optionsHelp(const OptionTable& table);

// text in single quotes for an error line: control characters escaped, and at most 60 characters of
// it (the start and the end around "...") so a long argument cannot flood the terminal.
std::string quoteArgument(std::string_view text);

// Whole decimal number, nothing else.
bool parseWholeNumber(const std::string& text, int& value);
// Decimal number without sign or exponent ("12", "1500.5", ".5"), from min to max.
bool parseDecimal(const std::string& text, double min, double max, double& value);
std::string lowerCase(std::string text);

}  // namespace lumo
