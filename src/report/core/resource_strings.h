#pragma once
// The engine's string table: every message, caption and hint by number.

#include <functional>
#include <string>

// Engine texts by identifier, in CP936; "" for an unknown identifier.
std::string LoadResourceString(int identifier);

class TfrLocale {
public:
    static TfrLocale& Instance();

    std::string LoadResourceString(int identifier);

    // When set and it yields a non-empty text, that text wins.
    std::function<void(int identifier, std::string& text)> OnLocalize;

private:
    TfrLocale() = default;
};
