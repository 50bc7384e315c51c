#pragma once
// An ordered name -> value list with names compared without letter case:
// dictionary variables, field aliases, script variables and constants.

#include "platform/rtl/variant.h"

#include <string>
#include <string_view>
#include <utility>
#include <vector>

class TfrVariables {
public:
    int Count() const { return static_cast<int>(items_.size()); }
    bool Empty() const { return items_.empty(); }
    void Clear() { items_.clear(); }

    const std::string& Name(int index) const { return items_.at(index).first; }
    void SetName(int index, std::string name) { items_.at(index).first = std::move(name); }
    const rtl::TVariant& Value(int index) const { return items_.at(index).second; }
    void SetValue(int index, rtl::TVariant value) { items_.at(index).second = std::move(value); }

    // -1 when absent; letter case ignored (ASCII).
    int IndexOf(std::string_view name) const;
    bool Contains(std::string_view name) const { return IndexOf(name) >= 0; }
    // Null for an unknown name.
    rtl::TVariant Get(std::string_view name) const;
    // Replaces the value of an existing name, else appends.
    void Set(std::string_view name, rtl::TVariant value);
    void Insert(int index, std::string name, rtl::TVariant value);
    void Delete(int index);

private:
    std::vector<std::pair<std::string, rtl::TVariant>> items_;
};
