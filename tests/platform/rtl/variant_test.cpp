#include "platform/rtl/dateutils.h"
#include "platform/rtl/locale.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/variant.h"

#include <gtest/gtest.h>

#include <functional>

using namespace rtl;

namespace rtl {
void PrintTo(const TVariant& v, std::ostream* os) {
    *os << VarTypeName(v.VarType()) << "(" << v.AsString() << ")";
}
} // namespace rtl

namespace {

const TVariant kNull = TVariant::Null();
const TVariant kUnassigned;

std::string ErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const EVariantError& e) {
        return e.what();
    }
    return "(no error)";
}

std::string CastMessage(const char* from, const char* to) {
    return std::string("Could not convert variant of type (") + from + ") into type (" + to + ")";
}

} // namespace

TEST(Variant, TextForms) {
    const double date = EncodeDate(2024, 3, 5);
    struct {
        TVariant v;
        const char* text;
    } cases[] = {
        {kUnassigned, ""},
        {kNull, ""},
        {true, "True"},
        {false, "False"},
        {-42, "-42"},
        {2.5, "2.5"},
        {3.0, "3"},
        {1e15, "1E15"},
        {TVariant::Date(date), "2024-3-5"},
        {TVariant::Date(date + EncodeTime(9, 7, 3, 0)), "2024-3-5 9:07:03"},
        {"abc", "abc"},
    };
    for (auto& c : cases) EXPECT_EQ(c.v.AsString(), c.text) << c.text;
}

TEST(Variant, IntegerTypesOutside32BitsBecomeDoubles) {
    EXPECT_EQ(TVariant(2147483647LL).VarType(), TVarType::Integer);
    EXPECT_EQ(TVariant(2147483648LL).VarType(), TVarType::Double);
    EXPECT_EQ(TVariant(-2147483649LL).VarType(), TVarType::Double);
    EXPECT_EQ(TVariant(4000000000u).VarType(), TVarType::Double);
    EXPECT_EQ(TVariant(18446744073709551615ull).AsString(), "1.84467440737096E19");
}

TEST(Variant, Arithmetic) {
    using F = TVariant (*)(const TVariant&, const TVariant&);
    const F add = [](const TVariant& a, const TVariant& b) { return a + b; };
    const F sub = [](const TVariant& a, const TVariant& b) { return a - b; };
    const F mul = [](const TVariant& a, const TVariant& b) { return a * b; };
    const F div = [](const TVariant& a, const TVariant& b) { return a / b; };
    const double day = EncodeDate(2024, 3, 5);
    struct {
        const char* name;
        F op;
        TVariant a, b;
        TVarType type;
        const char* text;
    } cases[] = {
        {"int+int", add, 2, 3, TVarType::Integer, "5"},
        {"int overflow", add, 2147483647, 1, TVarType::Double, "2147483648"},
        {"int underflow", sub, -2147483647 - 1, 1, TVarType::Double, "-2147483649"},
        {"int*int overflow", mul, 65536, 65536, TVarType::Double, "4294967296"},
        {"int*int", mul, -2, 3, TVarType::Integer, "-6"},
        {"int+double", add, 1, 0.5, TVarType::Double, "1.5"},
        {"int/int is double", div, 7, 2, TVarType::Double, "3.5"},
        {"str+str", add, "ab", "cd", TVarType::String, "abcd"},
        {"str+int", add, "12", 3, TVarType::Integer, "15"},
        {"int+str", add, 3, " 1.5", TVarType::Double, "4.5"},
        {"hex str", add, "$10", 1, TVarType::Integer, "17"},
        {"str-str", sub, "10", "4", TVarType::Integer, "6"},
        {"str*str", mul, "2", "2.5", TVarType::Double, "5"},
        {"bool is -1", add, true, 1, TVarType::Integer, "0"},
        {"false is 0", add, false, 5, TVarType::Integer, "5"},
        {"unassigned+int", add, kUnassigned, 4, TVarType::Integer, "4"},
        {"unassigned+str", add, kUnassigned, "x", TVarType::String, "x"},
        {"str+unassigned", add, "x", kUnassigned, TVarType::String, "x"},
        {"null+int", add, kNull, 1, TVarType::Null, ""},
        {"str+null", add, "a", kNull, TVarType::Null, ""},
        {"null*unassigned", mul, kNull, kUnassigned, TVarType::Null, ""},
        {"null/int", div, kNull, 0, TVarType::Null, ""},
        {"date+int", add, TVariant::Date(day), 1, TVarType::Date, "2024-3-6"},
        {"int+date", add, 1, TVariant::Date(day), TVarType::Date, "2024-3-6"},
        {"date+0.5", add, TVariant::Date(day), 0.5, TVarType::Date, "2024-3-5 12:00:00"},
        {"date-int", sub, TVariant::Date(day), 5, TVarType::Date, "2024-2-29"},
        {"date-date", sub, TVariant::Date(day), TVariant::Date(day - 10), TVarType::Double, "10"},
        {"date-date text", sub, TVariant::Date(day), "2024-3-1", TVarType::Double, "4"},
        {"date*int", mul, TVariant::Date(2), 3, TVarType::Double, "6"},
    };
    for (auto& c : cases) {
        const TVariant r = c.op(c.a, c.b);
        EXPECT_EQ(r.VarType(), c.type) << c.name;
        EXPECT_EQ(r.AsString(), c.text) << c.name;
    }
}

TEST(Variant, UnaryMinus) {
    EXPECT_TRUE((-TVariant(5)).Identical(-5));
    EXPECT_TRUE((-TVariant(-2147483647 - 1)).Identical(2147483648.0)); // leaves 32 bits
    EXPECT_TRUE((-TVariant(2.5)).Identical(-2.5));
    EXPECT_TRUE((-TVariant("3")).Identical(-3));
    EXPECT_TRUE((-TVariant(true)).Identical(1));
    EXPECT_TRUE((-kNull).IsNull());
    EXPECT_EQ((-TVariant::Date(2)).VarType(), TVarType::Date);
}

TEST(Variant, FailedConversionsNameBothTypes) {
    struct {
        std::function<void()> f;
        std::string message;
    } cases[] = {
        {[] { (void)(TVariant("abc") + 1); }, CastMessage("String", "Double")},
        {[] { (void)(TVariant(1) - "x"); }, CastMessage("String", "Double")},
        {[] { (void)(TVariant::Date(1) + "x"); }, CastMessage("String", "Date")},
        {[] { (void)TVariant("abc").AsDouble(); }, CastMessage("String", "Double")},
        {[] { (void)TVariant("abc").AsInteger(); }, CastMessage("String", "Integer")},
        {[] { (void)TVariant("3e10").AsInteger(); }, CastMessage("String", "Integer")},
        {[] { (void)TVariant("yes").AsBoolean(); }, CastMessage("String", "Boolean")},
        {[] { (void)TVariant("2024-13-1").AsDate(); }, CastMessage("String", "Date")},
        {[] { (void)TVariant(2147483647.5).AsInteger(); }, CastMessage("Double", "Integer")},
        {[] { (void)TVariant(-2147483649.0).AsInteger(); }, CastMessage("Double", "Integer")},
        {[] { (void)TVariant::Date(3e9).AsInteger(); }, CastMessage("Date", "Integer")},
        {[] { (void)kNull.AsDouble(); }, CastMessage("Null", "Double")},
        {[] { (void)kNull.AsInteger(); }, CastMessage("Null", "Integer")},
        {[] { (void)kNull.AsBoolean(); }, CastMessage("Null", "Boolean")},
        {[] { (void)kNull.AsDate(); }, CastMessage("Null", "Date")},
        {[] { (void)(TVariant("a") < 1); }, CastMessage("String", "Double")},
    };
    for (auto& c : cases) EXPECT_EQ(ErrorOf(c.f), c.message);
}

TEST(Variant, Conversions) {
    struct {
        TVariant v;
        int integer;
    } ints[] = {{0.5, 0},
                {1.5, 2},
                {2.5, 2},
                {-2.5, -2},
                {2147483647.4, 2147483647},
                {"2.5", 2},
                {" 42", 42},
                {"$FF", 255},
                {true, -1},
                {false, 0},
                {kUnassigned, 0},
                {"-3.5", -4},
                {TVariant::Date(3.7), 4}};
    for (auto& c : ints) EXPECT_EQ(c.v.AsInteger(), c.integer) << c.v.AsString();

    struct {
        TVariant v;
        bool value;
    } bools[] = {{"True", true}, {"fALSE", false},    {"TRUE", true}, {"0", false},
                 {"2", true},    {"-0.5", true},      {0, false},     {-3, true},
                 {0.0, false},   {kUnassigned, false}};
    for (auto& c : bools) EXPECT_EQ(c.v.AsBoolean(), c.value) << c.v.AsString();

    EXPECT_FALSE(kNull.AsCondition());
    EXPECT_FALSE(kUnassigned.AsCondition());
    EXPECT_TRUE(TVariant(1).AsCondition());
    EXPECT_THROW((void)TVariant("x").AsCondition(), EVariantError);

    EXPECT_DOUBLE_EQ(TVariant("2024-3-5 12:00").AsDate(), EncodeDate(2024, 3, 5) + 0.5);
    EXPECT_DOUBLE_EQ(TVariant(true).AsDouble(), -1);
    EXPECT_DOUBLE_EQ(kUnassigned.AsDate(), 0);
    {
        // String to number follows the locale's decimal separator.
        DecimalSeparatorScope comma(',');
        EXPECT_DOUBLE_EQ(TVariant("1,5").AsDouble(), 1.5);
        EXPECT_EQ(TVariant(1.5).AsString(), "1,5");
    }
}

TEST(Variant, Comparisons) {
    using R = TVariantRelationship;
    const double day = EncodeDate(2024, 3, 5);
    struct {
        TVariant a, b;
        R r;
    } cases[] = {
        {1, 2, R::vrLessThan},
        {2, 2.0, R::vrEqual},
        {2.5, 2, R::vrGreaterThan},
        {"abc", "abd", R::vrLessThan},
        {"B", "a", R::vrLessThan}, // byte-wise, case-sensitive
        {"a", "a", R::vrEqual},
        {"10", 9, R::vrGreaterThan}, // numeric once a number is involved
        {"10", "9", R::vrLessThan},  // two strings stay strings
        {" 2", 2, R::vrEqual},
        {kNull, kNull, R::vrEqual},
        {kNull, 0, R::vrNotEqual},
        {"", kNull, R::vrNotEqual},
        {kUnassigned, kNull, R::vrNotEqual},
        {kUnassigned, 0, R::vrEqual},
        {kUnassigned, "", R::vrEqual},
        {kUnassigned, "a", R::vrLessThan},
        {true, -1, R::vrEqual},
        {true, 1, R::vrLessThan},
        {true, "TRUE", R::vrEqual},
        {false, "0", R::vrEqual},
        {TVariant::Date(day), day, R::vrEqual},
        {TVariant::Date(day), "2024-3-6", R::vrLessThan},
        {TVariant::Date(day), 45000, R::vrGreaterThan},
    };
    for (auto& c : cases)
        EXPECT_EQ(VarCompareValue(c.a, c.b), c.r) << c.a.AsString() << " ? " << c.b.AsString();

    EXPECT_TRUE(TVariant(1) < 2);
    EXPECT_TRUE(TVariant(2) <= 2);
    EXPECT_TRUE(TVariant("b") > "a");
    EXPECT_TRUE(kNull == kNull);
    EXPECT_TRUE(kNull != 1);
    // Null is neither less nor greater than anything.
    EXPECT_FALSE(kNull < 1);
    EXPECT_FALSE(kNull >= 1);
}

TEST(Variant, IntegerDivisionRemainderAndLogic) {
    EXPECT_TRUE(VarMod(7, 2).Identical(1));
    EXPECT_TRUE(VarMod(-7, 2).Identical(-1)); // sign of the dividend
    EXPECT_TRUE(VarMod(7, -2).Identical(1));
    EXPECT_TRUE(VarMod(7.5, 2).Identical(0)); // 7.5 rounds to 8
    EXPECT_TRUE(VarMod(-2147483647 - 1, -1).Identical(0));
    EXPECT_TRUE(VarMod("9", "4").Identical(1));
    EXPECT_TRUE(VarIntDiv(-7, 2).Identical(-3));
    EXPECT_TRUE(VarIntDiv(-2147483647 - 1, -1).Identical(2147483648.0));
    EXPECT_TRUE(VarMod(kNull, 0).IsNull());
    EXPECT_THROW(VarMod(1, 0), EDivByZero);
    EXPECT_THROW(VarIntDiv(1, kUnassigned), EDivByZero);
    EXPECT_THROW(TVariant(1) / 0, EDivByZero);

    EXPECT_TRUE(VarAnd(true, false).Identical(false));
    EXPECT_TRUE(VarOr(true, false).Identical(true));
    EXPECT_TRUE(VarXor(true, true).Identical(false));
    EXPECT_TRUE(VarAnd(true, "True").Identical(true));
    EXPECT_TRUE(VarAnd(12, 10).Identical(8));
    EXPECT_TRUE(VarOr(12, 3).Identical(15));
    EXPECT_TRUE(VarXor(6, 3).Identical(5));
    EXPECT_TRUE(VarAnd(true, 6).Identical(6)); // true is -1: all bits
    EXPECT_TRUE(VarOr("1", 2).Identical(3));
    EXPECT_TRUE(VarAnd(kNull, true).IsNull());
    EXPECT_TRUE(VarNot(true).Identical(false));
    EXPECT_TRUE(VarNot(0).Identical(-1));
    EXPECT_TRUE(VarNot("false").Identical(true));
    EXPECT_TRUE(VarNot(kNull).IsNull());
}
