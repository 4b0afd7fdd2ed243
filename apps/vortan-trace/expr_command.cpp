#include "apps/vortan-trace/expr_command.h"

#include <cstdio>
#include <memory>
#include <string>

#include "engine/behaviour/expression.h"
#include "engine/behaviour/property.h"
#include "engine/core/typed_value_data.h"
#include "engine/core/typed_value_text.h"
#include "engine/core/world.h"
#include "testsupport/behaviour/demo_scene.h"
#include "testsupport/world/typed_value_names.h"

namespace {

constexpr int kRefused = 3;

std::string Operand(const SWworld& world, const SWexpressiontoken& token)
{
    const SWproperty* variable = token.GetVariable(&world);
    if (variable == nullptr)
        return "operand (gone)";
    std::string text = "operand ";
    if (token.IsConstant()) {
        text += "constant";
    } else {
        const std::optional<std::string> name = world.GetQualifiedName(*variable);
        text += name ? *name : std::string("#") + std::to_string(variable->GetId());
    }
    return text + " " + worldtest::TypedValueTypeName(variable->GetType()) + " = " +
           TypedValueText(variable->GetCurrentData());
}

} // namespace

int RunExprCommand(const char* text)
{
    SWworld world;
    BuildDemoScene(world);
    int code = SWexpression::kCodeOk;
    std::unique_ptr<SWexpression> expression = SWexpression::CompileExpression(&world, text, code);
    std::printf("text \"%s\"\n", text);
    std::printf("code %d\n", code);
    if (expression != nullptr) {
        std::printf("max-level %d\n", expression->GetMaximumLevel());
        static const char kOperators[] = "+-*/";
        for (const SWlistnode* n = expression->Head(); n != nullptr; n = n->Next()) {
            const auto& token = *static_cast<const SWexpressiontoken*>(n);
            switch (token.GetKind()) {
            case SWexpressiontoken::kOperand:
                std::printf("  %s\n", Operand(world, token).c_str());
                break;
            case SWexpressiontoken::kOperator:
                std::printf("  operator %c level %d\n", kOperators[token.GetOperator() & 3], token.GetLevel());
                break;
            case SWexpressiontoken::kOpen:
                std::printf("  ( level %d\n", token.GetLevel());
                break;
            default:
                std::printf("  )\n");
                break;
            }
        }
    }
    const std::unique_ptr<SWproperty> value = SWexpression::Evaluate(expression.get());
    std::printf("value %s %s\n", worldtest::TypedValueTypeName(value->GetType()),
                TypedValueText(value->GetCurrentData()).c_str());
    return expression != nullptr ? 0 : kRefused;
}
