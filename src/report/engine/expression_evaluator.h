#pragma once
// Puts the data layer behind the dictionary's look-ups and the expression
// parser behind the model's evaluation hook (frEngineHooks().Calculate), so
// memo tags, list methods (.ADD and the like) and LOADFROMFILE evaluate.
//
// Names resolve through the current report: its OnGetValue event, then its
// dictionary (variables, data-set fields and their aliases), then the name
// evaluated as an expression, an unknown name ending in EParserError
// "符号没定义 \"NAME\"". Calls other than the parser's built-ins yield "0"
// unless the report's OnUserFunction sets a value.

// frDictionaryHooks(): data sets and fields from the component registry.
void InstallDictionaryLookups();
// The dictionary look-ups, and frEngineHooks().Calculate with a parser of its
// own (kept by the hook itself, so resetting the hook frees it).
void InstallExpressionEvaluator();
