#include "platform/posix/reg_format.hpp"

#include <algorithm>
#include <cstdio>

namespace om::platform::posix {

namespace {

char lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool starts_with_nocase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && same_name(text.substr(0, prefix.size()), prefix);
}

void append_utf8(std::string& out, std::uint32_t code)
{
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// UTF-16LE to UTF-8; nullopt for an odd length or an unpaired surrogate.
std::optional<std::string> utf16le_to_utf8(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() % 2 != 0)
        return std::nullopt;
    std::string out;
    out.reserve(bytes.size() / 2);
    for (std::size_t i = 0; i < bytes.size(); i += 2) {
        std::uint32_t unit = bytes[i] | (bytes[i + 1] << 8);
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            if (i + 3 >= bytes.size())
                return std::nullopt;
            std::uint32_t low = bytes[i + 2] | (bytes[i + 3] << 8);
            if (low < 0xDC00 || low > 0xDFFF)
                return std::nullopt;
            unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
            i += 2;
        } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
            return std::nullopt;
        }
        append_utf8(out, unit);
    }
    return out;
}

std::string_view trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

int hex_digit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = lower(c);
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// A quoted text at the start of `s` (which begins with '"'), its escapes undone; `s` is left after the
// closing quote. nullopt when the quote is not closed or an escape is unknown.
std::optional<std::string> take_quoted(std::string_view& s)
{
    std::string out;
    std::size_t i = 1;
    for (; i < s.size(); ++i) {
        char c = s[i];
        if (c == '"') {
            s.remove_prefix(i + 1);
            return out;
        }
        if (c != '\\') {
            out += c;
            continue;
        }
        if (++i == s.size())
            return std::nullopt;
        switch (s[i]) {
        case '\\':
            out += '\\';
            break;
        case '"':
            out += '"';
            break;
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        case '0':
            out += '\0';
            break;
        default:
            return std::nullopt;
        }
    }
    return std::nullopt;
}

class Parser {
public:
    Parser(std::vector<std::string_view> lines, bool unicode) : lines_(std::move(lines)), unicode_(unicode) {}

    std::optional<RegHive> run()
    {
        for (next_ = 1; next_ < lines_.size();) {
            std::string_view line = trim(lines_[next_++]);
            if (line.empty() || line.front() == ';')
                continue;
            bool ok = line.front() == '[' ? key_line(line) : value_line(line);
            if (!ok)
                return std::nullopt;
        }
        return std::move(hive_);
    }

private:
    bool key_line(std::string_view line)
    {
        if (line.back() != ']' || line.size() < 3)
            return false;
        std::string_view path = line.substr(1, line.size() - 2);
        bool remove = path.front() == '-';
        if (remove)
            path.remove_prefix(1);
        if (path.empty() || std::any_of(path.begin(), path.end(),
                                        [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; }))
            return false;
        if (!remove) {
            current_ = hive_.key_section(path).path;
            return true;
        }
        std::erase_if(hive_.keys, [&](const RegKeyData& key) {
            return same_name(key.path, path) || (key.path.size() > path.size() && key.path[path.size()] == '\\' &&
                                                 same_name(std::string_view(key.path).substr(0, path.size()), path));
        });
        current_.reset();
        return true;
    }

    bool value_line(std::string_view line)
    {
        if (!current_)
            return false;
        std::string name;
        if (line.front() == '@') {
            line.remove_prefix(1);
        } else if (line.front() == '"') {
            auto quoted = take_quoted(line);
            if (!quoted)
                return false;
            name = std::move(*quoted);
        } else {
            return false;
        }
        line = trim(line);
        if (line.empty() || line.front() != '=')
            return false;
        line = trim(line.substr(1));
        RegKeyData& key = *hive_.find_key(*current_);
        if (line == "-") {
            std::erase_if(key.values, [&](const RegValueData& v) { return same_name(v.name, name); });
            return true;
        }
        RegValueData value{std::move(name), 0, {}};
        if (!value_data(line, value))
            return false;
        if (RegValueData* old = find_value(key, value.name)) {
            old->type = value.type;
            old->bytes = std::move(value.bytes);
        } else {
            key.values.push_back(std::move(value));
        }
        return true;
    }

    bool value_data(std::string_view data, RegValueData& value)
    {
        if (!data.empty() && data.front() == '"') {
            auto text = take_quoted(data);
            if (!text || !trim(data).empty())
                return false;
            value.type = 1;
            value.bytes.assign(text->begin(), text->end());
            value.bytes.push_back(0);
            return true;
        }
        if (starts_with_nocase(data, "dword:")) {
            std::string_view digits = data.substr(6);
            if (digits.empty() || digits.size() > 8)
                return false;
            std::uint32_t number = 0;
            for (char c : digits) {
                int d = hex_digit(c);
                if (d < 0)
                    return false;
                number = (number << 4) | static_cast<std::uint32_t>(d);
            }
            value.type = 4;
            value.bytes = {static_cast<std::uint8_t>(number), static_cast<std::uint8_t>(number >> 8),
                           static_cast<std::uint8_t>(number >> 16), static_cast<std::uint8_t>(number >> 24)};
            return true;
        }
        if (starts_with_nocase(data, "hex:")) {
            value.type = 3;
            data.remove_prefix(4);
        } else if (starts_with_nocase(data, "hex(")) {
            std::size_t close = data.find(')');
            if (close == std::string_view::npos || close == 4 || close > 12 || close + 1 >= data.size() ||
                data[close + 1] != ':')
                return false;
            std::uint32_t type = 0;
            for (char c : data.substr(4, close - 4)) {
                int d = hex_digit(c);
                if (d < 0)
                    return false;
                type = (type << 4) | static_cast<std::uint32_t>(d);
            }
            value.type = type;
            data.remove_prefix(close + 2);
        } else {
            return false;
        }
        if (!hex_bytes(data, value.bytes))
            return false;
        // A version 5.00 file keeps texts as UTF-16LE; the 8-bit calls see them converted.
        if (unicode_ && (value.type == 1 || value.type == 2 || value.type == 7)) {
            if (auto text = utf16le_to_utf8(value.bytes))
                value.bytes.assign(text->begin(), text->end());
        }
        return true;
    }

    // "xx,xx,..." over one or more lines, a line ending in "\" continuing on the next.
    bool hex_bytes(std::string_view data, std::vector<std::uint8_t>& out)
    {
        for (;;) {
            data = trim(data);
            bool more = !data.empty() && data.back() == '\\';
            if (more)
                data = trim(data.substr(0, data.size() - 1));
            while (!data.empty()) {
                std::size_t comma = data.find(',');
                std::string_view item = trim(data.substr(0, comma));
                if (item.empty() || item.size() > 2)
                    return false;
                int value = 0;
                for (char c : item) {
                    int d = hex_digit(c);
                    if (d < 0)
                        return false;
                    value = value * 16 + d;
                }
                out.push_back(static_cast<std::uint8_t>(value));
                if (comma == std::string_view::npos)
                    break;
                data.remove_prefix(comma + 1);
                // A trailing comma is allowed only before the continuation.
                if (trim(data).empty() && !more)
                    return false;
            }
            if (!more)
                return true;
            if (next_ >= lines_.size())
                return false;
            data = lines_[next_++];
        }
    }

    std::vector<std::string_view> lines_;
    bool unicode_;
    std::size_t next_ = 1;
    RegHive hive_;
    std::optional<std::string> current_;
};

void append_quoted(std::string& out, std::string_view text)
{
    out += '"';
    for (char c : text) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '"':
            out += "\\\"";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\0':
            out += "\\0";
            break;
        default:
            out += c;
        }
    }
    out += '"';
}

// A text value that the quoted form keeps exactly: printable ASCII and one terminating zero.
bool plain_text(const RegValueData& value)
{
    if (value.type != 1 || value.bytes.empty() || value.bytes.back() != 0)
        return false;
    return std::all_of(value.bytes.begin(), value.bytes.end() - 1,
                       [](std::uint8_t b) { return b >= 0x20 && b < 0x7f; });
}

void append_value(std::string& out, const RegValueData& value)
{
    std::size_t line_start = out.size();
    if (value.name.empty())
        out += '@';
    else
        append_quoted(out, value.name);
    out += '=';
    char buffer[32];
    if (plain_text(value)) {
        append_quoted(out, std::string_view(reinterpret_cast<const char*>(value.bytes.data()), value.bytes.size() - 1));
    } else if (value.type == 4 && value.bytes.size() == 4) {
        std::uint32_t number = value.bytes[0] | (value.bytes[1] << 8) | (value.bytes[2] << 16) |
                               (static_cast<std::uint32_t>(value.bytes[3]) << 24);
        std::snprintf(buffer, sizeof buffer, "dword:%08x", number);
        out += buffer;
    } else {
        if (value.type == 3)
            out += "hex:";
        else {
            std::snprintf(buffer, sizeof buffer, "hex(%x):", value.type);
            out += buffer;
        }
        for (std::size_t i = 0; i < value.bytes.size(); ++i) {
            std::snprintf(buffer, sizeof buffer, "%02x", value.bytes[i]);
            out += buffer;
            if (i + 1 < value.bytes.size()) {
                out += ',';
                // Lines are wrapped near 80 columns, as regedit does.
                if (out.size() - line_start > 76) {
                    out += "\\\r\n  ";
                    line_start = out.size() - 2;
                }
            }
        }
    }
    out += "\r\n";
}

} // namespace

bool same_name(std::string_view a, std::string_view b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return lower(x) == lower(y); });
}

RegKeyData* RegHive::find_key(std::string_view path)
{
    auto it = std::find_if(keys.begin(), keys.end(), [&](const RegKeyData& k) { return same_name(k.path, path); });
    return it == keys.end() ? nullptr : &*it;
}

bool RegHive::key_exists(std::string_view path) const
{
    return std::any_of(keys.begin(), keys.end(), [&](const RegKeyData& k) {
        std::string_view p = k.path;
        return same_name(p, path) ||
               (p.size() > path.size() && p[path.size()] == '\\' && same_name(p.substr(0, path.size()), path));
    });
}

RegKeyData& RegHive::key_section(std::string_view path)
{
    if (RegKeyData* key = find_key(path))
        return *key;
    keys.push_back(RegKeyData{std::string(path), {}});
    return keys.back();
}

RegValueData* find_value(RegKeyData& key, std::string_view name)
{
    auto it = std::find_if(key.values.begin(), key.values.end(),
                           [&](const RegValueData& v) { return same_name(v.name, name); });
    return it == key.values.end() ? nullptr : &*it;
}

std::optional<RegHive> parse_reg_file(std::span<const std::uint8_t> file)
{
    std::string text;
    if (file.size() >= 2 && file[0] == 0xFF && file[1] == 0xFE) {
        auto decoded = utf16le_to_utf8(file.subspan(2));
        if (!decoded)
            return std::nullopt;
        text = std::move(*decoded);
    } else {
        if (file.size() >= 3 && file[0] == 0xEF && file[1] == 0xBB && file[2] == 0xBF)
            file = file.subspan(3);
        text.assign(file.begin(), file.end());
    }

    std::vector<std::string_view> lines;
    std::string_view rest = text;
    while (!rest.empty()) {
        std::size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.push_back(line);
        rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
    }
    if (lines.empty())
        return std::nullopt;
    std::string_view header = trim(lines[0]);
    bool unicode = header == "Windows Registry Editor Version 5.00";
    if (!unicode && header != "REGEDIT4") {
        // A file written by hand may start with its first key and no header line.
        if (!header.starts_with('['))
            return std::nullopt;
        lines.insert(lines.begin(), std::string_view{});
    }
    return Parser(std::move(lines), unicode).run();
}

std::string write_reg_file(const RegHive& hive)
{
    std::string out = "REGEDIT4\r\n\r\n";
    for (const RegKeyData& key : hive.keys) {
        out += '[';
        out += key.path;
        out += "]\r\n";
        for (const RegValueData& value : key.values)
            append_value(out, value);
        out += "\r\n";
    }
    return out;
}

} // namespace om::platform::posix
