#pragma once
// The three error regimes of the session logic.
//
// - end the program: platform Processes::end_program(), which never returns. Test platforms throw
//   ProgramEnded, which is deliberately not a std::exception so that no skip-and-continue step or
//   abort-and-return handler can catch it.
// - skip and continue: run_step() runs one step and swallows only ordinary failures (std::exception).
// - abort and return: a handler around one operation catches StepFailed / std::exception and returns.
#include <stdexcept>
#include <string>

namespace om {

// Thrown by test platforms in place of ending the process.
struct ProgramEnded {
    int exit_code = 0;
};

// An ordinary failure of one step (a cut that cannot be made, a missing value, a failed call).
class StepFailed : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Runs one step of a skip-and-continue routine; returns false when the step failed.
template <class Step> bool run_step(Step&& step)
{
    try {
        step();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace om
