#pragma once
// The engine's string table: every message, caption and hint by number.

#include <functional>
#include <string>
#include <unordered_map>

// Engine texts by identifier, in CP936; "" for an unknown identifier.
std::string LoadResourceString(int identifier);

class TfrLocale {
public:
    static TfrLocale& Instance();

    // OnLocalize's text when it gives one; else the loaded resource module's
    // text, else the program's own. At most 1023 bytes, as the table's
    // buffer holds.
    std::string LoadResourceString(int identifier);

    // When set and it yields a non-empty text, that text wins.
    std::function<void(int identifier, std::string& text)> OnLocalize;

    // A resource module replaces the program's texts (a translation). It is
    // a UTF-8 text file of lines "identifier=text"; "\n", "\r", "\t" and
    // "\\" in a text stand for those characters; blank lines and lines
    // starting with ";" are skipped. Identifiers the module lacks keep the
    // program's text. False, with the current module kept, when the file
    // cannot be read or a line is malformed.
    bool LoadResourceModule(const std::string& fileName);
    void UnloadResourceModule() { module_.clear(); }

private:
    TfrLocale() = default;
    std::unordered_map<int, std::string> module_;
};
