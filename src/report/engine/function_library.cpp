#include "report/engine/function_library.h"

#include "platform/rtl/sysutils.h"
#include "report/core/process_state.h"
#include "report/core/resource_strings.h"
#include "report/core/string_ids.h"
#include "report/engine/globals.h"

#include <algorithm>

bool TfrFunctionLibrary::CallFunction(const std::string& name, const rtl::TVariant& p1,
                                      const rtl::TVariant& p2, const rtl::TVariant& p3,
                                      rtl::TVariant& value) {
    const int index = list_.IndexOf(name);
    if (index < 0) return false;
    DoFunction(index, p1, p2, p3, value);
    return true;
}

void TfrFunctionLibrary::DescribeFunction(const std::string& name, const std::string& category,
                                          const std::string& description) {
    descriptions_.push_back({name, category, description});
}

bool RegisterFunctionLibrary(const TfrFunctionLibraryClass& libraryClass) {
    TfrGlobals& g = frGlobals();
    for (const auto& library : g.Libraries)
        if (library->ClassName() == libraryClass.ClassName) return true;
    if (static_cast<int>(g.Libraries.size()) >= kMaxFunctionLibraries) return false;
    std::unique_ptr<TfrFunctionLibrary> library = libraryClass.Create();
    if (!library) return false;
    for (const auto& d : library->Descriptions())
        g.FunctionDescriptions.AddDescription(*library, d.Name, d.Category, d.Text);
    g.Libraries.push_back(std::move(library));
    return true;
}

void UnregisterFunctionLibrary(const std::string& className) {
    TfrGlobals& g = frGlobals();
    auto it = std::find_if(g.Libraries.begin(), g.Libraries.end(),
                           [&](const auto& library) { return library->ClassName() == className; });
    if (it == g.Libraries.end()) return;
    g.FunctionDescriptions.RemoveLibraryDescriptions(className);
    g.Libraries.erase(it);
}

void TfrInstalledFunctions::AddDescription(const TfrFunctionLibrary& library,
                                           const std::string& name, const std::string& category,
                                           const std::string& description) {
    if (category.empty()) return;
    const bool known = std::any_of(items_.begin(), items_.end(), [&](const TfrFunctionDesc& d) {
        return rtl::SameText(d.FunctionName, name);
    });
    if (known) return;
    items_.push_back({library.ClassName(), name, category, description});
}

std::string TfrInstalledFunctions::GetDescription(const std::string& name) const {
    for (const TfrFunctionDesc& d : items_)
        if (rtl::SameText(d.FunctionName, name)) return d.Description;
    return {};
}

void TfrInstalledFunctions::GetCategories(rtl::TStringList& list) const {
    list.Clear();
    list.SetSorted(true);
    list.SetDuplicates(rtl::TDuplicates::dupIgnore);
    for (const TfrFunctionDesc& d : items_) list.Add(d.Category);
}

void TfrInstalledFunctions::GetFunctionsOfCategory(const std::string& category,
                                                   rtl::TStringList& list) const {
    list.Clear();
    list.SetSorted(true);
    list.SetDuplicates(rtl::TDuplicates::dupIgnore);
    const bool all = category.empty() || category == LoadResourceString(frsAllFunctions);
    for (const TfrFunctionDesc& d : items_)
        if (all || d.Category == category) list.Add(d.FunctionName);
}

void TfrInstalledFunctions::RemoveLibraryDescriptions(const std::string& libraryClass) {
    std::erase_if(items_, [&](const TfrFunctionDesc& d) { return d.LibraryClass == libraryClass; });
}
