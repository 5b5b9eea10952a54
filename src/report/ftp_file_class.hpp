#pragma once
// FTPFileClass: one entry of an FTP folder listing.
#include <cstdint>
#include <string>

namespace om {

struct FTPFileClass {
    // The entry's name as listed, cut at its first NUL.
    std::string FileName;
    // Size in bytes; entries of 2 GiB or more hold 2147483647 (the field's largest value).
    std::int32_t FileSize = 0;
    // Last-write time as listed, as a date (days since 30 December 1899, the time as the fraction),
    // without time-zone change; 0 when the listed time cannot be converted.
    double ModifyDate = 0;
    // Attribute bit 0x1.
    bool ReadOnly = false;
};

} // namespace om
