// The contracts' fixture on posix: the registry file in the test's folder, the real file system,
// version reader and processes, and libcurl's HTTP and FTP services.
#include "contract/platform_fixture.hpp"
#include "platform/posix/file_system.hpp"
#include "platform/posix/ftp_curl.hpp"
#include "platform/posix/http_curl.hpp"
#include "platform/posix/processes.hpp"
#include "platform/posix/registry_file.hpp"
#include "platform/posix/version_reader.hpp"

#include <cstdlib>

namespace om::test {
namespace {

class PosixFixture : public PlatformFixture {
public:
    platform::Platform& services() override { return services_; }
    void create_key(const std::string& key_path) override
    {
        std::ofstream(registry_file_, std::ios::app) << "[HKEY_CURRENT_USER\\" << key_path << "]\n";
    }
    void redirect_ftp_port(int port) override { ftp_.redirect_default_port("127.0.0.1", port); }
    bool ftp_times_out() override { return true; }
    std::string local_form(const std::string& host_path) override { return host_path; }
    void start_host_program(const std::vector<std::string>& arguments) override
    {
        // Through a shell that leaves the program running on its own and ends at once (no argument
        // the tests pass holds a single quote).
        std::string command;
        for (const std::string& argument : arguments)
            command += "'" + argument + "' ";
        if (std::system((command + "&").c_str()) != 0)
            throw std::runtime_error("cannot start " + arguments.at(0));
    }

private:
    std::string registry_file_ = root + "/HKEY_CURRENT_USER.reg";
    platform::posix::RegistryFile registry_{registry_file_};
    platform::posix::PosixFileSystem files_;
    platform::posix::VersionReader versions_;
    platform::posix::PosixProcesses processes_{{}, versions_};
    platform::posix::CurlHttpService http_;
    platform::posix::CurlFtpService ftp_;
    TestPlatform fakes_;
    platform::Platform services_{registry_,      versions_,     files_, processes_, fakes_.clock,
                                 fakes_.network, fakes_.window, http_,  ftp_,       fakes_.packages};
};

} // namespace

std::unique_ptr<PlatformFixture> make_platform_fixture()
{
    return std::make_unique<PosixFixture>();
}

} // namespace om::test
