// The updater on posix: builds every platform service, hands them to the window logic and runs it.
#include "app/context.hpp"
#include "app/om_update.hpp"
#include "platform/posix/clock.hpp"
#include "platform/posix/file_system.hpp"
#include "platform/posix/ftp_curl.hpp"
#include "platform/posix/http_curl.hpp"
#include "platform/posix/network.hpp"
#include "platform/posix/package_inspector.hpp"
#include "platform/posix/processes.hpp"
#include "platform/posix/registry_file.hpp"
#include "platform/posix/version_reader.hpp"
#include "platform/posix/window_fltk.hpp"

#include <string>
#include <vector>

int main(int argc, char** argv)
{
    namespace posix = om::platform::posix;
    posix::RegistryFile registry(posix::RegistryFile::default_path());
    posix::VersionReader versions;
    posix::PosixFileSystem files;
    posix::PosixProcesses processes(std::vector<std::string>(argv + 1, argv + argc), versions);
    posix::PosixClock clock;
    posix::PosixNetwork network;
    posix::FltkWindow window;
    posix::CurlHttpService http;
    posix::CurlFtpService ftp;
    posix::PosixPackageInspector packages;

    om::platform::Platform services{registry, versions, files, processes, clock, network, window, http, ftp, packages};
    om::Context context(services);
    om::OmUpdate updater(context);
    window.set_handler(&updater);
    updater.load();
    window.run();
    return 0;
}
