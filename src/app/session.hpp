#pragma once
// The session state: every value the steps of one update session hand to each other.
#include "state/app_record.hpp"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace om {

struct Session {
    std::string install_dir;
    AppRecord app_record;
    std::string uninstall_msi_path;
    bool skip_download = false;
    bool manual_run = false;
    bool updated_run = false;
    std::string default_site;
    std::string site;
    std::string probed_version;
    std::string installed_version;
    std::string last_failure_run;
    std::array<std::int16_t, 3> web_version_parts{};
    std::array<std::int16_t, 3> exe_version_parts{};
    std::string web_msi_version_text;
    std::string web_exe_version_text;
    std::string msi_address;
    std::string exe_address;
    std::string support_file;
    std::string exe_listing_path;
    bool awaiting_page = false;
    bool awaiting_support_list = false;
    bool awaiting_exe_list = false;
    std::string listed_exe_name;
    std::vector<std::uint8_t> received_bytes;
    bool msi_available = false;
    bool exe_available = false;
    bool support_available = false;
    std::string download_name;
    std::string msi_package_name;
    std::string exe_package_name;
    std::int32_t result_code = 0;
};

} // namespace om
