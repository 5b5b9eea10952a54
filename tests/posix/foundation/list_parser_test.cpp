#include "platform/posix/ftp_list_parser.hpp"

#include <gtest/gtest.h>

namespace om::platform::posix {
namespace {

std::uint64_t unix_ticks(std::int64_t seconds)
{
    return static_cast<std::uint64_t>(seconds + 11'644'473'600LL) * 10'000'000ULL;
}

const CivilTime now{2026, 12, 4, 14, 5, 9};

TEST(FtpListParser, ReadsUnixLinesWithAndWithoutGroupsYearsAndLinks)
{
    // pyftpdlib style, a time instead of a year: this year.
    auto file = parse_list_line("-rw-r--r--   1 root     root           12 Mar 05 10:20 two words.txt", now);
    ASSERT_TRUE(file);
    EXPECT_EQ(entry_name(*file), "two words.txt");
    EXPECT_EQ(file->size_low, 12u);
    EXPECT_EQ(file->attributes, file_attribute_normal);
    EXPECT_EQ(file->last_write_time.ticks(), unix_ticks(1772706000)); // 2026-03-05 10:20:00

    // vsftpd style with numeric owners, a folder, and a year in place of the time.
    auto folder = parse_list_line("drwxr-xr-x    2 102      105          4096 Jan 31  2019 sub", now);
    ASSERT_TRUE(folder);
    EXPECT_EQ(folder->attributes, file_attribute_directory);
    EXPECT_EQ(folder->size_low, 0u);
    EXPECT_EQ(folder->last_write_time.ticks(), unix_ticks(1548892800)); // 2019-01-31 00:00:00

    // No group column, a read-only file, a size beyond 4 GiB.
    auto big = parse_list_line("-r--r--r-- 1 owner 6442450944 Dec 24 23:59 big.iso", now);
    ASSERT_TRUE(big);
    EXPECT_EQ(big->attributes, file_attribute_readonly);
    EXPECT_EQ(big->size_high, 1u);
    EXPECT_EQ(big->size_low, 0x80000000u);
    // Dec 24 23:59 would be three weeks ahead of 4 December 2026: it is from 2025.
    EXPECT_EQ(big->last_write_time.ticks(), unix_ticks(1766620740));

    auto link = parse_list_line("lrwxrwxrwx 1 a b 7 Nov 30 08:00 latest -> om.exe", now);
    ASSERT_TRUE(link);
    EXPECT_EQ(entry_name(*link), "latest");

    EXPECT_FALSE(parse_list_line("total 12", now));
    EXPECT_FALSE(parse_list_line("drwxr-xr-x 2 a b 4096 Mar 05 10:20 ..", now));
    EXPECT_FALSE(parse_list_line("garbage", now));
}

TEST(FtpListParser, ReadsDosLinesAndMlsdFacts)
{
    auto folder = parse_list_line("03-05-24  10:20PM       <DIR>          check", now);
    ASSERT_TRUE(folder);
    EXPECT_EQ(folder->attributes, file_attribute_directory);
    EXPECT_EQ(folder->last_write_time.ticks(), unix_ticks(1709677200)); // 2024-03-05 22:20
    auto file = parse_list_line("12-04-2026  12:05AM                 1234 a b.txt", now);
    ASSERT_TRUE(file);
    EXPECT_EQ(entry_name(*file), "a b.txt");
    EXPECT_EQ(file->size_low, 1234u);
    EXPECT_EQ(file->last_write_time.ticks(), unix_ticks(1796342700)); // 2026-12-04 00:05

    const auto entries = parse_listing("type=cdir;modify=20240305102030; .\r\n"
                                       "type=pdir;modify=20240305102030; ..\r\n"
                                       "type=file;size=5;modify=20240305102030;perm=adfrw; one.txt\r\n"
                                       "Type=dir;Modify=20200101000000;perm=flcdmpe; sub\r\n"
                                       "type=file;size=1;modify=20240305102030.123;perm=r; locked.txt\r\n",
                                       true, now);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entry_name(entries[0]), "one.txt");
    EXPECT_EQ(entries[0].size_low, 5u);
    EXPECT_EQ(entries[0].last_write_time.ticks(), unix_ticks(1709634030));
    EXPECT_EQ(entries[1].attributes, file_attribute_directory);
    EXPECT_EQ(entries[2].attributes, file_attribute_readonly);
}

TEST(FtpListParser, MatchesWildcardsIgnoringCase)
{
    EXPECT_TRUE(name_matches("Report.TXT", "*"));
    EXPECT_TRUE(name_matches("Report.TXT", "report.txt"));
    EXPECT_TRUE(name_matches("Report.TXT", "r*.t?t"));
    EXPECT_TRUE(name_matches("aXbXc", "a*c"));
    EXPECT_FALSE(name_matches("Report.TXT", "report"));
    EXPECT_FALSE(name_matches("abc", "a*d"));
    EXPECT_FALSE(name_matches("", "?"));
}

} // namespace
} // namespace om::platform::posix
