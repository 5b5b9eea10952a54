#pragma once
// The version survey of the application's programs and the update history kept in the registry.
#include <cstdint>
#include <string>
#include <vector>

namespace om {

struct Context;

// " A. B. C" from a raw version block (bytes 50, 48 and 52 of it); "" when the block is too short.
std::string version_text_from_block(const std::vector<std::uint8_t>& block);
// The version text of one program file: "" when missing or without a version resource.
std::string GetFileVersionData(Context& context, const std::string& file_name);
// The history step: the last brace group of `history` chained behind the new version.
std::string extend_history(std::string history, const std::string& installed_version);
// Surveys the five programs and writes "LastFailureRun", "LastSuccessRun" and "fileversions".
void do_reg(Context& context);

} // namespace om
