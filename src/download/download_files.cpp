#include "download/download_files.hpp"

namespace om {

// Not built yet: download planning and transfers.
void get_download_filenames(Context&) {}
void download_files(Context&) {}

} // namespace om
