#include "report/model/data_dictionary.h"

#include "platform/db/ado_query.h"
#include "platform/rtl/sysutils.h"
#include "report/core/process_state.h"
#include "report/core/resource_strings.h"
#include "report/core/string_ids.h"
#include "report/model/object_registry.h"

#include <algorithm>
#include <array>

namespace {

// Marker of the current block layout, and of the layout before it (whose
// readers tidy the alias lists).
constexpr int16_t kDictionaryMarker = -2;
constexpr int16_t kOldDictionaryMarker = -1;

// Smallest stored size of one entry, to refuse counts the stream cannot hold.
constexpr int64_t kPairMinBytes = 6;     // two empty new strings
constexpr int64_t kOldEntryMinBytes = 8; // kind, number, three empty short strings

int32_t ReadCount(rtl::TStream& stream, int64_t minEntryBytes) {
    const int32_t n = stream.ReadInt32();
    if (n < 0 || n > stream.Remaining() / minEntryBytes)
        throw rtl::EReadError("Dictionary count beyond the stream");
    return n;
}

void ReadList(rtl::TStream& stream, TfrVariables& list) {
    list.Clear();
    const int32_t n = ReadCount(stream, kPairMinBytes);
    for (int32_t i = 0; i < n; ++i) {
        std::string name = rtl::frReadNewString(stream);
        std::string value = rtl::frReadNewString(stream);
        // Appended, not merged: the stored order and entries come back as written.
        list.Insert(list.Count(), std::move(name), rtl::TVariant(std::move(value)));
    }
}

void WriteList(rtl::TStream& stream, const TfrVariables& list) {
    stream.WriteInt32(list.Count());
    for (int i = 0; i < list.Count(); ++i) {
        rtl::frWriteNewString(stream, list.Name(i));
        rtl::frWriteNewString(stream, list.Value(i).AsString());
    }
}

bool IsCategory(const std::string& name) {
    return !name.empty() && name[0] == ' ';
}

bool StartsWithText(const std::string& s, const std::string& prefix) {
    return s.size() >= prefix.size() && rtl::SameText(s.substr(0, prefix.size()), prefix);
}

// The entry of `list` whose alias (value) is the text, letter case ignored.
int IndexOfAlias(const TfrVariables& list, const std::string& alias) {
    for (int i = 0; i < list.Count(); ++i)
        if (rtl::SameText(list.Value(i).AsString(), alias)) return i;
    return -1;
}

// The alias entry of a field, written with or without quotes around it.
int IndexOfFieldEntry(const TfrVariables& list, const std::string& dataSet,
                      const std::string& field) {
    const int plain = list.IndexOf(dataSet + "." + field);
    return plain >= 0 ? plain : list.IndexOf(dataSet + ".\"" + field + "\"");
}

} // namespace

bool TfrNameLess::operator()(std::string_view a, std::string_view b) const {
    return rtl::CompareText(a, b) < 0;
}

std::string frSystemVariableName(int number) {
    static const std::array<const char*, 19> kNames = {
        "VALUE",    "PAGE#",    "DATE",       "TIME",          "LINE#",      "LINETHROUGH#",
        "COLUMN#",  "CURRENT#", "TOTALPAGES", "REPORTCOMMENT", "REPORTNAME", "REPORTAUTOR",
        "VMAJOR",   "VMINOR",   "VRELEASE",   "VBUILD",        "REPORTDATE", "REPORTLASTCHANGE",
        "CALCWIDTH"};
    if (number < 0 || number >= static_cast<int>(kNames.size())) return {};
    return kNames[number];
}

void TfrDataDictionary::Clear() {
    Variables.Clear();
    FieldAliases.Clear();
    BandDatasources.Clear();
}

void TfrDataDictionary::AddCacheItem(const std::string& name, db::TADOQuery* dataSet,
                                     const std::string& field) {
    Cache.insert_or_assign(name, TfrCacheItem{dataSet, field});
}

void TfrDataDictionary::LoadFromStream(rtl::TStream& stream) {
    Clear();
    const int64_t start = stream.Position();
    const int16_t marker = stream.ReadInt16();
    if (marker == kDictionaryMarker || marker == kOldDictionaryMarker) {
        ReadList(stream, Variables);
        ReadList(stream, FieldAliases);
        ReadList(stream, BandDatasources);
    } else {
        // The oldest layout has no marker: those two bytes start its count.
        stream.SetPosition(start);
        ReadOldestLayout(stream);
    }
    FlipCategories();
    if (marker == kOldDictionaryMarker) Tidy();
}

void TfrDataDictionary::ReadOldestLayout(rtl::TStream& stream) {
    TfrVariables values;
    const int32_t n = ReadCount(stream, kOldEntryMinBytes);
    for (int32_t i = 0; i < n; ++i) {
        const uint8_t kind = stream.ReadByte();
        const int32_t number = stream.ReadInt32();
        const std::string s1 = rtl::frReadShortString(stream);
        const std::string s2 = rtl::frReadShortString(stream);
        const std::string s3 = rtl::frReadShortString(stream);
        std::string value;
        if (kind == 1)
            value = s1 + ".\"" + s2 + "\"";
        else if (kind == 2)
            value = number == 1 ? s2 : frSystemVariableName(number);
        values.Insert(values.Count(), " " + s3, rtl::TVariant(value));
    }
    rtl::TStringList names;
    rtl::frReadMemo(stream, names, frEngine().Version);
    for (int i = 0; i < names.Count(); ++i) {
        const std::string& name = names[i];
        if (IsCategory(name))
            Variables.Insert(Variables.Count(), name, rtl::TVariant(values.Get(name).AsString()));
        else
            Variables.Insert(Variables.Count(), name, rtl::TVariant(std::string()));
    }
}

void TfrDataDictionary::FlipCategories() {
    // Older templates marked the variables, not the categories, with the blank.
    if (Variables.Empty() || Variables.Name(0).empty() || IsCategory(Variables.Name(0))) return;
    for (int i = 0; i < Variables.Count(); ++i) {
        const std::string& name = Variables.Name(i);
        Variables.SetName(i, IsCategory(name) ? name.substr(1) : " " + name);
    }
}

void TfrDataDictionary::Tidy() {
    // A field alias goes when its data set is there and no longer has the
    // field; when the data set cannot be found (or the data layer is not
    // installed) nothing is known about it, and it is kept.
    const TfrDictionaryHooks& hooks = frDictionaryHooks();
    if (hooks.FindDataField) {
        for (int i = FieldAliases.Count() - 1; i >= 0; --i) {
            if (FieldAliases.Value(i).AsString().empty()) continue;
            db::TADOQuery* dataSet = nullptr;
            std::string field;
            try {
                if (!hooks.FindDataField(FieldAliases.Name(i), dataSet, field) && dataSet)
                    FieldAliases.Delete(i);
            } catch (const EClassNotFound&) {
            }
        }
    }
    for (int i = BandDatasources.Count() - 1; i >= 0; --i)
        if (BandDatasources.Value(i).AsString().empty()) BandDatasources.Delete(i);
}

void TfrDataDictionary::SaveToStream(rtl::TStream& stream) const {
    stream.WriteInt16(kDictionaryMarker);
    WriteList(stream, Variables);
    WriteList(stream, FieldAliases);
    WriteList(stream, BandDatasources);
}

void TfrDataDictionary::LoadFromFile(const std::string& fileName) {
    rtl::TFileStream stream(fileName, rtl::fmOpenRead);
    stream.ReadByte(); // the version byte, whatever it holds
    LoadFromStream(stream);
}

void TfrDataDictionary::SaveToFile(const std::string& fileName) const {
    rtl::TFileStream stream(fileName, rtl::fmCreate);
    stream.WriteByte(25);
    SaveToStream(stream);
    stream.Flush();
}

void TfrDataDictionary::GetCategoryList(rtl::TStringList& list) const {
    list.Clear();
    for (int i = 0; i < Variables.Count(); ++i)
        if (IsCategory(Variables.Name(i))) list.Add(Variables.Name(i).substr(1));
}

void TfrDataDictionary::GetVariablesOfCategory(const std::string& category,
                                               rtl::TStringList& list) const {
    list.Clear();
    const int at = Variables.IndexOf(" " + category);
    if (at < 0) return;
    for (int i = at + 1; i < Variables.Count(); ++i) {
        const std::string& name = Variables.Name(i);
        if (name.empty() || IsCategory(name)) break;
        list.Add(name);
    }
}

bool TfrDataDictionary::IsDataSetEnabled(const std::string& name) const {
    for (int i = 0; i < DisabledDatasets.Count(); ++i) {
        const std::string& entry = DisabledDatasets[i];
        if (rtl::SameText(entry, name)) return false;
        if (!entry.empty() && entry.back() == '*') {
            const std::string prefix = entry.substr(0, entry.size() - 1);
            if (rtl::SameText(name.substr(0, prefix.size()), prefix)) return false;
        }
    }
    return true;
}

bool TfrDataDictionary::Resolve(const std::string& text, db::TADOQuery* dataSet,
                                TfrCacheItem& item) const {
    const TfrDictionaryHooks& hooks = frDictionaryHooks();
    if (!hooks.FindDataField) return false;
    try {
        if (!hooks.FindDataField(text, dataSet, item.DataField)) return false;
    } catch (const EClassNotFound&) {
        // "Memo2.Visible": not a data set, so the script rules after this
        // one (object properties, script variables) get their turn.
        return false;
    }
    item.DataSet = dataSet;
    return true;
}

bool TfrDataDictionary::IsVariable(const std::string& name) {
    if (Cache.find(name) != Cache.end()) return true;
    const TfrDictionaryHooks& hooks = frDictionaryHooks();
    db::TADOQuery* defaultDataSet = hooks.DefaultDataSet ? hooks.DefaultDataSet() : nullptr;
    TfrCacheItem item;

    const int at = Variables.IndexOf(name);
    if (at >= 0) {
        // A variable bound to a field is cached as that field; an
        // expression that only looks like one ("1.5 * n") stays a variable.
        const rtl::TVariant& value = Variables.Value(at);
        if (!value.IsNull() && value.AsString().find('.') != std::string::npos &&
            Resolve(value.AsString(), defaultDataSet, item))
            AddCacheItem(name, item.DataSet, item.DataField);
        return true;
    }

    std::string resolved = name;
    std::string dataSetPart, fieldPart;
    if (SplitFieldName(name, dataSetPart, fieldPart)) {
        const std::string dataSet = RealDataSetName(dataSetPart);
        std::string field = fieldPart;
        // A field alias: the entry of this data set whose alias is the field part.
        for (int i = 0; i < FieldAliases.Count(); ++i) {
            std::string entrySet, entryField;
            if (rtl::SameText(FieldAliases.Value(i).AsString(), fieldPart) &&
                StartsWithText(FieldAliases.Name(i), dataSet + ".") &&
                SplitFieldName(FieldAliases.Name(i), entrySet, entryField)) {
                field = entryField;
                break;
            }
        }
        resolved = dataSet + ".\"" + field + "\"";
    }
    if (!Resolve(resolved, defaultDataSet, item)) return false;
    AddCacheItem(name, item.DataSet, item.DataField);
    return true;
}

rtl::TVariant TfrDataDictionary::GetValue(const std::string& name) {
    const auto cached = Cache.find(name);
    if (cached != Cache.end()) {
        db::TADOQuery* dataSet = cached->second.DataSet;
        if (!dataSet) return rtl::TVariant::Null();
        if (!dataSet->Active()) dataSet->Open();
        const db::TField* field = dataSet->FindField(cached->second.DataField);
        if (!field) return rtl::TVariant::Null();
        const TfrDictionaryHooks& hooks = frDictionaryHooks();
        return hooks.GetFieldValue ? hooks.GetFieldValue(*field) : field->AsValue().ToVariant();
    }
    const int at = Variables.IndexOf(name);
    if (at < 0) return rtl::TVariant::Null();
    const TfrDictionaryHooks& hooks = frDictionaryHooks();
    if (const TfrVariables* script = hooks.ScriptVariables ? hooks.ScriptVariables() : nullptr) {
        const int s = script->IndexOf(name);
        if (s >= 0) return script->Value(s);
    }
    const rtl::TVariant value = Variables.Value(at);
    if (!value.IsString() || value.RawString().empty()) return value;

    const bool looping = std::any_of(evaluating_.begin(), evaluating_.end(),
                                     [&](const std::string& n) { return rtl::SameText(n, name); });
    if (looping)
        throw EfrCircularVariable(LoadResourceString(frsCircularReference) + " \"" + name + "\"");
    evaluating_.push_back(name);
    struct Leave {
        std::vector<std::string>& names;
        ~Leave() { names.pop_back(); }
    } leave{evaluating_};
    return frCalculate(value.RawString());
}

bool TfrDataDictionary::SplitFieldName(const std::string& text, std::string& dataSet,
                                       std::string& field) {
    std::size_t dot = std::string::npos;
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '"')
            quoted = !quoted;
        else if (text[i] == '.' && !quoted)
            dot = i;
    }
    if (dot == std::string::npos) return false;
    dataSet = text.substr(0, dot);
    field = text.substr(dot + 1);
    if (field.size() > 2 && field.front() == '"' && field.back() == '"')
        field = field.substr(1, field.size() - 2);
    return true;
}

std::string TfrDataDictionary::RealDataSetName(const std::string& alias) const {
    const int i = IndexOfAlias(FieldAliases, alias);
    return i >= 0 ? FieldAliases.Name(i) : alias;
}

std::string TfrDataDictionary::RealBandDataSourceName(const std::string& alias) const {
    const int i = IndexOfAlias(BandDatasources, alias);
    return i >= 0 ? BandDatasources.Name(i) : alias;
}

std::string TfrDataDictionary::RealFieldName(const std::string& alias) const {
    const std::string real = RealDataSetName(alias);
    std::string dataSet, field;
    return SplitFieldName(real, dataSet, field) ? field : real;
}

std::string TfrDataDictionary::AliasOf(const std::string& name) const {
    for (const TfrVariables* list : {&FieldAliases, &BandDatasources}) {
        const int i = list->IndexOf(name);
        if (i >= 0 && !list->Value(i).AsString().empty()) return list->Value(i).AsString();
    }
    return name;
}

void TfrDataDictionary::GetDataSetList(rtl::TStringList& list) const {
    list.Clear();
    rtl::TStringList all;
    if (frDictionaryHooks().EnumerateDataSets) frDictionaryHooks().EnumerateDataSets(false, all);
    for (int i = 0; i < all.Count(); ++i) {
        const std::string& name = all[i];
        if (!IsDataSetEnabled(name)) continue;
        if (FieldAliases.Empty()) {
            list.Add(name);
            continue;
        }
        const int at = FieldAliases.IndexOf(name);
        if (at < 0) continue;
        const std::string alias = FieldAliases.Value(at).AsString();
        list.Add(alias.empty() ? name : alias);
    }
    list.Sort();
}

void TfrDataDictionary::GetFieldList(const std::string& dataSetName, rtl::TStringList& list) const {
    list.Clear();
    const TfrDictionaryHooks& hooks = frDictionaryHooks();
    if (!hooks.GetFieldNames) return;
    rtl::TStringList fields;
    std::string dataSet = dataSetName;
    if (!hooks.GetFieldNames(dataSet, fields)) {
        dataSet = RealDataSetName(dataSetName);
        if (!hooks.GetFieldNames(dataSet, fields)) return;
    }
    for (int i = 0; i < fields.Count(); ++i) {
        const int at = IndexOfFieldEntry(FieldAliases, dataSet, fields[i]);
        if (at < 0) {
            list.Add(fields[i]);
            continue;
        }
        const std::string alias = FieldAliases.Value(at).AsString();
        if (!alias.empty()) list.Add(alias);
    }
}

void TfrDataDictionary::GetBandDataSourceList(rtl::TStringList& list) const {
    list.Clear();
    rtl::TStringList all;
    if (frDictionaryHooks().EnumerateDataSets) frDictionaryHooks().EnumerateDataSets(true, all);
    for (int i = 0; i < all.Count(); ++i) {
        const std::string& name = all[i];
        if (BandDatasources.Empty()) {
            list.Add(name);
            continue;
        }
        const int at = BandDatasources.IndexOf(name);
        if (at < 0) continue;
        const std::string alias = BandDatasources.Value(at).AsString();
        list.Add(alias.empty() ? name : alias);
    }
    list.Sort();
}
