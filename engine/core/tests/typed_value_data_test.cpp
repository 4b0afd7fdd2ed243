#include "engine/core/typed_value_data.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <locale>
#include <numbers>
#include <string>
#include <vector>

#include "engine/core/matrix.h"
#include "engine/core/quaternion.h"
#include "engine/core/tests/maths_test_support.h"
#include "engine/core/typed_value_text.h"
#include "engine/core/vector.h"

namespace {

using D = TypedValueData;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInfinity = std::numeric_limits<float>::infinity();
constexpr int32_t kIntMax = std::numeric_limits<int32_t>::max();
constexpr int32_t kIntMin = std::numeric_limits<int32_t>::min();

testing::AssertionResult SameData(const D& actual, const D& expected, float tolerance = 1e-5f)
{
    if (actual.type != expected.type)
        return testing::AssertionFailure() << "type " << actual.type << " vs " << expected.type;
    switch (actual.type) {
    case kTypeString:
        if (actual.text != expected.text)
            return testing::AssertionFailure() << '"' << actual.text << "\" vs \"" << expected.text << '"';
        return testing::AssertionSuccess();
    case kTypeInteger:
    case kTypeBoolean:
        if (actual.integer != expected.integer)
            return testing::AssertionFailure() << actual.integer << " vs " << expected.integer;
        return testing::AssertionSuccess();
    default:
        for (int i = 0; i < TypedElementCount(actual.type); ++i) {
            const float a = actual.elements[i], e = expected.elements[i];
            const bool same = (std::isnan(a) && std::isnan(e)) || a == e || std::fabs(a - e) <= tolerance;
            if (!same)
                return testing::AssertionFailure() << "element " << i << ": " << a << " vs " << e;
        }
        return testing::AssertionSuccess();
    }
}

D MatrixWithFirst(float first)
{
    SWmatrix m;
    m[0] = first;
    return D::OfMatrix(m);
}

SWmatrix QuarterTurnAboutZMovedTo(float x, float y, float z)
{
    SWmatrix m = SWmatrix::Rotation(std::numbers::pi_v<float> / 2.0f, 2);
    m.SetTranslation(x, y, z);
    return m;
}

const CVTN_Quaternion kQuarterTurnZ(0.0f, 0.0f, std::numbers::sqrt2_v<float> / 2.0f,
                                    std::numbers::sqrt2_v<float> / 2.0f);

struct ConversionCase {
    const char* name;
    D from;
    D expected; // of the type converted into
};

} // namespace

TEST(TypedValueConversion, FollowsTheTable)
{
    const ConversionCase cases[] = {
        {"integer to string", D::OfInteger(-7), D::OfString("-7")},
        {"integer to boolean", D::OfInteger(7), D::OfBoolean(true)},
        {"zero to boolean", D::OfInteger(0), D::OfBoolean(false)},
        {"integer to float", D::OfInteger(7), D::OfFloat(7.0f)},
        {"integer to vector", D::OfInteger(7), D::OfVector({7, 0, 0})},
        {"integer to quaternion", D::OfInteger(7), D::OfQuaternion({7, 0, 0, 1})},
        {"integer to matrix", D::OfInteger(7), MatrixWithFirst(7.0f)},
        {"boolean to string", D::OfBoolean(true), D::OfString("1")},
        {"false to string", D::OfBoolean(false), D::OfString("0")},
        {"boolean to integer", D::OfBoolean(true), D::OfInteger(1)},
        {"boolean to float", D::OfBoolean(true), D::OfFloat(1.0f)},
        {"boolean to vector", D::OfBoolean(true), D::OfVector({1, 0, 0})},
        {"float to string", D::OfFloat(-2.75f), D::OfString("-2.7500")},
        {"float to string rounds", D::OfFloat(1.23456f), D::OfString("1.2346")},
        {"float to integer truncates", D::OfFloat(-2.75f), D::OfInteger(-2)},
        {"huge float to integer saturates", D::OfFloat(3e9f), D::OfInteger(kIntMax)},
        {"huge negative float to integer", D::OfFloat(-3e9f), D::OfInteger(kIntMin)},
        {"not-a-number to integer", D::OfFloat(kNaN), D::OfInteger(0)},
        {"infinity to integer", D::OfFloat(kInfinity), D::OfInteger(kIntMax)},
        {"float to boolean", D::OfFloat(0.25f), D::OfBoolean(true)},
        {"zero float to boolean", D::OfFloat(-0.0f), D::OfBoolean(false)},
        {"not-a-number to boolean", D::OfFloat(kNaN), D::OfBoolean(true)},
        {"float to quaternion", D::OfFloat(0.5f), D::OfQuaternion({0.5f, 0, 0, 1})},
        {"float to matrix", D::OfFloat(-2.75f), MatrixWithFirst(-2.75f)},
        {"vector to string", D::OfVector({1.5f, -2, 3}), D::OfString("1.5000,-2.0000,3.0000")},
        {"vector to integer", D::OfVector({1.5f, -2, 3}), D::OfInteger(1)},
        {"vector to boolean", D::OfVector({0, 5, 5}), D::OfBoolean(false)},
        {"vector to float", D::OfVector({1.5f, -2, 3}), D::OfFloat(1.5f)},
        {"vector to quaternion", D::OfVector({1.5f, -2, 3}), D::OfQuaternion({1.5f, -2, 3, 1})},
        {"vector to matrix", D::OfVector({1.5f, -2, 3}), D::OfMatrix(SWmatrix::Translation(1.5f, -2, 3))},
        {"quaternion to string", D::OfQuaternion(kQuarterTurnZ), D::OfString("0.0000,0.0000,0.7071,0.7071")},
        {"quaternion to float", D::OfQuaternion({0.25f, 0.5f, 0, 1}), D::OfFloat(0.25f)},
        {"quaternion to vector", D::OfQuaternion({0.25f, 0.5f, 0.75f, 1}), D::OfVector({0.25f, 0.5f, 0.75f})},
        {"quaternion to matrix", D::OfQuaternion(kQuarterTurnZ), D::OfMatrix(QuarterTurnAboutZMovedTo(0, 0, 0))},
        {"long quaternion to matrix", D::OfQuaternion({0, 0, 3, 3}), D::OfMatrix(QuarterTurnAboutZMovedTo(0, 0, 0))},
        {"zero quaternion to matrix", D::OfQuaternion({0, 0, 0, 0}), D::OfMatrix(SWmatrix())},
        {"matrix to string", D::OfMatrix(SWmatrix::Translation(1, 2, 3)),
         D::OfString("1.0000,0.0000,0.0000,1.0000,0.0000,1.0000,0.0000,2.0000,0.0000,0.0000,1.0000,3.0000,"
                     "0.0000,0.0000,0.0000,1.0000")},
        {"matrix to integer", D::OfMatrix(SWmatrix::Scaling(4.5f, 1, 1)), D::OfInteger(4)},
        {"matrix to float", D::OfMatrix(QuarterTurnAboutZMovedTo(1, 2, 3)), D::OfFloat(0.0f)},
        {"matrix to vector", D::OfMatrix(QuarterTurnAboutZMovedTo(1, 2, 3)), D::OfVector({1, 2, 3})},
        {"matrix to quaternion", D::OfMatrix(QuarterTurnAboutZMovedTo(1, 2, 3)), D::OfQuaternion(kQuarterTurnZ)},
        {"scaled matrix to quaternion", D::OfMatrix(SWmatrix::Scaling(2, 2, 2)), D::OfQuaternion({})},
        {"string to integer", D::OfString("42"), D::OfInteger(42)},
        {"string to boolean", D::OfString("0.5"), D::OfBoolean(true)},
        {"string to float", D::OfString("2.5"), D::OfFloat(2.5f)},
        {"string to vector", D::OfString("1,2,3"), D::OfVector({1, 2, 3})},
        {"string to quaternion", D::OfString("0,0,0.7071068,0.7071068"), D::OfQuaternion(kQuarterTurnZ)},
        {"string to matrix", D::OfString("1,0,0,1,0,1,0,2,0,0,1,3,0,0,0,1"),
         D::OfMatrix(SWmatrix::Translation(1, 2, 3))},
        {"same type is a copy", D::OfVector({kNaN, -0.0f, kInfinity}), D::OfVector({kNaN, -0.0f, kInfinity})},
    };
    for (const ConversionCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(SameData(ConvertTypedData(c.from, c.expected.type), c.expected));
    }
}

TEST(TypedValueConversion, NumbersReachEveryTypeAndComeBack)
{
    // 2 is an integer, a float, the x of a vector or quaternion and element 0 of a matrix, each without loss.
    const D sources[] = {D::OfString("2"), D::OfInteger(2), D::OfFloat(2.0f)};
    const uint32_t types[] = {kTypeString, kTypeInteger, kTypeFloat, kTypeVector, kTypeQuaternion, kTypeMatrix};
    for (const D& from : sources)
        for (const uint32_t type : types) {
            SCOPED_TRACE(testing::Message() << from.type << " through " << type);
            const D there = ConvertTypedData(from, type);
            EXPECT_EQ(there.type, type);
            const D back = ConvertTypedData(there, from.type); // a string comes back as "2.0000" and the like
            EXPECT_TRUE(SameData(ConvertTypedData(back, kTypeFloat), D::OfFloat(2.0f)));
        }
}

TEST(TypedValueConversion, AssignKeepsWhatTheSourceDoesNotSupply)
{
    D vector = D::OfVector({1, 2, 3});
    AssignTypedData(vector, D::OfFloat(9.0f));
    EXPECT_TRUE(SameData(vector, D::OfVector({9, 2, 3})));

    D quaternion = D::OfQuaternion({0, 0, 0, 0.5f});
    AssignTypedData(quaternion, D::OfVector({1, 2, 3}));
    EXPECT_TRUE(SameData(quaternion, D::OfQuaternion({1, 2, 3, 0.5f})));

    D moved = D::OfMatrix(QuarterTurnAboutZMovedTo(1, 2, 3));
    AssignTypedData(moved, D::OfVector({7, 8, 9}));
    EXPECT_TRUE(SameData(moved, D::OfMatrix(QuarterTurnAboutZMovedTo(7, 8, 9))));

    D turned = D::OfMatrix(SWmatrix::Translation(1, 2, 3));
    AssignTypedData(turned, D::OfQuaternion(kQuarterTurnZ));
    EXPECT_TRUE(SameData(turned, D::OfMatrix(QuarterTurnAboutZMovedTo(1, 2, 3))));

    // Text replaces the whole value: what it leaves out is the default, not the old value.
    D fromText = D::OfVector({1, 2, 3});
    AssignTypedData(fromText, D::OfString("5"));
    EXPECT_TRUE(SameData(fromText, D::OfVector({5, 0, 0})));
}

TEST(TypedValueConversion, UnknownTypeCodesConvertNothing)
{
    D unknown = D::Default(3);
    unknown.integer = 5;
    D vector = D::OfVector({1, 2, 3});
    AssignTypedData(vector, unknown);
    EXPECT_TRUE(SameData(vector, D::OfVector({1, 2, 3})));
    AssignTypedData(unknown, D::OfInteger(9));
    EXPECT_EQ(unknown.integer, 5);
    EXPECT_EQ(TypedValueText(unknown), "");
    for (const uint32_t code : {0u, 3u, 128u, 0xFFFFFFFFu})
        EXPECT_FALSE(IsTypedValueType(code)) << code;
}

TEST(TypedValueText, MalformedTextReadsAsFarAsItIsValid)
{
    const struct {
        const char* name;
        std::string text;
        D expected;
    } cases[] = {
        {"empty integer", "", D::OfInteger(0)},
        {"word as integer", "abc", D::OfInteger(0)},
        {"leading space and trailing junk", " \t-7.9xyz", D::OfInteger(-7)},
        {"exponent", "1e3", D::OfInteger(1000)},
        {"plus sign", "+12", D::OfInteger(12)},
        {"two signs", "+-12", D::OfInteger(0)},
        {"beyond 32 bits", "99999999999", D::OfInteger(kIntMax)},
        {"beyond 32 bits negative", "-99999999999", D::OfInteger(kIntMin)},
        {"not-a-number as integer", "nan", D::OfInteger(0)},
        {"hexadecimal is not read", "0x10", D::OfInteger(0)},
        {"word true", "  TRUE", D::OfBoolean(true)},
        {"word false", "False", D::OfBoolean(false)},
        {"zero text", "0", D::OfBoolean(false)},
        {"empty boolean", "", D::OfBoolean(false)},
        {"junk boolean", "yes", D::OfBoolean(false)},
        {"empty float", "", D::OfFloat(0.0f)},
        {"lone point", ".", D::OfFloat(0.0f)},
        {"trailing exponent letter", "1e", D::OfFloat(1.0f)},
        {"overflow", "1e999", D::OfFloat(kInfinity)},
        {"negative overflow", "-1e999", D::OfFloat(-kInfinity)},
        {"underflow", "1e-999", D::OfFloat(0.0f)},
        {"beyond every range", "1e999999", D::OfFloat(kInfinity)},
        {"below every range", "-1e-999999", D::OfFloat(-0.0f)},
        {"infinity word", "-Infinity", D::OfFloat(-kInfinity)},
        {"nan word", "nan", D::OfFloat(kNaN)},
        {"embedded zero byte",
         std::string("3\0"
                     "4",
                     3),
         D::OfFloat(3.0f)},
        {"vector short", "1,2", D::OfVector({1, 2, 0})},
        {"vector space before number", "1, 2,\t3", D::OfVector({1, 2, 3})},
        {"vector space before comma", "1 ,2,3", D::OfVector({1, 0, 0})},
        {"vector empty field", "1,,3", D::OfVector({1, 0, 0})},
        {"vector semicolons", "1;2;3", D::OfVector({1, 0, 0})},
        {"vector extra fields", "1,2,3,4,5", D::OfVector({1, 2, 3})},
        {"vector junk", "x", D::OfVector({0, 0, 0})},
        {"vector lone comma", ",", D::OfVector({0, 0, 0})},
        {"quaternion short keeps w", "1,2,3", D::OfQuaternion({1, 2, 3, 1})},
        {"matrix empty is identity", "", D::OfMatrix(SWmatrix())},
        {"matrix one number", "5", MatrixWithFirst(5.0f)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(SameData(ParseTypedValueText(c.text, c.expected.type), c.expected));
    }
}

TEST(TypedValueText, SignOfZeroSurvivesUnderflow)
{
    EXPECT_TRUE(std::signbit(ParseTypedValueText("-1e-999", kTypeFloat).elements[0]));
    EXPECT_FALSE(std::signbit(ParseTypedValueText("1e-999", kTypeFloat).elements[0]));
}

TEST(TypedValueText, WrittenTextReadsBack)
{
    const D values[] = {
        D::OfInteger(kIntMin),
        D::OfInteger(kIntMax),
        D::OfBoolean(true),
        D::OfFloat(-1234.5f),
        D::OfFloat(3.4028235e38f),
        D::OfVector({1.25f, -0.5f, 1000.0f}),
        D::OfQuaternion(kQuarterTurnZ),
        D::OfMatrix(QuarterTurnAboutZMovedTo(-5.5f, 6.25f, 0.125f)),
    };
    for (const D& value : values) {
        SCOPED_TRACE(value.type);
        // "%.4f" keeps four decimals; every value here needs no more than that, or is a float as large as it gets.
        EXPECT_TRUE(SameData(ParseTypedValueText(TypedValueText(value), value.type), value, 5e-5f));
    }
}

TEST(TypedValueText, IgnoresTheProcessLocale)
{
    // A numeric punctuation with a decimal comma, as several European locales have.
    struct CommaDecimal : std::numpunct<char> {
        char do_decimal_point() const override { return ','; }
    };
    const std::locale previous = std::locale::global(std::locale(std::locale::classic(), new CommaDecimal));
    const std::string previousC = std::setlocale(LC_NUMERIC, nullptr);
    const bool cLocaleChanged = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") || std::setlocale(LC_NUMERIC, "fr_FR.UTF-8");

    const std::string written = TypedValueText(D::OfVector({1.5f, -2.25f, 3.0f}));
    const D read = ParseTypedValueText("1.5,-2.25,3", kTypeVector);

    std::setlocale(LC_NUMERIC, previousC.c_str());
    std::locale::global(previous);
    EXPECT_EQ(written, "1.5000,-2.2500,3.0000");
    EXPECT_TRUE(SameData(read, D::OfVector({1.5f, -2.25f, 3.0f})));
    if (!cLocaleChanged)
        GTEST_LOG_(INFO) << "no decimal-comma C locale installed; only the C++ global locale was changed";
}

TEST(TypedValueElements, ScalarAgainstSeveralElementsMeansOneElement)
{
    const D vector = D::OfVector({1.5f, 2.5f, 3.5f});
    EXPECT_TRUE(SameData(ReadTypedElement(vector, kTypeFloat, 1), D::OfFloat(2.5f)));
    EXPECT_TRUE(SameData(ReadTypedElement(vector, kTypeInteger, 2), D::OfInteger(3)));
    EXPECT_TRUE(SameData(ReadTypedElement(vector, kTypeFloat, 3), D::OfFloat(0.0f)));
    EXPECT_TRUE(SameData(ReadTypedElement(vector, kTypeFloat, -1), D::OfFloat(0.0f)));
    EXPECT_TRUE(
        SameData(ReadTypedElement(D::OfMatrix(SWmatrix::Translation(1, 2, 3)), kTypeFloat, 11), D::OfFloat(3.0f)));
    // Not a one-element type, or a one-element whole: the index plays no part.
    EXPECT_TRUE(SameData(ReadTypedElement(vector, kTypeString, 2), D::OfString("1.5000,2.5000,3.5000")));
    EXPECT_TRUE(SameData(ReadTypedElement(D::OfFloat(4.0f), kTypeInteger, 7), D::OfInteger(4)));

    D written = vector;
    WriteTypedElement(written, D::OfInteger(9), 2);
    EXPECT_TRUE(SameData(written, D::OfVector({1.5f, 2.5f, 9.0f})));
    WriteTypedElement(written, D::OfFloat(7.0f), 3);
    WriteTypedElement(written, D::OfFloat(7.0f), -1);
    EXPECT_TRUE(SameData(written, D::OfVector({1.5f, 2.5f, 9.0f})));
}
