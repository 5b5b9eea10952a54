#pragma once
// The checks every package must pass before the installation changes anything.
#include <optional>
#include <string>
#include <vector>

namespace om {

struct Context;

// One package that an installation path will run.
struct Package {
    enum class Kind {
        offered_installer, // the full installer on offer: an installer of the version the page names
        old_installer,     // the present version's own installer, for the uninstall and a rollback
        program,           // a quick-update or support package: a program this platform runs
    };
    Kind kind;
    std::string path;
    bool downloaded_here = false; // fetched by this run, so removed again when refused
};

// The version the release page offers, "2.1.6".
std::string offered_version(const Context& context);

// What is wrong with one package, in words for the user; nothing when it may run.
std::optional<std::string> package_problem(Context& context, const Package& package);

// Checks every package before the first change. On the first that fails: a message box names the file
// and what is wrong, that package is removed when this run downloaded it (so that neither the skip box
// nor a later run takes it), the application is started again and the program ends. Nothing else is
// changed.
void check_packages(Context& context, const std::vector<Package>& packages);

} // namespace om
