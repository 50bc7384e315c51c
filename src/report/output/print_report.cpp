#include "report/output/print_report.h"

#include "platform/gdi/qpainter_canvas.h"
#include "platform/print/system_printer.h"
#include "platform/rtl/scoped_restore.h"
#include "platform/rtl/sysutils.h"
#include "platform/text/cp936.h"
#include "report/core/process_state.h"
#include "report/core/resource_strings.h"
#include "report/core/string_ids.h"
#include "report/engine/prepared_pages.h"
#include "report/model/report.h"
#include "report/printer/printer.h"

#include <QPainter>

#include <algorithm>
#include <cstdint>
#include <limits>

namespace {

// Resolution of pages printed into a file on the virtual printer, which has
// no device of its own.
constexpr int kVirtualFileDpi = 600;
// The virtual printer's unprintable edge, tenths of a millimetre.
constexpr int kVirtualEdge = 50;
// The device mode keeps copies in 16 bits; more are painted one by one.
constexpr int kMaxDeviceCopies = 32767;

std::string WithoutBlanks(const std::string& text) {
    std::string t;
    t.reserve(text.size());
    for (char c : text)
        if (c != ' ') t += c;
    return t;
}

int RoundInt(double value) {
    const double limit = std::numeric_limits<int>::max();
    return static_cast<int>(rtl::Round(std::clamp(value, -limit, limit)));
}

int PixelsOf(int tenthsMm, int dpi) {
    return RoundInt(tenthsMm * static_cast<double>(dpi) / 254.0);
}

// Device pixels of `units` report units along a side measured both ways.
int Scale(int units, int pixels, int reportUnits) {
    if (reportUnits == 0) return 0;
    return RoundInt(static_cast<double>(units) * pixels / reportUnits);
}

std::string WithName(int message, const std::string& name) {
    return LoadResourceString(message) + ": " + name;
}

} // namespace

std::vector<int> ParsePageNumbers(const std::string& text, int pageCount) {
    std::string t = WithoutBlanks(text);
    if (t.empty()) return {};
    const int last = std::max(pageCount, 0);
    if (t.back() == '-') t += std::to_string(last);
    t += ',';

    // Each piece marks the start and the end of its pages; the sums give the
    // selection. Only existing pages are marked, so the work and the result
    // stay within the page count whatever numbers the text holds.
    std::vector<int> marks(static_cast<size_t>(last) + 2, 0);
    auto mark = [&](int from, int to) {
        from = std::max(from, 1);
        to = std::min(to, last);
        if (from > to) return;
        ++marks[static_cast<size_t>(from)];
        --marks[static_cast<size_t>(to) + 1];
    };
    size_t from = 0;
    bool rangeOpen = false;
    int rangeStart = 0;
    for (size_t i = 0; i < t.size(); ++i) {
        if (t[i] == '-') {
            rangeStart = rtl::StrToInt(std::string_view(t).substr(from, i - from));
            rangeOpen = true;
            from = i + 1;
        } else if (t[i] == ',') {
            const int n = rtl::StrToInt(std::string_view(t).substr(from, i - from));
            mark(rangeOpen ? rangeStart : n, n);
            rangeOpen = false;
            from = i + 1;
        }
    }
    std::vector<int> pages;
    int depth = 0;
    for (int page = 1; page <= last; ++page) {
        depth += marks[static_cast<size_t>(page)];
        if (depth > 0) pages.push_back(page);
    }
    return pages;
}

// ---------------------------------------------------------------------------
// The print loop.

struct TfrPrintRun::State {
    State(TfrPrinter& p, print::SystemPrinter& sp) : printer(p), system(sp) {}
    TfrPrinter& printer;
    print::SystemPrinter& system;
    bool toFile = false;
    QString title;
    int deviceCopies = 1;
    bool jobOpen = false;
    bool sheetInJob = false;
    // The paper the job was started for: pages asking for it belong to the
    // job even when the printer could not give exactly that paper.
    int paper[5] = {};
};

TfrPrintRun::TfrPrintRun(TfrReport& report, const TfrPrintRequest& request)
    : report_(report), request_(request) {
    TfrPrinter& printer = ReportPrinter();
    print::SystemPrinter& system =
        printer.SystemPrinter ? *printer.SystemPrinter : print::Printer();
    state_ = std::make_unique<State>(printer, system);
    state_->toFile = !request.OutputFile.isEmpty();
}

TfrPrintRun::~TfrPrintRun() {
    print::SystemPrinter& system = state_->system;
    if (state_->jobOpen) system.AbortDoc();
    if (state_->toFile) system.AbortOutputFile();
    try {
        SetCopies(1);
    } catch (...) {
        // Nothing to undo on a printer that went away.
    }
}

void TfrPrintRun::SetCopies(int copies) {
    TfrPrinter& printer = state_->printer;
    if (printer.IsVirtual()) return;
    QString device, driver, port;
    print::DeviceMode mode;
    if (!state_->system.GetPrinter(device, driver, port, mode) || !(mode.fields & print::DM_COPIES))
        return;
    mode.copies = static_cast<int16_t>(std::clamp(copies, 1, kMaxDeviceCopies));
    state_->system.SetDeviceMode(mode);
}

void TfrPrintRun::FillPageInfo(PreparedPageInfo& page) {
    TfrPrinter& printer = state_->printer;
    printer.FillPageInfo(page.PageInfo);
    if (!printer.IsVirtual()) return;
    // The virtual printer states its page in report units only; a file
    // printed on it takes the same sheet in pixels of its own resolution.
    PrinterPageInfo& info = page.PageInfo;
    info.PhysWidthPx = PixelsOf(printer.PaperWidth, kVirtualFileDpi);
    info.PhysHeightPx = PixelsOf(printer.PaperHeight, kVirtualFileDpi);
    info.PhysOffsetXPx = info.PhysOffsetYPx = PixelsOf(kVirtualEdge, kVirtualFileDpi);
    info.PrintableWidthPx = info.PhysWidthPx - 2 * info.PhysOffsetXPx;
    info.PrintableHeightPx = info.PhysHeightPx - 2 * info.PhysOffsetYPx;
}

void TfrPrintRun::BeginJob(PreparedPageInfo& page) {
    State& s = *state_;
    TfrPrinter& printer = s.printer;
    if (!printer.IsSamePaper(page.PaperSize, page.PaperWidth, page.PaperHeight, page.Orientation,
                             page.Bin))
        printer.SetPaper(page.PaperSize, page.PaperWidth, page.PaperHeight, page.Orientation,
                         page.Bin, true);
    // A change of paper applies the printer's settings afresh, copies
    // included: every job gets the copies asked for, not only the first.
    SetCopies(s.deviceCopies);
    bool started = false;
    if (printer.IsVirtual()) {
        print::FileSheet sheet;
        sheet.sizeMm = QSizeF(printer.PaperWidth / 10.0, printer.PaperHeight / 10.0);
        sheet.dpi = kVirtualFileDpi;
        sheet.edgeX = sheet.edgeY = PixelsOf(kVirtualEdge, kVirtualFileDpi);
        started = s.system.BeginDoc(s.title, sheet);
    } else {
        started = s.system.BeginDoc(s.title);
    }
    if (!started) {
        if (s.toFile)
            throw EfrPrintError(
                WithName(frsPrintFileFailed, text::QStringToCp936(request_.OutputFile)));
        throw EfrPrintError(WithName(frsPrintJobFailed, printer.DeviceName));
    }
    s.jobOpen = true;
    s.sheetInJob = false;
    s.paper[0] = page.PaperSize;
    s.paper[1] = page.PaperWidth;
    s.paper[2] = page.PaperHeight;
    s.paper[3] = page.Orientation;
    s.paper[4] = page.Bin;
}

void TfrPrintRun::EndJob() {
    State& s = *state_;
    if (!s.jobOpen) return;
    s.jobOpen = false;
    if (!s.system.EndDoc()) throw EfrPrintError(WithName(frsPrintJobFailed, s.printer.DeviceName));
    ++jobs_;
}

void TfrPrintRun::PrintPage(int index) {
    State& s = *state_;
    TfrEMFPages& pages = *report_.PreparedPages;
    PreparedPageInfo& page = pages.PageAt(index);
    const int number = index + 1;
    if (request_.Parity == frPrintOddPages && number % 2 == 0) return;
    if (request_.Parity == frPrintEvenPages && number % 2 != 0) return;

    const bool samePaper = s.printer.IsSamePaper(page.PaperSize, page.PaperWidth, page.PaperHeight,
                                                 page.Orientation, page.Bin) ||
                           (s.jobOpen && s.paper[0] == page.PaperSize &&
                            s.paper[1] == page.PaperWidth && s.paper[2] == page.PaperHeight &&
                            s.paper[3] == page.Orientation && s.paper[4] == page.Bin);
    if (s.jobOpen && samePaper) {
        if (s.sheetInJob) s.system.NewPage();
    } else {
        EndJob();
        BeginJob(page);
    }

    FillPageInfo(page);
    page.Visible = true;
    const PrinterPageInfo& info = page.PageInfo;
    gdi::TRect target;
    if (page.UseMargins) {
        target = {-info.PhysOffsetXPx, -info.PhysOffsetYPx, info.PhysWidthPx - info.PhysOffsetXPx,
                  info.PhysHeightPx - info.PhysOffsetYPx};
    } else {
        target = {Scale(page.Margins.Left, info.PrintableWidthPx, info.PrintableWidth),
                  Scale(page.Margins.Top, info.PrintableHeightPx, info.PrintableHeight),
                  info.PrintableWidthPx -
                      Scale(page.Margins.Right, info.PrintableWidthPx, info.PrintableWidth),
                  info.PrintableHeightPx -
                      Scale(page.Margins.Bottom, info.PrintableHeightPx, info.PrintableHeight)};
    }
    QPainter& painter = *s.system.Painter();
    painter.save();
    {
        gdi::QPainterCanvas canvas(&painter, s.system.JobDpiX(), s.system.JobDpiY());
        pages.DrawPage(index, canvas, target);
        // Not visible, painted into nothing: its live objects go.
        page.Visible = false;
        pages.DrawPage(index, canvas, gdi::TRect{});
    }
    painter.restore();
    s.sheetInJob = true;
    ++sheets_;
    report_.ReportProgress(number);
}

bool TfrPrintRun::Run() {
    State& s = *state_;
    TfrPrinter& printer = s.printer;
    // The printer list may have changed since the program started.
    printer.AttachPrinter(&s.system);

    TfrEMFPages& pages = *report_.PreparedPages;
    const int count = pages.Count();
    const std::vector<int> listed = ParsePageNumbers(request_.PageList, count);
    const bool everyPage = WithoutBlanks(request_.PageList).empty();
    std::vector<char> selected(static_cast<size_t>(count), everyPage ? 1 : 0);
    for (int number : listed) selected[static_cast<size_t>(number - 1)] = 1;
    const int copies = std::max(request_.Copies, 1);
    if (count == 0) return true;
    if (!s.toFile && printer.IsVirtual()) throw EfrPrintError(LoadResourceString(frsNoPrinter));

    PreparedPageInfo& first = pages.PageAt(0);
    printer.SetPaper(first.PaperSize, first.PaperWidth, first.PaperHeight, first.Orientation,
                     first.Bin, true);
    FillPageInfo(first);
    s.title = text::Cp936ToQString(report_.Title.empty() ? LoadResourceString(frsUntitledJob)
                                                         : report_.Title);
    if (report_.OnPrintReport) report_.OnPrintReport();

    // Collated, the whole selection goes round once per copy. Not collated,
    // the printer repeats each sheet; into a file, or beyond what the
    // printer can count, the loop paints each page that many times itself.
    int rounds = 1;
    int repeats = 1;
    s.deviceCopies = 1;
    if (request_.Collate)
        rounds = copies;
    else if (s.toFile || copies > kMaxDeviceCopies)
        repeats = copies;
    else
        s.deviceCopies = copies;

    if (s.toFile && !s.system.BeginOutputFile(request_.OutputFile))
        throw EfrPrintError(
            WithName(frsPrintFileFailed, text::QStringToCp936(request_.OutputFile)));

    auto parityPrints = [this](int number) {
        if (request_.Parity == frPrintOddPages) return number % 2 != 0;
        if (request_.Parity == frPrintEvenPages) return number % 2 == 0;
        return true;
    };
    for (int round = 0; round < rounds; ++round) {
        for (int i = 0; i < count; ++i) {
            if (!selected[static_cast<size_t>(i)] || !parityPrints(i + 1)) continue;
            for (int r = 0; r < repeats; ++r) {
                PrintPage(i);
                if (report_.CancelRequested) {
                    // Dropped whole: the queue never sees the unfinished job.
                    s.jobOpen = false;
                    s.system.AbortDoc();
                    if (s.toFile) s.system.AbortOutputFile();
                    return false;
                }
            }
        }
    }
    EndJob();
    if (s.toFile && !s.system.EndOutputFile())
        throw EfrPrintError(
            WithName(frsPrintFileFailed, text::QStringToCp936(request_.OutputFile)));
    return true;
}

bool RunPrintJob(TfrReport& report, const TfrPrintRequest& request) {
    TfrPrintRun run(report, request);
    return run.Run();
}

// ---------------------------------------------------------------------------

bool PrintBuiltReport(TfrReport& report, const TfrPrintRequest& request) {
    SetCurReport(&report);
    frEngine().MasterReport = &report;
    report.CancelRequested = false;
    report.PrintPageList = request.PageList;
    report.PrintCopies = request.Copies;
    report.PrintParity = request.Parity;
    report.PrintCollate = request.Collate;
    // A bad page text is reported before any window opens.
    ParsePageNumbers(request.PageList, report.PreparedPages->Count());

    const TfrGuiHooks& hooks = frGuiHooks();
    if (report.OnProgress || !report.ShowProgress || !hooks.RunWithProgress) {
        // Nothing on the pages answers the mouse while they print.
        rtl::ScopedRestore<std::function<void(TfrView*, int&)>> noMouse(report.OnMouseOverObject,
                                                                        {});
        return RunPrintJob(report, request);
    }
    std::string caption = LoadResourceString(frsPreparingReport);
    if (!report.Title.empty()) caption += " - " + report.Title;
    report.ProgressBaseText = LoadResourceString(frsPrintingPage);
    bool completed = false;
    const int result =
        hooks.RunWithProgress(report, caption, [&] { completed = RunPrintJob(report, request); });
    return completed && result == mrOk;
}

bool PrintBuiltReport(TfrReport& report, const std::string& pageList, int copies, int parity,
                      bool collate) {
    TfrPrintRequest request;
    request.PageList = pageList;
    request.Copies = copies;
    request.Parity = parity;
    request.Collate = collate;
    return PrintBuiltReport(report, request);
}

bool PrintBuiltReportToPdf(TfrReport& report, const QString& fileName, const std::string& pageList,
                           int copies, int parity, bool collate) {
    TfrPrintRequest request;
    request.PageList = pageList;
    request.Copies = copies;
    request.Parity = parity;
    request.Collate = collate;
    request.OutputFile = fileName;
    if (fileName.isEmpty()) throw EfrPrintError(WithName(frsPrintFileFailed, std::string()));
    return PrintBuiltReport(report, request);
}

bool ChangeReportPrinter(TfrReport& report, int previousIndex, int newIndex) {
    return report.ChangePrinter(previousIndex, newIndex);
}
