#pragma once
// FTPClass: a small FTP client over the platform's Internet service. One connection to one server, the
// listing of the current remote folder (files and sub-folders), folder and file operations. Every
// remote operation on a closed object returns false (or "") without any traffic.
//
// The handles are plain values; the platform's FTP service owns the real handles behind them and
// closes whatever is still open when it ends. Ending an FTPClass closes nothing (call CloseFTP).
#include "platform/ftp_service.hpp"
#include "platform/window.hpp"
#include "report/ftp_file_collection.hpp"

#include <string>

namespace om {

class FTPClass {
public:
    FTPClass(platform::FtpService& ftp, platform::Window& window) : ftp_(ftp), window_(window) {}

    // Session handle from the last OpenFTP; 0 when closed.
    platform::FtpHandle hFTP = 0;

    const FtpFileCollection& Folders() const { return folders_; }
    const FtpFileCollection& Files() const { return files_; }
    const std::string& Site() const { return site_; }
    // The current remote folder; "" when closed or on failure.
    std::string CurrentFolder();
    bool SetCurrentFolder(const std::string& name);

    // Connects (passive transfers when asked) and lists the start folder. A failed connection shows
    // "Internet connection timed out" and gives false. A duplicate name in the listing passes its
    // StepFailed on, with the connection open.
    bool OpenFTP(const std::string& Site, const std::string& Username, const std::string& Password,
                 bool Passive = false);
    void CloseFTP();
    // Lists the current remote folder into Files and Folders; StepFailed when a name repeats (letter
    // case ignored).
    void Refresh();

    bool CreatFolder(const std::string& name);
    bool DeleteFolder(const std::string& name);
    bool FolderExists(const std::string& name);
    bool GetFile(const std::string& name, const std::string& LocalPath, bool Overwrite = false);
    bool PutFile(const std::string& LocalPath, const std::string& name, bool Overwrite = false);
    bool DeleteFile(const std::string& name);
    bool RenameFile(const std::string& OldName, const std::string& NewName);
    bool FileExists(const std::string& name);

    // The entry the last FileExists found (all zero when it found nothing).
    const platform::FtpFindData& last_found() const { return last_found_; }

private:
    bool connected() const { return connection_ != 0; }
    platform::FtpService& ftp() { return ftp_; }

    platform::FtpService& ftp_;
    platform::Window& window_;
    FtpFileCollection files_;
    FtpFileCollection folders_;
    platform::FtpHandle connection_ = 0;
    std::string site_;
    platform::FtpFindData last_found_{};
    platform::FtpFindData listing_entry_{};
    bool listing_has_entry_ = false;
    platform::FtpHandle listing_handle_ = 0;
};

} // namespace om
