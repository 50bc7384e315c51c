#pragma once
// Printing labels from the command line without a window: the main
// window's statements and before-print rule, the same build and the same
// print path, into a PDF file or onto a print queue.
//
//   labelprint --db FILE [--password W] --table T --barcode FIELD --name FIELD
//              [--find-barcode X] [--find-name Y] [--template FILE]
//              (--pdf OUT.pdf | --print QUEUE [--copies N]) [--pages RANGE] [--first N]

#include <QString>
#include <QStringList>
#include <optional>

// Exit codes of a batch run.
constexpr int kBatchDone = 0;
constexpr int kBatchUsageError = 1;
constexpr int kBatchDataError = 2; // database or template
constexpr int kBatchPrintError = 3;

struct BatchOptions {
    bool Help = false;
    QString Database;
    QString Password;
    QString Table;
    QString Barcode;
    QString Name;
    std::optional<QString> FindBarcode;
    std::optional<QString> FindName;
    QString Template; // empty: Print.frf where the program keeps it
    QString Pdf;      // one of Pdf and Queue is given
    QString Queue;
    int Copies = 1;
    QString Pages; // page-number text; empty for every page
    int First = 1; // label position the first sheet starts on
};

struct BatchParseResult {
    std::optional<BatchOptions> Options; // none after a usage error
    QString Error;
};

// The arguments after the program name.
BatchParseResult ParseBatchArguments(const QStringList& args);

// The --help text.
QString BatchUsage();

// Whether a command line asks for the batch mode rather than the window: any
// option other than --sample (the window takes a database path and --sample).
bool IsBatchCommandLine(int argc, char** argv);

// Runs a parsed batch job; a Qt GUI application must exist. Messages go to
// standard error.
int RunBatch(const BatchOptions& options);

// The whole batch mode from main(): arguments, a windowless application
// (offscreen unless QT_QPA_PLATFORM says otherwise), the engine's start-up,
// the job. Returns the exit code.
int BatchMain(int argc, char** argv);
