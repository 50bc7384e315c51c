#pragma once
// The engine's list of text lines (CP936), with an optional object pointer
// per line, name=value look-ups and an optional sorted mode.
//
// Text joins the lines with CR LF after every line (so one empty line reads
// back as "\r\n"); setting it splits at CR LF, CR or LF. IndexOf and the
// name/value look-ups ignore ASCII letter case. A sorted list keeps its lines
// in the Chinese (PRC) collation order, ignoring case (AnsiCompareText).
//
// Objects are references, not owned: whoever stores a pointer frees it.

#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace rtl {

class TStream;

// Bad index, duplicate in a list that forbids them, or an operation a sorted
// list cannot do.
class EStringListError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What Add does with a line already present in a sorted list.
enum class TDuplicates { dupIgnore, dupAccept, dupError };

class TStringList {
public:
    TStringList() = default;
    // Lines in order (a sorted list sorts them).
    TStringList(std::initializer_list<std::string_view> lines);

    int Count() const { return static_cast<int>(items_.size()); }
    bool Empty() const { return items_.empty(); }

    const std::string& operator[](int index) const { return Get(index); }
    const std::string& Get(int index) const;
    // Replaces a line, keeping its object. Not allowed on a sorted list.
    void Put(int index, std::string_view s);

    void* Objects(int index) const;
    void PutObject(int index, void* object);
    template <class T> T* ObjectAs(int index) const { return static_cast<T*>(Objects(index)); }

    // Index of the new line; in a sorted list its sorted place, or with
    // dupIgnore the index of the line already there.
    int Add(std::string_view s) { return AddObject(s, nullptr); }
    int AddObject(std::string_view s, void* object);
    void AddStrings(const TStringList& other);
    // Not allowed on a sorted list.
    void Insert(int index, std::string_view s) { InsertObject(index, s, nullptr); }
    void InsertObject(int index, std::string_view s, void* object);
    void Delete(int index);
    void Clear() { items_.clear(); }
    void Exchange(int index1, int index2);
    void Move(int curIndex, int newIndex);

    // First line equal to s ignoring ASCII case, or -1.
    int IndexOf(std::string_view s) const;
    int IndexOfObject(const void* object) const;
    // Binary search of a sorted list: true when found; index is then the
    // line's index, otherwise where s would be inserted.
    bool Find(std::string_view s, int& index) const;

    // Name/value lines "name=value". A line without '=' has an empty name.
    std::string Names(int index) const;
    std::string ValueFromIndex(int index) const;
    int IndexOfName(std::string_view name) const;
    std::string Values(std::string_view name) const;
    // Sets the value of the first line with that name, adding "name=value"
    // when there is none; an empty value deletes the line.
    void SetValue(std::string_view name, std::string_view value);

    std::string Text() const;
    void SetText(std::string_view text);
    // Comma-separated, items with blanks, commas or quotes double-quoted.
    std::string CommaText() const;
    void SetCommaText(std::string_view text);

    bool Sorted() const { return sorted_; }
    // Turning sorting on sorts the lines.
    void SetSorted(bool sorted);
    TDuplicates Duplicates() const { return duplicates_; }
    void SetDuplicates(TDuplicates d) { duplicates_ = d; }
    void Sort();
    // Orders with a comparison returning < 0, 0, > 0; the list stays unsorted.
    void CustomSort(const std::function<int(const TStringList&, int, int)>& compare);

    // Copies lines and objects; Sorted and Duplicates stay as they are here.
    void Assign(const TStringList& other);
    bool Equals(const TStringList& other) const; // same lines, byte for byte

    // The bytes of Text, read from the current position to the end.
    void LoadFromStream(TStream& stream);
    void SaveToStream(TStream& stream) const;
    // File names are CP936, as the engine keeps them.
    void LoadFromFile(const std::string& fileName);
    void SaveToFile(const std::string& fileName) const;

    // The order of a sorted list, ties broken so the order is total.
    static int CompareLines(std::string_view a, std::string_view b);

private:
    struct Item {
        std::string text;
        void* object = nullptr;
    };
    void CheckIndex(int index) const;
    void CheckUnsorted(const char* operation) const;

    std::vector<Item> items_;
    bool sorted_ = false;
    TDuplicates duplicates_ = TDuplicates::dupIgnore;
};

} // namespace rtl
