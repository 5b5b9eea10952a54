// The updater on Windows: builds every platform service, hands them to the window logic and runs it.
#include "app/context.hpp"
#include "app/om_update.hpp"
#include "common/log.hpp"
#include "platform/win32/clock.hpp"
#include "platform/win32/file_system.hpp"
#include "platform/win32/ftp_wininet.hpp"
#include "platform/win32/http_winhttp.hpp"
#include "platform/win32/network.hpp"
#include "platform/win32/package_inspector.hpp"
#include "platform/win32/processes.hpp"
#include "platform/win32/registry.hpp"
#include "platform/win32/signature_verifier_cng.hpp"
#include "platform/win32/version_info.hpp"
#include "platform/win32/window.hpp"

#include <string>
#include <vector>

#include <windows.h>

#include <knownfolders.h>
#include <objbase.h>
#include <shlobj.h>

namespace {

// %LOCALAPPDATA%\Ombrix\om_updat.log: the known folder, or the environment variable where the folder
// cannot be asked for; no log without either.
std::string log_path()
{
    std::string folder;
    PWSTR known = nullptr;
    if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &known)) && known != nullptr) {
        const int size = ::WideCharToMultiByte(CP_ACP, 0, known, -1, nullptr, 0, nullptr, nullptr);
        if (size > 1) {
            std::vector<char> text(static_cast<std::size_t>(size));
            ::WideCharToMultiByte(CP_ACP, 0, known, -1, text.data(), size, nullptr, nullptr);
            folder = text.data();
        }
    }
    ::CoTaskMemFree(known);
    if (folder.empty()) {
        char text[MAX_PATH] = {};
        const DWORD length = ::GetEnvironmentVariableA("LOCALAPPDATA", text, MAX_PATH);
        if (length > 0 && length < MAX_PATH)
            folder = text;
    }
    return folder.empty() ? folder : folder + "\\Ombrix\\om_updat.log";
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    namespace win32 = om::platform::win32;
    om::log::open(log_path(), ::GetCurrentProcessId());
    win32::Win32Registry registry;
    win32::Win32VersionInfo versions;
    win32::Win32FileSystem files;
    win32::Win32Processes processes;
    win32::Win32Clock clock;
    win32::Win32Network network;
    win32::Win32Window window(instance);
    win32::WinHttpService http;
    win32::WinInetFtpService ftp;
    win32::CngSignatureVerifier signatures;
    win32::Win32PackageInspector packages;

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
