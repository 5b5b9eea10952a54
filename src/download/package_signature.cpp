#include "download/package_signature.hpp"

#include "app/context.hpp"
#include "common/log.hpp"
#include "common/regimes.hpp"
#include "download/signature_format.hpp"
#include "download/transfer.hpp"
#include "install/command_lines.hpp"

#include <string_view>

namespace om {

namespace {

constexpr std::string_view signature_missing = "signature missing";
constexpr std::string_view signature_mismatch = "signature does not match";

bool keyed(const Context& context)
{
    return !context.release_public_key.empty();
}

// "" when the package is good, else the reason it is refused.
std::string_view check(Context& context, const std::string& path, const std::string& file_name)
{
    const auto text = context.platform.files.read_small_file(path + ".sig", signature_file_max_bytes);
    if (!text)
        return signature_missing;
    const auto key = read_public_key(context.release_public_key);
    const auto signature = read_signature_file(*text);
    auto* verifier = context.platform.signatures;
    if (!key || !signature || verifier == nullptr)
        return signature_mismatch;
    const auto prefix = signed_prefix(file_name);
    return verifier->verify_file(*key, prefix, path, *signature) ? std::string_view{} : signature_mismatch;
}

[[noreturn]] void refuse(Context& context, const std::string& path, const std::string& file_name,
                         std::string_view reason)
{
    log::line("package " + file_name + " refused: " + std::string(reason));
    run_step([&] {
        context.platform.window.message_box(log::with_path(
            "The package " + file_name + " was not installed: " + std::string(reason) + ". It has been deleted."));
    });
    auto& files = context.platform.files;
    run_step([&] { files.delete_file(path); });
    run_step([&] { files.delete_file(path + ".sig"); });
    // "Install" stopped the application: it goes on as it was.
    run_step([&] {
        context.platform.processes.start(quoted_program(context.session.install_dir + "ombrix32.exe"),
                                         platform::sw_minimized);
    });
    context.end_program();
}

} // namespace

void fetch_package_signature(Context& context, const std::string& address, const std::string& path)
{
    if (!keyed(context))
        return;
    const std::string signature_path = path + ".sig";
    run_step([&] { context.platform.files.delete_file(signature_path); });
    if (!run_step([&] { fetch_to_file(context, address + ".sig", signature_path); }))
        log::line("no signature at http://" + address + ".sig");
}

void verify_package_signature(Context& context, const std::string& path, const std::string& file_name)
{
    if (!keyed(context))
        return;
    std::string_view reason = signature_mismatch;
    // Whatever fails inside the check refuses the package.
    run_step([&] { reason = check(context, path, file_name); });
    if (!reason.empty())
        refuse(context, path, file_name, reason);
    log::line("signature of " + file_name + " verified");
}

} // namespace om
