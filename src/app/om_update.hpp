#pragma once
// The window om_update: its load handler (start-up) and the handlers of its controls and timers.
#include "platform/process.hpp"
#include "platform/window.hpp"

#include <string>

namespace om {

struct Context;

inline constexpr const char* updater_file_name = "om_updat.exe";
inline constexpr const char* running_copy_file_name = "om_updater_now.exe";
inline constexpr const char* main_executable_name = "ombrix32.exe";
inline constexpr const char* design_title = "Ombrix Updater";
// How long the installed updater waits for its running copy to appear before it runs in place.
inline constexpr int copy_wait_limit_ms = 10'000;

// "Ombrix Web Updater [v. 15.0.1 U]" for the running copy.
std::string running_copy_title(const platform::OwnVersion& version);
// Lower-case file name of a path (either folder separator) without its extension.
std::string program_base_name(const std::string& path);
// Removes every occurrence of `name` (exact letter case) from `text`; true when there was one.
bool take_switch(std::string& text, const std::string& name);

class OmUpdate : public platform::WindowEvents {
public:
    explicit OmUpdate(Context& context);

    // The load handler: runs once before the window is first shown.
    void load();

    void on_check_now(int index) override;
    void on_skip_click(bool checked) override;
    void on_website_change() override;
    void on_timer(platform::Timer timer) override;
    void on_unload() override;

private:
    // Copies the updater to its running copy and starts it; ends the program. Returns only when the
    // copy could not be made or started, so that the updater runs in place instead.
    void relaunch(const std::string& command_text);
    void show_in_front();
    void yield_times(int count);

    Context& context_;
};

} // namespace om
