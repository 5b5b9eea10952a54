#pragma once
#include <string>

namespace om {

// The application registry record: the nine text values of the application's key, in this order.
struct AppRecord {
    std::string application;
    std::string Installer;
    std::string ProductVersion;
    std::string ProductCode;
    std::string InstallDate;
    std::string exepath;
    std::string LastSuccessRun;
    std::string LastFailureRun;
    std::string fileversions;
};

} // namespace om
