#include "report/engine/component_registry.h"

#include "platform/rtl/sysutils.h"
#include "report/engine/dataset.h"
#include "report/model/report.h"

#include <algorithm>

namespace {

std::vector<TfrComponentContainer*>& Containers() {
    static std::vector<TfrComponentContainer*> containers;
    return containers;
}

std::vector<std::string_view> SplitPath(std::string_view path) {
    std::vector<std::string_view> parts;
    std::size_t from = 0;
    while (true) {
        const std::size_t dot = path.find('.', from);
        parts.push_back(path.substr(from, dot == std::string_view::npos ? dot : dot - from));
        if (dot == std::string_view::npos) return parts;
        from = dot + 1;
    }
}

TfrComponentContainer* AsContainer(const TfrComponent* c) {
    if (!c) return nullptr;
    const auto* frame = std::get_if<TfrComponentContainer*>(&c->Object);
    return frame ? *frame : nullptr;
}

// Every data set in the container and its frames hears of the removal.
void NotifyRemoval(const TfrComponentContainer& container, const TfrComponentObject& removed) {
    for (const TfrComponent& c : container.Components()) {
        if (const auto* ds = std::get_if<TfrDataset*>(&c.Object))
            (*ds)->Notification(removed);
        else if (const TfrComponentContainer* frame = AsContainer(&c))
            NotifyRemoval(*frame, removed);
    }
}

TfrComponentContainer* OwnerIn(TfrComponentContainer& container, const TfrComponentObject& object) {
    for (const TfrComponent& c : container.Components()) {
        if (c.Object == object) return &container;
        if (TfrComponentContainer* frame = AsContainer(&c))
            if (TfrComponentContainer* found = OwnerIn(*frame, object)) return found;
    }
    return nullptr;
}

} // namespace

TfrComponentContainer::TfrComponentContainer(std::string name, TfrContainerKind kind,
                                             TfrComponentContainer* parent)
    : name_(std::move(name)), kind_(kind), parent_(parent) {
    if (parent_)
        parent_->AddComponent(name_, this);
    else
        Containers().push_back(this);
}

TfrComponentContainer::~TfrComponentContainer() {
    // Frames still placed here outlive the listing as containers of their own.
    for (const TfrComponent& c : components_)
        if (TfrComponentContainer* frame = AsContainer(&c)) frame->parent_ = nullptr;
    while (!components_.empty()) RemoveComponent(components_.back().Object);
    if (parent_) {
        parent_->RemoveComponent(this);
    } else {
        auto& all = Containers();
        all.erase(std::remove(all.begin(), all.end(), this), all.end());
    }
}

void TfrComponentContainer::AddComponent(std::string name, TfrComponentObject object) {
    components_.push_back(TfrComponent{std::move(name), object});
}

void TfrComponentContainer::RemoveComponent(const TfrComponentObject& object) {
    const auto at = std::find_if(components_.begin(), components_.end(),
                                 [&](const TfrComponent& c) { return c.Object == object; });
    if (at == components_.end()) return;
    components_.erase(at);
    for (TfrComponentContainer* c : Containers()) NotifyRemoval(*c, object);
}

const TfrComponent* TfrComponentContainer::FindComponent(std::string_view name) const {
    for (const TfrComponent& c : components_)
        if (rtl::SameText(c.Name, name)) return &c;
    return nullptr;
}

const std::vector<TfrComponentContainer*>& frOpenContainers() {
    return Containers();
}

TfrComponentContainer* FindContainer(std::string_view name) {
    for (TfrComponentContainer* c : Containers())
        if (rtl::SameText(c->Name(), name)) return c;
    return nullptr;
}

TfrComponentContainer* OwnerOf(const TfrComponentObject& object) {
    for (TfrComponentContainer* c : Containers())
        if (TfrComponentContainer* found = OwnerIn(*c, object)) return found;
    return nullptr;
}

TfrComponentContainer* ReportOwner() {
    TfrReport* report = CurReport();
    return report ? OwnerOf(report) : nullptr;
}

void frForgetComponent(const TfrComponentObject& object) {
    if (TfrComponentContainer* owner = OwnerOf(object)) owner->RemoveComponent(object);
}

const TfrComponent* FindComponentByPath(const TfrComponentContainer* owner, std::string_view path) {
    const std::vector<std::string_view> parts = SplitPath(path);
    for (std::string_view part : parts)
        if (part.empty()) return nullptr;
    if (parts.size() == 1) return owner ? owner->FindComponent(parts[0]) : nullptr;
    // The first part is a frame of the owner, or else an open container.
    const TfrComponentContainer* container =
        owner ? AsContainer(owner->FindComponent(parts[0])) : nullptr;
    if (!container) container = FindContainer(parts[0]);
    for (std::size_t k = 1; container && k + 1 < parts.size(); ++k)
        container = AsContainer(container->FindComponent(parts[k]));
    return container ? container->FindComponent(parts.back()) : nullptr;
}

bool IsOfClass(const TfrComponent& component, TfrComponentClass cls) {
    switch (cls) {
    case TfrComponentClass::TDataSet:
        return std::holds_alternative<db::TADOQuery*>(component.Object);
    case TfrComponentClass::TfrDataset:
        return std::holds_alternative<TfrDataset*>(component.Object);
    case TfrComponentClass::TDataSource:
        return std::holds_alternative<TDataSource*>(component.Object);
    case TfrComponentClass::TfrReport:
        return std::holds_alternative<TfrReport*>(component.Object);
    }
    return false;
}

void* ComponentPointer(const TfrComponentObject& object) {
    return std::visit([](auto* p) -> void* { return static_cast<void*>(p); }, object);
}

void EnumerateComponents(TfrComponentClass cls, rtl::TStringList& list, const void* except) {
    list.Clear();
    const TfrComponentContainer* owner = ReportOwner();
    for (TfrContainerKind kind :
         {TfrContainerKind::Form, TfrContainerKind::DataModule, TfrContainerKind::DataModuleForm}) {
        for (const TfrComponentContainer* container : Containers()) {
            if (container->Kind() != kind) continue;
            for (const TfrComponent& c : container->Components()) {
                void* object = ComponentPointer(c.Object);
                if (!IsOfClass(c, cls) || object == except) continue;
                list.AddObject(container == owner ? c.Name : container->Name() + "." + c.Name,
                               object);
            }
        }
    }
}
