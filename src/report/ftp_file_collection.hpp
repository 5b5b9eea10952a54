#pragma once
// An ordered collection of listing entries keyed by name. Keys compare with letter case ignored; adding
// a key that is already there fails with StepFailed and leaves the collection as it was.
#include "report/ftp_file_class.hpp"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace om {

class FtpFileCollection {
public:
    void add(const FTPFileClass& entry, const std::string& key);
    std::size_t count() const { return entries_.size(); }
    // By position, from 1; throws StepFailed outside 1..count.
    const FTPFileClass& item(std::size_t position) const;
    // By key; nullopt when absent.
    std::optional<FTPFileClass> find(const std::string& key) const;
    bool contains(const std::string& key) const { return index_of(key).has_value(); }

    auto begin() const { return entries_.begin(); }
    auto end() const { return entries_.end(); }

private:
    std::optional<std::size_t> index_of(const std::string& key) const;

    std::vector<FTPFileClass> entries_;
    std::vector<std::string> keys_; // folded to lower case
};

} // namespace om
