#pragma once
// Shared pieces of the printing tests: built label pages made by hand (a
// name memo and a Code 128 barcode per label), the jobs the tests' CUPS
// daemon received, and the outside readers that check the printed result:
// pdfinfo, pdftotext, pdftoppm and zbarimg.

#include "platform/print/test_cups.h"

#include "platform/rtl/string_list.h"
#include "platform/text/cp936.h"
#include "report/barcode/barcode_view.h"
#include "report/engine/memo_layout.h"
#include "report/engine/prepared_pages.h"
#include "report/model/memo_view.h"
#include "report/model/object_registry.h"
#include "report/model/page.h"
#include "report/model/report.h"
#include "report/printer/printer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>
#include <cups/cups.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

namespace print_test {

// A prepared page's paper.
struct Paper {
    int code = 9;
    int width = 2100; // tenths of a millimetre
    int height = 2970;
    int orientation = 0;
    bool useMargins = true;
    gdi::TRect margins{0, 0, 0, 0};
};
inline const Paper kA4{};
inline const Paper kA5{11, 1480, 2100};
inline const Paper kLabel60x40{256, 600, 400};

// One label: the name on top, its barcode (Code 128) below, at (left, top)
// in report units.
struct Label {
    std::string name; // UTF-8
    std::string code;
    int left = 0;
    int top = 0;
};

constexpr int kNameHeight = 20;
constexpr int kBarHeight = 50;

inline QString OutputDir(const QString& sub) {
    const QString dir = QStringLiteral(TEST_OUTPUT_DIR) + "/print/" + sub;
    QDir().mkpath(dir);
    return dir;
}

// Appends a prepared page holding the labels, as the build would leave it:
// the objects' records in the page stream, no live objects.
inline void AddLabelPage(TfrReport& report, const Paper& paper, const std::vector<Label>& labels) {
    TfrPage templatePage(paper.code, paper.width, paper.height, -1, paper.orientation);
    templatePage.UseMargins = paper.useMargins;
    templatePage.Margins = paper.margins;
    TfrEMFPages& pages = *report.PreparedPages;
    pages.AppendPage(templatePage);
    const int index = pages.Count() - 1;
    pages.MaterializePage(index);
    TfrPage& live = *pages.PageAt(index).Page;
    for (const Label& l : labels) {
        auto& memo = static_cast<TfrMemoView&>(live.AddObject(CreateObject(gtMemo, "")));
        memo.Name = "Name" + l.code;
        memo.Font.Name = text::L("宋体");
        memo.Font.Size = 9;
        memo.SetBounds(l.left, l.top, 200, kNameHeight);
        memo.Memo.SetText(text::Utf8ToCp936(l.name));
        auto& bar =
            static_cast<TfrBarCodeView&>(live.AddObject(CreateObject(gtAddIn, "TfrBarCodeView")));
        bar.Name = "B" + l.code;
        bar.BarType = bcCode128B;
        bar.CalcCheckSum = true;
        bar.Memo.SetText(l.code);
        bar.SetBounds(l.left, l.top + kNameHeight + 4, 120, kBarHeight);
    }
    pages.StorePageObjects(index);
    pages.PageAt(index).Page.reset();
}

// Labels one per page: record i (from 1) is "VKnnnn" named "标签 nnnn".
inline std::string Code(int record) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "VK%04d", record);
    return buffer;
}
inline std::string Name(int record) {
    // Glyphs these fonts share with radicals: the text must come back as written.
    return "风水标签 " + Code(record).substr(2);
}

// A report of `count` pages on `paper`, one label on each.
inline void AddNumberedPages(TfrReport& report, int count, const Paper& paper,
                             int firstRecord = 1) {
    for (int i = 0; i < count; ++i)
        AddLabelPage(report, paper, {{Name(firstRecord + i), Code(firstRecord + i), 10, 10}});
}

// What the printing tests need of the process: a GUI application for fonts,
// the barcode kind for reading pages back, the memo layout, and the process
// printer on the system printer (the tests' CUPS daemon).
inline void SetUpPrinting() {
    testcups::EnsureGuiApp();
    frRegisterBarCodeView();
    InstallMemoLayout();
    InitReportPrinter(&print::Printer());
}

// Makes the queue the report printer's current printer.
inline ::testing::AssertionResult UseQueue(const char* queue) {
    TfrPrinter& p = ReportPrinter();
    p.AttachPrinter(&print::Printer());
    const int index = p.PrinterNames.IndexOf(queue);
    if (index < 0) return ::testing::AssertionFailure() << queue << " is not a printer";
    p.SelectPrinter(index);
    if (p.DeviceName != queue) return ::testing::AssertionFailure() << queue << " not selected";
    return ::testing::AssertionSuccess();
}

// A name no other test run uses for its jobs and files.
inline std::string UniqueTitle(const std::string& stem) {
    static int serial = 0;
    return stem + "-" + std::to_string(QCoreApplication::applicationPid()) + "-" +
           std::to_string(++serial);
}

// --- Outside tools ---------------------------------------------------------------

inline bool ToolAvailable(const QString& program) {
    return !QStandardPaths::findExecutable(program).isEmpty();
}

inline QString RunTool(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(120000)) return {};
    return QString::fromUtf8(p.readAllStandardOutput());
}

inline ::testing::AssertionResult ReadersAvailable() {
    for (const char* tool :
         {"pdfinfo", "pdftotext", "pdftoppm", "zbarimg", "pdffonts", "pdfimages"})
        if (!ToolAvailable(tool))
            return ::testing::AssertionFailure()
                   << tool << " missing: run scripts/setup (poppler-utils, zbar-tools)";
    return ::testing::AssertionSuccess();
}

inline int PdfPageCount(const QString& pdf) {
    const QString info = RunTool("pdfinfo", {pdf});
    for (const QString& line : info.split('\n'))
        if (line.startsWith("Pages:")) return line.mid(6).trimmed().toInt();
    return -1;
}

// Each page's size in points, "WxH" rounded.
inline std::vector<std::string> PdfPageSizes(const QString& pdf) {
    std::vector<std::string> sizes;
    const QString info = RunTool("pdfinfo", {"-f", "1", "-l", "100000", pdf});
    for (const QString& line : info.split('\n')) {
        if (!line.startsWith("Page") || !line.contains(" size:")) continue;
        const QStringList words = line.section(':', 1).simplified().split(' ');
        if (words.size() < 3) continue;
        sizes.push_back(std::to_string(qRound(words[0].toDouble())) + "x" +
                        std::to_string(qRound(words[2].toDouble())));
    }
    return sizes;
}

// Page sizes as PdfPageSizes gives them, each side within a point of the
// expected one (papers in millimetres do not come out in whole points).
inline ::testing::AssertionResult SizesNear(const std::vector<std::string>& actual,
                                            const std::vector<std::string>& expected) {
    auto side = [](const std::string& size, int i) {
        return std::stod(i == 0 ? size.substr(0, size.find('x')) : size.substr(size.find('x') + 1));
    };
    bool same = actual.size() == expected.size();
    for (size_t i = 0; same && i < actual.size(); ++i)
        same = std::abs(side(actual[i], 0) - side(expected[i], 0)) <= 1.0 &&
               std::abs(side(actual[i], 1) - side(expected[i], 1)) <= 1.0;
    if (same) return ::testing::AssertionSuccess();
    auto join = [](const std::vector<std::string>& v) {
        std::string t;
        for (const std::string& s : v) t += s + " ";
        return t;
    };
    return ::testing::AssertionFailure()
           << "sizes " << join(actual) << "expected " << join(expected);
}

// The text of each page, blanks and line breaks removed.
inline std::vector<std::string> PdfPageTexts(const QString& pdf) {
    std::vector<std::string> pages;
    const QStringList parts = RunTool("pdftotext", {pdf, "-"}).split('\f');
    for (int i = 0; i + 1 < parts.size(); ++i) { // the last part follows the last page
        QString t = parts[i];
        t.remove(QRegularExpression("\\s"));
        pages.push_back(t.toStdString());
    }
    return pages;
}

// Renders every page at `dpi` into PNG files; their paths in page order.
inline QStringList RenderPages(const QString& pdf, int dpi) {
    const QFileInfo info(pdf);
    const QString prefix = info.absolutePath() + "/" + info.completeBaseName() + "-page";
    QDir dir(info.absolutePath());
    for (const QString& old : dir.entryList({info.completeBaseName() + "-page*.png"}))
        dir.remove(old);
    RunTool("pdftoppm", {"-r", QString::number(dpi), "-png", pdf, prefix});
    QStringList files;
    for (const QString& name :
         dir.entryList({info.completeBaseName() + "-page*.png"}, QDir::Files, QDir::Name))
        files << dir.filePath(name);
    return files;
}

// What zbarimg reads in an image: "CODE-128:VK0001", ...
inline std::vector<std::string> Scan(const QString& image) {
    std::vector<std::string> found;
    for (const QString& line : RunTool("zbarimg", {"-q", image}).split('\n', Qt::SkipEmptyParts))
        found.push_back(line.toStdString());
    return found;
}

// One barcode per page expected: the value read on each page in order
// ("" for a page with none, "?" for one with several).
inline std::vector<std::string> ScanOnePerPage(const QString& pdf, int dpi = 200) {
    std::vector<std::string> values;
    for (const QString& page : RenderPages(pdf, dpi)) {
        const std::vector<std::string> found = Scan(page);
        if (found.size() > 1) {
            values.push_back("?");
        } else {
            const std::string v = found.empty() ? "" : found.front();
            values.push_back(v.substr(v.find(':') + 1));
        }
    }
    return values;
}

inline std::vector<std::string> Codes(std::initializer_list<int> records) {
    std::vector<std::string> codes;
    for (int r : records) codes.push_back(Code(r));
    return codes;
}

// --- Jobs of the tests' CUPS daemon ---------------------------------------------

struct Job {
    int id = 0;
    std::string title;
    int state = 0;
};

// Every job of the queue with this title, oldest first.
inline std::vector<Job> JobsTitled(const char* queue, const std::string& title) {
    cups_job_t* jobs = nullptr;
    const int n = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, queue, 0, CUPS_WHICHJOBS_ALL);
    std::vector<Job> found;
    for (int i = 0; i < n; ++i)
        if (jobs[i].title && title == jobs[i].title)
            found.push_back({jobs[i].id, jobs[i].title, static_cast<int>(jobs[i].state)});
    cupsFreeJobs(n, jobs);
    std::sort(found.begin(), found.end(), [](const Job& a, const Job& b) { return a.id < b.id; });
    return found;
}

// Waits until every job with the title has finished; the jobs.
inline std::vector<Job> FinishedJobs(const char* queue, const std::string& title) {
    QElapsedTimer timer;
    timer.start();
    std::vector<Job> jobs;
    for (;;) {
        jobs = JobsTitled(queue, title);
        const bool done = std::all_of(jobs.begin(), jobs.end(),
                                      [](const Job& j) { return j.state >= IPP_JSTATE_CANCELED; });
        if ((done && !jobs.empty()) || timer.elapsed() > 90000) return jobs;
        QThread::msleep(100);
    }
}

// The PDF the tests' PDF backend wrote for a finished job: the stock queue
// suffixes the job number, the label queue names it after the title.
inline QString JobPdf(const Job& job) {
    QDir out(QString::fromStdString(testcups::CupsDir() + "/pdf"));
    const QStringList byId = out.entryList({QString("*-job_%1.pdf").arg(job.id)}, QDir::Files);
    if (!byId.isEmpty()) return out.filePath(byId.front());
    const QString byTitle = out.filePath(QString::fromStdString(job.title) + ".pdf");
    return QFileInfo::exists(byTitle) ? byTitle : QString();
}

} // namespace print_test
