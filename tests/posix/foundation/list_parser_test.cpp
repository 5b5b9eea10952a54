// The LIST lines of servers without MLSD (the FTP contract's pyftpdlib answers MLSD): Unix lines with
// and without a group, a year or a link, and DOS lines.
#include "platform/posix/ftp_list_parser.hpp"

#include <gtest/gtest.h>

namespace om::platform::posix {
namespace {

TEST(FtpListParser, ReadsUnixAndDosLines)
{
    const CivilTime now{2026, 12, 4, 14, 5, 9};
    const struct {
        std::string line, name;
        std::uint64_t size;
        std::uint32_t attributes;
        std::int64_t unix_time;
    } cases[] = {
        // A time instead of a year: this year, or last year when that would be ahead of now.
        {"-rw-r--r--   1 root     root           12 Mar 05 10:20 two words.txt", "two words.txt", 12,
         file_attribute_normal, 1772706000},
        {"-r--r--r-- 1 owner 6442450944 Dec 24 23:59 big.iso", "big.iso", 6442450944, file_attribute_readonly,
         1766620740},
        {"drwxr-xr-x    2 102      105          4096 Jan 31  2019 sub", "sub", 0, file_attribute_directory, 1548892800},
        {"lrwxrwxrwx 1 a b 7 Nov 30 08:00 latest -> om.exe", "latest", 7, file_attribute_normal, 1796025600},
        {"03-05-24  10:20PM       <DIR>          check", "check", 0, file_attribute_directory, 1709677200},
        {"12-04-2026  12:05AM                 1234 a b.txt", "a b.txt", 1234, file_attribute_normal, 1796342700},
    };
    for (const auto& c : cases) {
        const auto entry = parse_list_line(c.line, now);
        ASSERT_TRUE(entry) << c.line;
        EXPECT_EQ(entry_name(*entry), c.name);
        EXPECT_EQ((std::uint64_t{entry->size_high} << 32) | entry->size_low, c.size) << c.line;
        EXPECT_EQ(entry->attributes, c.attributes) << c.line;
        EXPECT_EQ(entry->last_write_time.ticks(),
                  static_cast<std::uint64_t>(c.unix_time + 11'644'473'600LL) * 10'000'000ULL)
            << c.line;
    }
    for (const std::string line : {"total 12", "drwxr-xr-x 2 a b 4096 Mar 05 10:20 ..", "garbage"})
        EXPECT_FALSE(parse_list_line(line, now)) << line;
}

} // namespace
} // namespace om::platform::posix
