#include "install/package_checks.hpp"

#include "app/context.hpp"
#include "common/log.hpp"
#include "common/regimes.hpp"
#include "install/shell_and_wait.hpp"

#include <sstream>

namespace om {

namespace {

// The first three numbers of a version text such as "2.1.6.0", joined by ".".
std::string first_three_numbers(const std::string& version)
{
    std::istringstream parts(version);
    std::string part, triple;
    for (int i = 0; i < 3 && std::getline(parts, part, '.'); ++i)
        triple +=
            (i ? "." : "") + std::to_string(std::stol("0" + part.substr(0, part.find_first_not_of("0123456789"))));
    return triple;
}

std::optional<std::string> installer_problem(Context& context, const Package& package)
{
    auto& inspector = context.platform.packages;
    const bool old = package.kind == Package::Kind::old_installer;
    if (old && !context.platform.files.file_exists(package.path))
        return "The installer of the present version, " + package.path +
               ", is missing: it is needed to uninstall the present version and to put it back should the new "
               "one fail.";
    const auto version = inspector.installer_product_version(package.path);
    log::line("package check: installer " + package.path + ", ProductVersion " + version.value_or("none"));
    if (!version)
        return package.path + " is not a Windows Installer package.";
    const std::string offered = offered_version(context);
    if (!old && first_three_numbers(*version) != offered)
        return package.path + " is version " + first_three_numbers(*version) + " where " + offered + " was offered.";
    return std::nullopt;
}

std::optional<std::string> program_problem(Context& context, const Package& package)
{
    const bool program = context.platform.packages.is_program_image(package.path);
    log::line("package check: program " + package.path + (program ? ", a program image" : ", not a program image"));
    if (!context.platform.files.file_exists(package.path))
        return package.path + " is missing.";
    if (!program)
        return package.path + " is not a program that can be run.";
    return std::nullopt;
}

} // namespace

std::string offered_version(const Context& context)
{
    const auto& parts = context.session.web_version_parts;
    return std::to_string(parts[0]) + "." + std::to_string(parts[1]) + "." + std::to_string(parts[2]);
}

std::optional<std::string> package_problem(Context& context, const Package& package)
{
    // Each check of a package goes here, in the order they are made.
    if (package.kind == Package::Kind::program)
        return program_problem(context, package);
    return installer_problem(context, package);
}

void check_packages(Context& context, const std::vector<Package>& packages)
{
    for (const Package& package : packages) {
        std::optional<std::string> problem;
        if (!run_step([&] { problem = package_problem(context, package); }))
            problem = package.path + " could not be checked.";
        if (!problem) {
            log::line("package check passed: " + package.path);
            continue;
        }
        log::line("package refused: " + *problem);
        if (package.downloaded_here)
            run_step([&] { context.platform.files.delete_file(package.path); });
        run_step([&] {
            context.platform.window.message_box(
                log::with_path("The update was stopped before anything was changed.\n" + *problem));
        });
        run_step([&] { context.session.result_code = start_application(context); });
        context.end_program();
    }
}

} // namespace om
