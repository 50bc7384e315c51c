#pragma once
// The value side of the report being built (CurReport()): how names in
// expressions and scripts get their values, how assignments in scripts land,
// and how a memo's value becomes display text through its format code.
//
// A format code packs category × 2^24 + index × 2^16 + decimals × 2^8 +
// decimal separator character. Categories: 0 text, 1 number, 2 date,
// 3 time, 4 boolean; index 4 is "custom": the format text is the pattern.

#include "platform/rtl/variant.h"

#include <cstdint>
#include <string>

enum TfrFormatCategory : int {
    fcText = 0,
    fcNumber = 1,
    fcDate = 2,
    fcTime = 3,
    fcBoolean = 4,
};
constexpr int kCustomFormatIndex = 4;

constexpr int32_t frFormatCode(int category, int index, int decimals, unsigned char separator) {
    return static_cast<int32_t>((static_cast<uint32_t>(category & 0x0F) << 24) |
                                (static_cast<uint32_t>(index & 0xFF) << 16) |
                                (static_cast<uint32_t>(decimals & 0xFF) << 8) | separator);
}

// The value of a name (an identifier upper-cased, a bracketed name as
// written), first match wins:
//  1. the report's OnGetValue, when it leaves anything but Unassigned (Null too);
//  2. the data dictionary: a field's value, or a variable's (a script
//     variable of the same name wins; an expression text is evaluated);
//  3. the system variables VALUE, PAGE#, DATE, TIME, LINE#, LINETHROUGH#,
//     COLUMN#, CURRENT#, TOTALPAGES, REPORTCOMMENT, REPORTNAME, REPORTAUTOR,
//     VMAJOR, VMINOR, VRELEASE, VBUILD, REPORTDATE, REPORTLASTCHANGE,
//     CALCWIDTH (exact upper case);
//  4. a script variable;
//  5. ResolveSpecialValue;
//  6. the name evaluated as an expression with the shared parser. A name
//     that comes back to itself raises EParserError "符号没定义 \"NAME\"",
//     except while aggregates are being registered (then Unassigned).
// The target of the shared parser's OnValueRequest.
void ResolveValue(const std::string& name, rtl::TVariant& value);

// CURY, FREESPACE, FINALPASS, PAGEHEIGHT, PAGEWIDTH (0 while no page is
// formed), Object.Property, then the named constants; `value` is left as it
// is when the name is none of them.
void ResolveSpecialValue(const std::string& name, rtl::TVariant& value);

// "Object.Property": the object is PAGEn (the n-th page), else the first
// object of that name on any page, else the current object when it has a
// property named by the part before the period (then the whole name is the
// property). False, with `value` untouched, when no object has the property.
bool ReadObjectProperty(const std::string& name, rtl::TVariant& value);

// Assignment from a script (name := value), first rule that applies: a
// script variable; a dictionary variable (or field name); MODALRESULT of a
// dialog page; CURY (the page's output position); PROGRESS (the progress
// window's second line); a property of an object (Object.Property, or the
// current object's property); otherwise a new script variable. INC and DEC
// assign through here too.
void AssignVariableValue(const std::string& name, const rtl::TVariant& value);

// Splits "expression #suffix" at the first blank followed by '#' and turns
// the suffix into a format code and text: #N2,2 (number, 2 decimals, ','),
// #N#,##0.00 (number pattern), #B否;是 (boolean texts), #Dyyyy-mm-dd and
// #Thh:nn (date-time pattern); anything else is kept as the format text.
// False, with nothing changed, when there is no suffix.
bool SplitFormatSuffix(std::string& expression, int32_t& formatCode, std::string& formatText);

// The display text of one bracketed expression of the current object:
// suffix, value (CurrentValue), hide-zeros, then FormatValue with the
// object's format code and text. "" while aggregates are being registered.
// Installed as frEngineHooks().GetFormattedValue.
std::string GetFormattedValue(const std::string& expression);

// Unassigned, Null and blank text show as ""; any failure shows the value's
// plain text.
std::string FormatValue(const rtl::TVariant& value, int32_t formatCode,
                        const std::string& formatText);
