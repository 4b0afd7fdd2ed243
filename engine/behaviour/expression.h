#pragma once
// SWexpression: a line of arithmetic over constants and the variables of nodes, sounds and resources, written by
// the user ("lamp.level*2+SOUND:hum.volume"), with the target variable its result is assigned to.
//
// Syntax. Operands are numbers (digits with at most one point: "1.5", "1."; never ".5") and references
// "[prefix:]object.variable" with the prefix "node", "sound" or "resource" in any case; the first "." splits the
// reference, so an object whose name holds "." or ":" cannot be named here (the editor drops such variables in by
// their place, not by text). Operators "+", "-", "*", "/" and parentheses; no unary sign ("-3" is an error) and no
// space skipping: a space is part of a name, so "1 + 2" is an error. A trailing operator takes 0 ("3+" is 3).
//
// Precedence, innermost parentheses first, then
//     "/"  before  "*"  before  "-"  before  "+"   each from left to right,
// SO "2*3/4" IS 2*(3/4), NOT (2*3)/4; "8-2+1" is (8-2)+1 = 7 and "2-3-4" is -5.
// With integer variables this order decides the result ("a*b/c" is a*(b/c)). Numbers are float constants, so
// "7/2" is 3.5; integer arithmetic happens only between integer variables (the variables' operator table).
//
// Tokens keep references as handles (id plus a cached pointer stamped with the world's structure generation), so
// a deleted variable is never reached: an operand that no longer resolves marks the expression not compiled, it
// evaluates to 0, and the next IsValid compiles the stored text again. The stored text is never changed by
// compiling; only the user changes it.
//
// The tokens are what an expression is and what its editors and records see. Evaluating runs them as a program
// (expression_program.h) made from the tokens when first needed and kept until they change; while the world has
// deleted nothing since the program's operands were resolved, an evaluation neither checks them one by one again
// nor allocates.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "engine/behaviour/expression_program.h"
#include "engine/behaviour/refs.h"
#include "engine/core/list.h"
#include "engine/core/list_node.h"

class SWproperty;
class SWworld;

class SWexpressiontoken : public SWlistnode {
public:
    static constexpr uint32_t kOperand = 1;
    static constexpr uint32_t kOperator = 2;
    static constexpr uint32_t kOpen = 3;
    static constexpr uint32_t kClose = 4;

    SWexpressiontoken(uint32_t kind, int32_t level, uint32_t op = 0);
    ~SWexpressiontoken() override;

    uint32_t GetKind() const { return m_kind; }
    int32_t GetLevel() const
    {
        return m_level;
    }                                             // an open token's nesting level (5 outermost), an operator's
                                                  // precedence, 0 otherwise
    uint32_t GetOperator() const { return m_op; } // 0 "+", 1 "-", 2 "*", 3 "/"
    bool IsConstant() const { return m_constant != nullptr || m_number.has_value(); }
    // The operand's variable: the constant, or the referenced variable while it exists (null once it is gone).
    SWproperty* GetVariable(const SWworld* world) const;
    const VariableRef& GetReference() const { return m_reference; }
    const std::optional<float>& GetNumber() const { return m_number; } // a number not yet made a variable

    void SetConstant(std::unique_ptr<SWproperty> constant); // flagged 16; owned by the token
    // A float constant: its variable (flagged 16, owned by the token) is made when first asked for, so that a long
    // text of numbers costs one small token each.
    void SetNumber(float value);
    void SetReference(VariableRef reference) { m_reference = std::move(reference); }

private:
    uint32_t m_kind;
    int32_t m_level;
    uint32_t m_op;
    mutable std::unique_ptr<SWproperty> m_constant; // operands made by the scanner (and copies), owned
    mutable std::optional<float> m_number;          // the scanner's numbers, until m_constant is made of one
    VariableRef m_reference;                        // operands naming a variable of the world
};

class SWexpression : public SWlist {
public:
    static constexpr int32_t kBaseLevel = 4; // the level outside every parenthesis

    // Result codes of compiling and resolving.
    static constexpr int kCodeOk = 0;
    static constexpr int kCodeSyntax = 1;
    static constexpr int kCodeBadPrefix = 3;
    static constexpr int kCodeObjectNotFound = 4;
    static constexpr int kCodeVariableNotFound = 5; // also: a sound and a node both claim the reference

    explicit SWexpression(SWworld* world = nullptr) : m_world(world) {}
    ~SWexpression();
    SWexpression(const SWexpression&) = delete;
    SWexpression& operator=(const SWexpression&) = delete;

    // A new compiled expression of text (which is not stored in it; callers store it), or null with outCode set
    // (never 0 then). An empty text compiles to no tokens with code 0.
    static std::unique_ptr<SWexpression> CompileExpression(SWworld* world, std::string_view text, int& outCode);
    // The variable a reference names, or null with outCode set (see the codes above).
    static SWproperty* ResolveVariableReference(const SWworld* world, std::string_view text, int& outCode);
    // text (an expression, or one reference) with every operand whose object is oldName, behind prefix ("NODE",
    // any case) or bare, naming newName instead; nullopt when none did. A rename calls it so that texts follow.
    static std::optional<std::string> RenameObjectInText(std::string_view text, std::string_view prefix,
                                                         std::string_view oldName, std::string_view newName);
    // A new variable holding the value of expression (the caller owns it): the float 0 for null, invalid or empty
    // expressions and for operand pairs the operator table has no row for. The expression is left as it was.
    static std::unique_ptr<SWproperty> Evaluate(SWexpression* expression);
    // The same value into out (its type and its current value), allocating nothing once the expression has run
    // (unless a text grows beyond what out held).
    static void EvaluateInto(SWexpression* expression, TypedValueData& out);
    // The token reduction itself, one operator at a time: slow, allocating, and the same value; for checks of the
    // program against it.
    static std::unique_ptr<SWproperty> EvaluateByReduction(SWexpression* expression);

    // Rebuilds the tokens from the stored text: all of them (compiled) or none (not compiled); the text stays.
    void ParseExpression();
    // Compiled, with every referenced variable still there; otherwise compiles the stored text again.
    bool IsValid();
    void AddToken(uint32_t kind, int32_t level, uint32_t op = 0); // after making sure the expression is valid
    void CopyFrom(const SWexpression& source); // detached copies of every operand; no name, text or target text
    void ClearTokens();                        // constants go with their tokens
    void Execute(const SWproperty& value);     // assigns value to the target variable, when valid and present
    void Execute(const TypedValueData& value); // the same with a value

    SWproperty* GetTargetVariable(); // the cached target, else the target text resolved (result code unused)
    void SetTargetVariable(SWproperty* variable);
    void SetTargetVariableId(uint32_t id) { m_target = VariableRef(id); } // as loaded; resolved when used
    uint32_t GetTargetVariableId() const { return m_target.GetId(); }

    SWworld* GetWorld() const { return m_world; }
    void SetWorld(SWworld* world);
    bool IsCompiled() const { return m_compiled != 0; }
    int32_t GetMaximumLevel() const { return m_maximumLevel; }
    const std::optional<std::string>& GetName() const { return m_name; }
    void SetName(std::optional<std::string> name) { m_name = std::move(name); }
    const std::optional<std::string>& GetText() const { return m_text; }
    void SetText(std::optional<std::string> text); // not compiled until the next IsValid
    const std::optional<std::string>& GetTargetText() const { return m_targetText; }
    void SetTargetText(std::optional<std::string> text); // the cached target is dropped

private:
    using Outcome = SWexpressionprogram::Outcome;

    bool OperandsResolve() const;
    void AdoptTokens(SWexpression& compiled); // takes compiled's tokens and maximum level
    Outcome Compute(TypedValueData& out);     // the value, by the program when the tokens make one
    Outcome Reduce(TypedValueData& out);      // the value, by the reduction
    bool IsProgramReady() const;              // built, and bound with nothing deleted since
    void ForgetProgram();                     // the tokens or the world changed

    SWworld* m_world;     // where references resolve; the world outlives its expressions
    VariableRef m_target; // cached result of the target text, or the id it was loaded with
    uint8_t m_compiled = 0;
    std::optional<std::string> m_name;
    int32_t m_maximumLevel = kBaseLevel;
    std::optional<std::string> m_text;
    std::optional<std::string> m_targetText;
    SWexpressionprogram m_program;
    bool m_reductionOnly = false;            // the tokens make no program
    uint64_t m_boundGeneration = UINT64_MAX; // the world's structure generation when the program was bound
    uint64_t m_boundRemovals = UINT64_MAX;   // and the count of variable removals
};
