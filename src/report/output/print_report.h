#pragma once
// Printing a built report: a set of page numbers, all or only odd or even
// pages, a number of copies, collated or not, onto the current printer's
// queue or into a PDF file laid out exactly as on that printer's paper.
// Headless: the print dialog (print_form.h) and the batch mode both end here.
//
// The loop switches the printer to each page's paper; a run of pages on the
// same paper is one job, so a report mixing papers becomes several jobs (one
// file when printing into a file). A job is handed to the queue only when it
// is complete: a cancelled or failed run never leaves half a job queued.

#include <QString>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

class TfrReport;
struct PreparedPageInfo;

// A print run that could not be carried out: no printer to print on, a job
// the queue refused, a file that could not be written. The message is for
// the operator (CP936). Nothing was left half printed.
class EfrPrintError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Which pages of the selection print (TfrReport::PrintParity).
constexpr int frPrintAllPages = 0;
constexpr int frPrintOddPages = 1;
constexpr int frPrintEvenPages = 2;

// The page numbers a page-number text such as "1,3,5-12" selects among
// `pageCount` pages, ascending and each once. Blanks are ignored; "7-" runs
// to the last page; a range written backwards ("12-5") selects nothing, and
// so do numbers beyond the last page, so "1-2000000000" is every page and
// never a huge list. A piece that is not an integer ("1,,2", "-5", "x")
// raises rtl::EConvertError. An empty text gives an empty list; the print
// run takes an empty text (not an empty list) as every page.
std::vector<int> ParsePageNumbers(const std::string& text, int pageCount);

// What one print run is asked for.
struct TfrPrintRequest {
    std::string PageList; // page-number text (CP936); empty for every page
    int Copies = 1;       // below 1 counts as 1
    int Parity = frPrintAllPages;
    bool Collate = true;
    // A PDF file to print into instead of the printer's queue; empty for
    // the queue.
    QString OutputFile;
};

// Prints the report's prepared pages as asked (the report's PrintPageList,
// PrintCopies, PrintParity and PrintCollate keep the request), inside the
// progress window unless the report reports progress itself (OnProgress) or
// ShowProgress is off. The report becomes the current and master report.
// Returns false when the operator cancelled. A bad page-number text raises
// rtl::EConvertError and a printer or file failure EfrPrintError, both
// before anything is printed or with the unfinished job dropped.
bool PrintBuiltReport(TfrReport& report, const TfrPrintRequest& request);
bool PrintBuiltReport(TfrReport& report, const std::string& pageList, int copies, int parity,
                      bool collate);
// The same run into a PDF file, for the print dialog's "print to file" and
// the batch mode, e.g. PrintBuiltReportToPdf(report, "out.pdf", "1-3", 2).
// The pages are laid out as on the current printer's paper (on the virtual
// printer, on its papers with their 5 mm edges), text kept as text with the
// fonts embedded as subsets, bars as vector rectangles, every copy in the
// file. `pageList`, `copies`, `parity` and `collate` mean what they mean for
// the printer; no printer needs to be installed. The file takes the place of
// an existing one only when it is complete; a run that prints no page writes
// no file. Returns false when cancelled; raises rtl::EConvertError for a bad
// page-number text and EfrPrintError when the file cannot be written, with
// nothing written.
bool PrintBuiltReportToPdf(TfrReport& report, const QString& fileName,
                           const std::string& pageList = {}, int copies = 1,
                           int parity = frPrintAllPages, bool collate = true);

// The print loop itself, without the progress window: the request's pages
// in document order, `Copies` times when collated. Returns false when
// report.CancelRequested stopped it (the job in progress is dropped).
bool RunPrintJob(TfrReport& report, const TfrPrintRequest& request);

// One run of the print loop, page by page.
class TfrPrintRun {
public:
    TfrPrintRun(TfrReport& report, const TfrPrintRequest& request);
    // A job or file still open (an exception on the way) is dropped.
    ~TfrPrintRun();
    TfrPrintRun(const TfrPrintRun&) = delete;
    TfrPrintRun& operator=(const TfrPrintRun&) = delete;

    // RunPrintJob's loop; false when cancelled.
    bool Run();
    // Prints page `index` (number index + 1) onto the current job, starting
    // a new job when its paper differs; pages of the other parity are
    // skipped without any effect.
    void PrintPage(int index);

    // Sheets painted and jobs handed over so far.
    int SheetsPrinted() const { return sheets_; }
    int JobsPrinted() const { return jobs_; }

private:
    struct State;
    void BeginJob(PreparedPageInfo& page);
    void EndJob();
    void FillPageInfo(PreparedPageInfo& page);
    void SetCopies(int copies);

    TfrReport& report_;
    TfrPrintRequest request_;
    std::unique_ptr<State> state_;
    int sheets_ = 0;
    int jobs_ = 0;
};

// Makes another printer the report's printer (the print dialog chose it and
// the report is rebuilt for it): the pages take their papers on it again.
// False, after the error box "所选打印机错误", when it cannot be selected;
// the previous printer is current again then.
bool ChangeReportPrinter(TfrReport& report, int previousIndex, int newIndex);
