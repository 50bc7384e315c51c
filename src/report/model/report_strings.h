#pragma once
// String-table identifiers of the report component's messages.

constexpr int frsUnsupportedFormat = 55320;
constexpr int frsErrorCaption = 55321;
constexpr int frsPrinterError = 55322;
constexpr int frsProgressOf = 55323;
