#pragma once
// Numbers shown in the workspace's edit fields, written the same way whatever the process locale is.
#include <string>

// As "%g": six significant digits, or, where that takes an exponent, FormatNumberPlain: "2.14748e+09" read as
// another number than the 2147483648 kept, and a narrow field cut "2.147e+09" to "2.147e+0".
std::string FormatNumberG(double value);
std::string FormatNumberPlain(double value); // no exponent: the fewest digits that read back as the value
std::string FormatNumberInt(double value);   // as "%d" of the value's integer part; 0 when it does not fit
