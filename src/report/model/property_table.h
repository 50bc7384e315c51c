#pragma once
// One table of named properties per object class. The object inspector lists
// its entries, scripts and expressions read and write them by name, and the
// inspector's editor buttons open from them, so the three cannot drift apart.
//
// A class's table is its base's table, copied when first used, with the
// class's own changes and additions: a name finds what the most derived
// class says about it. Differences that the documented behaviour needs are
// marked on the entry itself: an entry without a setter is read-only, one
// without a getter reads null, one not fpNamed is only listed (reached
// through the inspector), one not fpListed is reached by name only, and
// fpReadsOtherForm marks an entry that reads back another form of the value
// it writes.

#include "platform/rtl/variant.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <vector>

class TfrObject;

// How an entry is reached (TfrPropertyEntry::Access).
constexpr uint8_t fpListed = 1;         // in the inspector's list, where ListedWhen allows
constexpr uint8_t fpNamed = 2;          // found by name: ReadProperty, WriteProperty
constexpr uint8_t fpReadsOtherForm = 4; // reading gives another form of what was written

struct TfrPropertyEntry {
    std::string Name;  // as listed; at most 32 characters
    uint16_t Type = 0; // frdt* flags shown to the inspector
    uint8_t Access = fpListed | fpNamed;
    // Unset: reading gives null, writing is ignored.
    std::function<rtl::TVariant(TfrObject&)> Get;
    std::function<void(TfrObject&, const rtl::TVariant&)> Set;
    // The inspector's editor button; unset when there is none.
    std::function<void(TfrObject&)> Edit;
    // Unset: listed for every object of the class (with fpListed).
    std::function<bool(const TfrObject&)> ListedWhen;
    // Choices of an frdtEnum entry: ";"-separated names and their values in
    // order, or made for the object when MakeChoices is set.
    std::string ChoiceNames;
    std::vector<rtl::TVariant> ChoiceValues;
    std::function<void(TfrObject&, std::string& names, std::vector<rtl::TVariant>& values)>
        MakeChoices;

    bool IsNamed() const { return (Access & fpNamed) != 0; }
    bool IsListed(const TfrObject& object) const;
    bool CanRead() const { return static_cast<bool>(Get); }
    bool CanWrite() const { return static_cast<bool>(Set); }
    // Null when the entry cannot be read; a write it cannot take is ignored.
    rtl::TVariant Read(TfrObject& object) const;
    void Write(TfrObject& object, const rtl::TVariant& value) const;
    // The choices for this object (MakeChoices, else the fixed ones).
    void Choices(TfrObject& object, std::string& names, std::vector<rtl::TVariant>& values) const;
};

class TfrPropertyTable {
public:
    TfrPropertyTable() = default;

    // Every entry, in the inspector's order.
    const std::vector<TfrPropertyEntry>& Entries() const { return entries_; }
    // The entry reached by that name, letter case ignored (ASCII, as the
    // engine's names are); null when there is none. Does not allocate.
    const TfrPropertyEntry* Find(std::string_view name) const;

    // Building (TfrPropertyTableBuilder).
    TfrPropertyEntry& Append(TfrPropertyEntry entry);
    // Puts `entry` right after the entry at `index`.
    TfrPropertyEntry& InsertAfter(std::size_t index, TfrPropertyEntry entry);
    // The index of the entry reached by that name, else of the first entry
    // listed under it; throws std::logic_error when there is none.
    std::size_t IndexOf(std::string_view name) const;
    TfrPropertyEntry& At(std::size_t index) { return entries_.at(index); }
    // Rebuilds the name index after entries changed their access or name.
    void Reindex();

    struct FoldHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const;
    };
    struct FoldEqual {
        using is_transparent = void;
        bool operator()(std::string_view a, std::string_view b) const;
    };

private:
    std::vector<TfrPropertyEntry> entries_;
    std::unordered_map<std::string, std::size_t, FoldHash, FoldEqual> named_;
};

// Builds the table of class T from its base's table, in the inspector's
// order. The accessors take the object as a T.
template <class T> class TfrPropertyTableBuilder {
public:
    using Getter = std::function<rtl::TVariant(T&)>;
    using Setter = std::function<void(T&, const rtl::TVariant&)>;

    // Refines one entry of the table being built.
    class EntryRef {
    public:
        EntryRef(TfrPropertyTable& table, std::size_t index) : table_(table), index_(index) {}
        TfrPropertyEntry& Entry() { return table_.At(index_); }

        EntryRef& Reads(Getter get) {
            Entry().Get = get ? Wrap(std::move(get)) : nullptr;
            return *this;
        }
        EntryRef& Writes(Setter set) {
            if (set) {
                Entry().Set = [set = std::move(set)](TfrObject& o, const rtl::TVariant& v) {
                    set(static_cast<T&>(o), v);
                };
            } else {
                Entry().Set = nullptr;
            }
            return *this;
        }
        EntryRef& Editor(std::function<void(T&)> edit) {
            Entry().Edit = [edit = std::move(edit)](TfrObject& o) { edit(static_cast<T&>(o)); };
            return *this;
        }
        EntryRef& When(std::function<bool(const T&)> listed) {
            Entry().ListedWhen = [listed = std::move(listed)](const TfrObject& o) {
                return listed(static_cast<const T&>(o));
            };
            return *this;
        }
        EntryRef& Choices(std::string names, std::vector<rtl::TVariant> values) {
            Entry().ChoiceNames = std::move(names);
            Entry().ChoiceValues = std::move(values);
            return *this;
        }
        EntryRef&
        MadeChoices(std::function<void(T&, std::string&, std::vector<rtl::TVariant>&)> make) {
            Entry().MakeChoices = [make = std::move(make)](TfrObject& o, std::string& names,
                                                           std::vector<rtl::TVariant>& values) {
                make(static_cast<T&>(o), names, values);
            };
            return *this;
        }
        // Reached by name only, not listed.
        EntryRef& NotListed() {
            Entry().Access &= static_cast<uint8_t>(~fpListed);
            return *this;
        }
        // Listed only: the name reaches another entry, or none.
        EntryRef& NotNamed() {
            Entry().Access &= static_cast<uint8_t>(~fpNamed);
            table_.Reindex();
            return *this;
        }
        EntryRef& ReadsOtherForm() {
            Entry().Access |= fpReadsOtherForm;
            return *this;
        }

    private:
        static std::function<rtl::TVariant(TfrObject&)> Wrap(Getter get) {
            return [get = std::move(get)](TfrObject& o) { return get(static_cast<T&>(o)); };
        }

        TfrPropertyTable& table_;
        std::size_t index_;
    };

    explicit TfrPropertyTableBuilder(const TfrPropertyTable& base) : table_(base) {}

    // A new entry, listed and reached by name.
    EntryRef Add(std::string name, uint16_t type, Getter get = nullptr, Setter set = nullptr) {
        TfrPropertyEntry e;
        e.Name = std::move(name);
        e.Type = type;
        table_.Append(std::move(e));
        EntryRef ref(table_, table_.Entries().size() - 1);
        ref.Reads(std::move(get)).Writes(std::move(set));
        return ref;
    }

    // An entry over a field of T: integers (colours as signed 32-bit values),
    // reals, yes/no values and text, converted as the variant converts.
    template <class M> EntryRef Field(std::string name, uint16_t type, M T::*field) {
        return Add(
            std::move(name), type, [field](T& o) { return ToVariant(o.*field); },
            [field](T& o, const rtl::TVariant& v) { FromVariant(v, o.*field); });
    }

    // A yes/no entry over one bit of the view's Flags.
    EntryRef FlagBit(std::string name, uint16_t type, uint16_t bit) {
        return Add(
            std::move(name), type, [bit](T& o) { return rtl::TVariant((o.Flags & bit) != 0); },
            [bit](T& o, const rtl::TVariant& v) { o.SetFlag(bit, v.AsBoolean()); });
    }

    // An entry already in the table (inherited or added), to change in place.
    EntryRef Change(std::string_view name) { return EntryRef(table_, table_.IndexOf(name)); }

    // Lists, at the end so far, what an entry reached by name only holds:
    // same accessors and editor, the given name and type flags. The new entry
    // is listed only; the name keeps reaching the original.
    EntryRef List(std::string_view of, std::string name, uint16_t type) {
        TfrPropertyEntry e = ListedCopy(of, std::move(name), type);
        table_.Append(std::move(e));
        return EntryRef(table_, table_.Entries().size() - 1);
    }

    // Lists an entry under another name in its own place; the entry itself
    // stays reachable by its name but is no longer listed.
    EntryRef ListAs(std::string_view of, std::string name) {
        const std::size_t at = table_.IndexOf(of);
        TfrPropertyEntry e = ListedCopy(of, std::move(name), table_.At(at).Type);
        e.ListedWhen = table_.At(at).ListedWhen;
        EntryRef(table_, at).NotListed();
        table_.InsertAfter(at, std::move(e));
        return EntryRef(table_, at + 1);
    }

    // Of the entries listed so far, only these stay listed.
    void ListOnly(std::initializer_list<std::string_view> names) {
        for (std::size_t i = 0; i < table_.Entries().size(); ++i) {
            bool keep = false;
            for (std::string_view n : names)
                keep = keep || TfrPropertyTable::FoldEqual{}(table_.Entries()[i].Name, n);
            if (!keep) table_.At(i).Access &= static_cast<uint8_t>(~fpListed);
        }
    }

    TfrPropertyTable Build() { return std::move(table_); }

private:
    TfrPropertyEntry ListedCopy(std::string_view of, std::string name, uint16_t type) {
        TfrPropertyEntry e = table_.At(table_.IndexOf(of));
        e.Name = std::move(name);
        e.Type = type;
        e.Access = static_cast<uint8_t>(fpListed | (e.Access & fpReadsOtherForm));
        e.ListedWhen = nullptr;
        return e;
    }

    template <class M> static rtl::TVariant ToVariant(const M& value) {
        if constexpr (std::is_same_v<M, bool> || std::is_same_v<M, double> ||
                      std::is_same_v<M, std::string>) {
            return rtl::TVariant(value);
        } else {
            static_assert(std::is_integral_v<M>, "a field of an unsupported type");
            return rtl::TVariant(static_cast<int32_t>(value));
        }
    }
    template <class M> static void FromVariant(const rtl::TVariant& v, M& field) {
        if constexpr (std::is_same_v<M, bool>) {
            field = v.AsBoolean();
        } else if constexpr (std::is_same_v<M, double>) {
            field = v.AsDouble();
        } else if constexpr (std::is_same_v<M, std::string>) {
            field = v.AsString();
        } else {
            field = static_cast<M>(v.AsInteger());
        }
    }

    TfrPropertyTable table_;
};
