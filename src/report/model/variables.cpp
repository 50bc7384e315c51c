#include "report/model/variables.h"

#include "platform/rtl/sysutils.h"

int TfrVariables::IndexOf(std::string_view name) const {
    for (int i = 0; i < Count(); ++i)
        if (rtl::SameText(items_[i].first, name)) return i;
    return -1;
}

rtl::TVariant TfrVariables::Get(std::string_view name) const {
    const int i = IndexOf(name);
    return i < 0 ? rtl::TVariant::Null() : items_[i].second;
}

void TfrVariables::Set(std::string_view name, rtl::TVariant value) {
    const int i = IndexOf(name);
    if (i >= 0)
        items_[i].second = std::move(value);
    else
        items_.emplace_back(std::string(name), std::move(value));
}

void TfrVariables::Insert(int index, std::string name, rtl::TVariant value) {
    if (index < 0 || index > Count()) index = Count();
    items_.emplace(items_.begin() + index, std::move(name), std::move(value));
}

void TfrVariables::Delete(int index) {
    if (index >= 0 && index < Count()) items_.erase(items_.begin() + index);
}
