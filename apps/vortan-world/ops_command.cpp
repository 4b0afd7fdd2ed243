// `vortan-world ops LEFT OP RIGHT`: one cell of the variables' operator table and the comparison code, so that
// the table can be checked by hand. Literals are TYPE:TEXT with i, f, b, s, v, q or m.
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "apps/vortan-world/command_table.h"
#include "engine/behaviour/property.h"
#include "engine/core/typed_value_text.h"
#include "testsupport/world/typed_value_names.h"

namespace {

std::optional<uint32_t> TypeOfLetter(char letter)
{
    switch (letter) {
    case 's':
        return kTypeString;
    case 'i':
        return kTypeInteger;
    case 'b':
        return kTypeBoolean;
    case 'f':
        return kTypeFloat;
    case 'v':
        return kTypeVector;
    case 'q':
        return kTypeQuaternion;
    case 'm':
        return kTypeMatrix;
    default:
        return std::nullopt;
    }
}

// The variables' own reading takes any text and truncates; a literal typed here is meant exactly, so an integer
// that is not a whole number of 32 bits is refused rather than silently made another.
bool IsWholeInt32(std::string_view text)
{
    int32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && error == std::errc() && end == text.data() + text.size();
}

// The variable of literal; null, with outError, when it is not TYPE:TEXT or its integer is out of range.
std::unique_ptr<SWproperty> ParseLiteral(std::string_view literal, std::string& outError)
{
    const std::optional<uint32_t> type =
        literal.size() >= 2 && literal[1] == ':' ? TypeOfLetter(literal[0]) : std::nullopt;
    if (!type) {
        outError =
            std::string("\"").append(literal).append("\" is no literal: TYPE:TEXT with TYPE one of i f b s v q m");
        return nullptr;
    }
    if (*type == kTypeInteger && !IsWholeInt32(literal.substr(2))) {
        outError = std::string("\"").append(literal).append("\" is no integer: i: takes a whole number from ");
        outError.append(std::to_string(INT32_MIN)).append(" to ").append(std::to_string(INT32_MAX));
        return nullptr;
    }
    auto variable = std::make_unique<SWproperty>(*type);
    variable->SetAllFromData(ParseTypedValueText(literal.substr(2), *type));
    return variable;
}

std::optional<int> ParseOperator(std::string_view text)
{
    if (text == "+")
        return SWproperty::kOperatorAdd;
    if (text == "-")
        return SWproperty::kOperatorSubtract;
    if (text == "*" || text == "x")
        return SWproperty::kOperatorMultiply;
    if (text == "/")
        return SWproperty::kOperatorDivide;
    return std::nullopt;
}

int RunOps(std::span<char* const> args)
{
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: vortan-world ops LEFT OP RIGHT (LEFT, RIGHT as i:7 f:2.0 b:1 s:abc v:1,2,3 "
                             "q:0,0,0,1 m:16 values; OP one of + - * x /)\n");
        return kWorldToolUsage;
    }
    std::string error;
    const auto left = ParseLiteral(args[0], error);
    const auto right = left ? ParseLiteral(args[2], error) : nullptr;
    const std::optional<int> op = ParseOperator(args[1]);
    if (!left || !right || !op) {
        if (error.empty())
            error = std::string("\"").append(args[1]).append("\" is no operator: one of + - * x /");
        std::fprintf(stderr, "vortan-world: ops: %s\n", error.c_str());
        return kWorldToolUsage;
    }
    const auto result = left->ApplyOperator(*right, *op);
    if (result)
        std::printf("result %s %s\n", worldtest::TypedValueTypeName(result->GetType()),
                    TypedValueText(result->GetCurrentData()).c_str());
    else
        std::printf("result none\n");
    std::printf("compare %d\n", left->Compare(*right));
    return kWorldToolDone;
}

const bool kRegistered = RegisterWorldToolCommand({"ops", "LEFT OP RIGHT", &RunOps});

} // namespace
