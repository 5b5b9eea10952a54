#include "platform/posix/version_reader.hpp"

#include "platform/posix/file_system.hpp"
#include "platform/posix/unique_fd.hpp"
#include "platform/posix/version_block.hpp"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace om::platform::posix {

namespace {

// Bounds-checked little-endian reads over the file's bytes.
class Bytes {
public:
    explicit Bytes(std::span<const std::uint8_t> data) : data_(data) {}

    std::size_t size() const { return data_.size(); }
    bool has(std::uint64_t offset, std::uint64_t count) const
    {
        return offset <= data_.size() && count <= data_.size() - offset;
    }
    std::optional<std::uint16_t> u16(std::uint64_t at) const
    {
        if (!has(at, 2))
            return std::nullopt;
        return static_cast<std::uint16_t>(data_[at] | (data_[at + 1] << 8));
    }
    std::optional<std::uint32_t> u32(std::uint64_t at) const
    {
        if (!has(at, 4))
            return std::nullopt;
        return static_cast<std::uint32_t>(data_[at] | (data_[at + 1] << 8) | (data_[at + 2] << 16)) |
               (static_cast<std::uint32_t>(data_[at + 3]) << 24);
    }
    std::optional<std::uint64_t> u64(std::uint64_t at) const
    {
        auto low = u32(at);
        auto high = u32(at + 4);
        if (!low || !high)
            return std::nullopt;
        return (std::uint64_t{*high} << 32) | *low;
    }
    std::vector<std::uint8_t> copy(std::uint64_t offset, std::uint64_t count) const
    {
        if (!has(offset, count))
            return {};
        auto part = data_.subspan(static_cast<std::size_t>(offset), static_cast<std::size_t>(count));
        return {part.begin(), part.end()};
    }

private:
    std::span<const std::uint8_t> data_;
};

// ---- PE: resource directory -> RT_VERSION -> first name -> first language -> data ----------------

constexpr std::uint32_t rt_version = 16;
constexpr std::uint32_t subdirectory_flag = 0x80000000u;

struct Section {
    std::uint32_t virtual_address, virtual_size, raw_size, raw_offset;
};

class PeFile {
public:
    explicit PeFile(Bytes bytes) : bytes_(bytes) {}

    std::vector<std::uint8_t> version_block()
    {
        auto pe = bytes_.u32(0x3C);
        if (!pe || bytes_.u32(*pe) != 0x00004550u) // "PE\0\0"
            return {};
        const std::uint64_t coff = std::uint64_t{*pe} + 4;
        auto section_count = bytes_.u16(coff + 2);
        auto optional_size = bytes_.u16(coff + 16);
        if (!section_count || !optional_size)
            return {};
        const std::uint64_t optional = coff + 20;
        auto magic = bytes_.u16(optional);
        if (!magic)
            return {};
        std::uint64_t directory_count_at;
        if (*magic == 0x10b)
            directory_count_at = optional + 92; // PE32
        else if (*magic == 0x20b)
            directory_count_at = optional + 108; // PE32+
        else
            return {};
        auto directory_count = bytes_.u32(directory_count_at);
        if (!directory_count || *directory_count <= 2 || directory_count_at + 4 + 3 * 8 > optional + *optional_size)
            return {};
        auto resource_rva = bytes_.u32(directory_count_at + 4 + 2 * 8);
        if (!resource_rva || *resource_rva == 0)
            return {};

        const std::uint64_t table = optional + *optional_size;
        for (std::uint32_t i = 0; i < *section_count; ++i) {
            std::uint64_t at = table + std::uint64_t{i} * 40;
            auto va = bytes_.u32(at + 12), vsize = bytes_.u32(at + 8), rsize = bytes_.u32(at + 16),
                 roffset = bytes_.u32(at + 20);
            if (!va || !vsize || !rsize || !roffset)
                return {};
            sections_.push_back({*va, *vsize, *rsize, *roffset});
        }
        auto root = offset_of(*resource_rva);
        if (!root)
            return {};
        root_ = *root;

        // Exactly three levels, each a step down from the root: no directory is visited twice.
        auto names = subdirectory(
            0, [](std::uint32_t id) { return id == rt_version; }, true);
        if (!names)
            return {};
        auto languages = subdirectory(*names, nullptr, false);
        if (!languages)
            return {};
        auto entry = first_entry(*languages);
        if (!entry || (*entry & subdirectory_flag))
            return {};
        std::uint64_t data_entry = root_ + *entry;
        auto data_rva = bytes_.u32(data_entry);
        auto data_size = bytes_.u32(data_entry + 4);
        if (!data_rva || !data_size)
            return {};
        auto data = offset_of(*data_rva);
        if (!data)
            return {};
        return bytes_.copy(*data, *data_size);
    }

private:
    // File offset of a relative virtual address: only bytes present in the file map.
    std::optional<std::uint64_t> offset_of(std::uint32_t rva) const
    {
        for (const Section& s : sections_) {
            if (rva >= s.virtual_address && rva - s.virtual_address < s.raw_size)
                return std::uint64_t{s.raw_offset} + (rva - s.virtual_address);
        }
        return std::nullopt;
    }

    // The offset word of the directory entry (at `directory`, relative to the resource root) whose
    // numeric id matches, or the first entry when `match` is null.
    std::optional<std::uint32_t> find_entry(std::uint32_t directory, bool (*match)(std::uint32_t), bool ids_only)
    {
        std::uint64_t at = root_ + directory;
        auto named = bytes_.u16(at + 12);
        auto ids = bytes_.u16(at + 14);
        if (!named || !ids)
            return std::nullopt;
        std::uint32_t count = std::uint32_t{*named} + *ids;
        std::uint32_t first = ids_only ? *named : 0;
        for (std::uint32_t i = first; i < count; ++i) {
            std::uint64_t entry = at + 16 + std::uint64_t{i} * 8;
            auto name = bytes_.u32(entry);
            auto offset = bytes_.u32(entry + 4);
            if (!name || !offset)
                return std::nullopt;
            if (!match || (!(*name & subdirectory_flag) && match(*name)))
                return *offset;
        }
        return std::nullopt;
    }

    std::optional<std::uint32_t> first_entry(std::uint32_t directory) { return find_entry(directory, nullptr, false); }

    std::optional<std::uint32_t> subdirectory(std::uint32_t directory, bool (*match)(std::uint32_t), bool ids_only)
    {
        auto offset = find_entry(directory, match, ids_only);
        if (!offset || !(*offset & subdirectory_flag))
            return std::nullopt;
        return *offset & ~subdirectory_flag;
    }

    Bytes bytes_;
    std::vector<Section> sections_;
    std::uint64_t root_ = 0;
};

// ---- ELF: the section named ".om_version" -----------------------------------------------------------

std::vector<std::uint8_t> elf_block(Bytes bytes, std::span<const std::uint8_t> file)
{
    if (file.size() < 0x34 || file[5] != 1) // little-endian only
        return {};
    const bool is64 = file[4] == 2;
    if (!is64 && file[4] != 1)
        return {};
    std::optional<std::uint64_t> table;
    std::optional<std::uint16_t> entry_size, count, names_index;
    if (is64) {
        table = bytes.u64(0x28);
        entry_size = bytes.u16(0x3A);
        count = bytes.u16(0x3C);
        names_index = bytes.u16(0x3E);
    } else {
        auto t = bytes.u32(0x20);
        if (t)
            table = *t;
        entry_size = bytes.u16(0x2E);
        count = bytes.u16(0x30);
        names_index = bytes.u16(0x32);
    }
    if (!table || !entry_size || !count || !names_index || *names_index >= *count)
        return {};
    if (*entry_size < (is64 ? 64u : 40u))
        return {};
    struct Header {
        std::uint32_t name = 0, type = 0;
        std::uint64_t offset = 0, size = 0;
    };
    auto header = [&](std::uint32_t index) -> std::optional<Header> {
        std::uint64_t at = *table + std::uint64_t{index} * *entry_size;
        if (!bytes.has(at, *entry_size))
            return std::nullopt;
        Header h;
        h.name = *bytes.u32(at);
        h.type = *bytes.u32(at + 4);
        if (is64) {
            h.offset = *bytes.u64(at + 24);
            h.size = *bytes.u64(at + 32);
        } else {
            h.offset = *bytes.u32(at + 16);
            h.size = *bytes.u32(at + 20);
        }
        return h;
    };
    auto names = header(*names_index);
    if (!names || !bytes.has(names->offset, names->size))
        return {};
    const std::string_view wanted = version_section_name;
    for (std::uint32_t i = 0; i < *count; ++i) {
        auto h = header(i);
        if (!h)
            return {};
        // The name must lie whole, with its terminating zero, inside the names section.
        if (h->name >= names->size || names->size - h->name < wanted.size() + 1)
            continue;
        auto name = file.subspan(static_cast<std::size_t>(names->offset + h->name), wanted.size() + 1);
        if (std::memcmp(name.data(), wanted.data(), wanted.size()) != 0 || name[wanted.size()] != 0)
            continue;
        if (h->type == 8) // SHT_NOBITS: no bytes in the file
            return {};
        return bytes.copy(h->offset, h->size);
    }
    return {};
}

// The whole file, when it is a regular file no larger than max_size; empty otherwise. Read rather than
// mapped, so that a file cut short by another process meanwhile cannot fault the reader.
std::vector<std::uint8_t> read_whole_file(const std::string& path, std::size_t max_size)
{
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid())
        return {};
    std::vector<std::uint8_t> bytes;
    struct stat info {};
    if (::fstat(fd.get(), &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0 &&
        static_cast<std::uint64_t>(info.st_size) <= max_size) {
        bytes.resize(static_cast<std::size_t>(info.st_size));
        std::size_t done = 0;
        while (done < bytes.size()) {
            ssize_t n = ::read(fd.get(), bytes.data() + done, bytes.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            done += static_cast<std::size_t>(n);
        }
        bytes.resize(done);
    }
    return bytes;
}

} // namespace

std::vector<std::uint8_t> read_version_block(std::span<const std::uint8_t> file)
{
    if (file.size() >= 2 && file[0] == 'M' && file[1] == 'Z')
        return PeFile(Bytes(file)).version_block();
    if (file.size() >= 4 && file[0] == 0x7F && file[1] == 'E' && file[2] == 'L' && file[3] == 'F')
        return elf_block(Bytes(file), file);
    return {};
}

std::vector<std::uint8_t> VersionReader::file_version_block(const std::string& path)
{
    return read_version_block(read_whole_file(to_posix_path(path), max_file_size));
}

} // namespace om::platform::posix
