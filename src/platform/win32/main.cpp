// The updater on Windows: builds every platform service, hands them to the window logic and runs it.
#include "app/context.hpp"
#include "app/om_update.hpp"
#include "platform/win32/clock.hpp"
#include "platform/win32/file_system.hpp"
#include "platform/win32/ftp_wininet.hpp"
#include "platform/win32/http_winhttp.hpp"
#include "platform/win32/network.hpp"
#include "platform/win32/package_inspector.hpp"
#include "platform/win32/processes.hpp"
#include "platform/win32/registry.hpp"
#include "platform/win32/version_info.hpp"
#include "platform/win32/window.hpp"

#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    namespace win32 = om::platform::win32;
    win32::Win32Registry registry;
    win32::Win32VersionInfo versions;
    win32::Win32FileSystem files;
    win32::Win32Processes processes;
    win32::Win32Clock clock;
    win32::Win32Network network;
    win32::Win32Window window(instance);
    win32::WinHttpService http;
    win32::WinInetFtpService ftp;
    win32::Win32PackageInspector packages;

    om::platform::Platform services{registry, versions, files, processes, clock, network, window, http, ftp, packages};
    om::Context context(services);
    om::OmUpdate updater(context);
    window.set_handler(&updater);
    updater.load();
    window.run();
    return 0;
}
