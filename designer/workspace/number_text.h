#pragma once
// Numbers in the workspace's edit fields, read and written the same way whatever the process locale is. Reading
// follows the fields' old rule: leading blanks are skipped, the longest number at the start is taken, and text
// that starts with no number reads as 0.
#include <string>
#include <string_view>

float ParseNumberText(std::string_view text);
std::string FormatNumberG(double value);   // as "%g": six significant digits, the shorter of fixed and exponent
std::string FormatNumberInt(double value); // as "%d" of the value's integer part; 0 when it does not fit
