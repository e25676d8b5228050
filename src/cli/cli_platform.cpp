#include "cli/cli_platform.h"

#include <chrono>
#include <ostream>

namespace lumo {

CliPlatform::CliPlatform(std::ostream& messages) : messages_(messages) {}

uint32_t CliPlatform::tickCount() {
    using namespace std::chrono;
    return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void CliPlatform::showMessage(const std::string& caption, const std::string& text) {
    messages_ << "lumo-render: " << caption << ": " << text << std::endl;
}

}  // namespace lumo
