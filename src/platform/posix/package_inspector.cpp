#include "platform/posix/package_inspector.hpp"

#include "platform/posix/file_system.hpp"

#include <libmsi.h>

#include <array>
#include <fstream>
#include <memory>

namespace om::platform::posix {

namespace {

struct GObjectUnref {
    void operator()(void* object) const { g_object_unref(object); }
};
template <class T> using GObjectPtr = std::unique_ptr<T, GObjectUnref>;

struct GErrorFree {
    void operator()(GError* error) const { g_error_free(error); }
};
struct GFree {
    void operator()(gchar* text) const { g_free(text); }
};

} // namespace

std::optional<std::string> PosixPackageInspector::installer_product_version(const std::string& path)
{
    GError* raw_error = nullptr;
    const GObjectPtr<LibmsiDatabase> database(
        libmsi_database_new(to_posix_path(path).c_str(), LIBMSI_DB_FLAGS_READONLY, nullptr, &raw_error));
    std::unique_ptr<GError, GErrorFree> error(raw_error);
    if (!database)
        return std::nullopt;
    const GObjectPtr<LibmsiQuery> query(libmsi_query_new(
        database.get(), "SELECT `Value` FROM `Property` WHERE `Property`='ProductVersion'", &raw_error));
    error.reset(raw_error);
    if (!query || !libmsi_query_execute(query.get(), nullptr, &raw_error)) {
        error.reset(raw_error);
        return std::nullopt;
    }
    const GObjectPtr<LibmsiRecord> record(libmsi_query_fetch(query.get(), &raw_error));
    error.reset(raw_error);
    libmsi_query_close(query.get(), nullptr);
    if (!record)
        return std::nullopt;
    const std::unique_ptr<gchar, GFree> value(libmsi_record_get_string(record.get(), 1));
    if (!value)
        return std::nullopt;
    return std::string(value.get());
}

bool PosixPackageInspector::is_program_image(const std::string& path)
{
    // The two forms the kernel starts: an ELF image, or a script naming its interpreter ("#!").
    std::ifstream file(to_posix_path(path), std::ios::binary);
    std::array<char, 4> magic{};
    if (!file.read(magic.data(), magic.size()))
        return false;
    return magic == std::array<char, 4>{'\x7f', 'E', 'L', 'F'} || (magic[0] == '#' && magic[1] == '!');
}

} // namespace om::platform::posix
