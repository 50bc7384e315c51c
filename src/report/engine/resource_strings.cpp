#include "report/engine/resource_strings.h"

#include "platform/text/cp936.h"

#include <unordered_map>

namespace {

// Identifier -> text (UTF-8 here, CP936 once loaded). Keep rows sorted by
// identifier within each block; one block per subsystem.
struct Row {
    int id;
    const char* text;
};

const Row kStrings[] = {
    // Printer and paper names.
    {55007, "虚拟打印机"},
    {55435, "缺省"},
};

const std::unordered_map<int, std::string>& Table() {
    static const std::unordered_map<int, std::string> table = [] {
        std::unordered_map<int, std::string> t;
        for (const Row& r : kStrings) t.emplace(r.id, text::Utf8ToCp936(r.text));
        return t;
    }();
    return table;
}

} // namespace

TfrLocale& TfrLocale::Instance() {
    static TfrLocale locale;
    return locale;
}

std::string TfrLocale::LoadResourceString(int identifier) {
    if (OnLocalize) {
        std::string text;
        OnLocalize(identifier, text);
        if (!text.empty()) return text;
    }
    const auto& t = Table();
    auto it = t.find(identifier);
    return it == t.end() ? std::string() : it->second;
}

std::string LoadResourceString(int identifier) {
    return TfrLocale::Instance().LoadResourceString(identifier);
}
