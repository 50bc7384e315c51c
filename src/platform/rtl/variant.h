#pragma once
// TVariant: the engine's dynamically typed value (field values, expression
// results, variables). Unassigned, Null, Boolean, 32-bit Integer, Double,
// Date (a double counting days since 1899-12-30) or String (CP936 bytes).
//
// Rules, in short:
// - Text form: IntToStr, FloatToStr, "True"/"False", dates as DateTimeToStr,
//   Null and Unassigned as "".
// - Arithmetic: two strings concatenate under +; a string meeting a number is
//   converted to a number; integer results that leave 32 bits become doubles;
//   a double makes the result a double, a date plus or minus a number stays a
//   date; Null anywhere gives Null; Unassigned counts as 0 or "".
// - Booleans count as -1 (true) and 0 (false) among numbers.
// - Comparisons: strings byte-wise; a string against a number numerically;
//   Null equals only Null.
// - Failed conversions raise EVariantError with the message
//   "Could not convert variant of type (From) into type (To)".

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>

namespace rtl {

class EVariantError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Division or remainder by zero.
class EDivByZero : public std::runtime_error {
public:
    EDivByZero() : std::runtime_error("Division by zero") {}
};

enum class TVarType : uint8_t { Unassigned, Null, Boolean, Integer, Double, Date, String };

// "Empty", "Null", "Boolean", "Integer", "Double", "Date", "String".
const char* VarTypeName(TVarType type);

class TVariant {
public:
    TVariant() = default; // Unassigned
    TVariant(bool v) : type_(TVarType::Boolean) { num_.b = v; }
    // Any integer type; values outside 32 bits become doubles.
    template <std::integral T>
    requires(!std::same_as<T, bool> && !std::same_as<T, char> && !std::same_as<T, char8_t>)
        TVariant(T v) {
        if constexpr (std::is_unsigned_v<T> && sizeof(T) >= sizeof(long long)) {
            if (v > static_cast<unsigned long long>(INT64_MAX)) {
                type_ = TVarType::Double;
                num_.d = static_cast<double>(v);
                return;
            }
        }
        SetInteger(static_cast<long long>(v));
    }
    TVariant(double v) : type_(TVarType::Double) { num_.d = v; }
    TVariant(std::string v) : type_(TVarType::String), str_(std::move(v)) {}
    TVariant(std::string_view v) : type_(TVarType::String), str_(v) {}
    TVariant(const char* v) : type_(TVarType::String), str_(v ? v : "") {}
    TVariant(std::nullptr_t) = delete;

    static TVariant Null();
    static TVariant Date(double v);

    TVarType VarType() const { return type_; }
    bool IsUnassigned() const { return type_ == TVarType::Unassigned; }
    bool IsNull() const { return type_ == TVarType::Null; }
    bool IsString() const { return type_ == TVarType::String; }
    // Integer, Double or Date.
    bool IsNumeric() const;

    // Conversions; EVariantError when the value has no such form.
    std::string AsString() const; // never fails
    double AsDouble() const;
    // Doubles round halves to even; outside 32 bits fails.
    int32_t AsInteger() const;
    // Strings: "True"/"False" in any case, or a number (non-zero is true).
    bool AsBoolean() const;
    double AsDate() const;
    // As a condition: Null and Unassigned are false, anything else AsBoolean.
    bool AsCondition() const;

    // The stored value without conversion (for callers that checked VarType).
    bool RawBoolean() const { return num_.b; }
    int32_t RawInteger() const { return num_.i; }
    double RawDouble() const { return num_.d; } // Double and Date
    const std::string& RawString() const { return str_; }

    // Same type and same value (no conversion); for caches and tests.
    bool Identical(const TVariant& other) const;

private:
    void SetInteger(long long v);

    TVarType type_ = TVarType::Unassigned;
    union {
        bool b;
        int32_t i;
        double d;
    } num_{};
    std::string str_;
};

TVariant operator+(const TVariant& a, const TVariant& b);
TVariant operator-(const TVariant& a, const TVariant& b);
TVariant operator*(const TVariant& a, const TVariant& b);
// Always a double; EDivByZero for a zero divisor.
TVariant operator/(const TVariant& a, const TVariant& b);
TVariant operator-(const TVariant& a);

// Integer quotient (truncated) and remainder (sign of the dividend) of the
// operands converted to integers; EDivByZero for a zero divisor.
TVariant VarIntDiv(const TVariant& a, const TVariant& b);
TVariant VarMod(const TVariant& a, const TVariant& b);
// Logical on two booleans, bitwise on integers.
TVariant VarAnd(const TVariant& a, const TVariant& b);
TVariant VarOr(const TVariant& a, const TVariant& b);
TVariant VarXor(const TVariant& a, const TVariant& b);
TVariant VarNot(const TVariant& a);

enum class TVariantRelationship { vrEqual, vrLessThan, vrGreaterThan, vrNotEqual };
// vrNotEqual only when exactly one side is Null.
TVariantRelationship VarCompareValue(const TVariant& a, const TVariant& b);

bool operator==(const TVariant& a, const TVariant& b);
bool operator!=(const TVariant& a, const TVariant& b);
bool operator<(const TVariant& a, const TVariant& b);
bool operator<=(const TVariant& a, const TVariant& b);
bool operator>(const TVariant& a, const TVariant& b);
bool operator>=(const TVariant& a, const TVariant& b);

} // namespace rtl
