#include "report/model/object.h"

#include "platform/rtl/sysutils.h"
#include "report/core/process_state.h"
#include "report/model/view.h"

#include <cctype>

using rtl::TVariant;

const TfrPropertyTable& TfrObject::PropertyTable() {
    static const TfrPropertyTable table;
    return table;
}

void TfrObject::WriteProperty(const std::string& name, const TVariant& value) {
    if (const TfrPropertyEntry* entry = Properties().Find(name)) entry->Write(*this, value);
}

TVariant TfrObject::ReadProperty(const std::string& name) {
    if (const TfrPropertyEntry* entry = Properties().Find(name)) return entry->Read(*this);
    return TVariant::Null();
}

void TfrObject::RegisterProperties() {
    ClearPropList();
    for (const TfrPropertyEntry& entry : Properties().Entries()) {
        if (!entry.IsListed(*this)) continue;
        std::function<void()> editor;
        if (entry.Edit) editor = [edit = entry.Edit, this] { edit(*this); };
        if (entry.Type & frdtEnum) {
            std::string names;
            std::vector<TVariant> values;
            entry.Choices(*this, names, values);
            AddEnumProperty(entry.Name, names, std::move(values), std::move(editor)).PropType =
                entry.Type;
        } else {
            AddProperty(entry.Name, entry.Type, std::move(editor));
        }
    }
}

TVariant TfrObject::CallMethod(const std::string&, const TVariant&, const TVariant&,
                               const TVariant&) {
    return TVariant::Null();
}

const std::vector<std::unique_ptr<TfrPropRec>>& TfrObject::PropList() {
    if (props_.empty()) RegisterProperties();
    return props_;
}

TfrPropRec* TfrObject::FindProperty(std::string_view name) {
    for (const auto& p : PropList())
        if (TfrPropertyTable::FoldEqual{}(p->Name, name)) return p.get();
    return nullptr;
}

TfrPropRec& TfrObject::AddProperty(std::string name, uint16_t type, std::function<void()> editor) {
    auto rec = std::make_unique<TfrPropRec>();
    if (name.size() > 32) name.resize(32);
    rec->Name = std::move(name);
    rec->PropType = type;
    rec->Editor = std::move(editor);
    props_.push_back(std::move(rec));
    return *props_.back();
}

TfrPropRec& TfrObject::AddEnumProperty(std::string name, std::string_view names,
                                       std::vector<TVariant> values, std::function<void()> editor) {
    TfrPropRec& rec =
        AddProperty(std::move(name), frdtEnum | (editor ? frdtHasEditor : 0), std::move(editor));
    rec.Enum = std::make_unique<rtl::TStringList>();
    std::size_t start = 0;
    while (start < names.size()) {
        std::size_t end = names.find(';', start);
        if (end == std::string_view::npos) end = names.size();
        rec.Enum->Add(names.substr(start, end - start));
        start = end + 1;
    }
    rec.EnumValues = std::move(values);
    // Every choice has a value, empty when none was given.
    while (static_cast<int>(rec.EnumValues.size()) < rec.Enum->Count())
        rec.EnumValues.emplace_back(std::string());
    return rec;
}

TVariant TfrObject::CallListMethod(rtl::TStringList& list, const std::string& listName,
                                   const std::string& method, const TVariant& a1,
                                   const TVariant& a2, const TVariant& a3, bool* handled) {
    if (handled) *handled = true;
    if (method == "SETINDEXPROPERTY") {
        if (a1.AsString() == listName) list.Put(a2.AsInteger(), a3.AsString());
        return TVariant::Null();
    }
    if (method == "GETINDEXPROPERTY") {
        if (a1.AsString() == listName) return TVariant(list.Get(a2.AsInteger()));
        return TVariant::Null();
    }
    if (method == listName + ".ADD") {
        list.Add(frCalculate(a1.AsString()).AsString());
        return TVariant::Null();
    }
    if (method == listName + ".CLEAR") {
        list.Clear();
        return TVariant::Null();
    }
    if (method == listName + ".DELETE") {
        list.Delete(frCalculate(a1.AsString()).AsInteger());
        return TVariant::Null();
    }
    if (method == listName + ".INDEXOF") {
        const std::string text = frCalculate(a1.AsString()).AsString();
        for (int i = 0; i < list.Count(); ++i)
            if (list[i] == text) return TVariant(i);
        return TVariant(-1);
    }
    if (handled) *handled = false;
    return TVariant::Null();
}

int frGetFontStyle(const gdi::TFont& font) {
    return (font.Italic ? 1 : 0) | (font.Bold ? 2 : 0) | (font.Underline ? 4 : 0) |
           (font.StrikeOut ? 8 : 0);
}

void frSetFontStyle(gdi::TFont& font, int style) {
    font.Italic = style & 1;
    font.Bold = style & 2;
    font.Underline = style & 4;
    font.StrikeOut = style & 8;
}

void TfrObject::WriteFontPart(gdi::TFont& font, FontPart part, const TVariant& value) {
    switch (part) {
    case FontPart::Name:
        font.Name = value.AsString();
        break;
    case FontPart::Size:
        font.Size = value.AsInteger();
        font.Height = 0;
        break;
    case FontPart::Style:
        frSetFontStyle(font, value.AsInteger());
        break;
    case FontPart::Color:
        font.Color = static_cast<gdi::TColor>(value.AsInteger());
        break;
    }
}

TVariant TfrObject::ReadFontPart(const gdi::TFont& font, FontPart part) {
    switch (part) {
    case FontPart::Name:
        return TVariant(font.Name);
    case FontPart::Size:
        return TVariant(font.Size);
    case FontPart::Style:
        return TVariant(frGetFontStyle(font));
    case FontPart::Color:
        return TVariant(static_cast<int32_t>(font.Color));
    }
    return TVariant::Null();
}

namespace {

bool FontPartOf(const std::string& upperName, int& part) {
    static const char* const kNames[] = {"FONT.NAME", "FONT.SIZE", "FONT.STYLE", "FONT.COLOR"};
    for (int i = 0; i < 4; ++i) {
        if (upperName == kNames[i]) {
            part = i;
            return true;
        }
    }
    return false;
}

} // namespace

bool TfrObject::WriteFontProperty(gdi::TFont& font, const std::string& upperName,
                                  const TVariant& value) {
    int part = 0;
    if (!FontPartOf(upperName, part)) return false;
    WriteFontPart(font, static_cast<FontPart>(part), value);
    return true;
}

TVariant TfrObject::ReadFontProperty(const gdi::TFont& font, const std::string& upperName) {
    int part = 0;
    if (!FontPartOf(upperName, part)) return TVariant::Null();
    return ReadFontPart(font, static_cast<FontPart>(part));
}

std::pair<TfrObject*, std::string> ResolvePropertyOwner(const std::string& name) {
    TfrObject* object = frEngine().CurrentObject;
    std::string property = name;
    const std::size_t dot = name.find('.');
    if (dot != std::string::npos) {
        const std::string head = name.substr(0, dot);
        const std::string tail = name.substr(dot + 1, 255);
        const std::string upperHead = rtl::UpperCase(head);
        if (upperHead.size() > 4 && upperHead.compare(0, 4, "PAGE") == 0 &&
            std::isdigit(static_cast<unsigned char>(upperHead[4]))) {
            int number = 0;
            object = nullptr;
            if (rtl::TryStrToInt(upperHead.substr(4), number) && frReportLookups().FindPage)
                object = frReportLookups().FindPage(number);
            property = tail;
        } else {
            TfrObject* found =
                frReportLookups().FindObject ? frReportLookups().FindObject(head) : nullptr;
            if (!found && object && object->FindProperty(head)) {
                // "Font.Name": a sub-property of the current object.
            } else {
                object = found;
                property = tail;
            }
        }
    }
    if (object) object->PropList();
    return {object, property};
}
