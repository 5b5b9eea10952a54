#include "state/file_versions.hpp"

#include "app/context.hpp"
#include "common/regimes.hpp"
#include "common/text.hpp"
#include "state/crash_detector.hpp"

namespace om {

std::string version_text_from_block(const std::vector<std::uint8_t>& block)
{
    // The buffer is one byte longer than the block, zeroed; the numbers need bytes up to 53.
    if (block.size() + 1 < 54)
        return {};
    // Byte 53 of a 53-byte block is that extra zero byte, not a byte of the block.
    auto byte = [&](std::size_t at) { return at < block.size() ? unsigned{block[at]} : 0u; };
    auto word = [&](std::size_t at) { return byte(at) | (byte(at + 1) << 8); };
    return " " + std::to_string(word(50)) + "." + " " + std::to_string(word(48)) + "." + " " + std::to_string(word(52));
}

std::string GetFileVersionData(Context& context, const std::string& file_name)
{
    if (!context.platform.files.file_exists(file_name))
        return {};
    return version_text_from_block(context.platform.version_info.file_version_block(file_name));
}

std::string extend_history(std::string history, const std::string& installed_version)
{
    std::size_t p = text::find_last_pos(history, "{");
    std::string tail;
    if (p > 0)
        tail = text::mid(history, p);
    if (!tail.empty())
        history = text::remove_all(history, tail);
    tail = text::remove_all(text::remove_all(tail, "}"), "{");
    return history + "[Updating {v." + installed_version + "<-" + tail + "}]";
}

void do_reg(Context& context)
{
    Session& s = context.session;
    auto& files = context.platform.files;
    auto& registry = context.platform.registry;

    run_step([&] {
        if (files.file_exists(s.install_dir + "ombrix32.exe")) {
            s.probed_version = text::remove_all(GetFileVersionData(context, s.install_dir + "ombrix32.exe"), " ");
            s.installed_version = s.probed_version;
        } else {
            s.installed_version = "0.0.0";
        }
    });

    auto survey = [&](const char* name) {
        std::string version = "0.0.0";
        run_step([&] {
            if (files.file_exists(s.install_dir + name)) {
                s.probed_version = text::remove_all(GetFileVersionData(context, s.install_dir + name), " ");
                version = s.probed_version;
            }
        });
        return version;
    };
    const std::string updater = survey("om_updat.exe");
    const std::string vistrel = survey("vistrel.exe");
    const std::string quorin = survey("quorin.exe");
    const std::string tarsel = survey("om_tarsel.exe");

    run_step([&] {
        s.result_code = static_cast<std::int32_t>(text::find_last_pos(s.last_failure_run, "{"));
        s.last_failure_run = extend_history(s.last_failure_run, s.installed_version);
    });
    run_step([&] { write_last_failure_run(registry, s.last_failure_run); });
    run_step([&] {
        auto now = context.platform.clock.local_now();
        std::string date =
            text::two_digits(now.month) + "-" + text::two_digits(now.day) + "-" + std::to_string(now.year);
        std::string time =
            text::two_digits(now.hour) + ":" + text::two_digits(now.minute) + ":" + text::two_digits(now.second);
        write_last_success_run(registry, "[Updated {v." + s.installed_version + ": " + date + " " + time + "}]");
    });
    run_step([&] {
        s.probed_version = "om_tarsel.exe: " + tarsel + "   quorin.exe: " + quorin + "   vistrel.exe: " + vistrel +
                           "   om_updat.exe: " + updater;
        write_file_versions(registry, s.probed_version);
    });
}

} // namespace om
