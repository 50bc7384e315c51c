#pragma once
// The template's data dictionary: named variables grouped in categories,
// display aliases of data sets, fields and band data sources, the disabled
// data sets, and the build's cache of resolved names. Stored inside every
// template after the 254 marker and in ".frd" files of its own.

#include "platform/rtl/stream.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/variant.h"
#include "report/core/process_state.h"
#include "report/model/variables.h"

#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace db {
class TADOQuery;
class TField;
} // namespace db

// A name resolved to a database field while building.
struct TfrCacheItem {
    db::TADOQuery* DataSet = nullptr; // not owned
    std::string DataField;
};

// Orders names without regard to ASCII letter case; finds by any text.
struct TfrNameLess {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const;
};

// A dictionary variable whose value leads back to itself.
class EfrCircularVariable : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The system variable an oldest-layout dictionary entry of kind 2 names by
// number; "" outside the table.
std::string frSystemVariableName(int number);

class TfrDataDictionary {
public:
    // Empties the three name lists (not the disabled list or the cache).
    void Clear();
    void ClearCache() { Cache.clear(); }
    void AddCacheItem(const std::string& name, db::TADOQuery* dataSet, const std::string& field);

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

    // True for a dictionary variable, and for a name that resolves to a
    // data-set field ("DataSet.Field", DataSet."Field", aliases of either
    // part, or a bare field of the default data set); resolved names
    // enter the cache. A data-set part that names no component answers
    // false.
    bool IsVariable(const std::string& name);
    // A cached field's value (its data set opened when closed), a script
    // variable of that name, or the variable's text evaluated as an
    // expression (empty text stays empty); Null for an unknown name.
    // EfrCircularVariable when evaluating a variable comes back to it.
    rtl::TVariant GetValue(const std::string& name);

    // Splits at the last "." outside double quotes; a field part longer than
    // two characters loses surrounding double quotes. False, with nothing
    // set, when there is no such ".".
    static bool SplitFieldName(const std::string& text, std::string& dataSet, std::string& field);
    // The name whose alias is the text (letter case ignored), or the text.
    std::string RealDataSetName(const std::string& alias) const;
    std::string RealBandDataSourceName(const std::string& alias) const;
    // RealDataSetName, then its field part only.
    std::string RealFieldName(const std::string& alias) const;
    // The non-empty alias of a data set, field or band data source, or the
    // name itself.
    std::string AliasOf(const std::string& name) const;

    // Database data sets offered, minus the disabled ones; only those
    // FieldAliases lists when it lists any, shown by their aliases; sorted.
    void GetDataSetList(rtl::TStringList& list) const;
    // The fields of a data set (by name or alias), shown by their aliases,
    // without those whose alias is empty; empty when they cannot be read.
    void GetFieldList(const std::string& dataSetName, rtl::TStringList& list) const;
    // Report data sets offered; only those BandDatasources lists when it
    // lists any, shown by their aliases; sorted.
    void GetBandDataSourceList(rtl::TStringList& list) const;

    TfrVariables Variables;
    TfrVariables FieldAliases;
    TfrVariables BandDatasources;
    rtl::TStringList DisabledDatasets;
    // Names as first resolved; looked up without regard to letter case.
    std::map<std::string, TfrCacheItem, TfrNameLess> Cache;

private:
    void ReadOldestLayout(rtl::TStream& stream);
    void FlipCategories();
    void Tidy();
    // FindDataField that answers false when a component is missing.
    bool Resolve(const std::string& text, db::TADOQuery* dataSet, TfrCacheItem& item) const;

    // Variables whose expressions are being evaluated, outermost first.
    std::vector<std::string> evaluating_;
};
