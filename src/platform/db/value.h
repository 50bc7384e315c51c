#pragma once
// One field value as read from a database file.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/rtl/variant.h"

namespace db {

// Null, or one of: boolean, 64-bit integer, double, date-time (days since
// 1899-12-30, the fraction is the time of day), CP936 text, raw bytes.
class Value {
public:
    enum class Kind : std::uint8_t { Null, Boolean, Integer, Float, DateTime, String, Bytes };

    Value() = default;
    static Value FromBoolean(bool v);
    static Value FromInteger(std::int64_t v);
    static Value FromFloat(double v);
    static Value FromDateTime(double v);
    static Value FromString(std::string cp936);
    static Value FromBytes(std::string bytes);

    // Makes this a String or Bytes value holding `bytes`, reusing the text
    // buffer it has: for readers that fill one value over and over.
    void AssignText(Kind kind, std::string_view bytes);

    Kind GetKind() const { return kind_; }
    bool IsNull() const { return kind_ == Kind::Null; }

    // Each reads the value of its own kind; any other kind gives false, 0 or
    // "" (no conversion: callers convert through ToString or the variant).
    bool AsBoolean() const { return kind_ == Kind::Boolean && num_.i != 0; }
    std::int64_t AsInteger() const { return kind_ == Kind::Integer ? num_.i : 0; }
    // Float or date-time.
    double AsFloat() const;
    // String or bytes.
    const std::string& Text() const { return text_; }

    // Integers plain decimal, floats as FloatToStr, date-times as
    // DateTimeToStr, booleans "True"/"False", text and bytes as they are,
    // null "".
    std::string ToString() const;

    // The engine's variant of this value: integers outside 32 bits become
    // doubles, bytes become their raw string.
    rtl::TVariant ToVariant() const;

    friend bool operator==(const Value& a, const Value& b);

private:
    Kind kind_ = Kind::Null;
    union {
        std::int64_t i;
        double d;
    } num_{0};
    std::string text_;
};

} // namespace db
