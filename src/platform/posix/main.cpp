// The updater on posix: builds every platform service, hands them to the window logic and runs it.
#include "app/context.hpp"
#include "app/om_update.hpp"
#include "common/log.hpp"
#include "platform/posix/clock.hpp"
#include "platform/posix/file_system.hpp"
#include "platform/posix/ftp_curl.hpp"
#include "platform/posix/http_curl.hpp"
#include "platform/posix/network.hpp"
#include "platform/posix/package_inspector.hpp"
#include "platform/posix/processes.hpp"
#include "platform/posix/registry_file.hpp"
#include "platform/posix/signature_verifier_openssl.hpp"
#include "platform/posix/version_reader.hpp"
#include "platform/posix/window_fltk.hpp"

#include <cstdlib>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

// $XDG_STATE_HOME/ombrix/om_updat.log, with ~/.local/state where XDG_STATE_HOME is not set; no log
// without either.
std::string log_path()
{
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state != nullptr && *state == '/')
        return std::string(state) + "/ombrix/om_updat.log";
    const char* home = std::getenv("HOME");
    if (home != nullptr && *home != '\0')
        return std::string(home) + "/.local/state/ombrix/om_updat.log";
    return "";
}

} // namespace

int main(int argc, char** argv)
{
    namespace posix = om::platform::posix;
    om::log::open(log_path(), static_cast<unsigned long>(::getpid()));
    posix::RegistryFile registry(posix::RegistryFile::default_path());
    posix::VersionReader versions;
    posix::PosixFileSystem files;
    posix::PosixProcesses processes(std::vector<std::string>(argv + 1, argv + argc), versions);
    posix::PosixClock clock;
    posix::PosixNetwork network;
    posix::FltkWindow window;
    posix::CurlHttpService http;
    posix::CurlFtpService ftp;
    posix::OpensslSignatureVerifier signatures;
    posix::PosixPackageInspector packages;

    om::platform::Platform services{registry, versions, files, processes, clock,      network,
                                    window,   http,     ftp,   packages,  &signatures};
    om::Context context(services);
    context.release_public_key = OM_RELEASE_PUBLIC_KEY;
    om::OmUpdate updater(context);
    window.set_handler(&updater);
    updater.load();
    window.run();
    om::log::line("End: the window's message loop ended");
    om::log::close();
    return 0;
}
