#pragma once
// SWexpressionprogram: an expression's tokens as a flat program over a value stack, made once from the tokens and
// run any number of times without allocating. Operands are pushed in text order and each operator is applied where
// the token reduction applies it: innermost parentheses first, then "/" before "*" before "-" before "+", each from
// left to right. A program and the reduction apply the same operators to the same values, so they agree bit for bit.
//
// Only a token list as the scanner makes it becomes a program: operands and operators alternating, parentheses
// balanced and never empty, each open token one level deeper than the one around it (5 outermost) and no deeper
// than the expression's maximum level, operators of precedence 1 to 4 with codes 0 to 3. Any other list, which
// only a caller adding tokens by hand can make, is left to the reduction.
//
// A run reads every operand's variable when it comes to it. While every operand is a float the stack holds floats;
// at the first integer or boolean the run starts again on a stack of one-number values, and at the first other value
// on a stack of whole values. The stacks keep their storage from run to run.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/behaviour/variable_operators.h"
#include "engine/core/typed_value_data.h"

class SWexpression;
class SWexpressiontoken;
class SWproperty;
class SWworld;

class SWexpressionprogram {
public:
    enum class Outcome {
        kNoValue, // a pair the operator table has no row for: the expression's value is the float 0
        kOperand, // the one operand's value, as it stands
        kApplied, // an operator's result
    };

    bool Build(const SWexpression& expression); // false: not a list the scanner makes; the program stays empty
    void Clear();
    bool IsBuilt() const { return !m_steps.empty(); }
    size_t TokenCount() const { return m_tokenCount; } // of the list it was built from
    // Points the operands at their variables as they resolve now; false when one does not.
    bool Bind(const SWworld* world);
    Outcome Run(TypedValueData& out); // after a Bind that answered true, with nothing deleted since

private:
    // A step's code: 0 to 3 apply that operator.
    static constexpr uint32_t kPushNumber = 4;   // a number the scanner read
    static constexpr uint32_t kPushVariable = 5; // an operand's variable

    struct Step {
        uint32_t code;
        float number;                             // kPushNumber
        const SWproperty* variable = nullptr;     // kPushVariable: as resolved by the last Bind
        const SWexpressiontoken* token = nullptr; // kPushVariable: the operand
    };

    bool RunFloats(float& out);
    bool RunNumbers(SWscalarvalue& out);
    bool RunValues(TypedValueData& out);
    void Push(const Step& step, TypedValueData& into) const;

    std::vector<Step> m_steps;
    std::vector<float> m_floats; // the stacks, as deep as the program needs
    std::vector<SWscalarvalue> m_numbers;
    std::vector<TypedValueData> m_values;
    TypedValueData m_result;
    size_t m_tokenCount = 0;
};
