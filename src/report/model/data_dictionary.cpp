#include "report/model/data_dictionary.h"

#include "platform/rtl/sysutils.h"
#include "report/core/process_state.h"

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

} // namespace

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

void TfrDataDictionary::AddCacheItem(const std::string& name, TfrDataset* dataSet,
                                     const std::string& field) {
    Cache[rtl::UpperCase(name)] = TfrCacheItem{dataSet, field};
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
    if (NameResolvesToField) {
        for (int i = FieldAliases.Count() - 1; i >= 0; --i) {
            const std::string alias = FieldAliases.Value(i).AsString();
            if (!alias.empty() && !NameResolvesToField(FieldAliases.Name(i)))
                FieldAliases.Delete(i);
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
