#pragma once
// The platform contract tests (file system, version information, processes) run against each platform's
// real services. Each platform's foundation folder provides make_system_fixture().
#include "platform/file_system.hpp"
#include "platform/process.hpp"
#include "platform/version_info.hpp"

#include <memory>
#include <string>

namespace om::test {

class SystemFixture {
public:
    virtual ~SystemFixture() = default;
    virtual platform::FileSystem& files() = 0;
    virtual platform::VersionInfo& versions() = 0;
    virtual platform::Processes& processes() = 0;
    // A fresh empty folder of the test's own, written as the session writes install_dir (ending in "\").
    virtual const std::string& folder() = 0;
    // A built stand-in program of tests/programs by file name.
    virtual std::string program(const std::string& name) = 0;
    // The path by which this program's std::fstream reaches a path the services read.
    virtual std::string native(const std::string& path) = 0;
    // How long the stand-ins started from now on sleep before they end.
    virtual void set_stand_in_sleep_ms(int milliseconds) = 0;
};

std::unique_ptr<SystemFixture> make_system_fixture();

} // namespace om::test
