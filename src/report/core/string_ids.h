#pragma once
// Identifiers of the string table's texts, one block per subsystem; the texts
// themselves live in resource_strings.cpp.

// Report objects: band names, popup items, placeholders and load errors.
constexpr int frsBandNames = 55250; // + band type 0..22
constexpr int frsStretched = 55280;
constexpr int frsMemoFormat = 55281;
constexpr int frsMemoFont = 55282;
constexpr int frsMemoClear = 55283;
constexpr int frsWordWrap = 55284;
constexpr int frsWordBreak = 55285; // empty in this program: no word-break item
constexpr int frsAutoSize = 55286;
constexpr int frsTextOnly = 55287;
constexpr int frsSuppress = 55288;
constexpr int frsHideZeros = 55289;
constexpr int frsUnderlines = 55290;
constexpr int frsFormNewPage = 55291;
constexpr int frsPrintIfSubsetEmpty = 55292;
constexpr int frsBreaked = 55293;
constexpr int frsOnFirstPage = 55294;
constexpr int frsOnLastPage = 55295;
constexpr int frsRepeatHeader = 55296;
constexpr int frsPrintChildIfInvisible = 55297;
constexpr int frsPictureCenter = 55298;
constexpr int frsKeepAspect = 55299;
constexpr int frsPicturePlaceholder = 55300;
constexpr int frsNonPluggedHead = 55301;
constexpr int frsNonPluggedTail = 55302;

// The report component's messages.
constexpr int frsUnsupportedFormat = 55320;
constexpr int frsErrorCaption = 55206;
constexpr int frsPrinterError = 55210;
constexpr int frsProgressOf = 55199;

// The parser's, the data sets' and the dictionary look-ups' messages.
constexpr int frsUndefinedSymbol = 55439;       // followed by a blank and the name in quotes
constexpr int frsExpressionTooComplex = 55443;  // more values pending than the stack holds
constexpr int frsMissingOperand = 55444;        // an operator with too few values
constexpr int frsUnbalancedParentheses = 55445; // a call whose parentheses do not close
constexpr int frsNestedTooDeeply = 55446;       // evaluations nested beyond the limit
constexpr int frsCircularReference = 55447;     // followed by a blank and the name in quotes

// The script compiler's messages (its syntax errors and limits) and the
// script runner's step limit.
constexpr int frsNeedSemicolonOrEnd = 55500;
constexpr int frsNeedThen = 55501;
constexpr int frsNeedSemicolonOrUntil = 55502;
constexpr int frsNeedDo = 55503;
constexpr int frsNeedTo = 55504;
constexpr int frsGotoLabelNotNumber = 55505;
constexpr int frsNeedAssignment = 55506;
constexpr int frsNeedCloseParenthesis = 55507;
constexpr int frsNeedCloseBracket = 55508;
constexpr int frsNeedCommaOrParenthesis = 55509;
constexpr int frsNeedExpression = 55510; // where an operand should start
constexpr int frsNeedQuote = 55511;      // a quoted text not closed on its line
constexpr int frsNeedVariable = 55512;   // FOR without its variable
constexpr int frsScriptTooLong = 55513;  // beyond the compiler's buffer
constexpr int frsTooManyLabels = 55514;
constexpr int frsLabelTooLong = 55515;
constexpr int frsUndefinedLabel = 55516;  // %s: the label's digits
constexpr int frsScriptTooDeep = 55517;   // nesting beyond the compiler's limit
constexpr int frsScriptStepLimit = 55518; // %s: the limit; raised while running

// Display formats: category names, the format dialog's rows, and the
// patterns values are shown with by format index.
constexpr int frsFormatCategoryNames = 55130; // + category 0..4
constexpr int frsFormatRows = 55150;          // + 5 * category + row 0..4
constexpr int frsBooleanFormats = 55170;      // + index 0..3: "false;true"
constexpr int frsDateFormats = 55175;         // + index 0..3
constexpr int frsTimeFormats = 55179;         // + index 0..3

// Function libraries: the picker's root and the categories; each
// function's description has its own identifier (std_function_library.cpp).
constexpr int frsAllFunctions = 55348;
constexpr int frsCategoryAggregates = 55349;
constexpr int frsCategoryDateTime = 55350;
constexpr int frsCategoryString = 55351;
constexpr int frsCategoryOther = 55352;
constexpr int frsCategoryMath = 55353;
constexpr int frsCategoryLogical = 55354;
constexpr int frsCategoryInterpreter = 55355;
constexpr int frsCategoryDatabase = 55620;
constexpr int frsCategoryReportInfo = 55622;

// Texts every dialog shares.
constexpr int frsOkButton = 55000;
constexpr int frsCancelButton = 55001;
constexpr int frsErrorBoxCaption = 55206;

// The barcode object and its editor.
constexpr int frsBarCodeEditorCaption = 53650;
constexpr int frsBarCodeCodeLabel = 53651;
constexpr int frsBarCodeTypeLabel = 53652;
constexpr int frsBarCodeOptions = 53653;
constexpr int frsBarCodeCheckSum = 53654;
constexpr int frsBarCodeViewText = 53655;
constexpr int frsBarCodeInsertExpression = 53656;
constexpr int frsBarCodeRotation = 53658;
constexpr int frsBarCodeZoomLabel = 53659;
constexpr int frsInsertBarCode = 55338; // the object bar's hint, given as "55338"
constexpr int frsBarCodeError = 55339;
constexpr int frsBarCodeEmpty = 55340;
constexpr int frsBarCodeBadZoom = 55341;
constexpr int frsBarCodeBadRotation = 55342;
constexpr int frsBarCodeZero = 55343;

// Prepared pages and prepared-report files.
constexpr int frsSaveChanges = 55306;
constexpr int frsPreparedFileDamaged = 55324;
constexpr int frsPreparedFileCompressed = 55325;
constexpr int frsPreparedPictureUnreadable = 55326;

// The report build.
constexpr int frsBuildError = 55200;       // then the object's text, report and object names
constexpr int frsBuildErrorReport = 55201; // "报表:"
constexpr int frsBuildErrorObject = 55202; // "对象:"
constexpr int frsFirstPass = 55204;

// Progress and password dialogs.
constexpr int frsConfirm = 55000;
constexpr int frsCancel = 55001;
constexpr int frsPreparingReport = 55203;
constexpr int frsProcessingPage = 55205;
constexpr int frsPrintingPage = 55208;
constexpr int frsPasswordCaption = 55653;
constexpr int frsPasswordPrompt = 55654;
constexpr int frsPasswordRetype = 55655;

// Printing and the print dialog.
constexpr int frsPrintCaption = 53040;
constexpr int frsPrintPrinterGroup = 53041;
constexpr int frsPrintProperties = 53042;
constexpr int frsPrintCopiesGroup = 53043;
constexpr int frsPrintRangeGroup = 53044;
constexpr int frsPrintAll = 53045;
constexpr int frsPrintCurrentPage = 53046;
constexpr int frsPrintPages = 53047;
constexpr int frsPrintPagesHint = 53048;
constexpr int frsPrintPrinterName = 53049;
constexpr int frsPrintCopies = 53050;
constexpr int frsPrintCollate = 53051;
constexpr int frsPrintWhich = 53052;
constexpr int frsPrintAllPages = 53053;
constexpr int frsPrintOddPages = 53054;
constexpr int frsPrintEvenPages = 53055;
constexpr int frsPrintToFile = 53056;
constexpr int frsPrintFileFilter = 53057; // "description|patterns" for the file dialog
constexpr int frsUntitledJob = 55209;
constexpr int frsSelectedPrinterError = 55210;
constexpr int frsPrintJobFailed = 55212;  // followed by ": " and the printer's name
constexpr int frsPrintFileFailed = 55218; // followed by ": " and the file's name
constexpr int frsNoPrinter = 55219;

// The preview window and its search dialog.
constexpr int frsSearchCaption = 53000;
constexpr int frsSearchTextLabel = 53001;
constexpr int frsSearchOptions = 53002;
constexpr int frsSearchMatchCase = 53003;
constexpr int frsSearchOrigin = 53004;
constexpr int frsSearchFromFirst = 53005;
constexpr int frsSearchFromCurrent = 53006;
constexpr int frsZoomPageWidth = 53020;
constexpr int frsZoomWholePage = 53021;
constexpr int frsZoomTwoPages = 53022;
constexpr int frsPreviewExitHint = 53023;
constexpr int frsPreviewZoomHint = 53024;
constexpr int frsPreviewLoadHint = 53025;
constexpr int frsPreviewSaveHint = 53026;
constexpr int frsPreviewPrintHint = 53027;
constexpr int frsPreviewFindHint = 53028;
constexpr int frsEditPage = 53029;
constexpr int frsAddPage = 53030;
constexpr int frsDeletePage = 53031;
constexpr int frsPreviewHelpHint = 53032;
constexpr int frsPreviewPageSetupHint = 53390; // the page options dialog's caption too
constexpr int frsPage = 55004;
constexpr int frsDeletePageQuestion = 55005;
constexpr int frsConfirmCaption = 55006;
constexpr int frsPreviewCaption = 55207;
constexpr int frsReportFiles = 55211;
