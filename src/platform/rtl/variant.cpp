#include "platform/rtl/variant.h"

#include "platform/rtl/dateutils.h"
#include "platform/rtl/sysutils.h"

#include <cmath>
#include <limits>

namespace rtl {
namespace {

[[noreturn]] void CastError(TVarType from, TVarType to) {
    throw EVariantError(std::string("Could not convert variant of type (") + VarTypeName(from) +
                        ") into type (" + VarTypeName(to) + ")");
}

bool FitsInt32(long long v) {
    return v >= std::numeric_limits<int32_t>::min() && v <= std::numeric_limits<int32_t>::max();
}

TVariant FromInt64(long long v) {
    if (FitsInt32(v)) return TVariant(static_cast<int32_t>(v));
    return TVariant(static_cast<double>(v));
}

// Doubles to 32 bits: halves to even, and nothing outside the range.
bool TryRoundToInt32(double d, int32_t& out) {
    if (!std::isfinite(d)) return false;
    const double r = std::nearbyint(d);
    if (r < -2147483648.0 || r > 2147483647.0) return false;
    out = static_cast<int32_t>(r);
    return true;
}

// A string read as a number: an integer when it is one, else a double.
bool TryParseNumber(std::string_view s, bool& isInt, int32_t& i, double& d) {
    if (TryStrToInt(s, i)) {
        isInt = true;
        return true;
    }
    if (TryStrToFloat(s, d)) {
        isInt = false;
        return true;
    }
    return false;
}

// Boolean words only; numbers are left to the numeric rules.
bool TryBooleanWord(std::string_view s, bool& v) {
    if (SameText(s, "True")) return v = true, true;
    if (SameText(s, "False")) return v = false, true;
    return false;
}

// A non-null operand of arithmetic, reduced to a number.
struct Num {
    enum Kind { Int, Dbl, Date } kind;
    long long i = 0;
    double d = 0;

    double AsDouble() const { return kind == Int ? static_cast<double>(i) : d; }
};

// Next to a date, a string may also be date text ("2024-3-5 9:30").
Num ToNum(const TVariant& v, bool dateContext = false) {
    switch (v.VarType()) {
    case TVarType::Unassigned:
        return {Num::Int, 0, 0};
    case TVarType::Boolean:
        return {Num::Int, v.RawBoolean() ? -1 : 0, 0};
    case TVarType::Integer:
        return {Num::Int, v.RawInteger(), 0};
    case TVarType::Double:
        return {Num::Dbl, 0, v.RawDouble()};
    case TVarType::Date:
        return {Num::Date, 0, v.RawDouble()};
    case TVarType::String: {
        bool isInt;
        int32_t i;
        double d;
        if (TryParseNumber(v.RawString(), isInt, i, d))
            return isInt ? Num{Num::Int, i, 0} : Num{Num::Dbl, 0, d};
        if (dateContext && TryStrToDateTime(v.RawString(), d)) return {Num::Date, 0, d};
        CastError(TVarType::String, dateContext ? TVarType::Date : TVarType::Double);
    }
    case TVarType::Null:
        break;
    }
    CastError(v.VarType(), TVarType::Double);
}

enum class Op { Add, Sub, Mul };

TVariant Arithmetic(const TVariant& a, const TVariant& b, Op op) {
    if (a.IsNull() || b.IsNull()) return TVariant::Null();
    if (op == Op::Add) {
        // Strings concatenate; Unassigned is "" next to a string.
        const bool sa = a.IsString() || a.IsUnassigned();
        const bool sb = b.IsString() || b.IsUnassigned();
        if (sa && sb && (a.IsString() || b.IsString()))
            return TVariant(a.AsString() + b.AsString());
    }
    const Num x = ToNum(a, b.VarType() == TVarType::Date);
    const Num y = ToNum(b, a.VarType() == TVarType::Date);
    if (x.kind == Num::Int && y.kind == Num::Int) {
        // Both fit in 32 bits, so 64-bit arithmetic cannot overflow.
        switch (op) {
        case Op::Add:
            return FromInt64(x.i + y.i);
        case Op::Sub:
            return FromInt64(x.i - y.i);
        case Op::Mul:
            return FromInt64(x.i * y.i);
        }
    }
    const double p = x.AsDouble(), q = y.AsDouble();
    switch (op) {
    case Op::Add:
        // A date plus a number stays a date.
        if (x.kind == Num::Date || y.kind == Num::Date) return TVariant::Date(p + q);
        return TVariant(p + q);
    case Op::Sub:
        // A date minus a number is a date; the distance of two dates is days.
        if (x.kind == Num::Date && y.kind != Num::Date) return TVariant::Date(p - q);
        return TVariant(p - q);
    case Op::Mul:
        break;
    }
    return TVariant(p * q);
}

int32_t ToInt(const TVariant& v) {
    return v.AsInteger();
}

template <class T> int Compare(T a, T b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

TVariantRelationship FromSign(int c) {
    return c < 0 ? TVariantRelationship::vrLessThan
                 : (c > 0 ? TVariantRelationship::vrGreaterThan : TVariantRelationship::vrEqual);
}

// Logical when both sides are booleans (a boolean word counts next to a
// boolean, Unassigned as false); otherwise bitwise on integers.
enum class LogicOp { And, Or, Xor };

bool TryBool(const TVariant& v, bool& out) {
    if (v.VarType() == TVarType::Boolean) return out = v.RawBoolean(), true;
    if (v.IsUnassigned()) return out = false, true;
    if (v.IsString()) return TryBooleanWord(v.RawString(), out);
    return false;
}

TVariant Logic(const TVariant& a, const TVariant& b, LogicOp op) {
    if (a.IsNull() || b.IsNull()) return TVariant::Null();
    if (a.VarType() == TVarType::Boolean || b.VarType() == TVarType::Boolean) {
        bool x, y;
        if (TryBool(a, x) && TryBool(b, y)) {
            switch (op) {
            case LogicOp::And:
                return TVariant(x && y);
            case LogicOp::Or:
                return TVariant(x || y);
            case LogicOp::Xor:
                return TVariant(x != y);
            }
        }
    }
    const int32_t x = ToInt(a), y = ToInt(b);
    switch (op) {
    case LogicOp::And:
        return TVariant(x & y);
    case LogicOp::Or:
        return TVariant(x | y);
    case LogicOp::Xor:
        break;
    }
    return TVariant(x ^ y);
}

} // namespace

const char* VarTypeName(TVarType type) {
    switch (type) {
    case TVarType::Unassigned:
        return "Empty";
    case TVarType::Null:
        return "Null";
    case TVarType::Boolean:
        return "Boolean";
    case TVarType::Integer:
        return "Integer";
    case TVarType::Double:
        return "Double";
    case TVarType::Date:
        return "Date";
    case TVarType::String:
        return "String";
    }
    return "Unknown";
}

TVariant TVariant::Null() {
    TVariant v;
    v.type_ = TVarType::Null;
    return v;
}

TVariant TVariant::Date(double d) {
    TVariant v(d);
    v.type_ = TVarType::Date;
    return v;
}

void TVariant::SetInteger(long long v) {
    if (FitsInt32(v)) {
        type_ = TVarType::Integer;
        num_.i = static_cast<int32_t>(v);
    } else {
        type_ = TVarType::Double;
        num_.d = static_cast<double>(v);
    }
}

bool TVariant::IsNumeric() const {
    return type_ == TVarType::Integer || type_ == TVarType::Double || type_ == TVarType::Date;
}

std::string TVariant::AsString() const {
    switch (type_) {
    case TVarType::Unassigned:
    case TVarType::Null:
        return {};
    case TVarType::Boolean:
        return num_.b ? "True" : "False";
    case TVarType::Integer:
        return IntToStr(num_.i);
    case TVarType::Double:
        return FloatToStr(num_.d);
    case TVarType::Date:
        return DateTimeToStr(num_.d);
    case TVarType::String:
        break;
    }
    return str_;
}

double TVariant::AsDouble() const {
    switch (type_) {
    case TVarType::Unassigned:
        return 0;
    case TVarType::Boolean:
        return num_.b ? -1 : 0;
    case TVarType::Integer:
        return num_.i;
    case TVarType::Double:
    case TVarType::Date:
        return num_.d;
    case TVarType::String: {
        const Num n = ToNum(*this);
        return n.AsDouble();
    }
    case TVarType::Null:
        break;
    }
    CastError(type_, TVarType::Double);
}

int32_t TVariant::AsInteger() const {
    int32_t r;
    switch (type_) {
    case TVarType::Unassigned:
        return 0;
    case TVarType::Boolean:
        return num_.b ? -1 : 0;
    case TVarType::Integer:
        return num_.i;
    case TVarType::Double:
    case TVarType::Date:
        if (TryRoundToInt32(num_.d, r)) return r;
        break;
    case TVarType::String: {
        bool isInt;
        double d;
        if (TryParseNumber(str_, isInt, r, d) && (isInt || TryRoundToInt32(d, r))) return r;
        break;
    }
    case TVarType::Null:
        break;
    }
    CastError(type_, TVarType::Integer);
}

bool TVariant::AsBoolean() const {
    switch (type_) {
    case TVarType::Unassigned:
        return false;
    case TVarType::Boolean:
        return num_.b;
    case TVarType::Integer:
        return num_.i != 0;
    case TVarType::Double:
    case TVarType::Date:
        return num_.d != 0;
    case TVarType::String: {
        bool b, isInt;
        int32_t i;
        double d;
        if (TryBooleanWord(str_, b)) return b;
        if (TryParseNumber(str_, isInt, i, d)) return isInt ? i != 0 : d != 0;
        break;
    }
    case TVarType::Null:
        break;
    }
    CastError(type_, TVarType::Boolean);
}

double TVariant::AsDate() const {
    switch (type_) {
    case TVarType::String: {
        double d;
        if (TryStrToDateTime(str_, d)) return d;
        break;
    }
    case TVarType::Null:
        break;
    default:
        return AsDouble();
    }
    CastError(type_, TVarType::Date);
}

bool TVariant::AsCondition() const {
    if (IsNull() || IsUnassigned()) return false;
    return AsBoolean();
}

bool TVariant::Identical(const TVariant& other) const {
    if (type_ != other.type_) return false;
    switch (type_) {
    case TVarType::Unassigned:
    case TVarType::Null:
        return true;
    case TVarType::Boolean:
        return num_.b == other.num_.b;
    case TVarType::Integer:
        return num_.i == other.num_.i;
    case TVarType::Double:
    case TVarType::Date:
        return num_.d == other.num_.d || (std::isnan(num_.d) && std::isnan(other.num_.d));
    case TVarType::String:
        break;
    }
    return str_ == other.str_;
}

TVariant operator+(const TVariant& a, const TVariant& b) {
    return Arithmetic(a, b, Op::Add);
}

TVariant operator-(const TVariant& a, const TVariant& b) {
    return Arithmetic(a, b, Op::Sub);
}

TVariant operator*(const TVariant& a, const TVariant& b) {
    return Arithmetic(a, b, Op::Mul);
}

TVariant operator/(const TVariant& a, const TVariant& b) {
    if (a.IsNull() || b.IsNull()) return TVariant::Null();
    const double q = ToNum(b).AsDouble();
    if (q == 0) throw EDivByZero();
    return TVariant(ToNum(a).AsDouble() / q);
}

TVariant operator-(const TVariant& a) {
    switch (a.VarType()) {
    case TVarType::Null:
        return a;
    case TVarType::Date:
        return TVariant::Date(-a.RawDouble());
    default:
        break;
    }
    const Num n = ToNum(a);
    if (n.kind == Num::Int) return FromInt64(-n.i);
    return TVariant(-n.d);
}

TVariant VarIntDiv(const TVariant& a, const TVariant& b) {
    if (a.IsNull() || b.IsNull()) return TVariant::Null();
    const long long x = ToInt(a), y = ToInt(b);
    if (y == 0) throw EDivByZero();
    return FromInt64(x / y); // -2^31 div -1 leaves 32 bits: a double
}

TVariant VarMod(const TVariant& a, const TVariant& b) {
    if (a.IsNull() || b.IsNull()) return TVariant::Null();
    const long long x = ToInt(a), y = ToInt(b);
    if (y == 0) throw EDivByZero();
    return TVariant(static_cast<int32_t>(x % y));
}

TVariant VarAnd(const TVariant& a, const TVariant& b) {
    return Logic(a, b, LogicOp::And);
}

TVariant VarOr(const TVariant& a, const TVariant& b) {
    return Logic(a, b, LogicOp::Or);
}

TVariant VarXor(const TVariant& a, const TVariant& b) {
    return Logic(a, b, LogicOp::Xor);
}

TVariant VarNot(const TVariant& a) {
    if (a.IsNull()) return a;
    bool v;
    if (a.VarType() == TVarType::Boolean || (a.IsString() && TryBooleanWord(a.RawString(), v)))
        return TVariant(!a.AsBoolean());
    return TVariant(~ToInt(a));
}

TVariantRelationship VarCompareValue(const TVariant& a, const TVariant& b) {
    if (a.IsNull() || b.IsNull())
        return a.IsNull() && b.IsNull() ? TVariantRelationship::vrEqual
                                        : TVariantRelationship::vrNotEqual;
    // Strings (Unassigned reads as "" next to one) compare byte-wise.
    const bool sa = a.IsString() || a.IsUnassigned();
    const bool sb = b.IsString() || b.IsUnassigned();
    if (sa && sb) return FromSign(CompareStr(a.AsString(), b.AsString()));
    // A boolean word against a boolean compares as a boolean.
    bool x, y;
    if ((a.VarType() == TVarType::Boolean || b.VarType() == TVarType::Boolean) && TryBool(a, x) &&
        TryBool(b, y))
        return FromSign((x ? -1 : 0) - (y ? -1 : 0));
    const Num p = ToNum(a, b.VarType() == TVarType::Date);
    const Num q = ToNum(b, a.VarType() == TVarType::Date);
    if (p.kind == Num::Int && q.kind == Num::Int) return FromSign(Compare(p.i, q.i));
    return FromSign(Compare(p.AsDouble(), q.AsDouble()));
}

bool operator==(const TVariant& a, const TVariant& b) {
    return VarCompareValue(a, b) == TVariantRelationship::vrEqual;
}
bool operator!=(const TVariant& a, const TVariant& b) {
    return VarCompareValue(a, b) != TVariantRelationship::vrEqual;
}
bool operator<(const TVariant& a, const TVariant& b) {
    return VarCompareValue(a, b) == TVariantRelationship::vrLessThan;
}
bool operator<=(const TVariant& a, const TVariant& b) {
    const TVariantRelationship r = VarCompareValue(a, b);
    return r == TVariantRelationship::vrLessThan || r == TVariantRelationship::vrEqual;
}
bool operator>(const TVariant& a, const TVariant& b) {
    return VarCompareValue(a, b) == TVariantRelationship::vrGreaterThan;
}
bool operator>=(const TVariant& a, const TVariant& b) {
    const TVariantRelationship r = VarCompareValue(a, b);
    return r == TVariantRelationship::vrGreaterThan || r == TVariantRelationship::vrEqual;
}

} // namespace rtl
