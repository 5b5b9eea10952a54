#pragma once
// Download planning and the downloads of the packages on offer.

namespace om {

struct Context;

// Makes sure the download folder exists, works out the package file names, shows `skip` when the
// installer on offer is already downloaded. Any failure after the folder step ends the program silently.
void get_download_filenames(Context& context);
// Fetches the support package (and ends), or the quick-update package and/or the installer, then do_up.
// Any failure after the folder step shows "Error. No Upadtes found." and ends the program.
void download_files(Context& context);

} // namespace om
