// The contracts' fixtures on posix: the registry file in a test folder of its own (keys and raw values
// are put in by editing the file's contents directly, as another program would); the real file
// system, version reader and processes over a temporary folder; libcurl's HTTP and FTP services.
#include "contract/net_fixture.hpp"
#include "contract/registry_fixture.hpp"
#include "contract/system_fixture.hpp"
#include "platform/posix/file_system.hpp"
#include "platform/posix/ftp_curl.hpp"
#include "platform/posix/http_curl.hpp"
#include "platform/posix/processes.hpp"
#include "platform/posix/reg_format.hpp"
#include "platform/posix/registry_file.hpp"
#include "platform/posix/version_reader.hpp"
#include "posix/foundation/temp_folder.hpp"

#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

extern char** environ;

namespace om::test {

namespace {

class RegistryFileFixture : public RegistryFixture {
public:
    platform::Registry& registry() override { return registry_; }

    void create_key(const std::string& key_path) override
    {
        auto hive = load();
        hive.key_section("HKEY_CURRENT_USER\\" + key_path);
        save(hive);
    }

    void put_raw(const std::string& key_path, const std::string& value_name, std::uint32_t type,
                 const std::vector<std::uint8_t>& bytes) override
    {
        auto hive = load();
        auto& key = hive.key_section("HKEY_CURRENT_USER\\" + key_path);
        key.values.push_back(platform::posix::RegValueData{value_name, type, bytes});
        save(hive);
    }

private:
    platform::posix::RegHive load()
    {
        std::ifstream in(file_, std::ios::binary);
        if (!in)
            return {};
        std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        auto hive = platform::posix::parse_reg_file(bytes);
        if (!hive)
            throw std::runtime_error("the test's registry file does not parse");
        return *hive;
    }
    void save(const platform::posix::RegHive& hive)
    {
        std::ofstream(file_, std::ios::binary) << platform::posix::write_reg_file(hive);
    }

    TempFolder folder_;
    std::string file_ = folder_.file("HKEY_CURRENT_USER.reg");
    platform::posix::RegistryFile registry_{file_};
};

class PosixSystemFixture : public SystemFixture {
public:
    platform::FileSystem& files() override { return files_; }
    platform::VersionInfo& versions() override { return versions_; }
    platform::Processes& processes() override { return processes_; }
    const std::string& folder() override { return path_; }
    std::string program(const std::string& name) override
    {
        const char* dir = std::getenv("OM_TEST_PROGRAMS");
        return std::string(dir && *dir ? dir : OM_TEST_PROGRAMS_BUILT) + "/" + name;
    }
    std::string native(const std::string& path) override { return platform::posix::to_posix_path(path); }
    void set_stand_in_sleep_ms(int milliseconds) override
    {
        ::setenv("OM_STAND_IN_SLEEP_MS", std::to_string(milliseconds).c_str(), 1);
    }

private:
    TempFolder folder_;
    std::string path_ = folder_.path() + "\\";
    platform::posix::PosixFileSystem files_;
    platform::posix::VersionReader versions_;
    platform::posix::PosixProcesses processes_{{}, versions_};
};

class PosixNetFixture : public NetFixture {
public:
    platform::HttpService& http() override { return http_; }
    platform::FtpService& ftp() override { return ftp_; }
    void redirect_ftp_port(int port) override { ftp_.redirect_default_port("127.0.0.1", port); }
    std::string local_form(const std::string& host_path) override { return host_path; }
    bool ftp_times_out() override { return true; }
    void start_host_program(const std::vector<std::string>& arguments) override
    {
        // Through a shell that leaves the program running on its own and ends at once.
        std::vector<const char*> argv{"/bin/sh", "-c", "\"$@\" &", "sh"};
        for (const std::string& argument : arguments)
            argv.push_back(argument.c_str());
        argv.push_back(nullptr);
        pid_t shell = 0;
        if (::posix_spawn(&shell, argv[0], nullptr, nullptr, const_cast<char**>(argv.data()), environ) != 0)
            throw std::runtime_error("cannot start " + arguments.at(0));
        ::waitpid(shell, nullptr, 0);
    }

private:
    platform::posix::CurlHttpService http_;
    platform::posix::CurlFtpService ftp_;
};

} // namespace

std::unique_ptr<NetFixture> make_net_fixture()
{
    return std::make_unique<PosixNetFixture>();
}

std::unique_ptr<RegistryFixture> make_registry_fixture()
{
    return std::make_unique<RegistryFileFixture>();
}

std::unique_ptr<SystemFixture> make_system_fixture()
{
    return std::make_unique<PosixSystemFixture>();
}

} // namespace om::test
