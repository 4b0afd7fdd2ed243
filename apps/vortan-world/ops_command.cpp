// `vortan-world ops LEFT OP RIGHT`: one cell of the variables' operator table and the comparison code, so that
// the table can be checked by hand. Literals are TYPE:TEXT with i, f, b, s, v, q or m.
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

std::unique_ptr<SWproperty> ParseLiteral(std::string_view literal)
{
    if (literal.size() < 2 || literal[1] != ':')
        return nullptr;
    const std::optional<uint32_t> type = TypeOfLetter(literal[0]);
    if (!type)
        return nullptr;
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
    const auto left = ParseLiteral(args[0]);
    const auto right = ParseLiteral(args[2]);
    const std::optional<int> op = ParseOperator(args[1]);
    if (!left || !right || !op) {
        std::fprintf(stderr, "vortan-world ops: a literal is TYPE:TEXT (i f b s v q m) and OP one of + - * x /\n");
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
