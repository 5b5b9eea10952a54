#include "report/check_in.hpp"

#include "app/context.hpp"
#include "common/log.hpp"
#include "common/regimes.hpp"
#include "common/text.hpp"
#include "report/ftp_class.hpp"

namespace om {
namespace {

constexpr const char* report_server = OM_REPORT_SERVER;
constexpr const char* report_user = "kelvane";
constexpr const char* report_password = "7rKp#Lwe=T%d";
constexpr const char* report_file = "current_version.txt";

std::string four_digits(int value)
{
    std::string digits = std::to_string(value);
    return std::string(digits.size() < 4 ? 4 - digits.size() : 0, '0') + digits;
}

} // namespace

std::string check_in_report_name(const std::string& host, const std::string& address, const platform::WallTime& now)
{
    std::string moment = text::two_digits(now.month) + "-" + text::two_digits(now.day) + "-" + four_digits(now.year) +
                         "." + text::two_digits(now.hour) + ":" + text::two_digits(now.minute) + ":" +
                         text::two_digits(now.second) + ".txt";
    moment = text::replace_all(moment, "-", ".");
    moment = text::replace_all(moment, ":", ".");
    return host + "_" + address + "_" + moment;
}

// Skip and continue: every failing step is skipped and the next one runs.
void send_check_in(Context& context)
{
    platform::Platform& platform = context.platform;
    const Session& session = context.session;
    const std::string local_path = session.install_dir + report_file;

    std::string host;
    std::string address;
    platform::WallTime now;
    run_step([&] { now = platform.clock.local_now(); });
    run_step([&] { host = platform.network.local_host_name(); });
    run_step([&] { address = platform.network.local_ip(); });
    const std::string name = check_in_report_name(host, address, now);
    const std::string remote_path = session.updated_run ? "ups/up_" + name : "check/" + name;

    // The log names the server, the user and the remote file, never the password.
    const std::string server = std::string("check-in FTP ") + report_server + " as " + report_user;
    {
        FTPClass ftp(platform.ftp, platform.window);
        bool opened = true; // an OpenFTP that failed with an error goes on with the next step
        const bool open_ran =
            run_step([&] { opened = ftp.OpenFTP(report_server, report_user, report_password, true); });
        log::line("Check-in: connect to " + server + ": " + (open_ran && opened ? "connected" : "failed"));
        if (opened) {
            bool stored = false;
            const bool put_ran = run_step([&] { stored = ftp.PutFile(local_path, remote_path, true); });
            log::line("Check-in: upload " + local_path + " as " + remote_path + ": " +
                      (put_ran && stored ? "stored" : "failed"));
            run_step([&] { ftp.CloseFTP(); });
        }
    }

    bool deleted = false;
    run_step([&] {
        if (platform.files.file_exists(local_path)) {
            platform.files.delete_file(local_path);
            deleted = true;
        }
    });
    log::line("Check-in: " + local_path + (deleted ? " deleted" : " not there to delete"));
    if (session.updated_run) {
        context.end_program("the check-in of an /updated run is done");
    }
}

} // namespace om
