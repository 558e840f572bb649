#pragma once

#include <string>
#include <string_view>

// The texts of JV-Link result codes, shown after a caller's prefix. All texts
// are CP932 bytes.
namespace tolven {

// Base text for (operation, code), then "(" code ")".
std::string jv_result_text(std::string_view operation, int code);

// The start-up message when the component cannot be created.
std::string jvlink_not_installed_message();
// The three-line message when the component's version text sorts before
// "0490"; d is its second, third and fourth characters joined by ".".
std::string jvlink_version_message(std::string_view version);
// True when a version text is too old for this program.
bool jvlink_version_too_old(std::string_view version);

// The software identifier passed to JVInit.
std::string jvlink_sid();

}  // namespace tolven
