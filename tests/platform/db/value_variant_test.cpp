#include "platform/db/value.h"

#include <gtest/gtest.h>

using db::Value;
using rtl::TVarType;

TEST(DbValue, ToVariantKeepsKindAndValue) {
    struct Case {
        Value in;
        TVarType type;
        std::string text;
    } cases[] = {
        {Value(), TVarType::Null, ""},
        {Value::FromBoolean(true), TVarType::Boolean, "True"},
        {Value::FromInteger(-42), TVarType::Integer, "-42"},
        {Value::FromInteger(5000000000LL), TVarType::Double, "5000000000"}, // past 32 bits
        {Value::FromFloat(2.5), TVarType::Double, "2.5"},
        {Value::FromDateTime(45356.5), TVarType::Date, "2024-3-5 12:00:00"},
        {Value::FromString("\xCC\xF5\xC2\xEB"), TVarType::String, "\xCC\xF5\xC2\xEB"},
        {Value::FromBytes(std::string("a\0b", 3)), TVarType::String, std::string("a\0b", 3)},
    };
    for (const Case& c : cases) {
        const rtl::TVariant v = c.in.ToVariant();
        EXPECT_EQ(v.VarType(), c.type) << c.text;
        EXPECT_EQ(v.AsString(), c.text);
    }
}
