#pragma once
// An ordered name -> value list with names compared without letter case:
// dictionary variables, field aliases, script variables, engine constants
// and aggregate accumulators.
//
// Unsorted by default: entries keep the order they were added in, and a
// list read from a file keeps its entries exactly (Insert appends even a
// name already present). Sorted, names are kept in order of CompareText so
// look-ups are binary searches; a sorted list holds every name once.

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

    // -1 when absent; letter case ignored (ASCII).
    int IndexOf(std::string_view name) const;
    bool Contains(std::string_view name) const { return IndexOf(name) >= 0; }

    // Adds the name, or overwrites the value of the entry that has it.
    void SetVariable(std::string_view name, rtl::TVariant value);
    // Null when the name is absent.
    rtl::TVariant GetVariable(std::string_view name) const;

    // Lenient access by index, as scripts use it: out of range reads give 0
    // (a value) or "" (a name), and writes and deletes are ignored.
    rtl::TVariant GetValueAt(int index) const;
    void SetValueAt(int index, rtl::TVariant value);
    std::string GetNameAt(int index) const;
    // A sorted list moves the renamed entry to its new place.
    void SetNameAt(int index, std::string name);
    // Makes sure the name exists (a new one with the value 0) and moves its
    // entry to `position`; a sorted list keeps its order instead.
    void InsertVariable(int position, std::string_view name);
    void DeleteAt(int index);

    // Clears, then copies every name and value in order (and the sorting).
    void Assign(const TfrVariables& other);
    bool Sorted() const { return sorted_; }
    // Turning sorting on sorts the entries and drops later duplicates.
    void SetSorted(bool sorted);

    // Checked access (std::out_of_range for a bad index), for code that
    // walks the list itself.
    const std::string& Name(int index) const { return items_.at(Slot(index)).first; }
    void SetName(int index, std::string name) { SetNameAt(CheckedIndex(index), std::move(name)); }
    const rtl::TVariant& Value(int index) const { return items_.at(Slot(index)).second; }
    void SetValue(int index, rtl::TVariant value) {
        items_.at(Slot(index)).second = std::move(value);
    }

    // Short forms of GetVariable and SetVariable.
    rtl::TVariant Get(std::string_view name) const { return GetVariable(name); }
    void Set(std::string_view name, rtl::TVariant value) { SetVariable(name, std::move(value)); }
    // Inserts an entry at `index` (clipped to the list) even when the name
    // exists already, as readers of stored lists need; a sorted list puts
    // a new name in its place and overwrites an existing one.
    void Insert(int index, std::string name, rtl::TVariant value);
    void Delete(int index) { DeleteAt(index); }

private:
    using Entry = std::pair<std::string, rtl::TVariant>;
    static std::size_t Slot(int index) {
        return index < 0 ? static_cast<std::size_t>(-1) : static_cast<std::size_t>(index);
    }
    int CheckedIndex(int index) const;
    // Sorted lists: first entry not ordered before the name.
    std::size_t LowerBound(std::string_view name) const;
    bool InRange(int index) const { return index >= 0 && index < Count(); }

    std::vector<Entry> items_;
    bool sorted_ = false;
};
