#include "platform/posix/ftp_list_parser.hpp"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstring>

namespace om::platform::posix {
namespace {

constexpr std::int64_t ticks_per_second = 10'000'000;
constexpr std::int64_t days_1601_to_1970 = 134774;

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's days_from_civil).
std::int64_t days_from_civil(int year, int month, int day)
{
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const std::int64_t year_of_era = year - era * 400;
    const std::int64_t day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const std::int64_t day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
    return era * 146097 + day_of_era - 719468;
}

std::optional<int> number(std::string_view text)
{
    int value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size() || text.empty()) {
        return std::nullopt;
    }
    return value;
}

int month_of(std::string_view text)
{
    static constexpr const char* months[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                             "jul", "aug", "sep", "oct", "nov", "dec"};
    if (text.size() != 3) {
        return 0;
    }
    for (int i = 0; i < 12; ++i) {
        bool same = true;
        for (int c = 0; c < 3; ++c) {
            same = same && std::tolower(static_cast<unsigned char>(text[c])) == months[i][c];
        }
        if (same) {
            return i + 1;
        }
    }
    return 0;
}

void set_name(FtpFindData& data, std::string_view name)
{
    const std::size_t count = std::min(name.size(), data.file_name.size() - 1);
    std::memcpy(data.file_name.data(), name.data(), count);
    data.file_name[count] = '\0';
}

void set_size(FtpFindData& data, std::uint64_t size)
{
    data.size_low = static_cast<std::uint32_t>(size);
    data.size_high = static_cast<std::uint32_t>(size >> 32);
}

struct Token {
    std::string_view text;
    std::size_t end; // position after the token in the line
};

std::vector<Token> tokens_of(std::string_view line, std::size_t most)
{
    std::vector<Token> tokens;
    std::size_t at = 0;
    while (tokens.size() < most) {
        at = line.find_first_not_of(' ', at);
        if (at == std::string_view::npos) {
            break;
        }
        std::size_t end = line.find(' ', at);
        if (end == std::string_view::npos) {
            end = line.size();
        }
        tokens.push_back(Token{line.substr(at, end - at), end});
        at = end;
    }
    return tokens;
}

bool is_dot_entry(std::string_view name)
{
    return name == "." || name == "..";
}

// "drwxr-xr-x 2 owner group 4096 Mar  5 10:20 name" (the group or link count may be missing).
std::optional<FtpFindData> parse_unix_line(std::string_view line, const CivilTime& now)
{
    const std::vector<Token> tokens = tokens_of(line, 9);
    // The date is a month name followed by a day number and a time or a year; the size precedes it.
    for (std::size_t i = 2; i + 2 < tokens.size(); ++i) {
        const int month = month_of(tokens[i].text);
        const std::optional<int> day = number(tokens[i + 1].text);
        if (month == 0 || !day) {
            continue;
        }
        std::uint64_t size = 0;
        const std::string_view size_text = tokens[i - 1].text;
        if (std::from_chars(size_text.data(), size_text.data() + size_text.size(), size).ec != std::errc{}) {
            continue;
        }
        CivilTime time;
        time.month = month;
        time.day = *day;
        const std::string_view clock_or_year = tokens[i + 2].text;
        if (const auto colon = clock_or_year.find(':'); colon != std::string_view::npos) {
            const auto hour = number(clock_or_year.substr(0, colon));
            const auto minute = number(clock_or_year.substr(colon + 1));
            if (!hour || !minute) {
                continue;
            }
            time.hour = *hour;
            time.minute = *minute;
            time.year = now.year;
            // A time instead of a year means "within the last half year": never more than a day ahead.
            if (days_from_civil(time.year, time.month, time.day) > days_from_civil(now.year, now.month, now.day) + 1) {
                --time.year;
            }
        } else if (const auto year = number(clock_or_year)) {
            time.year = *year;
        } else {
            continue;
        }
        std::size_t name_start = tokens[i + 2].end + 1;
        if (name_start > line.size()) {
            return std::nullopt;
        }
        std::string_view name = line.substr(name_start);
        const char kind = line.front();
        if (kind == 'l') {
            if (const auto arrow = name.find(" -> "); arrow != std::string_view::npos) {
                name = name.substr(0, arrow);
            }
        }
        if (name.empty() || is_dot_entry(name)) {
            return std::nullopt;
        }
        FtpFindData data;
        data.attributes = kind == 'd' ? file_attribute_directory : 0;
        if (line.size() > 2 && line[2] != 'w') {
            data.attributes |= file_attribute_readonly;
        }
        if (data.attributes == 0) {
            data.attributes = file_attribute_normal;
        }
        if (kind != 'd') {
            set_size(data, size);
        }
        if (auto written = file_time_of(time)) {
            data.last_write_time = *written;
        }
        set_name(data, name);
        return data;
    }
    return std::nullopt;
}

// "03-05-24  10:20AM       <DIR>          name" or "03-05-2024  10:20PM  1234 name".
std::optional<FtpFindData> parse_dos_line(std::string_view line)
{
    const std::vector<Token> tokens = tokens_of(line, 3);
    if (tokens.size() < 3) {
        return std::nullopt;
    }
    const std::string_view date = tokens[0].text;
    const std::string_view clock = tokens[1].text;
    if (date.size() < 8 || date[2] != '-' || date[5] != '-' || clock.size() < 7) {
        return std::nullopt;
    }
    const auto month = number(date.substr(0, 2));
    const auto day = number(date.substr(3, 2));
    auto year = number(date.substr(6));
    const auto hour = number(clock.substr(0, 2));
    const auto minute = number(clock.substr(3, 2));
    if (!month || !day || !year || !hour || !minute) {
        return std::nullopt;
    }
    if (*year < 100) {
        *year += *year < 70 ? 2000 : 1900;
    }
    CivilTime time{*year, *month, *day, *hour % 12, *minute, 0};
    if (std::toupper(static_cast<unsigned char>(clock[5])) == 'P') {
        time.hour += 12;
    }
    FtpFindData data;
    const std::string_view size_or_dir = tokens[2].text;
    if (size_or_dir == "<DIR>") {
        data.attributes = file_attribute_directory;
    } else {
        std::uint64_t size = 0;
        if (std::from_chars(size_or_dir.data(), size_or_dir.data() + size_or_dir.size(), size).ec != std::errc{}) {
            return std::nullopt;
        }
        set_size(data, size);
        data.attributes = file_attribute_normal;
    }
    const std::size_t name_start = line.find_first_not_of(' ', tokens[2].end);
    if (name_start == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view name = line.substr(name_start);
    if (is_dot_entry(name)) {
        return std::nullopt;
    }
    if (auto written = file_time_of(time)) {
        data.last_write_time = *written;
    }
    set_name(data, name);
    return data;
}

} // namespace

std::optional<FileTime> file_time_of(const CivilTime& time)
{
    if (time.year < 1601 || time.year > 30827 || time.month < 1 || time.month > 12 || time.day < 1 || time.day > 31 ||
        time.hour < 0 || time.hour > 23 || time.minute < 0 || time.minute > 59 || time.second < 0 || time.second > 60) {
        return std::nullopt;
    }
    const std::int64_t days = days_from_civil(time.year, time.month, time.day) + days_1601_to_1970;
    const std::int64_t seconds = days * 86400 + time.hour * 3600 + time.minute * 60 + time.second;
    return FileTime::from_ticks(static_cast<std::uint64_t>(seconds * ticks_per_second));
}

std::optional<FtpFindData> parse_mlsd_line(std::string_view line)
{
    const std::size_t space = line.find(' ');
    if (space == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view facts = line.substr(0, space);
    const std::string_view name = line.substr(space + 1);
    FtpFindData data;
    std::string_view type;
    std::optional<std::string_view> perm;
    std::size_t at = 0;
    while (at < facts.size()) {
        std::size_t end = facts.find(';', at);
        if (end == std::string_view::npos) {
            end = facts.size();
        }
        const std::string_view fact = facts.substr(at, end - at);
        at = end + 1;
        const std::size_t equals = fact.find('=');
        if (equals == std::string_view::npos) {
            continue;
        }
        std::string key(fact.substr(0, equals));
        std::transform(key.begin(), key.end(), key.begin(), [](unsigned char c) { return std::tolower(c); });
        const std::string_view value = fact.substr(equals + 1);
        if (key == "type") {
            type = value;
        } else if (key == "size") {
            std::uint64_t size = 0;
            if (std::from_chars(value.data(), value.data() + value.size(), size).ec == std::errc{}) {
                set_size(data, size);
            }
        } else if (key == "modify" && value.size() >= 14) {
            CivilTime time;
            const auto year = number(value.substr(0, 4));
            const auto month = number(value.substr(4, 2));
            const auto day = number(value.substr(6, 2));
            const auto hour = number(value.substr(8, 2));
            const auto minute = number(value.substr(10, 2));
            const auto second = number(value.substr(12, 2));
            if (year && month && day && hour && minute && second) {
                time = CivilTime{*year, *month, *day, *hour, *minute, *second};
                if (auto written = file_time_of(time)) {
                    data.last_write_time = *written;
                }
            }
        } else if (key == "perm") {
            perm = value;
        }
    }
    std::string kind(type);
    std::transform(kind.begin(), kind.end(), kind.begin(), [](unsigned char c) { return std::tolower(c); });
    if (kind == "cdir" || kind == "pdir" || name.empty() || is_dot_entry(name)) {
        return std::nullopt;
    }
    if (kind == "dir") {
        data.attributes = file_attribute_directory;
        set_size(data, 0);
    } else if (perm && perm->find_first_of("wW") == std::string_view::npos) {
        data.attributes = file_attribute_readonly;
    } else {
        data.attributes = file_attribute_normal;
    }
    set_name(data, name);
    return data;
}

std::optional<FtpFindData> parse_list_line(std::string_view line, const CivilTime& now_utc)
{
    if (line.empty() || line.starts_with("total ")) {
        return std::nullopt;
    }
    if (std::isdigit(static_cast<unsigned char>(line.front()))) {
        return parse_dos_line(line);
    }
    return parse_unix_line(line, now_utc);
}

std::vector<FtpFindData> parse_listing(std::string_view listing, bool mlsd, const CivilTime& now_utc)
{
    std::vector<FtpFindData> entries;
    std::size_t at = 0;
    while (at < listing.size()) {
        std::size_t end = listing.find('\n', at);
        if (end == std::string_view::npos) {
            end = listing.size();
        }
        std::string_view line = listing.substr(at, end - at);
        at = end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        auto entry = mlsd ? parse_mlsd_line(line) : parse_list_line(line, now_utc);
        if (entry) {
            entries.push_back(*entry);
        }
    }
    return entries;
}

bool name_matches(std::string_view name, std::string_view pattern)
{
    // Iterative wildcard match with one back-tracking point for the last "*".
    std::size_t n = 0, p = 0, star = std::string_view::npos, resume = 0;
    auto same = [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
    };
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || (pattern[p] != '*' && same(pattern[p], name[n])))) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = n;
        } else if (star != std::string_view::npos) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}

std::string entry_name(const FtpFindData& data)
{
    return std::string(data.file_name.data(), strnlen(data.file_name.data(), data.file_name.size()));
}

} // namespace om::platform::posix
