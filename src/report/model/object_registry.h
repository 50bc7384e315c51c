#pragma once
// The object registry: makes report objects from a kind code, or for kinds
// added by registration (code 10) from their class name, and numbers every
// object it makes.

#include "report/model/view.h"

#include <QImage>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

// A class of view that can be registered: its name and how to make one.
struct TfrViewClass {
    std::string ClassName;
    std::function<std::unique_ptr<TfrView>()> Create;

    template <class T> static TfrViewClass Of() {
        return TfrViewClass{T().ClassName(), [] { return std::make_unique<T>(); }};
    }
};

struct TfrAddInObjectInfo {
    TfrViewClass ClassRef;
    QImage ButtonBmp;       // the designer's object-bar button
    std::string ButtonHint; // a text, or a string-table number as text
    int IsControl = 0;
};

constexpr int frMaxAddIns = 64;

// A registered class name that no registered kind has; the message lists
// every such name met while loading, each followed by a CR.
class EClassNotFound : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Codes 0..4 make the built-in kinds, 10 a registered kind by exact class
// name (EClassNotFound when none has it); other codes make nothing.
std::unique_ptr<TfrView> CreateObject(int typ, const std::string& className);

// Appends a kind unless its class is registered already. Raises
// std::length_error once the table holds frMaxAddIns kinds.
void RegisterObject(const TfrViewClass& cls, const QImage& buttonBmp, const std::string& hint);

const std::vector<TfrAddInObjectInfo>& frAddIns();
// Empties the table (for a fresh process state in tests).
void frClearAddIns();

// The next ObjectId to be handed out.
int32_t frNextObjectId();

// The loader's message for unknown classes: `names` as collected (each
// followed by a CR).
std::string NonPluggedComponentsMessage(const std::string& names);
