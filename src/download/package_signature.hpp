#pragma once
// Release signatures of the packages, when the program was built with a release key: each package's
// ".sig" is fetched right after it and kept beside it, and every package is checked before anything of
// the installation changes. Without a release key both calls do nothing.
#include <string>

namespace om {

struct Context;

// Fetches "http://" + address + ".sig" into path + ".sig", with the package's request settings. A .sig
// that cannot be fetched is not there afterwards (an older one is removed first), so the check refuses
// the package as unsigned.
void fetch_package_signature(Context& context, const std::string& address, const std::string& path);

// Returns when the package at `path`, published as `file_name`, carries a valid signature by the
// release key in path + ".sig". Otherwise refuses it: says which package and why in a message box,
// deletes the package and its .sig, restarts the application that "Install" stopped and ends the
// program, with nothing of the installation changed.
void verify_package_signature(Context& context, const std::string& path, const std::string& file_name);

} // namespace om
