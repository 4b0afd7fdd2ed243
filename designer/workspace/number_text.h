#pragma once
// Numbers shown in the workspace's edit fields, written the same way whatever the process locale is.
#include <string>

std::string FormatNumberG(double value);   // as "%g": six significant digits, the shorter of fixed and exponent
std::string FormatNumberInt(double value); // as "%d" of the value's integer part; 0 when it does not fit
