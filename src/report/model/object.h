#pragma once
// The base of everything that carries named properties: report objects and
// pages. Scripts, expressions, the inspector and the designer read and change
// objects through WriteProperty / ReadProperty / CallMethod by name; each
// class describes its properties once, in its property table.

#include "platform/gdi/canvas.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/variant.h"
#include "report/model/property_table.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Property type flags.
constexpr uint16_t frdtString = 1;
constexpr uint16_t frdtInteger = 2;
constexpr uint16_t frdtFloat = 4;
constexpr uint16_t frdtBoolean = 8;
constexpr uint16_t frdtColor = 16;
constexpr uint16_t frdtEnum = 32;
constexpr uint16_t frdtHasEditor = 64;
constexpr uint16_t frdtSize = 128;
constexpr uint16_t frdtOneObject = 256;

struct TfrPropRec {
    std::string Name; // at most 32 characters
    uint16_t PropType = 0;
    // Choice names and their values, for frdtEnum.
    std::unique_ptr<rtl::TStringList> Enum;
    std::vector<rtl::TVariant> EnumValues;
    // The inspector's editor button; unset when there is none.
    std::function<void()> Editor;
};

class TfrObject {
public:
    TfrObject() = default;
    virtual ~TfrObject() = default;
    TfrObject(const TfrObject&) = delete;
    TfrObject& operator=(const TfrObject&) = delete;

    virtual std::string ClassName() const { return "TfrObject"; }

    // The property table of the object's class; every class with properties
    // of its own overrides this with its PropertyTable().
    virtual const TfrPropertyTable& Properties() const { return PropertyTable(); }
    // The table of this class: empty.
    static const TfrPropertyTable& PropertyTable();

    // Through the table entry of that name (letter case ignored): unknown
    // names and entries that cannot be written are ignored; a value the
    // entry cannot convert raises the variant's conversion error.
    virtual void WriteProperty(const std::string& name, const rtl::TVariant& value);
    // Null for unknown names and entries that cannot be read.
    virtual rtl::TVariant ReadProperty(const std::string& name);
    virtual rtl::TVariant CallMethod(const std::string& name, const rtl::TVariant& a1,
                                     const rtl::TVariant& a2, const rtl::TVariant& a3);
    // Fills the property list (clearing it first) from the table entries
    // listed for this object.
    virtual void RegisterProperties();

    // The property list, registered first when it is empty.
    const std::vector<std::unique_ptr<TfrPropRec>>& PropList();
    int PropCount() { return static_cast<int>(PropList().size()); }
    // Letter case ignored; null when there is none.
    TfrPropRec* FindProperty(std::string_view name);

protected:
    void ClearPropList() { props_.clear(); }
    TfrPropRec& AddProperty(std::string name, uint16_t type, std::function<void()> editor = {});
    // `names` is a semicolon-separated list; values pair up in order.
    TfrPropRec& AddEnumProperty(std::string name, std::string_view names,
                                std::vector<rtl::TVariant> values,
                                std::function<void()> editor = {});
    bool HasProperties() const { return !props_.empty(); }

    // The string-list methods a script calls on one of an object's lists.
    // `handled` tells whether the name was one of them.
    static rtl::TVariant CallListMethod(rtl::TStringList& list, const std::string& listName,
                                        const std::string& method, const rtl::TVariant& a1,
                                        const rtl::TVariant& a2, const rtl::TVariant& a3,
                                        bool* handled = nullptr);
    // FONT.NAME, FONT.SIZE, FONT.STYLE, FONT.COLOR; `upperName` is upper case.
    static bool WriteFontProperty(gdi::TFont& font, const std::string& upperName,
                                  const rtl::TVariant& value);
    static rtl::TVariant ReadFontProperty(const gdi::TFont& font, const std::string& upperName);
    // The same four as table entries "Font.Name" ... "Font.Color" (type 0)
    // over the font field of T.
    template <class T>
    static void AddFontEntries(TfrPropertyTableBuilder<T>& table, gdi::TFont T::*font);

private:
    enum class FontPart { Name, Size, Style, Color };
    static void WriteFontPart(gdi::TFont& font, FontPart part, const rtl::TVariant& value);
    static rtl::TVariant ReadFontPart(const gdi::TFont& font, FontPart part);

    std::vector<std::unique_ptr<TfrPropRec>> props_;
};

template <class T>
void TfrObject::AddFontEntries(TfrPropertyTableBuilder<T>& table, gdi::TFont T::*font) {
    static constexpr std::pair<const char*, FontPart> kParts[] = {{"Font.Name", FontPart::Name},
                                                                  {"Font.Size", FontPart::Size},
                                                                  {"Font.Style", FontPart::Style},
                                                                  {"Font.Color", FontPart::Color}};
    for (const auto& [name, part] : kParts) {
        table.Add(
            name, 0, [font, part = part](T& o) { return ReadFontPart(o.*font, part); },
            [font, part = part](T& o, const rtl::TVariant& v) { WriteFontPart(o.*font, part, v); });
    }
}

// Font style as stored and scripted: 1 italic, 2 bold, 4 underline, 8 strike-out.
int frGetFontStyle(const gdi::TFont& font);
void frSetFontStyle(gdi::TFont& font, int style);

// Splits a dotted name into the object it names and the property of that
// object: "Memo1.Font.Name", "Page2.Width", or a plain property of the
// current object. The object may be null when nothing matches.
std::pair<TfrObject*, std::string> ResolvePropertyOwner(const std::string& name);
