#include "options/option_table.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>

namespace lumo {

namespace {

constexpr size_t kQuotedMax = 60;
constexpr size_t kHelpColumn = 28;

const Option* find(const OptionTable& table, const std::string& name) {
    for (const Option& o : table)
        if (o.name == name) return &o;
    return nullptr;
}

bool continuesCharacter(std::string_view text, size_t i) {
    return i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80;
}

void appendEscaped(std::string& out, std::string_view text) {
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u != 0x7F) {
            out += c;
        } else {
            char code[8];
            std::snprintf(code, sizeof code, "\\x%02X", u);
            out += code;
        }
    }
}

}  // namespace

std::string quoteArgument(std::string_view text) {
    std::string out = "'";
    if (text.size() <= kQuotedMax) {
        appendEscaped(out, text);
    } else {
        // Cut where UTF-8 characters start, so the quote never splits one.
        size_t headEnd = kQuotedMax / 2, tailStart = text.size() - (kQuotedMax - 3 - headEnd);
        while (headEnd > 0 && continuesCharacter(text, headEnd)) --headEnd;
        while (continuesCharacter(text, tailStart)) ++tailStart;
        appendEscaped(out, text.substr(0, headEnd));
        out += "...";
        appendEscaped(out, text.substr(tailStart));
    }
    return out + "'";
}

bool parseWholeNumber(const std::string& text, int& value) {
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end && !text.empty();
}

bool parseDecimal(const std::string& text, double min, double max, double& value) {
    if (text.empty() || !(std::isdigit(static_cast<unsigned char>(text[0])) || text[0] == '.')) return false;
    const char* end = text.data() + text.size();
    double v = 0.0;
    auto [ptr, ec] = std::from_chars(text.data(), end, v, std::chars_format::fixed);
    if (ec != std::errc() || ptr != end || v < min || v > max) return false;
    value = v;
    return true;
}

std::string lowerCase(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

OptionsRead readOptions(const std::vector<std::string>& args, const OptionTable& table) {
    OptionsRead result;
    auto fail = [&](std::string message) {
        result.ok = false;
        result.error = std::move(message);
        return result;
    };
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--") {
            if (i + 1 < args.size()) return fail("unexpected argument " + quoteArgument(args[i + 1]) + " (see --help)");
            break;
        }
        std::string name = args[i], value;
        bool inlineValue = false;
        if (name.rfind("--", 0) == 0) {
            const size_t eq = name.find('=');
            if (eq != std::string::npos) {
                value = name.substr(eq + 1);
                name.resize(eq);
                inlineValue = true;
            }
        }
        const Option* option = find(table, name);
        if (!option) return fail("unknown option " + quoteArgument(args[i]) + " (see --help)");
        if (option->value.empty()) {
            if (inlineValue) return fail(name + " takes no value");
        } else if (!inlineValue) {
            if (i + 1 >= args.size()) return fail(name + " needs a value: " + option->accepts);
            value = args[++i];
        }
        if (!option->set(value)) return fail(name + " expects " + option->accepts + ", got " + quoteArgument(value));
        if (option->replacesRun && !result.request) result.request = option;
    }
    return result;
}

std::string optionsHelp(const OptionTable& table) {
    std::string out;
    for (const Option& o : table) {
        std::string line = "  " + o.name + (o.value.empty() ? "" : " " + o.value);
        line.resize(std::max(line.size() + 1, kHelpColumn), ' ');
        size_t start = 0;
        for (size_t end = o.help.find('\n'); ; end = o.help.find('\n', start)) {
            out += line + o.help.substr(start, end == std::string::npos ? end : end - start) + "\n";
            if (end == std::string::npos) break;
            start = end + 1;
            line.assign(kHelpColumn, ' ');
        }
    }
    return out;
}

}  // namespace lumo
