#pragma once
// The two libraries registered at start-up: the standard functions
// (aggregates, dates, strings, numbers, INPUT and MESSAGEBOX) and the
// database function FIELDISNULL. Arguments are evaluated with the shared
// parser; their errors reach the caller of the expression.

#include "report/engine/function_library.h"

#include <string>

class TfrStdFunctionLibrary : public TfrFunctionLibrary {
public:
    TfrStdFunctionLibrary();
    static std::string StaticClassName() { return "TfrStdFunctionLibrary"; }
    std::string ClassName() const override { return StaticClassName(); }
    void DoFunction(int index, const rtl::TVariant& p1, const rtl::TVariant& p2,
                    const rtl::TVariant& p3, rtl::TVariant& value) override;
};

class TDatabaseFunctionLibrary : public TfrFunctionLibrary {
public:
    TDatabaseFunctionLibrary();
    static std::string StaticClassName() { return "TDatabaseFunctionLibrary"; }
    std::string ClassName() const override { return StaticClassName(); }
    void DoFunction(int index, const rtl::TVariant& p1, const rtl::TVariant& p2,
                    const rtl::TVariant& p3, rtl::TVariant& value) override;
};

// Message-box buttons as the flags of MESSAGEBOX give them, and the
// identifiers of the buttons.
constexpr int frmbButtonsMask = 0x0F;
constexpr int frIdOk = 1;
constexpr int frIdCancel = 2;
constexpr int frIdAbort = 3;
constexpr int frIdRetry = 4;
constexpr int frIdIgnore = 5;
constexpr int frIdYes = 6;
constexpr int frIdNo = 7;

// The identifier of the first button of a message box with these flags: the
// answer when nobody can press one (no user interface, batch mode).
int frFirstButtonOf(int flags);
