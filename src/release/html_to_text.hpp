#pragma once
// Markup to plain text (module updat): the page's feature section is searched in this text.
#include <string>
#include <string_view>

namespace om {

// In this order: every "<br>" becomes a line feed and every "&nbsp;" a blank (any letter case); every
// tag ("<" up to the next ">") is removed; every run of white space becomes one blank; then "&gt;",
// "&lt;" and "&amp;" (any letter case) are decoded, once each. The result is one line.
std::string html_to_text(std::string_view markup);

} // namespace om
