#include "report/model/property_table.h"

#include <stdexcept>

using rtl::TVariant;

namespace {

unsigned char FoldAscii(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u >= 'a' && u <= 'z' ? static_cast<unsigned char>(u - 'a' + 'A') : u;
}

} // namespace

bool TfrPropertyEntry::IsListed(const TfrObject& object) const {
    return (Access & fpListed) != 0 && (!ListedWhen || ListedWhen(object));
}

TVariant TfrPropertyEntry::Read(TfrObject& object) const {
    return Get ? Get(object) : TVariant::Null();
}

void TfrPropertyEntry::Write(TfrObject& object, const TVariant& value) const {
    if (Set) Set(object, value);
}

void TfrPropertyEntry::Choices(TfrObject& object, std::string& names,
                               std::vector<TVariant>& values) const {
    if (MakeChoices) {
        names.clear();
        values.clear();
        MakeChoices(object, names, values);
    } else {
        names = ChoiceNames;
        values = ChoiceValues;
    }
}

std::size_t TfrPropertyTable::FoldHash::operator()(std::string_view s) const {
    // FNV-1a over the upper-cased bytes.
    std::size_t h = 14695981039346656037ull;
    for (char c : s) {
        h ^= FoldAscii(c);
        h *= 1099511628211ull;
    }
    return h;
}

bool TfrPropertyTable::FoldEqual::operator()(std::string_view a, std::string_view b) const {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
    return true;
}

const TfrPropertyEntry* TfrPropertyTable::Find(std::string_view name) const {
    const auto it = named_.find(name);
    return it == named_.end() ? nullptr : &entries_[it->second];
}

TfrPropertyEntry& TfrPropertyTable::Append(TfrPropertyEntry entry) {
    entries_.push_back(std::move(entry));
    Reindex();
    return entries_.back();
}

TfrPropertyEntry& TfrPropertyTable::InsertAfter(std::size_t index, TfrPropertyEntry entry) {
    entries_.insert(entries_.begin() + static_cast<std::ptrdiff_t>(index + 1), std::move(entry));
    Reindex();
    return entries_[index + 1];
}

std::size_t TfrPropertyTable::IndexOf(std::string_view name) const {
    if (const auto it = named_.find(name); it != named_.end()) return it->second;
    for (std::size_t i = 0; i < entries_.size(); ++i)
        if (FoldEqual{}(entries_[i].Name, name)) return i;
    throw std::logic_error("No property entry " + std::string(name));
}

void TfrPropertyTable::Reindex() {
    named_.clear();
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (!entries_[i].IsNamed()) continue;
        // One name, one meaning: a second named entry would hide the first.
        if (!named_.emplace(entries_[i].Name, i).second)
            throw std::logic_error("Two property entries named " + entries_[i].Name);
    }
}
