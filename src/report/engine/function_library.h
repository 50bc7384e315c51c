#pragma once
// Function libraries: sets of functions the expression language reaches
// through the report's function dispatch, the process-wide table of them,
// and the descriptions the designer's function picker shows.

#include "platform/rtl/string_list.h"
#include "platform/rtl/variant.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class TfrFunctionLibrary {
public:
    virtual ~TfrFunctionLibrary() = default;
    TfrFunctionLibrary(const TfrFunctionLibrary&) = delete;
    TfrFunctionLibrary& operator=(const TfrFunctionLibrary&) = delete;

    // Registration finds a library by its class name.
    virtual std::string ClassName() const = 0;

    // When the name (letter case ignored) is in List, DoFunction with its
    // position and true; otherwise false and the value untouched.
    // p1..p3 are the unevaluated argument texts.
    virtual bool CallFunction(const std::string& name, const rtl::TVariant& p1,
                              const rtl::TVariant& p2, const rtl::TVariant& p3,
                              rtl::TVariant& value);
    virtual void DoFunction(int index, const rtl::TVariant& p1, const rtl::TVariant& p2,
                            const rtl::TVariant& p3, rtl::TVariant& value) = 0;

    // The functions, upper case; a function's position is its index.
    const rtl::TStringList& List() const { return list_; }

    struct Description {
        std::string Name;
        std::string Category;
        std::string Text;
    };
    // What DescribeFunction recorded, in order; registration installs them.
    const std::vector<Description>& Descriptions() const { return descriptions_; }

protected:
    TfrFunctionLibrary() = default;
    void AddFunction(const std::string& upperName) { list_.Add(upperName); }
    void DescribeFunction(const std::string& name, const std::string& category,
                          const std::string& description);

private:
    rtl::TStringList list_;
    std::vector<Description> descriptions_;
};

// A library class: its name and how to make one.
struct TfrFunctionLibraryClass {
    std::string ClassName;
    std::function<std::unique_ptr<TfrFunctionLibrary>()> Create;
};

template <class T> TfrFunctionLibraryClass frLibraryClass() {
    return {T::StaticClassName(), [] { return std::make_unique<T>(); }};
}

// The table holds this many libraries.
constexpr int kMaxFunctionLibraries = 64;

// Appends a library of the class to the table and installs its
// descriptions. A class already registered is left as it is (true); a full
// table refuses it (false).
bool RegisterFunctionLibrary(const TfrFunctionLibraryClass& libraryClass);
// Removes the descriptions and the library of that class name; later
// libraries move down one place.
void UnregisterFunctionLibrary(const std::string& className);

struct TfrFunctionDesc {
    std::string LibraryClass;
    std::string FunctionName;
    std::string Category;
    std::string Description;
};

class TfrInstalledFunctions {
public:
    // Ignored when the category is empty or the name is described already.
    void AddDescription(const TfrFunctionLibrary& library, const std::string& name,
                        const std::string& category, const std::string& description);
    // Letter case ignored; "" for an unknown name.
    std::string GetDescription(const std::string& name) const;
    // Every category once, sorted.
    void GetCategories(rtl::TStringList& list) const;
    // The functions of a category, sorted; "所有函数" (55348) or an empty
    // category lists every function.
    void GetFunctionsOfCategory(const std::string& category, rtl::TStringList& list) const;
    void RemoveLibraryDescriptions(const std::string& libraryClass);

    const std::vector<TfrFunctionDesc>& Items() const { return items_; }
    void Clear() { items_.clear(); }

private:
    std::vector<TfrFunctionDesc> items_;
};
