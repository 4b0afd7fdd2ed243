#include "engine/behaviour/expression.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <vector>

#include "engine/behaviour/properties.h"
#include "engine/behaviour/property.h"
#include "engine/core/java_class_node.h"
#include "engine/core/node.h"
#include "engine/core/node_names.h"
#include "engine/core/typed_value.h"
#include "engine/core/world.h"
#include "engine/resources/sound.h"

namespace {

constexpr int32_t kPrecedence[4] = {1, 2, 3, 4}; // by operator code: "+", "-", "*", "/"

std::unique_ptr<SWproperty> FloatVariable(float value)
{
    auto variable = std::make_unique<SWproperty>(kTypeFloat);
    variable->SetFloatAll(value);
    variable->SetAllFlags(SWproperty::kFlagTemporary);
    return variable;
}

// A variable of its own holding source's current value: a copy never views another variable, so it cannot
// outlive what it reads.
std::unique_ptr<SWproperty> Detached(const SWproperty& source)
{
    auto copy = std::make_unique<SWproperty>(source.GetType());
    if (copy->HasValues())
        copy->OverwriteAllCopies(source.GetCurrentData());
    copy->SetAllFlags(SWproperty::kFlagTemporary);
    return copy;
}

// The variable Evaluate hands out for a value: an operand's value in all three copies, as a copy of it would hold
// it; an operator's result in the current copy, as the operator table's variable holds it.
std::unique_ptr<SWproperty> VariableOf(SWexpressionprogram::Outcome outcome, const TypedValueData& value)
{
    if (outcome == SWexpressionprogram::Outcome::kNoValue)
        return FloatVariable(0.0f);
    auto variable = std::make_unique<SWproperty>(value.type);
    if (outcome == SWexpressionprogram::Outcome::kOperand) {
        if (variable->HasValues())
            variable->OverwriteAllCopies(value);
    } else {
        variable->AssignData(value);
    }
    variable->SetAllFlags(SWproperty::kFlagTemporary);
    return variable;
}

// Digits with at most one point, as the scanner admits them; read without regard to the process locale.
float ReadNumber(std::string_view text)
{
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error == std::errc::result_out_of_range)
        return std::numeric_limits<float>::infinity(); // only digits, so never negative and never tiny
    if (error != std::errc() || end == text.data())
        return 0.0f;
    if (value > static_cast<double>(std::numeric_limits<float>::max()))
        return std::numeric_limits<float>::infinity();
    return static_cast<float>(value);
}

bool IsOperatorCharacter(char c)
{
    return c == '+' || c == '-' || c == '*' || c == '/';
}

uint32_t OperatorCode(char c)
{
    switch (c) {
    case '+':
        return 0;
    case '-':
        return 1;
    case '*':
        return 2;
    default:
        return 3;
    }
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
               return lower(x) == lower(y);
           });
}

// The scanner of CompileExpression: one pass over the text into out's tokens.
class Scanner {
public:
    Scanner(SWworld* world, SWexpression& out) : m_world(world), m_out(out) {}

    int Run(std::string_view text)
    {
        for (size_t i = 0; i < text.size(); ++i) {
            const char c = text[i];
            int code = SWexpression::kCodeOk;
            if (c == '(')
                code = Open();
            else if (c >= '0' && c <= '9')
                code = Digit(text, i);
            else if (c == '.')
                code = Point();
            else if (IsOperatorCharacter(c) || c == ')')
                code = Delimiter(c);
            else
                code = Other(c);
            if (code != SWexpression::kCodeOk)
                return code;
        }
        if (m_mode != Mode::kIdle) {
            if (const int code = FinishPending(); code != SWexpression::kCodeOk)
                return code;
        } else if (m_last == Last::kOperator) {
            m_out.AddTail(Number(0.0f));
            m_last = Last::kOperand;
        }
        return m_level == SWexpression::kBaseLevel ? SWexpression::kCodeOk : SWexpression::kCodeSyntax;
    }

    int32_t MaximumLevel() const { return m_maximumLevel; }

private:
    enum class Mode { kIdle, kNumber, kNumberAfterPoint, kName, kReference };
    enum class Last { kNone, kOperand, kOperator, kOpen, kClose };

    bool OperandAllowed() const { return m_last == Last::kNone || m_last == Last::kOperator || m_last == Last::kOpen; }

    static SWexpressiontoken* Number(float value)
    {
        auto* token = new SWexpressiontoken(SWexpressiontoken::kOperand, 0);
        token->SetNumber(value);
        return token;
    }

    int Open()
    {
        if (m_mode != Mode::kIdle || !OperandAllowed())
            return SWexpression::kCodeSyntax;
        ++m_level;
        m_maximumLevel = std::max(m_maximumLevel, m_level);
        m_out.AddTail(new SWexpressiontoken(SWexpressiontoken::kOpen, m_level));
        m_last = Last::kOpen;
        return SWexpression::kCodeOk;
    }

    int Digit(std::string_view text, size_t at)
    {
        if (m_mode == Mode::kIdle) {
            // A token that starts with a digit but holds anything else is read as a reference, which can never
            // resolve: it fails at its dot or, without one, when it is resolved.
            m_mode = Mode::kNumber;
            for (size_t j = at + 1; j < text.size() && !IsOperatorCharacter(text[j]) && text[j] != ')'; ++j)
                if (!(text[j] >= '0' && text[j] <= '9') && text[j] != '.') {
                    m_mode = Mode::kReference;
                    break;
                }
        }
        m_buffer.push_back(text[at]);
        return SWexpression::kCodeOk;
    }

    int Point()
    {
        if (m_mode == Mode::kNumber)
            m_mode = Mode::kNumberAfterPoint;
        else if (m_mode == Mode::kName)
            m_mode = Mode::kReference;
        else
            return SWexpression::kCodeSyntax;
        m_buffer.push_back('.');
        return SWexpression::kCodeOk;
    }

    int Other(char c)
    {
        if (m_mode == Mode::kNumber || m_mode == Mode::kNumberAfterPoint)
            return SWexpression::kCodeSyntax;
        if (m_mode == Mode::kIdle)
            m_mode = Mode::kName;
        m_buffer.push_back(c);
        return SWexpression::kCodeOk;
    }

    int Delimiter(char c)
    {
        if (m_mode != Mode::kIdle)
            if (const int code = FinishPending(); code != SWexpression::kCodeOk)
                return code;
        if (m_last != Last::kOperand && m_last != Last::kClose)
            return SWexpression::kCodeSyntax;
        if (c == ')') {
            if (m_level <= SWexpression::kBaseLevel)
                return SWexpression::kCodeSyntax;
            m_out.AddTail(new SWexpressiontoken(SWexpressiontoken::kClose, 0));
            --m_level;
            m_last = Last::kClose;
        } else {
            const uint32_t op = OperatorCode(c);
            m_out.AddTail(new SWexpressiontoken(SWexpressiontoken::kOperator, kPrecedence[op], op));
            m_last = Last::kOperator;
        }
        return SWexpression::kCodeOk;
    }

    int FinishPending()
    {
        const Mode mode = m_mode;
        m_mode = Mode::kIdle;
        const std::string text = std::move(m_buffer);
        m_buffer.clear();
        if (mode == Mode::kName || !OperandAllowed())
            return SWexpression::kCodeSyntax;
        if (mode == Mode::kReference) {
            int code = SWexpression::kCodeOk;
            SWproperty* const variable = SWexpression::ResolveVariableReference(m_world, text, code);
            if (variable == nullptr)
                return code != SWexpression::kCodeOk ? code : SWexpression::kCodeVariableNotFound;
            auto* token = new SWexpressiontoken(SWexpressiontoken::kOperand, 0);
            token->SetReference(VariableRef(*m_world, variable));
            m_out.AddTail(token);
        } else {
            m_out.AddTail(Number(ReadNumber(text)));
        }
        m_last = Last::kOperand;
        return SWexpression::kCodeOk;
    }

    SWworld* m_world;
    SWexpression& m_out;
    Mode m_mode = Mode::kIdle;
    Last m_last = Last::kNone;
    int32_t m_level = SWexpression::kBaseLevel;
    int32_t m_maximumLevel = SWexpression::kBaseLevel;
    std::string m_buffer;
};

// One item of an evaluation: an operand reads a variable where it is (a token's) or owns an intermediate result.
struct Item {
    uint32_t kind = 0;
    int32_t level = 0;
    uint32_t op = 0;
    const SWproperty* variable = nullptr;
    std::unique_ptr<SWproperty> owned;
};

// Applies the operator at index to its neighbours; false when the list is malformed or the table has no row.
bool ApplyAt(std::vector<Item>& items, size_t index)
{
    if (index == 0 || index + 1 >= items.size() || items[index - 1].kind != SWexpressiontoken::kOperand ||
        items[index + 1].kind != SWexpressiontoken::kOperand)
        return false;
    std::unique_ptr<SWproperty> result =
        items[index - 1].variable->ApplyOperator(*items[index + 1].variable, static_cast<int>(items[index].op));
    if (result == nullptr)
        return false;
    result->SetAllFlags(SWproperty::kFlagTemporary);
    Item& left = items[index - 1];
    left.variable = result.get();
    left.owned = std::move(result); // the intermediate it replaces, if any, goes now
    items.erase(items.begin() + static_cast<std::ptrdiff_t>(index),
                items.begin() + static_cast<std::ptrdiff_t>(index) + 2);
    return true;
}

// Reduces items[first, end) by precedence, "/" first; answers the new end, or 0 on failure.
size_t ReduceGroup(std::vector<Item>& items, size_t first, size_t end)
{
    for (int32_t precedence = 4; precedence >= 1; --precedence)
        for (size_t k = first; k < end;) {
            if (items[k].kind == SWexpressiontoken::kOperator && items[k].level == precedence) {
                if (!ApplyAt(items, k))
                    return 0;
                end -= 2;
            } else {
                ++k;
            }
        }
    return end;
}

bool ReduceItems(std::vector<Item>& items, int32_t maximumLevel)
{
    for (int32_t level = maximumLevel; level >= 1; --level)
        for (size_t i = 0; i < items.size();) {
            if (items[i].kind == SWexpressiontoken::kOpen && items[i].level == level) {
                size_t close = i + 1;
                while (close < items.size() && items[close].kind != SWexpressiontoken::kClose)
                    ++close;
                if (close >= items.size())
                    return false;
                const size_t end = ReduceGroup(items, i + 1, close);
                if (end != i + 2 || items[i + 1].kind != SWexpressiontoken::kOperand)
                    return false;
                items.erase(items.begin() + static_cast<std::ptrdiff_t>(i) + 2); // the close
                items.erase(items.begin() + static_cast<std::ptrdiff_t>(i));     // the open
                ++i;
            } else if (items[i].kind == SWexpressiontoken::kOperator && items[i].level == level &&
                       level <= SWexpression::kBaseLevel) {
                if (!ApplyAt(items, i))
                    return false;
            } else {
                ++i;
            }
        }
    return items.size() == 1 && items[0].kind == SWexpressiontoken::kOperand;
}

SWproperty* FindNodeVariable(const SWworld& world, std::string_view object, std::string_view variable, bool& found)
{
    const SWnode* const root = world.GetRootNode();
    const SWnode* const node = root != nullptr ? root->FindByName(object) : nullptr;
    found = node != nullptr;
    return node != nullptr ? node->FindVariable(variable) : nullptr;
}

} // namespace

// -- Tokens

SWexpressiontoken::SWexpressiontoken(uint32_t kind, int32_t level, uint32_t op) : m_kind(kind), m_level(level), m_op(op)
{
}

SWexpressiontoken::~SWexpressiontoken() = default;

SWproperty* SWexpressiontoken::GetVariable(const SWworld* world) const
{
    if (m_constant == nullptr && m_number) {
        m_constant = FloatVariable(*m_number);
        m_number.reset();
    }
    if (m_constant != nullptr)
        return m_constant.get();
    return m_reference.Get(world);
}

void SWexpressiontoken::SetConstant(std::unique_ptr<SWproperty> constant)
{
    m_constant = std::move(constant);
    m_number.reset();
    if (m_constant != nullptr)
        m_constant->SetFlags(SWproperty::kFlagTemporary, true);
}

void SWexpressiontoken::SetNumber(float value)
{
    m_constant.reset();
    m_number = value;
}

// -- Compiling

SWexpression::~SWexpression()
{
    ClearTokens();
}

std::unique_ptr<SWexpression> SWexpression::CompileExpression(SWworld* world, std::string_view text, int& outCode)
{
    auto expression = std::make_unique<SWexpression>(world);
    Scanner scanner(world, *expression);
    outCode = scanner.Run(text);
    if (outCode != kCodeOk)
        return nullptr;
    expression->m_maximumLevel = scanner.MaximumLevel();
    expression->m_compiled = 1;
    return expression;
}

std::optional<std::string> SWexpression::RenameObjectInText(std::string_view text, std::string_view prefix,
                                                            std::string_view oldName, std::string_view newName)
{
    std::string out;
    bool renamed = false;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = start;
        while (end < text.size() && text[end] != '(' && text[end] != ')' && !IsOperatorCharacter(text[end]))
            ++end;
        // An operand is [prefix:]object.variable, split as the resolver splits it: at its first dot and colon.
        const std::string_view operand = text.substr(start, end - start);
        const size_t dot = operand.find('.');
        const std::string_view object = dot == std::string_view::npos ? std::string_view() : operand.substr(0, dot);
        const size_t colon = object.find(':');
        const bool prefixed = colon != std::string_view::npos && EqualsIgnoringCase(object.substr(0, colon), prefix);
        const size_t nameAt = prefixed ? colon + 1 : 0;
        if (!oldName.empty() && (prefixed || colon == std::string_view::npos) && object.substr(nameAt) == oldName) {
            out.append(operand.substr(0, nameAt)).append(newName).append(operand.substr(dot));
            renamed = true;
        } else {
            out.append(operand);
        }
        if (end < text.size())
            out.push_back(text[end]);
        start = end + 1;
    }
    return renamed ? std::optional<std::string>(std::move(out)) : std::nullopt;
}

SWproperty* SWexpression::ResolveVariableReference(const SWworld* world, std::string_view text, int& outCode)
{
    outCode = kCodeSyntax;
    const size_t dot = text.find('.');
    if (text.empty() || dot == std::string_view::npos)
        return nullptr;
    const std::string_view variable = text.substr(dot + 1);
    std::string_view object = text.substr(0, dot);
    enum class Prefix { kNone, kSound, kNode, kResource } prefix = Prefix::kNone;
    if (const size_t colon = object.find(':'); colon != std::string_view::npos) {
        const std::string_view word = object.substr(0, colon);
        if (EqualsIgnoringCase(word, "sound"))
            prefix = Prefix::kSound;
        else if (EqualsIgnoringCase(word, "node"))
            prefix = Prefix::kNode;
        else if (EqualsIgnoringCase(word, "resource"))
            prefix = Prefix::kResource; // the qualified names of Java class entries read back
        else {
            outCode = kCodeBadPrefix;
            return nullptr;
        }
        object = object.substr(colon + 1);
    }
    outCode = kCodeObjectNotFound;
    // An empty object name names nothing: unnamed objects are never compared.
    if (world == nullptr || object.empty())
        return nullptr;

    if (prefix == Prefix::kResource) {
        for (const SWlistnode* n = world->GetJavaClasses().Head(); n != nullptr; n = n->Next()) {
            const auto* entry = static_cast<const SWjavaclassnode*>(n);
            if (entry->GetName() && *entry->GetName() == object) {
                SWproperty* const found = entry->FindVariable(variable);
                outCode = found != nullptr ? kCodeOk : kCodeObjectNotFound;
                return found;
            }
        }
        return nullptr;
    }

    SWproperty* soundVariable = nullptr;
    if (prefix == Prefix::kSound || prefix == Prefix::kNone) {
        const SWsound* const sound = world->GetSoundList().FindByName(object);
        if (sound != nullptr)
            if (const SWproperties2* variables = world->FindSoundVariables(*sound))
                soundVariable = variables->FindVariable(variable);
        if (prefix == Prefix::kSound) {
            outCode = soundVariable != nullptr ? kCodeOk : kCodeObjectNotFound;
            return soundVariable;
        }
    }
    bool nodeFound = false;
    SWproperty* const nodeVariable = FindNodeVariable(*world, object, variable, nodeFound);
    if (!nodeFound)
        return nullptr; // code 4, also when a sound of that name has the variable
    if (soundVariable != nullptr || nodeVariable == nullptr) {
        outCode = kCodeVariableNotFound;
        return nullptr;
    }
    outCode = kCodeOk;
    return nodeVariable;
}

void SWexpression::ParseExpression()
{
    ClearTokens();
    m_compiled = 0;
    Scanner scanner(m_world, *this);
    if (scanner.Run(m_text ? std::string_view(*m_text) : std::string_view()) != kCodeOk) {
        ClearTokens();
        return;
    }
    m_maximumLevel = scanner.MaximumLevel();
    m_compiled = 1;
}

bool SWexpression::OperandsResolve() const
{
    for (const SWlistnode* n = Head(); n != nullptr; n = n->Next()) {
        const auto* token = static_cast<const SWexpressiontoken*>(n);
        if (token->GetKind() == SWexpressiontoken::kOperand && !token->IsConstant() &&
            token->GetVariable(m_world) == nullptr)
            return false;
    }
    return true;
}

bool SWexpression::IsValid()
{
    if (m_compiled != 0 && OperandsResolve())
        return true;
    m_compiled = 0;
    int code = kCodeOk;
    std::unique_ptr<SWexpression> compiled = CompileExpression(m_world, m_text ? *m_text : std::string_view(), code);
    if (compiled == nullptr) {
        ClearTokens();
        return false;
    }
    // The compiled tokens are taken as they are: references stay live, constants stay owned by their tokens.
    AdoptTokens(*compiled);
    m_compiled = 1;
    return true;
}

void SWexpression::AdoptTokens(SWexpression& compiled)
{
    ClearTokens();
    AddChain(compiled);
    m_maximumLevel = compiled.m_maximumLevel;
    ForgetProgram();
}

void SWexpression::AddToken(uint32_t kind, int32_t level, uint32_t op)
{
    IsValid();
    AddTail(new SWexpressiontoken(kind, level, op));
    ForgetProgram();
}

void SWexpression::CopyFrom(const SWexpression& source)
{
    ClearTokens();
    for (const SWlistnode* n = source.Head(); n != nullptr; n = n->Next()) {
        const auto* token = static_cast<const SWexpressiontoken*>(n);
        auto* copy = new SWexpressiontoken(token->GetKind(), token->GetLevel(), token->GetOperator());
        if (token->GetKind() == SWexpressiontoken::kOperand && token->GetNumber()) {
            copy->SetNumber(*token->GetNumber());
        } else if (token->GetKind() == SWexpressiontoken::kOperand) {
            const SWproperty* const variable = token->GetVariable(source.m_world);
            copy->SetConstant(variable != nullptr ? Detached(*variable) : FloatVariable(0.0f));
        }
        AddTail(copy);
    }
    SetWorld(source.m_world);
    m_compiled = 1;
    m_maximumLevel = source.m_maximumLevel;
    m_target = source.m_target;
    m_name.reset();
    m_text.reset();
    m_targetText.reset();
}

void SWexpression::ClearTokens()
{
    DeleteAll();
    m_maximumLevel = kBaseLevel;
    ForgetProgram();
}

void SWexpression::SetWorld(SWworld* world)
{
    m_world = world;
    ForgetProgram();
}

void SWexpression::SetText(std::optional<std::string> text)
{
    m_text = std::move(text);
    ClearTokens();
    m_compiled = 0;
}

// -- Evaluating and assigning

std::unique_ptr<SWproperty> SWexpression::Evaluate(SWexpression* expression)
{
    TypedValueData value;
    const Outcome outcome = expression != nullptr ? expression->Compute(value) : Outcome::kNoValue;
    return VariableOf(outcome, value);
}

void SWexpression::EvaluateInto(SWexpression* expression, TypedValueData& out)
{
    if (expression == nullptr || expression->Compute(out) == Outcome::kNoValue)
        out = TypedValueData::OfFloat(0.0f);
}

std::unique_ptr<SWproperty> SWexpression::EvaluateByReduction(SWexpression* expression)
{
    if (expression == nullptr || !expression->IsValid() || expression->Empty())
        return FloatVariable(0.0f);
    TypedValueData value;
    const Outcome outcome = expression->Reduce(value);
    return VariableOf(outcome, value);
}

SWexpression::Outcome SWexpression::Compute(TypedValueData& out)
{
    if (!IsProgramReady()) {
        if (!IsValid() || Empty())
            return Outcome::kNoValue;
        if (!m_program.IsBuilt() && !m_reductionOnly)
            m_reductionOnly = !m_program.Build(*this);
        if (m_reductionOnly)
            return Reduce(out);
        if (!m_program.Bind(m_world)) {
            m_compiled = 0; // compiled again by the next IsValid
            return Outcome::kNoValue;
        }
        if (m_world != nullptr) {
            m_boundGeneration = m_world->GetStructureGeneration();
            m_boundRemovals = SWproperties2::GetProcessRemovalCount();
        }
    }
    return m_program.Run(out);
}

// The operands resolved when the program was bound, and, with no deletion since, resolve alike now: IsValid would
// answer true without compiling.
bool SWexpression::IsProgramReady() const
{
    return m_compiled != 0 && m_program.IsBuilt() && m_program.TokenCount() == Count() && m_world != nullptr &&
           m_boundGeneration == m_world->GetStructureGeneration() &&
           m_boundRemovals == SWproperties2::GetProcessRemovalCount();
}

void SWexpression::ForgetProgram()
{
    m_program.Clear();
    m_reductionOnly = false;
    m_boundGeneration = UINT64_MAX;
    m_boundRemovals = UINT64_MAX;
}

SWexpression::Outcome SWexpression::Reduce(TypedValueData& out)
{
    std::vector<Item> items;
    items.reserve(Count());
    for (const SWlistnode* n = Head(); n != nullptr; n = n->Next()) {
        const auto* token = static_cast<const SWexpressiontoken*>(n);
        Item item{token->GetKind(), token->GetLevel(), token->GetOperator(), nullptr, nullptr};
        if (token->GetKind() == SWexpressiontoken::kOperand) {
            item.variable = token->GetVariable(m_world);
            if (item.variable == nullptr) {
                m_compiled = 0; // compiled again by the next IsValid
                return Outcome::kNoValue;
            }
        }
        items.push_back(std::move(item));
    }
    if (!ReduceItems(items, m_maximumLevel))
        return Outcome::kNoValue;
    out = items[0].variable->GetCurrentData();
    return items[0].owned != nullptr ? Outcome::kApplied : Outcome::kOperand;
}

void SWexpression::Execute(const SWproperty& value)
{
    Execute(value.GetCurrentData());
}

void SWexpression::Execute(const TypedValueData& value)
{
    if (!IsValid())
        return;
    SWproperty* const target = GetTargetVariable();
    if (target == nullptr)
        return;
    target->AssignData(value);
    if (!target->IsBound() || m_world == nullptr)
        return;
    // Assigning through a node's own translation or rotation view moves the node: the picture must follow.
    const auto isTransformView = [](const SWproperty* v) {
        return v != nullptr && v->GetName() &&
               (*v->GetName() == kPositionVariableName || *v->GetName() == kRotationVariableName);
    };
    if (isTransformView(target) || isTransformView(target->GetTarget()))
        m_world->Invalidate(false);
}

SWproperty* SWexpression::GetTargetVariable()
{
    if (SWproperty* cached = m_target.Get(m_world))
        return cached;
    if (m_world == nullptr || !m_targetText)
        return nullptr;
    int code = kCodeOk;
    SWproperty* const resolved = ResolveVariableReference(m_world, *m_targetText, code);
    if (resolved != nullptr)
        m_target = VariableRef(*m_world, resolved);
    return resolved;
}

void SWexpression::SetTargetVariable(SWproperty* variable)
{
    m_target = m_world != nullptr ? VariableRef(*m_world, variable) : VariableRef();
}

void SWexpression::SetTargetText(std::optional<std::string> text)
{
    m_targetText = std::move(text);
    m_target.Reset();
}
