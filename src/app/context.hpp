#pragma once
// What every routine of the session works on: the session state, the platform services and the one
// request object of the run.
#include "app/session.hpp"
#include "platform/platform.hpp"

#include <memory>

namespace om {

struct Context {
    explicit Context(platform::Platform& services) : platform(services) {}

    Session session;
    platform::Platform& platform;
    // Created at start-up, kept until the program ends.
    std::unique_ptr<platform::HttpRequest> req;

    [[noreturn]] void end_program() { platform.processes.end_program(); }
    void yield() { platform.window.yield(); }
};

} // namespace om
