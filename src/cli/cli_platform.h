// The platform of the headless front end: steady clock, messages to stderr, no window.
#pragma once

#include <iosfwd>
#include <string>

#include "app/platform.h"

namespace lumo {

class CliPlatform : public Platform {
public:
    explicit CliPlatform(std::ostream& messages);
    uint32_t tickCount() override;
    void setTitle(const std::string& text) override { title = text; }
    void setStatusText(const std::string& text) override { statusText = text; }
    void showMessage(const std::string& caption, const std::string& text) override;
    void presentFrame(const uint32_t*, int, int) override { ++framesPresented; }

    std::string title;
    std::string statusText;
    int framesPresented = 0;

private:
    std::ostream& messages_;
};

}  // namespace lumo
