#include "report/ftp_file_collection.hpp"

#include "common/regimes.hpp"
#include "common/text.hpp"

namespace om {

void FtpFileCollection::add(const FTPFileClass& entry, const std::string& key)
{
    if (contains(key)) {
        throw StepFailed("This key is already associated with an element of this collection: " + key);
    }
    entries_.push_back(entry);
    keys_.push_back(text::to_lower(key));
}

const FTPFileClass& FtpFileCollection::item(std::size_t position) const
{
    if (position == 0 || position > entries_.size()) {
        throw StepFailed("collection position out of range");
    }
    return entries_[position - 1];
}

std::optional<FTPFileClass> FtpFileCollection::find(const std::string& key) const
{
    if (auto index = index_of(key)) {
        return entries_[*index];
    }
    return std::nullopt;
}

std::optional<std::size_t> FtpFileCollection::index_of(const std::string& key) const
{
    const std::string folded = text::to_lower(key);
    for (std::size_t i = 0; i < keys_.size(); ++i) {
        if (keys_[i] == folded) {
            return i;
        }
    }
    return std::nullopt;
}

} // namespace om
