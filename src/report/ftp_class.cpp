#include "report/ftp_class.hpp"

#include "common/log.hpp"
#include "report/ftp_date.hpp"

#include <array>
#include <cstring>
#include <limits>

namespace om {
namespace {

constexpr const char* connect_failed_text = "Internet connection timed out";
constexpr std::uint32_t connect_timeout_ms = 3000;
constexpr std::uint32_t current_folder_buffer = 260;

FTPFileClass entry_of(const platform::FtpFindData& data)
{
    FTPFileClass entry;
    entry.FileName = std::string(data.file_name.data(), strnlen(data.file_name.data(), data.file_name.size()));
    const std::uint64_t size = (std::uint64_t{data.size_high} << 32) | data.size_low;
    constexpr auto largest = static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max());
    entry.FileSize = static_cast<std::int32_t>(size > largest ? largest : size);
    entry.ModifyDate = date_of_file_time(data.last_write_time).value_or(0.0);
    entry.ReadOnly = (data.attributes & platform::file_attribute_readonly) != 0;
    return entry;
}

} // namespace

bool FTPClass::OpenFTP(const std::string& Site, const std::string& Username, const std::string& Password, bool Passive)
{
    CloseFTP();
    site_ = Site;
    hFTP = ftp().internet_open("FTP Client", platform::internet_open_type_direct, 0);
    if (hFTP == 0) {
        return false;
    }
    ftp().set_option(hFTP, platform::internet_option_connect_timeout, connect_timeout_ms);
    connection_ = ftp().connect(hFTP, Site, platform::internet_default_ftp_port, Username, Password,
                                platform::internet_service_ftp, Passive ? platform::internet_flag_passive : 0);
    if (connection_ != 0) {
        Refresh();
        return true;
    }
    ftp().close_handle(hFTP);
    hFTP = 0;
    window_.message_box(log::with_path(connect_failed_text));
    return false;
}

void FTPClass::CloseFTP()
{
    if (connection_ != 0) {
        ftp().close_handle(connection_);
    }
    connection_ = 0;
    if (hFTP != 0) {
        ftp().close_handle(hFTP);
    }
    hFTP = 0;
}

void FTPClass::Refresh()
{
    files_ = FtpFileCollection{};
    folders_ = FtpFileCollection{};
    listing_entry_ = platform::FtpFindData{};
    if (!connected()) {
        return;
    }
    if (listing_handle_ != 0) {
        ftp().close_handle(listing_handle_);
        listing_handle_ = 0;
    }
    listing_handle_ = ftp().find_first(connection_, "*", listing_entry_, 0);
    listing_has_entry_ = listing_handle_ != 0;
    while (listing_has_entry_) {
        const FTPFileClass entry = entry_of(listing_entry_);
        if ((listing_entry_.attributes & platform::file_attribute_directory) != 0) {
            folders_.add(entry, entry.FileName);
        } else {
            files_.add(entry, entry.FileName);
        }
        if (!ftp().find_next(listing_handle_, listing_entry_)) {
            ftp().close_handle(listing_handle_);
            listing_handle_ = 0;
            listing_has_entry_ = false;
        }
    }
}

std::string FTPClass::CurrentFolder()
{
    if (!connected()) {
        return "";
    }
    std::array<char, current_folder_buffer> buffer{};
    std::uint32_t length = current_folder_buffer;
    if (!ftp().get_current_directory(connection_, buffer, length)) {
        return "";
    }
    // Some services count the terminating NUL in the returned length: the folder ends at the first NUL.
    const std::size_t count = std::min<std::size_t>(length, buffer.size());
    return std::string(buffer.data(), strnlen(buffer.data(), count));
}

bool FTPClass::SetCurrentFolder(const std::string& name)
{
    if (!connected() || !ftp().set_current_directory(connection_, name)) {
        return false;
    }
    Refresh();
    return true;
}

bool FTPClass::CreatFolder(const std::string& name)
{
    return connected() && ftp().create_directory(connection_, name);
}

bool FTPClass::DeleteFolder(const std::string& name)
{
    return connected() && ftp().remove_directory(connection_, name);
}

bool FTPClass::DeleteFile(const std::string& name)
{
    return connected() && ftp().delete_file(connection_, name);
}

bool FTPClass::RenameFile(const std::string& OldName, const std::string& NewName)
{
    return connected() && ftp().rename_file(connection_, OldName, NewName);
}

bool FTPClass::FileExists(const std::string& name)
{
    if (!connected()) {
        return false;
    }
    platform::FtpFindData found{};
    const platform::FtpHandle search = ftp().find_first(connection_, name, found, 0);
    if (search == 0) {
        found = platform::FtpFindData{};
    } else {
        ftp().close_handle(search);
    }
    last_found_ = found;
    return search != 0;
}

bool FTPClass::FolderExists(const std::string& name)
{
    if (!connected()) {
        return false;
    }
    platform::FtpFindData found{};
    const platform::FtpHandle search = ftp().find_first(connection_, name, found, 0);
    if (search == 0) {
        return false;
    }
    ftp().close_handle(search);
    return (found.attributes & platform::file_attribute_directory) != 0;
}

bool FTPClass::PutFile(const std::string& LocalPath, const std::string& name, bool Overwrite)
{
    if (!connected()) {
        return false;
    }
    const bool exists = FileExists(name);
    bool deleted = false;
    if (exists && Overwrite) {
        deleted = DeleteFile(name);
    }
    if (!exists || (Overwrite && deleted)) {
        return ftp().put_file(connection_, LocalPath, name, platform::ftp_transfer_type_binary);
    }
    return false;
}

bool FTPClass::GetFile(const std::string& name, const std::string& LocalPath, bool Overwrite)
{
    if (!connected()) {
        return false;
    }
    const bool exists = ftp().local_attributes(LocalPath).has_value();
    bool deleted = false;
    if (exists && Overwrite) {
        deleted = ftp().delete_local_file(LocalPath);
    }
    if (exists && !(Overwrite && deleted)) {
        return false;
    }
    if (!FileExists(name)) {
        return false;
    }
    if (!ftp().get_file(connection_, name, LocalPath, false, platform::file_attribute_archive,
                        platform::ftp_transfer_type_unknown)) {
        return false;
    }
    ftp().set_local_file_times(LocalPath, last_found_.last_write_time);
    return true;
}

} // namespace om
