// Application tests: each test owns a program, with its own recording platform (a scripted clock), as
// a fresh start leaves it.
#pragma once

#include <gtest/gtest.h>

#include "app/commands.h"
#include "app/platform.h"
#include "app/program.h"
#include "app/startup.h"

namespace lumo::test {

class ProgramTest : public testing::Test {
protected:
    ProgramTest() {
        platform.scripted = true;
        startUp(program);
    }

    RenderSettings& settings() { return program.shared.settings; }
    Orbit& orbit() { return program.shared.orbit; }
    bool execute(int id) { return executeCommand(program, id); }
    CommandState stateOf(int id) const { return commandState(program, id); }

    RecordingPlatform platform;
    Program program{platform};
};

}  // namespace lumo::test
