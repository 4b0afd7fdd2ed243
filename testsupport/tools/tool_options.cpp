#include "testsupport/tools/tool_options.h"

#include <cctype>

namespace tooltest {

namespace {

bool IsNameChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-' || c == '_';
}

// Whether usage holds name as a word of its own ("--frames" in "[--frames N]", not in "--frames-per-second").
bool Names(std::string_view usage, std::string_view name)
{
    for (size_t at = usage.find(name); at != std::string_view::npos; at = usage.find(name, at + 1)) {
        const size_t end = at + name.size();
        const bool startsWord = at == 0 || !IsNameChar(usage[at - 1]);
        const bool endsWord = end == usage.size() || !IsNameChar(usage[end]);
        if (startsWord && endsWord)
            return true;
    }
    return false;
}

} // namespace

bool IsOption(std::string_view arg)
{
    if (arg.size() < 2 || arg[0] != '-')
        return false;
    const char next = arg[1];
    return !(std::isdigit(static_cast<unsigned char>(next)) != 0 || next == '.');
}

const char* UnknownOption(std::span<char* const> args, std::string_view usage)
{
    for (char* const arg : args) {
        const std::string_view text = arg;
        if (!IsOption(text))
            continue;
        const std::string_view name = text.substr(0, text.find('=')); // "--param=x" names "--param"
        if (!Names(usage, name))
            return arg;
    }
    return nullptr;
}

} // namespace tooltest
