#pragma once
// What every routine of the session works on: the session state, the platform services and the one
// request object of the run.
#include "app/session.hpp"
#include "common/log.hpp"
#include "platform/platform.hpp"

#include <exception>
#include <memory>
#include <string>
#include <string_view>

namespace om {

struct Context {
    explicit Context(platform::Platform& services) : platform(services) {}

    Session session;
    platform::Platform& platform;
    // The release key packages must be signed with (base64 of X || Y), fixed when the program is built;
    // empty: packages are not signature-checked.
    std::string release_public_key;
    // The handlers of the request object's events (declared before `req`, so that `req` goes first).
    std::unique_ptr<platform::HttpEvents> req_events;
    // Created at start-up, kept until the program ends.
    std::unique_ptr<platform::HttpRequest> req;

    // The download in flight, when a package transfer is running: the transfer events write each chunk
    // into the sink as it arrives (instead of keeping the whole body in received_bytes) and note the
    // status and sizes, so that a failed or short response is never taken for a package.
    struct Download {
        platform::FileWriter* sink = nullptr;
        // The sink's owner while the send runs, so that ending the program from inside the send (a
        // transfer error, "Cancel", closing the window) can drop the unfinished file first.
        std::unique_ptr<platform::FileWriter> sink_owner;
        long status = 0;
        long long expected_bytes = -1; // Content-Length, -1 when not given
        long long received_bytes = 0;
        bool write_failed = false;
    } download;

    // What the transfer events saw of the latest response, of any request: its status, its body bytes
    // so far, and whether it passed its size cap (the request was then aborted and nothing of it is used).
    struct Response {
        long status = 0;
        long long bytes = 0;
        bool over_cap = false;
    } response;

    // Ends the program at once. Ending skips every destructor, so an unfinished download is dropped
    // here first: nothing half-written is left where the next run would find it. `how` says in the log
    // why the run ends.
    [[noreturn]] void end_program(std::string_view how = "the program ends")
    {
        log::line("End: " + std::string(how));
        log::close();
        download.sink = nullptr;
        download.sink_owner.reset();
        platform.processes.end_program();
        // Not reached: g++ does not carry [[noreturn]] through a virtual call.
        std::terminate();
    }
    void yield() { platform.window.yield(); }
};

} // namespace om
