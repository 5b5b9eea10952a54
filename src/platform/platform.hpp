#pragma once
// Every platform service the session logic uses, gathered in one place.
#include "platform/clock.hpp"
#include "platform/file_system.hpp"
#include "platform/ftp_service.hpp"
#include "platform/http_request.hpp"
#include "platform/network.hpp"
#include "platform/package_inspector.hpp"
#include "platform/process.hpp"
#include "platform/registry.hpp"
#include "platform/signature_verifier.hpp"
#include "platform/version_info.hpp"
#include "platform/window.hpp"

namespace om::platform {

struct Platform {
    Registry& registry;
    VersionInfo& version_info;
    FileSystem& files;
    Processes& processes;
    Clock& clock;
    Network& network;
    Window& window;
    HttpService& http;
    FtpService& ftp;
    PackageInspector& packages;
    // Checks the release signatures of packages; without it no package passes a check.
    SignatureVerifier* signatures = nullptr;
};

} // namespace om::platform
