#pragma once
// Template stream versions (the version byte a template starts with), each
// named by what it added to the page and object records. Templates of
// versions 21 to 25 are read; 25 is written.

// No version byte yet; memo objects always wrapped their text.
constexpr int frStreamVersionOldest = 21;
// Counted strings, object names, object scripts and visibility, font
// character sets.
constexpr int frStreamVersionNames = 23;
// Object record versions, tags, restrictions and gaps, band columns, memo
// spacing, the paper source, dialog pages and record end positions.
constexpr int frStreamVersionRecordVersions = 24;
// The version this program writes.
constexpr int frStreamVersionCurrent = 25;
