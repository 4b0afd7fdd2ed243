// The expression program against the token reduction it stands in for: the same value bit for bit for texts over
// operands of every type, one-number cells against the operator table, no allocation once an expression has run,
// and texts long and deep enough that a reduction rescanning its tokens would not finish.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "engine/behaviour/expression.h"
#include "engine/behaviour/property.h"
#include "engine/behaviour/variable_operators.h"
#include "engine/core/node.h"
#include "engine/core/object_node.h"
#include "engine/core/typed_value_data.h"
#include "engine/core/world.h"
#include "testsupport/behaviour/demo_scene.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define VORTAN_COUNTS_ALLOCATIONS 1
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*mallocHook)(const volatile void*, size_t),
                                                         void (*freeHook)(const volatile void*));
#endif

namespace {

bool SameBits(const TypedValueData& a, const TypedValueData& b)
{
    return a.type == b.type && a.integer == b.integer && a.text == b.text &&
           std::memcmp(a.elements.data(), b.elements.data(), sizeof(float) * a.elements.size()) == 0;
}

// Everything Evaluate hands out: the type, the flags and all three copies.
void ExpectSameVariable(const SWproperty& a, const SWproperty& b)
{
    EXPECT_EQ(a.GetType(), b.GetType());
    EXPECT_EQ(a.GetFlags(), b.GetFlags());
    EXPECT_TRUE(SameBits(a.GetCurrentData(), b.GetCurrentData()));
    EXPECT_TRUE(SameBits(a.GetInitialData(), b.GetInitialData()));
    EXPECT_TRUE(SameBits(a.GetPreviousData(), b.GetPreviousData()));
}

// A text of operands of every type, numbers and parentheses, by a seeded walk.
std::string RandomText(std::mt19937& random, int operands)
{
    static const char* const kOperands[] = {
        "lamp.count",
        "box.count",
        "lamp.on",
        "box.on",
        "lamp.level",
        "box.level",
        "box.width",
        "box.height",
        "lamp.dir",
        "box.dir",
        "lamp.turn",
        "box.pose",
        "lamp.label",
        "box.label",
        "SOUND:hum.volume",
        "SOUND:hum.pitch",
        "lamp.Position",
        "box.Rotation",
        "lamp.Transform",
        "0",
        "2",
        "0.5",
        "3.25",
        "1000000",
    };
    static const char kOperators[] = "+-*/";
    std::string text;
    int open = 0;
    for (int i = 0; i < operands; ++i) {
        while (random() % 4 == 0) {
            text += '(';
            ++open;
        }
        text += kOperands[random() % std::size(kOperands)];
        while (open > 0 && random() % 3 == 0) {
            text += ')';
            --open;
        }
        if (i + 1 < operands)
            text += kOperators[random() % 4];
    }
    return text + std::string(static_cast<size_t>(open), ')');
}

#if VORTAN_COUNTS_ALLOCATIONS
thread_local bool t_counting = false;
thread_local size_t t_allocations = 0;

void CountAllocation(const volatile void*, size_t)
{
    if (t_counting)
        ++t_allocations;
}

void IgnoreFree(const volatile void*) {}

// Allocations made by this thread while it runs.
template <typename Work> size_t AllocationsOf(Work work)
{
    static const int kInstalled = __sanitizer_install_malloc_and_free_hooks(CountAllocation, IgnoreFree);
    (void)kInstalled;
    t_allocations = 0;
    t_counting = true;
    work();
    t_counting = false;
    return t_allocations;
}
#endif

} // namespace

TEST(ExpressionProgram, AgreesWithTheReductionBitForBit)
{
    SWworld world;
    BuildDemoScene(world);
    std::mt19937 random(57);
    int compared = 0;
    for (int i = 0; i < 3000; ++i) {
        const std::string text = RandomText(random, 1 + static_cast<int>(random() % 8));
        SCOPED_TRACE(text);
        int code = -1;
        std::unique_ptr<SWexpression> expression = SWexpression::CompileExpression(&world, text, code);
        ASSERT_EQ(code, SWexpression::kCodeOk);
        const std::unique_ptr<SWproperty> reduced = SWexpression::EvaluateByReduction(expression.get());
        ExpectSameVariable(*SWexpression::Evaluate(expression.get()), *reduced);
        TypedValueData value;
        SWexpression::EvaluateInto(expression.get(), value);
        EXPECT_TRUE(SameBits(value, reduced->GetCurrentData()));
        ++compared;
    }
    EXPECT_EQ(compared, 3000);
}

TEST(ExpressionProgram, OneNumberCellsMatchTheOperatorTable)
{
    std::vector<TypedValueData> values;
    for (const int32_t i : {0, 1, -1, 7, -3, INT_MIN, INT_MAX})
        values.push_back(TypedValueData::OfInteger(i));
    for (const bool b : {false, true})
        values.push_back(TypedValueData::OfBoolean(b));
    for (const float f : {0.0f, -0.0f, 1.5f, -2.25f, 3.0f, 1e30f, 1e-40f, INFINITY, -INFINITY, NAN})
        values.push_back(TypedValueData::OfFloat(f));
    for (const TypedValueData& l : values)
        for (const TypedValueData& r : values)
            for (int op = -1; op <= 4; ++op) {
                auto left = std::make_unique<SWproperty>(l.type);
                left->SetAllFromData(l);
                auto right = std::make_unique<SWproperty>(r.type);
                right->SetAllFromData(r);
                const std::unique_ptr<SWproperty> table = left->ApplyOperator(*right, op);
                ASSERT_NE(table, nullptr);
                SWscalarvalue a{};
                SWscalarvalue b{};
                ASSERT_TRUE(left->ReadScalar(a) && right->ReadScalar(b));
                const SWscalarvalue cell = ApplyScalarOperator(a, b, op);
                const TypedValueData expected = table->GetCurrentData();
                EXPECT_EQ(cell.type, expected.type) << l.type << " " << r.type << " " << op;
                if (cell.type == kTypeFloat)
                    EXPECT_EQ(std::memcmp(&cell.number, &expected.elements[0], sizeof(float)), 0);
                else
                    EXPECT_EQ(cell.integer, expected.integer);
            }
}

TEST(ExpressionProgram, EvaluatingAllocatesNothingOnceRun)
{
#if VORTAN_COUNTS_ALLOCATIONS
    SWworld world;
    BuildDemoScene(world);
    static const char* const kTexts[] = {
        "lamp.level*2+box.level/(box.width-1)", // floats
        "lamp.count*box.count-lamp.on/2",       // integers and booleans
        "lamp.dir*2+box.dir-lamp.Position",     // vectors, one through a view
        "lamp.turn*box.dir",                    // a quaternion turning a vector
        "lamp.label+box.count",                 // a short text
        "lamp.level",                           // one operand
    };
    std::vector<std::unique_ptr<SWexpression>> expressions;
    TypedValueData value;
    for (const char* text : kTexts) {
        int code = -1;
        expressions.push_back(SWexpression::CompileExpression(&world, text, code));
        ASSERT_EQ(code, SWexpression::kCodeOk) << text;
        SWexpression::EvaluateInto(expressions.back().get(), value); // the first run makes the program
    }
    const auto evaluateAll = [&] {
        for (int round = 0; round < 20; ++round)
            for (const auto& expression : expressions)
                SWexpression::EvaluateInto(expression.get(), value);
    };
    EXPECT_EQ(AllocationsOf(evaluateAll), 0u);
    // A deletion elsewhere in the world makes each program look its operands up again (the first look-up has the
    // world index its variables anew); from then on nothing is allocated again.
    auto* spare = new SWobjectnode();
    world.AddNode(spare, nullptr);
    ASSERT_TRUE(world.DeleteNode(spare));
    evaluateAll();
    EXPECT_EQ(AllocationsOf(evaluateAll), 0u);
    EXPECT_FLOAT_EQ(value.elements[0], 0.5f);
    EXPECT_GT(AllocationsOf([&] { SWexpression::Evaluate(expressions[0].get()); }), 0u); // the counting counts
#else
    GTEST_SKIP() << "allocations are counted through the sanitizers' allocator hooks";
#endif
}

TEST(ExpressionProgram, LongAndDeepTextsCompileAndEvaluate)
{
    SWworld world;
    std::string sum = "1";
    for (int i = 1; i < 20000; ++i)
        sum += "+1";
    int code = -1;
    std::unique_ptr<SWexpression> expression = SWexpression::CompileExpression(&world, sum, code);
    ASSERT_NE(expression, nullptr);
    EXPECT_EQ(SWexpression::Evaluate(expression.get())->GetAsFloat(), 20000.0f);

    const std::string deep = std::string(30000, '(') + "3-1" + std::string(30000, ')');
    expression = SWexpression::CompileExpression(&world, deep, code);
    ASSERT_NE(expression, nullptr);
    EXPECT_EQ(expression->GetMaximumLevel(), SWexpression::kBaseLevel + 30000);
    EXPECT_EQ(SWexpression::Evaluate(expression.get())->GetAsFloat(), 2.0f);
}

TEST(ExpressionProgram, TokensAddedByHandFallBackToTheReduction)
{
    SWworld world;
    BuildDemoScene(world);
    int code = -1;
    std::unique_ptr<SWexpression> expression = SWexpression::CompileExpression(&world, "lamp.level+2", code);
    EXPECT_FLOAT_EQ(SWexpression::Evaluate(expression.get())->GetAsFloat(), 2.5f);
    // A trailing operator, then a group no level admits: neither is a list the scanner makes.
    expression->AddToken(SWexpressiontoken::kOperator, 1, 0);
    ExpectSameVariable(*SWexpression::Evaluate(expression.get()), *SWexpression::EvaluateByReduction(expression.get()));
    EXPECT_FLOAT_EQ(SWexpression::Evaluate(expression.get())->GetAsFloat(), 0.0f);
    expression = SWexpression::CompileExpression(&world, "(lamp.level)", code);
    expression->AddToken(SWexpressiontoken::kClose, 0);
    ExpectSameVariable(*SWexpression::Evaluate(expression.get()), *SWexpression::EvaluateByReduction(expression.get()));
}
