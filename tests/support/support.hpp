#pragma once
// Everything a session-logic test needs.
#include "support/fake_services.hpp"
#include "support/scripted_window.hpp"
#include "support/test_platform.hpp"

namespace om::test {

// Runs an action of the session logic; true when it ended the program.
template <class Action> bool ends_program(Action&& action)
{
    try {
        action();
    } catch (const ProgramEnded&) {
        return true;
    }
    return false;
}

} // namespace om::test
