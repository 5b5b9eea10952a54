#pragma once
// Turns an FTP server's folder listing into find-data records: MLSD facts (exact times, universal) or
// LIST lines in the Unix "ls -l" form and the DOS form. Times are kept as listed, without any
// time-zone change, as WinINet does.
#include "platform/ftp_service.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace om::platform::posix {

struct CivilTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

// The FILETIME of a calendar time (no zone change); nullopt before 1601 or for impossible fields.
std::optional<FileTime> file_time_of(const CivilTime& time);

// One MLSD line ("type=file;size=3;modify=20240305102000; name"); nullopt for the folder itself
// (cdir), its parent (pdir) and lines that are not entries.
std::optional<FtpFindData> parse_mlsd_line(std::string_view line);

// One LIST line. now_utc gives the year of Unix lines that show a time instead of a year: the year
// that puts the entry not more than a day in the future. nullopt for "total" lines, "." and "..".
std::optional<FtpFindData> parse_list_line(std::string_view line, const CivilTime& now_utc);

// Every entry of a whole listing, lines split at LF (a CR before it dropped).
std::vector<FtpFindData> parse_listing(std::string_view listing, bool mlsd, const CivilTime& now_utc);

// The wildcard match of FtpFindFirstFile: "*" any run, "?" any one character, letter case ignored.
bool name_matches(std::string_view name, std::string_view pattern);

std::string entry_name(const FtpFindData& data);

} // namespace om::platform::posix
