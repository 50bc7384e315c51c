#pragma once
// The application's forms and data modules with the named components each
// owns, in the order they were added: what templates name when they refer
// to a data set ("frDBDataSet1", "frmPrint.frDBDataSet1",
// "Form.Frame.Component"). Report data sets, database data sets and data
// sources are found here by name, the dictionary lists data sets from here,
// and a component removed from its container is cleared from the data sets
// that refer to it.
//
// A top-level container registers itself while it exists; a frame is a
// container placed in another one. Containers must be removed (destroyed)
// before the components they list; report data sets remove themselves.

#include "platform/rtl/string_list.h"

#include <string>
#include <string_view>
#include <variant>
#include <vector>

class TfrComponentContainer;
class TfrDataset;
class TfrReport;
struct TDataSource;
namespace db {
class TADOQuery;
}

// The kinds of component the engine looks for.
using TfrComponentObject =
    std::variant<TfrDataset*, db::TADOQuery*, TDataSource*, TfrReport*, TfrComponentContainer*>;

struct TfrComponent {
    std::string Name;
    TfrComponentObject Object;
};

enum class TfrContainerKind { Form, DataModule, DataModuleForm, Frame };

class TfrComponentContainer {
public:
    // A form, data module or data-module window is open from here on; a
    // frame is placed in `parent` under its name.
    TfrComponentContainer(std::string name, TfrContainerKind kind,
                          TfrComponentContainer* parent = nullptr);
    ~TfrComponentContainer();
    TfrComponentContainer(const TfrComponentContainer&) = delete;
    TfrComponentContainer& operator=(const TfrComponentContainer&) = delete;

    const std::string& Name() const { return name_; }
    TfrContainerKind Kind() const { return kind_; }

    void AddComponent(std::string name, TfrComponentObject object);
    // Data sets that refer to the component forget it.
    void RemoveComponent(const TfrComponentObject& object);
    const std::vector<TfrComponent>& Components() const { return components_; }
    // Letter case ignored; null when absent.
    const TfrComponent* FindComponent(std::string_view name) const;

private:
    std::string name_;
    TfrContainerKind kind_;
    TfrComponentContainer* parent_;
    std::vector<TfrComponent> components_;
};

// Open forms, data modules and data-module windows, in the order opened.
const std::vector<TfrComponentContainer*>& frOpenContainers();
// An open container by name, letter case ignored.
TfrComponentContainer* FindContainer(std::string_view name);
// The container that lists the object; null when none does.
TfrComponentContainer* OwnerOf(const TfrComponentObject& object);
// The container that owns the current report.
TfrComponentContainer* ReportOwner();
// Removes the object from whichever container lists it.
void frForgetComponent(const TfrComponentObject& object);

// A component by "Name" (in `owner`), "Container.Name" or
// "Container.Frame...Name"; null when any part is missing.
const TfrComponent* FindComponentByPath(const TfrComponentContainer* owner, std::string_view path);

// What EnumerateComponents collects.
enum class TfrComponentClass { TDataSet, TfrDataset, TDataSource, TfrReport };

bool IsOfClass(const TfrComponent& component, TfrComponentClass cls);

// Empties `list`, then adds every component of the class that the open
// forms, then data modules, then data-module windows own (frames are not
// entered), leaving out `except`; each named by its bare name when its
// container owns the current report, otherwise "Container.Name". The
// objects of the list are the components' objects (TfrDataset*,
// db::TADOQuery*, TDataSource* or TfrReport*).
void EnumerateComponents(TfrComponentClass cls, rtl::TStringList& list,
                         const void* except = nullptr);

// The object of a component as a plain pointer (for string-list objects).
void* ComponentPointer(const TfrComponentObject& object);
