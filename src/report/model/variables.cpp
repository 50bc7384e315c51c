#include "report/model/variables.h"

#include "platform/rtl/sysutils.h"

#include <algorithm>
#include <stdexcept>

std::size_t TfrVariables::LowerBound(std::string_view name) const {
    const auto at = std::lower_bound(
        items_.begin(), items_.end(), name,
        [](const Entry& e, std::string_view n) { return rtl::CompareText(e.first, n) < 0; });
    return static_cast<std::size_t>(at - items_.begin());
}

int TfrVariables::IndexOf(std::string_view name) const {
    if (sorted_) {
        const std::size_t i = LowerBound(name);
        return i < items_.size() && rtl::SameText(items_[i].first, name) ? static_cast<int>(i) : -1;
    }
    for (std::size_t i = 0; i < items_.size(); ++i)
        if (rtl::SameText(items_[i].first, name)) return static_cast<int>(i);
    return -1;
}

int TfrVariables::CheckedIndex(int index) const {
    if (!InRange(index)) throw std::out_of_range("TfrVariables index " + std::to_string(index));
    return index;
}

void TfrVariables::SetVariable(std::string_view name, rtl::TVariant value) {
    if (sorted_) {
        const std::size_t i = LowerBound(name);
        if (i < items_.size() && rtl::SameText(items_[i].first, name))
            items_[i].second = std::move(value);
        else
            items_.emplace(items_.begin() + static_cast<std::ptrdiff_t>(i), std::string(name),
                           std::move(value));
        return;
    }
    const int i = IndexOf(name);
    if (i >= 0)
        items_[static_cast<std::size_t>(i)].second = std::move(value);
    else
        items_.emplace_back(std::string(name), std::move(value));
}

rtl::TVariant TfrVariables::GetVariable(std::string_view name) const {
    const int i = IndexOf(name);
    return i < 0 ? rtl::TVariant::Null() : items_[static_cast<std::size_t>(i)].second;
}

rtl::TVariant TfrVariables::GetValueAt(int index) const {
    return InRange(index) ? items_[static_cast<std::size_t>(index)].second : rtl::TVariant(0);
}

void TfrVariables::SetValueAt(int index, rtl::TVariant value) {
    if (InRange(index)) items_[static_cast<std::size_t>(index)].second = std::move(value);
}

std::string TfrVariables::GetNameAt(int index) const {
    return InRange(index) ? items_[static_cast<std::size_t>(index)].first : std::string();
}

void TfrVariables::SetNameAt(int index, std::string name) {
    if (!InRange(index)) return;
    if (!sorted_) {
        items_[static_cast<std::size_t>(index)].first = std::move(name);
        return;
    }
    // Re-inserted so the order holds; a name taken by another entry merges into it.
    rtl::TVariant value = std::move(items_[static_cast<std::size_t>(index)].second);
    items_.erase(items_.begin() + index);
    SetVariable(name, std::move(value));
}

void TfrVariables::InsertVariable(int position, std::string_view name) {
    int at = IndexOf(name);
    if (at < 0) {
        SetVariable(name, rtl::TVariant(0));
        at = IndexOf(name);
    } else {
        items_[static_cast<std::size_t>(at)].second = rtl::TVariant(0);
    }
    if (sorted_) return;
    position = std::clamp(position, 0, Count() - 1);
    Entry entry = std::move(items_[static_cast<std::size_t>(at)]);
    items_.erase(items_.begin() + at);
    items_.insert(items_.begin() + position, std::move(entry));
}

void TfrVariables::DeleteAt(int index) {
    if (InRange(index)) items_.erase(items_.begin() + index);
}

void TfrVariables::Assign(const TfrVariables& other) {
    if (this == &other) return;
    items_ = other.items_;
    sorted_ = other.sorted_;
}

void TfrVariables::SetSorted(bool sorted) {
    if (sorted == sorted_) return;
    sorted_ = sorted;
    if (!sorted_) return;
    std::stable_sort(items_.begin(), items_.end(), [](const Entry& a, const Entry& b) {
        return rtl::CompareText(a.first, b.first) < 0;
    });
    // Equal names are neighbours now; the first one added wins.
    items_.erase(
        std::unique(items_.begin(), items_.end(),
                    [](const Entry& a, const Entry& b) { return rtl::SameText(a.first, b.first); }),
        items_.end());
}

void TfrVariables::Insert(int index, std::string name, rtl::TVariant value) {
    if (sorted_) {
        SetVariable(name, std::move(value));
        return;
    }
    if (index < 0 || index > Count()) index = Count();
    items_.emplace(items_.begin() + index, std::move(name), std::move(value));
}
