#include "engine/behaviour/expression_program.h"

#include <algorithm>
#include <utility>

#include "engine/behaviour/expression.h"
#include "engine/behaviour/property.h"

namespace {

constexpr int32_t kOutermostLevel = SWexpression::kBaseLevel + 1;
constexpr int32_t kOpenMark = 0; // on the operator stack: an open parenthesis (operators have levels 1 to 4)

struct Pending {
    int32_t level; // precedence; kOpenMark for a parenthesis
    uint32_t op;
};

// A one-number value as a variable of its type holds it: the one field set, the others as the type's default has
// them; written field by field into out, whose text keeps its storage.
void SetScalar(TypedValueData& out, uint32_t type, int32_t integer, float number)
{
    out.type = type;
    out.integer = integer;
    out.elements.fill(0.0f);
    out.elements[0] = number;
    out.text.clear();
}

void SetFloat(TypedValueData& out, float number)
{
    SetScalar(out, kTypeFloat, 0, number);
}

void SetScalar(TypedValueData& out, const SWscalarvalue& value)
{
    if (value.type == kTypeFloat)
        SetFloat(out, value.number);
    else
        SetScalar(out, value.type, value.type == kTypeBoolean ? (value.integer != 0 ? 1 : 0) : value.integer, 0.0f);
}

} // namespace

// The shunting yard: an operator waits on the stack until one of no higher precedence, a close or the end comes,
// which is the order in which the reduction applies it.
bool SWexpressionprogram::Build(const SWexpression& expression)
{
    Clear();
    std::vector<Pending> pending;
    int32_t depth = 0;
    bool operandNext = true;
    const auto emitWhile = [&](auto applies) {
        while (!pending.empty() && applies(pending.back())) {
            m_steps.push_back({pending.back().op, 0.0f});
            pending.pop_back();
        }
    };
    for (const SWlistnode* n = expression.Head(); n != nullptr; n = n->Next()) {
        const auto* token = static_cast<const SWexpressiontoken*>(n);
        const int32_t level = token->GetLevel();
        bool fits = false;
        switch (token->GetKind()) {
        case SWexpressiontoken::kOperand:
            fits = operandNext;
            if (token->GetNumber())
                m_steps.push_back({kPushNumber, *token->GetNumber()});
            else
                m_steps.push_back({kPushVariable, 0.0f, nullptr, token});
            operandNext = false;
            break;
        case SWexpressiontoken::kOpen:
            fits = operandNext && level == kOutermostLevel + depth && level <= expression.GetMaximumLevel();
            ++depth;
            pending.push_back({kOpenMark, 0});
            break;
        case SWexpressiontoken::kOperator:
            fits = !operandNext && level >= 1 && level <= SWexpression::kBaseLevel && token->GetOperator() <= 3;
            emitWhile([level](const Pending& p) { return p.level != kOpenMark && p.level >= level; });
            pending.push_back({level, token->GetOperator()});
            operandNext = true;
            break;
        case SWexpressiontoken::kClose:
            fits = !operandNext && depth > 0;
            emitWhile([](const Pending& p) { return p.level != kOpenMark; });
            if (!pending.empty())
                pending.pop_back();
            --depth;
            break;
        default:
            break;
        }
        if (!fits) {
            Clear();
            return false;
        }
    }
    if (operandNext || depth != 0) {
        Clear();
        return false;
    }
    emitWhile([](const Pending&) { return true; });
    // Each push deepens the stack by one and each operator takes two and leaves one.
    size_t height = 0;
    size_t deepest = 0;
    for (const Step& step : m_steps) {
        height = step.code >= kPushNumber ? height + 1 : height - 1;
        deepest = std::max(deepest, height);
    }
    m_floats.resize(deepest);
    m_numbers.resize(deepest);
    m_values.resize(deepest);
    m_tokenCount = expression.Count();
    return true;
}

void SWexpressionprogram::Clear()
{
    m_steps.clear();
    m_tokenCount = 0;
}

bool SWexpressionprogram::Bind(const SWworld* world)
{
    for (Step& step : m_steps) {
        if (step.code != kPushVariable)
            continue;
        step.variable = step.token->GetVariable(world);
        if (step.variable == nullptr)
            return false;
    }
    return true;
}

SWexpressionprogram::Outcome SWexpressionprogram::Run(TypedValueData& out)
{
    if (m_steps.size() == 1) {
        Push(m_steps[0], out);
        return Outcome::kOperand;
    }
    float number = 0.0f;
    SWscalarvalue scalar;
    if (RunFloats(number))
        SetFloat(out, number);
    else if (RunNumbers(scalar))
        SetScalar(out, scalar);
    else if (!RunValues(out))
        return Outcome::kNoValue;
    return Outcome::kApplied;
}

// The float cell alone; false at the first operand that is not a float.
bool SWexpressionprogram::RunFloats(float& out)
{
    float* const stack = m_floats.data();
    size_t top = 0;
    for (const Step& step : m_steps) {
        switch (step.code) {
        case kPushNumber:
            stack[top++] = step.number;
            break;
        case kPushVariable:
            if (!step.variable->ReadFloat(stack[top++]))
                return false;
            break;
        default:
            --top;
            stack[top - 1] = FloatCell(stack[top - 1], stack[top], static_cast<int>(step.code));
            break;
        }
    }
    out = stack[0];
    return true;
}

// False at the first operand that is not a one-number value.
bool SWexpressionprogram::RunNumbers(SWscalarvalue& out)
{
    SWscalarvalue* const stack = m_numbers.data();
    size_t top = 0;
    for (const Step& step : m_steps) {
        switch (step.code) {
        case kPushNumber:
            stack[top++] = {kTypeFloat, 0, step.number};
            break;
        case kPushVariable:
            if (!step.variable->ReadScalar(stack[top++]))
                return false;
            break;
        default:
            --top;
            stack[top - 1] = ApplyScalarOperator(stack[top - 1], stack[top], static_cast<int>(step.code));
            break;
        }
    }
    out = stack[0];
    return true;
}

void SWexpressionprogram::Push(const Step& step, TypedValueData& into) const
{
    if (step.code == kPushNumber)
        SetFloat(into, step.number);
    else
        into = step.variable->GetCurrentData();
}

// False where the operator table has no row for a pair.
bool SWexpressionprogram::RunValues(TypedValueData& out)
{
    size_t top = 0;
    for (const Step& step : m_steps) {
        if (step.code >= kPushNumber) {
            Push(step, m_values[top++]);
            continue;
        }
        --top;
        if (!ApplyVariableOperator(m_values[top - 1], m_values[top], static_cast<int>(step.code), m_result))
            return false;
        std::swap(m_values[top - 1], m_result);
    }
    out = m_values[0];
    return true;
}
