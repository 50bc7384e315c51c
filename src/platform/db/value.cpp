#include "platform/db/value.h"

#include "platform/rtl/sysutils.h"

#include <utility>

namespace db {

Value Value::FromBoolean(bool v) {
    Value r;
    r.kind_ = Kind::Boolean;
    r.num_.i = v ? 1 : 0;
    return r;
}

Value Value::FromInteger(std::int64_t v) {
    Value r;
    r.kind_ = Kind::Integer;
    r.num_.i = v;
    return r;
}

Value Value::FromFloat(double v) {
    Value r;
    r.kind_ = Kind::Float;
    r.num_.d = v;
    return r;
}

Value Value::FromDateTime(double v) {
    Value r;
    r.kind_ = Kind::DateTime;
    r.num_.d = v;
    return r;
}

Value Value::FromString(std::string cp936) {
    Value r;
    r.kind_ = Kind::String;
    r.text_ = std::move(cp936);
    return r;
}

Value Value::FromBytes(std::string bytes) {
    Value r;
    r.kind_ = Kind::Bytes;
    r.text_ = std::move(bytes);
    return r;
}

void Value::AssignText(Kind kind, std::string_view bytes) {
    kind_ = kind == Kind::Bytes ? Kind::Bytes : Kind::String;
    num_.i = 0;
    text_.assign(bytes.data(), bytes.size());
}

double Value::AsFloat() const {
    return kind_ == Kind::Float || kind_ == Kind::DateTime ? num_.d : 0.0;
}

std::string Value::ToString() const {
    switch (kind_) {
    case Kind::Null:
        return {};
    case Kind::Boolean:
        return num_.i ? "True" : "False";
    case Kind::Integer:
        return rtl::IntToStr(num_.i);
    case Kind::Float:
        return rtl::FloatToStr(num_.d);
    case Kind::DateTime:
        return rtl::DateTimeToStr(num_.d);
    case Kind::String:
    case Kind::Bytes:
        return text_;
    }
    return {};
}

bool operator==(const Value& a, const Value& b) {
    if (a.kind_ != b.kind_) return false;
    switch (a.kind_) {
    case Value::Kind::Null:
        return true;
    case Value::Kind::Boolean:
    case Value::Kind::Integer:
        return a.num_.i == b.num_.i;
    case Value::Kind::Float:
    case Value::Kind::DateTime:
        return a.num_.d == b.num_.d;
    case Value::Kind::String:
    case Value::Kind::Bytes:
        return a.text_ == b.text_;
    }
    return false;
}

} // namespace db

rtl::TVariant db::Value::ToVariant() const {
    switch (kind_) {
    case Kind::Null:
        return rtl::TVariant::Null();
    case Kind::Boolean:
        return rtl::TVariant(num_.i != 0);
    case Kind::Integer:
        return rtl::TVariant(num_.i);
    case Kind::Float:
        return rtl::TVariant(num_.d);
    case Kind::DateTime:
        return rtl::TVariant::Date(num_.d);
    case Kind::String:
    case Kind::Bytes:
        return rtl::TVariant(text_);
    }
    return {};
}
