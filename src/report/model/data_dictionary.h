#pragma once
// The template's data dictionary: named variables grouped in categories,
// display aliases of data sets, fields and band data sources, the disabled
// data sets, and the build's cache of resolved names. Stored inside every
// template after the 254 marker and in ".frd" files of its own.

#include "platform/rtl/stream.h"
#include "platform/rtl/string_list.h"
#include "report/model/variables.h"

#include <functional>
#include <map>
#include <string>

class TfrDataset;

// A name resolved to a database field while building.
struct TfrCacheItem {
    TfrDataset* DataSet = nullptr; // not owned
    std::string DataField;
};

// The system variable an oldest-layout dictionary entry of kind 2 names by
// number; "" outside the table.
std::string frSystemVariableName(int number);

class TfrDataDictionary {
public:
    // Empties the three name lists (not the disabled list or the cache).
    void Clear();
    void ClearCache() { Cache.clear(); }
    void AddCacheItem(const std::string& name, TfrDataset* dataSet, const std::string& field);

    // The dictionary block; the reader takes the stream's format version
    // (frEngine().Version) for the oldest layout's name list.
    void LoadFromStream(rtl::TStream& stream);
    void SaveToStream(rtl::TStream& stream) const;
    // A version byte, then the block.
    void LoadFromFile(const std::string& fileName);
    void SaveToFile(const std::string& fileName) const;

    // Category names without their leading blank, in order.
    void GetCategoryList(rtl::TStringList& list) const;
    // The variables after the category's entry up to the next category or an
    // empty name; letter case of the category ignored.
    void GetVariablesOfCategory(const std::string& category, rtl::TStringList& list) const;
    // False when disabled by name or by a "prefix*" entry.
    bool IsDataSetEnabled(const std::string& name) const;

    TfrVariables Variables;
    TfrVariables FieldAliases;
    TfrVariables BandDatasources;
    rtl::TStringList DisabledDatasets;
    std::map<std::string, TfrCacheItem> Cache; // keys upper case

    // Tells whether a "dataset.field" alias name still names a field; the
    // data layer installs it. Unset, the aliases of older templates are
    // kept as they are rather than dropped.
    std::function<bool(const std::string& name)> NameResolvesToField;

private:
    void ReadOldestLayout(rtl::TStream& stream);
    void FlipCategories();
    void Tidy();
};
