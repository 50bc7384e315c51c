#include "platform/rtl/string_list.h"

#include "platform/rtl/collation.h"
#include "platform/rtl/stream.h"
#include "platform/rtl/sysutils.h"

#include <algorithm>

namespace rtl {
namespace {

// Sorted lists are ordered by this; Find searches with it, so lines that
// differ only in ASCII case sit next to each other.
int CompareForFind(std::string_view a, std::string_view b) {
    const int c = AnsiCompareText(a, b);
    return c != 0 ? c : CompareText(a, b);
}

bool IsCommaTextBlank(unsigned char c) {
    return c <= ' ';
}

} // namespace

TStringList::TStringList(std::initializer_list<std::string_view> lines) {
    for (std::string_view s : lines) Add(s);
}

int TStringList::CompareLines(std::string_view a, std::string_view b) {
    const int c = CompareForFind(a, b);
    return c != 0 ? c : CompareStr(a, b);
}

void TStringList::CheckIndex(int index) const {
    if (index < 0 || index >= Count())
        throw EStringListError("List index out of bounds (" + std::to_string(index) + ")");
}

void TStringList::CheckUnsorted(const char* operation) const {
    if (sorted_)
        throw EStringListError(std::string("Operation not allowed on sorted list: ") + operation);
}

const std::string& TStringList::Get(int index) const {
    CheckIndex(index);
    return items_[index].text;
}

void TStringList::Put(int index, std::string_view s) {
    CheckUnsorted("Put");
    CheckIndex(index);
    items_[index].text.assign(s);
}

void* TStringList::Objects(int index) const {
    CheckIndex(index);
    return items_[index].object;
}

void TStringList::PutObject(int index, void* object) {
    CheckIndex(index);
    items_[index].object = object;
}

int TStringList::AddObject(std::string_view s, void* object) {
    if (!sorted_) {
        items_.push_back({std::string(s), object});
        return Count() - 1;
    }
    int index;
    if (Find(s, index)) {
        if (duplicates_ == TDuplicates::dupIgnore) return index;
        if (duplicates_ == TDuplicates::dupError)
            throw EStringListError("String list does not allow duplicates");
    }
    // The exact place in the total order, among equal lines too.
    auto at = std::lower_bound(items_.begin(), items_.end(), s, [](const Item& item, auto v) {
        return CompareLines(item.text, v) < 0;
    });
    index = static_cast<int>(at - items_.begin());
    items_.insert(at, {std::string(s), object});
    return index;
}

void TStringList::AddStrings(const TStringList& other) {
    if (&other == this) {
        const TStringList copy = other;
        AddStrings(copy);
        return;
    }
    for (const Item& item : other.items_) AddObject(item.text, item.object);
}

void TStringList::InsertObject(int index, std::string_view s, void* object) {
    CheckUnsorted("Insert");
    if (index < 0 || index > Count())
        throw EStringListError("List index out of bounds (" + std::to_string(index) + ")");
    items_.insert(items_.begin() + index, {std::string(s), object});
}

void TStringList::Delete(int index) {
    CheckIndex(index);
    items_.erase(items_.begin() + index);
}

void TStringList::Exchange(int index1, int index2) {
    CheckUnsorted("Exchange");
    CheckIndex(index1);
    CheckIndex(index2);
    std::swap(items_[index1], items_[index2]);
}

void TStringList::Move(int curIndex, int newIndex) {
    CheckUnsorted("Move");
    CheckIndex(curIndex);
    CheckIndex(newIndex);
    if (curIndex == newIndex) return;
    Item item = std::move(items_[curIndex]);
    items_.erase(items_.begin() + curIndex);
    items_.insert(items_.begin() + newIndex, std::move(item));
}

int TStringList::IndexOf(std::string_view s) const {
    if (sorted_) {
        int index;
        return Find(s, index) ? index : -1;
    }
    for (int i = 0; i < Count(); ++i)
        if (SameText(items_[i].text, s)) return i;
    return -1;
}

int TStringList::IndexOfObject(const void* object) const {
    for (int i = 0; i < Count(); ++i)
        if (items_[i].object == object) return i;
    return -1;
}

bool TStringList::Find(std::string_view s, int& index) const {
    auto at = std::lower_bound(items_.begin(), items_.end(), s, [](const Item& item, auto v) {
        return CompareForFind(item.text, v) < 0;
    });
    index = static_cast<int>(at - items_.begin());
    return at != items_.end() && SameText(at->text, s);
}

std::string TStringList::Names(int index) const {
    const std::string& s = Get(index);
    // '=' is below 0x40, so it is never the trail byte of a Chinese character.
    const size_t p = s.find('=');
    return p == std::string::npos ? std::string() : s.substr(0, p);
}

std::string TStringList::ValueFromIndex(int index) const {
    const std::string& s = Get(index);
    const size_t p = s.find('=');
    return p == std::string::npos ? std::string() : s.substr(p + 1);
}

int TStringList::IndexOfName(std::string_view name) const {
    for (int i = 0; i < Count(); ++i) {
        const std::string& s = items_[i].text;
        const size_t p = s.find('=');
        if (p != std::string::npos && SameText(std::string_view(s).substr(0, p), name)) return i;
    }
    return -1;
}

std::string TStringList::Values(std::string_view name) const {
    const int i = IndexOfName(name);
    return i < 0 ? std::string() : ValueFromIndex(i);
}

void TStringList::SetValue(std::string_view name, std::string_view value) {
    const int i = IndexOfName(name);
    std::string line(name);
    line += '=';
    line += value;
    if (value.empty()) {
        if (i >= 0) Delete(i);
    } else if (i < 0) {
        Add(line);
    } else if (sorted_) {
        void* object = items_[i].object;
        Delete(i);
        AddObject(line, object);
    } else {
        items_[i].text = std::move(line);
    }
}

std::string TStringList::Text() const {
    size_t n = 0;
    for (const Item& item : items_) n += item.text.size() + 2;
    std::string r;
    r.reserve(n);
    for (const Item& item : items_) {
        r += item.text;
        r += "\r\n";
    }
    return r;
}

void TStringList::SetText(std::string_view text) {
    Clear();
    // CR and LF are below 0x40: never part of a double-byte character.
    size_t i = 0;
    while (i < text.size()) {
        size_t start = i;
        while (i < text.size() && text[i] != '\r' && text[i] != '\n') ++i;
        Add(text.substr(start, i - start));
        if (i < text.size() && text[i] == '\r') ++i;
        if (i < text.size() && text[i] == '\n') ++i;
    }
}

std::string TStringList::CommaText() const {
    if (Count() == 1 && items_[0].text.empty()) return "\"\"";
    std::string r;
    for (int i = 0; i < Count(); ++i) {
        const std::string& s = items_[i].text;
        const bool quote = std::any_of(s.begin(), s.end(), [](char c) {
            return IsCommaTextBlank(static_cast<unsigned char>(c)) || c == '"' || c == ',';
        });
        if (i > 0) r += ',';
        if (!quote) {
            r += s;
            continue;
        }
        r += '"';
        for (char c : s) {
            if (c == '"') r += '"';
            r += c;
        }
        r += '"';
    }
    return r;
}

void TStringList::SetCommaText(std::string_view text) {
    Clear();
    size_t i = 0;
    const size_t n = text.size();
    auto skipBlanks = [&] {
        while (i < n && IsCommaTextBlank(static_cast<unsigned char>(text[i]))) ++i;
    };
    skipBlanks();
    while (i < n) {
        std::string item;
        if (text[i] == '"') {
            ++i;
            while (i < n) {
                if (text[i] == '"') {
                    if (i + 1 < n && text[i + 1] == '"') {
                        item += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                item += text[i++];
            }
        } else {
            const size_t start = i;
            while (i < n && !IsCommaTextBlank(static_cast<unsigned char>(text[i])) &&
                   text[i] != ',')
                ++i;
            item.assign(text.substr(start, i - start));
        }
        Add(item);
        skipBlanks();
        if (i < n && text[i] == ',') {
            ++i;
            if (i == n) Add(""); // a trailing comma ends an empty item
            skipBlanks();
        }
    }
}

void TStringList::SetSorted(bool sorted) {
    if (sorted == sorted_) return;
    if (sorted) Sort();
    sorted_ = sorted;
}

void TStringList::Sort() {
    std::stable_sort(items_.begin(), items_.end(),
                     [](const Item& a, const Item& b) { return CompareLines(a.text, b.text) < 0; });
}

void TStringList::CustomSort(const std::function<int(const TStringList&, int, int)>& compare) {
    if (sorted_ || Count() < 2) return;
    // Sort positions, then rearrange, so compare always sees this list as it was.
    std::vector<int> order(items_.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return compare(*this, a, b) < 0; });
    std::vector<Item> sorted;
    sorted.reserve(items_.size());
    for (int i : order) sorted.push_back(std::move(items_[i]));
    items_ = std::move(sorted);
}

void TStringList::Assign(const TStringList& other) {
    if (&other == this) return;
    Clear();
    AddStrings(other);
}

bool TStringList::Equals(const TStringList& other) const {
    if (Count() != other.Count()) return false;
    for (int i = 0; i < Count(); ++i)
        if (items_[i].text != other.items_[i].text) return false;
    return true;
}

void TStringList::LoadFromStream(TStream& stream) {
    SetText(stream.ReadBytes(stream.Remaining()));
}

void TStringList::SaveToStream(TStream& stream) const {
    stream.WriteBytes(Text());
}

void TStringList::LoadFromFile(const std::string& fileName) {
    TFileStream f(fileName, fmOpenRead);
    LoadFromStream(f);
}

void TStringList::SaveToFile(const std::string& fileName) const {
    TFileStream f(fileName, fmCreate);
    SaveToStream(f);
    f.Flush();
}

} // namespace rtl
