#pragma once
// The developer tools' rule for their arguments: one that starts with '-' is an option, never a file name, so
// "--help" or "-h" where a path stands is refused as a usage error and nothing is made. A lone "-" and a negative
// number ("-2", "-0.5,1") are values.
#include <span>
#include <string_view>

namespace tooltest {

// Whether arg is written as an option.
bool IsOption(std::string_view arg);
// The first of args written as an option that usage (a command's help text: "IN OUT [--frames N] [-v]") does not
// name; null when every one is named there.
const char* UnknownOption(std::span<char* const> args, std::string_view usage);

} // namespace tooltest
