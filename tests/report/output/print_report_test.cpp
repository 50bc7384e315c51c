// Printing built pages through the tests' CUPS queues and into PDF files,
// checked with the readers a user would trust: the queue's own job list,
// pdfinfo, pdftotext, pdffonts, pdfimages, and pdftoppm with zbarimg.

#include "report/output/print_report.h"

#include "platform/rtl/sysutils.h"
#include "report/core/resource_strings.h"
#include "report/core/string_ids.h"
#include "report/output/print_test_support.h"

#include <QFile>
#include <QRegularExpression>
#include <gmock/gmock.h>

#include <cstdlib>

using namespace print_test;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;

namespace {

std::vector<int> Range(int from, int to) {
    std::vector<int> v;
    for (int i = from; i <= to; ++i) v.push_back(i);
    return v;
}

// The record on each page of a PDF whose text survived: "标签 nnnn".
std::vector<int> RecordsByText(const QString& pdf) {
    std::vector<int> records;
    static const QRegularExpression name(QString::fromUtf8("标签(\\d{4})"));
    for (const std::string& page : PdfPageTexts(pdf)) {
        const auto m = name.match(QString::fromStdString(page));
        records.push_back(m.hasMatch() ? m.captured(1).toInt() : 0);
    }
    return records;
}

std::vector<std::string> CodesOf(const std::vector<int>& records) {
    std::vector<std::string> codes;
    for (int r : records) codes.push_back(Code(r));
    return codes;
}

class PrintReport : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(testcups::TestPrintersReady());
        ASSERT_TRUE(ReadersAvailable());
        SetUpPrinting();
        report.ShowProgress = false;
    }
    void TearDown() override {
        SetCurReport(nullptr);
        frEngine().MasterReport = nullptr;
    }

    // Prints to the queue under a title of its own; the finished jobs.
    std::vector<Job> PrintToQueue(const char* queue, const TfrPrintRequest& request,
                                  const std::string& stem) {
        EXPECT_TRUE(UseQueue(queue));
        report.Title = UniqueTitle(stem);
        EXPECT_TRUE(PrintBuiltReport(report, request));
        return FinishedJobs(queue, report.Title);
    }

    TfrReport report;
};

} // namespace

// ---------------------------------------------------------------------------
// Page numbers.

TEST(ParsePageNumbers, SelectsExistingPagesAscending) {
    struct Case {
        const char* text;
        int count;
        std::vector<int> pages;
    } cases[] = {
        {"", 10, {}},
        {"   ", 10, {}},
        {"1,3,5-12", 20, {1, 3, 5, 6, 7, 8, 9, 10, 11, 12}},
        {" 2 - 4 ", 10, {2, 3, 4}},
        {"7-", 10, {7, 8, 9, 10}},
        {"12-5", 20, {}},
        {"20", 10, {}},
        {"0", 10, {}},
        {"3,1,3,2-3", 10, {1, 2, 3}},
        {"1,3,5-12", 6, {1, 3, 5, 6}},
        // Clamped to the pages there are: never a list of two thousand million.
        {"1-2000000000", 4, {1, 2, 3, 4}},
        {"2000000000-2000000001,2", 4, {2}},
        {"1-2-3", 10, {2, 3}}, // the last dash starts the range, as it always did
        {"5-", 3, {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ParsePageNumbers(c.text, c.count), c.pages) << '"' << c.text << '"';
}

TEST(ParsePageNumbers, APieceThatIsNotANumberIsTheConversionError) {
    for (const char* text : {"1,,2", "-5", "1,2,", "a", "1-a", "1;2", "5--", "-", ",",
                             "99999999999", "\xa3\xac"}) { // the last is a full-width comma
        try {
            ParsePageNumbers(text, 10);
            ADD_FAILURE() << '"' << text << "\" was accepted";
        } catch (const rtl::EConvertError& e) {
            EXPECT_THAT(e.what(), HasSubstr("is not a valid integer value")) << text;
        }
    }
}

// ---------------------------------------------------------------------------
// Into a PDF file: the same loop, every page checked by its text.

TEST_F(PrintReport, FilePagesFollowRangeParityAndCopies) {
    ASSERT_TRUE(UseQueue(testcups::kPdfQueue));
    AddNumberedPages(report, 10, kA4);
    struct Case {
        const char* name;
        const char* pages;
        int copies;
        int parity;
        bool collate;
        std::vector<int> printed;
    } cases[] = {
        {"all", "", 1, frPrintAllPages, true, Range(1, 10)},
        {"list_and_range", "1,3,5-8", 1, frPrintAllPages, true, {1, 3, 5, 6, 7, 8}},
        {"blanks", " 2 - 4 ", 1, frPrintAllPages, true, {2, 3, 4}},
        {"to_the_end", "7-", 1, frPrintAllPages, true, {7, 8, 9, 10}},
        {"beyond_the_end", "9-2000000000", 1, frPrintAllPages, true, {9, 10}},
        {"even_of_a_range", "1-5", 1, frPrintEvenPages, true, {2, 4}},
        {"odd", "", 1, frPrintOddPages, true, {1, 3, 5, 7, 9}},
        {"collated", "1-3", 2, frPrintAllPages, true, {1, 2, 3, 1, 2, 3}},
        {"uncollated", "1-3", 2, frPrintAllPages, false, {1, 1, 2, 2, 3, 3}},
        {"copies_below_one", "2", -4, frPrintAllPages, true, {2}},
        {"backwards", "12-5", 1, frPrintAllPages, true, {}},
        {"beyond_the_last_page", "20", 1, frPrintAllPages, true, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = OutputDir("ranges") + "/" + c.name + ".pdf";
        QFile::remove(file);
        EXPECT_TRUE(PrintBuiltReportToPdf(report, file, c.pages, c.copies, c.parity, c.collate));
        if (c.printed.empty()) {
            EXPECT_FALSE(QFile::exists(file)) << "nothing to print writes no file";
            continue;
        }
        EXPECT_EQ(PdfPageCount(file), static_cast<int>(c.printed.size()));
        EXPECT_EQ(RecordsByText(file), c.printed);
    }
    // The request stays with the report.
    EXPECT_EQ(report.PrintPageList, "20");
    EXPECT_EQ(report.PrintCopies, 1);
    EXPECT_TRUE(report.PrintCollate);
}

// A label sheet: twelve labels on an A4 page, three across and four down, in
// record order; the second page holds the rest.
struct Sheet {
    static constexpr int kCellWidth = 240;
    static constexpr int kCellHeight = 150;
    static constexpr int kLeft = 30;
    static constexpr int kTop = 40;
    static constexpr int kPerPage = 12;

    static void Add(TfrReport& report, int records) {
        for (int first = 1; first <= records; first += kPerPage) {
            std::vector<Label> labels;
            for (int r = first; r <= std::min(records, first + kPerPage - 1); ++r) {
                const int cell = r - first;
                labels.push_back({Name(r), Code(r), kLeft + (cell % 3) * kCellWidth,
                                  kTop + (cell / 3) * kCellHeight});
            }
            AddLabelPage(report, kA4, labels);
        }
    }

    // Reads each cell of each page on its own, in record order.
    static std::vector<std::string> Scan(const QString& pdf, int records) {
        const int dpi = 300;
        const double k = dpi / kPrinterUnitsPerInch;
        std::vector<std::string> codes;
        const QStringList pages = RenderPages(pdf, dpi);
        for (int r = 1; r <= records; ++r) {
            const int page = (r - 1) / kPerPage;
            if (page >= pages.size()) break;
            const int cell = (r - 1) % kPerPage;
            const QImage image(pages[page]);
            const QRect area(qRound((kLeft + (cell % 3) * kCellWidth) * k),
                             qRound((kTop + (cell / 3) * kCellHeight) * k), qRound(kCellWidth * k),
                             qRound(kCellHeight * k));
            const QString cellFile = pdf + QString(".cell%1.png").arg(r);
            image.copy(area.adjusted(-20, -20, 0, 0)).save(cellFile);
            const std::vector<std::string> found = print_test::Scan(cellFile);
            codes.push_back(found.size() == 1 ? found[0].substr(found[0].find(':') + 1) : "?");
        }
        return codes;
    }
};

TEST_F(PrintReport, FileKeepsTextAsTextAndBarsAsVectorsAndEveryLabelScans) {
    ASSERT_TRUE(UseQueue(testcups::kPdfQueue));
    Sheet::Add(report, 15);
    const QString file = OutputDir("sheet") + "/labels.pdf";
    QFile::remove(file);
    ASSERT_TRUE(PrintBuiltReportToPdf(report, file, "", 1, frPrintAllPages, true));

    EXPECT_EQ(PdfPageSizes(file), (std::vector<std::string>{"595x842", "595x842"}));
    // Every name comes back as text, in record order.
    QString text = RunTool("pdftotext", {"-raw", file, "-"});
    text.remove(QRegularExpression("\\s"));
    int at = 0;
    for (int r = 1; r <= 15; ++r) {
        const QString name = QString::fromUtf8(Name(r).c_str()).remove(' ');
        const int found = static_cast<int>(text.indexOf(name, at));
        EXPECT_GE(found, 0) << Name(r);
        if (found >= 0) at = found;
    }
    // Fonts embedded as subsets; no picture anywhere: bars are drawn shapes.
    const QStringList fonts = RunTool("pdffonts", {file}).split('\n', Qt::SkipEmptyParts);
    ASSERT_GT(fonts.size(), 2);
    for (int i = 2; i < fonts.size(); ++i) {
        const QStringList f = fonts[i].simplified().split(' ');
        ASSERT_GE(f.size(), 5);
        EXPECT_TRUE(f[0].contains('+')) << "not a subset: " << fonts[i].toStdString();
        EXPECT_EQ(f[f.size() - 5], "yes") << "not embedded: " << fonts[i].toStdString();
    }
    const QStringList images =
        RunTool("pdfimages", {"-list", file}).split('\n', Qt::SkipEmptyParts);
    EXPECT_EQ(images.size(), 2) << "images in the PDF:\n" << images.join('\n').toStdString();
    EXPECT_EQ(Sheet::Scan(file, 15), CodesOf(Range(1, 15)));
}

// ---------------------------------------------------------------------------
// Through the queues.

TEST_F(PrintReport, ALabelSheetScansInRecordOrderFromBothQueues) {
    // A4 sheets on the stock PDF queue.
    ASSERT_TRUE(UseQueue(testcups::kPdfQueue));
    Sheet::Add(report, 15);
    std::vector<Job> jobs = PrintToQueue(testcups::kPdfQueue, {}, "sheet");
    ASSERT_EQ(jobs.size(), 1u);
    QString pdf = JobPdf(jobs[0]);
    ASSERT_FALSE(pdf.isEmpty());
    EXPECT_EQ(PdfPageCount(pdf), 2);
    EXPECT_EQ(Sheet::Scan(pdf, 15), CodesOf(Range(1, 15)));

    // One 60 x 40 mm label per page on the 203 dpi label printer.
    report.PreparedPages->Clear();
    ASSERT_TRUE(UseQueue(testcups::kLabelQueue));
    AddNumberedPages(report, 6, kLabel60x40);
    jobs = PrintToQueue(testcups::kLabelQueue, {}, "labels");
    ASSERT_EQ(jobs.size(), 1u);
    pdf = JobPdf(jobs[0]);
    ASSERT_FALSE(pdf.isEmpty());
    EXPECT_EQ(PdfPageSizes(pdf), std::vector<std::string>(6, "170x113"));
    EXPECT_EQ(ScanOnePerPage(pdf, 300), CodesOf(Range(1, 6)));
}

TEST_F(PrintReport, QueuePagesFollowRangeParityAndCopies) {
    ASSERT_TRUE(UseQueue(testcups::kLabelQueue));
    AddNumberedPages(report, 6, kLabel60x40);
    struct Case {
        const char* name;
        const char* pages;
        int copies;
        int parity;
        bool collate;
        std::vector<int> printed;
    } cases[] = {
        {"list", "1,3,5-12", 1, frPrintAllPages, true, {1, 3, 5, 6}},
        {"even", "1-5", 1, frPrintEvenPages, true, {2, 4}},
        // Collated, the loop goes round twice and the printer makes one copy;
        // not collated, the printer is asked for two copies of each sheet.
        {"collated", "1-2", 2, frPrintAllPages, true, {1, 2, 1, 2}},
        {"uncollated", "1-2", 2, frPrintAllPages, false, {1, 1, 2, 2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TfrPrintRequest request;
        request.PageList = c.pages;
        request.Copies = c.copies;
        request.Parity = c.parity;
        request.Collate = c.collate;
        const std::vector<Job> jobs = PrintToQueue(testcups::kLabelQueue, request, c.name);
        ASSERT_EQ(jobs.size(), 1u);
        const QString pdf = JobPdf(jobs[0]);
        ASSERT_FALSE(pdf.isEmpty());
        EXPECT_EQ(ScanOnePerPage(pdf, 300), CodesOf(c.printed));
    }
    // Nothing selected: no job at all, not an empty one.
    ASSERT_TRUE(UseQueue(testcups::kLabelQueue));
    report.Title = UniqueTitle("none");
    EXPECT_TRUE(PrintBuiltReport(report, "20", 1, frPrintAllPages, true));
    EXPECT_TRUE(JobsTitled(testcups::kLabelQueue, report.Title).empty());
}

TEST_F(PrintReport, EveryRunOfEqualPaperIsOneJobWithTheCopiesAsked) {
    // A4, A4, A5, A5, A4 on the stock queue: three jobs. Pages take their
    // paper from the printer current when they are made, as the build's do.
    ASSERT_TRUE(UseQueue(testcups::kPdfQueue));
    AddNumberedPages(report, 2, kA4, 1);
    AddNumberedPages(report, 2, kA5, 3);
    AddNumberedPages(report, 1, kA4, 5);
    std::vector<Job> jobs = PrintToQueue(testcups::kPdfQueue, {}, "papers");
    ASSERT_EQ(jobs.size(), 3u);
    const std::vector<std::vector<std::string>> sizes = {
        {"595x842", "595x842"}, {"420x595", "420x595"}, {"595x842"}};
    const std::vector<std::vector<int>> records = {{1, 2}, {3, 4}, {5}};
    for (size_t i = 0; i < jobs.size(); ++i) {
        const QString pdf = JobPdf(jobs[i]);
        ASSERT_FALSE(pdf.isEmpty()) << "job " << jobs[i].id;
        EXPECT_TRUE(SizesNear(PdfPageSizes(pdf), sizes[i]));
        EXPECT_EQ(ScanOnePerPage(pdf), CodesOf(records[i]));
    }

    // Two label sizes, two copies not collated: the second job gets its
    // copies too, though the change of paper set the printer back to one.
    report.PreparedPages->Clear();
    const Paper big{256, 1016, 1524}; // 4 x 6 in
    ASSERT_TRUE(UseQueue(testcups::kLabelQueue));
    AddNumberedPages(report, 2, kLabel60x40, 1);
    AddNumberedPages(report, 2, big, 3);
    TfrPrintRequest request;
    request.Copies = 2;
    request.Collate = false;
    jobs = PrintToQueue(testcups::kLabelQueue, request, "copies");
    ASSERT_EQ(jobs.size(), 2u);
    EXPECT_EQ(ScanOnePerPage(JobPdf(jobs[0]), 300), CodesOf({1, 1, 2, 2}));
    EXPECT_EQ(ScanOnePerPage(JobPdf(jobs[1]), 300), CodesOf({3, 3, 4, 4}));

    // A paper the printer does not have: it prints on what it has, in one
    // job, not one job per page.
    report.PreparedPages->Clear();
    ASSERT_TRUE(UseQueue(testcups::kPdfQueue));
    AddNumberedPages(report, 3, kA4);
    jobs = PrintToQueue(testcups::kLabelQueue, {}, "foreign");
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(PdfPageCount(JobPdf(jobs[0])), 3);
}

TEST_F(PrintReport, TheJobIsNamedAfterTheReport) {
    ASSERT_TRUE(UseQueue(testcups::kPdfQueue));
    AddNumberedPages(report, 1, kA4);
    int events = 0;
    report.OnPrintReport = [&] { ++events; };
    for (const char* title : {"中文标签 5", ""}) {
        report.Title = text::L(title);
        const int before = print::Printer().LastJobId();
        ASSERT_TRUE(PrintBuiltReport(report, "", 1, frPrintAllPages, true));
        const int id = print::Printer().LastJobId();
        ASSERT_GT(id, before);
        cups_job_t* list = nullptr;
        const int n =
            cupsGetJobs2(CUPS_HTTP_DEFAULT, &list, testcups::kPdfQueue, 0, CUPS_WHICHJOBS_ALL);
        std::string name;
        for (int i = 0; i < n; ++i)
            if (list[i].id == id) name = list[i].title;
        cupsFreeJobs(n, list);
        EXPECT_EQ(name, *title ? title : "Untitled");
    }
    EXPECT_EQ(events, 2);
}

// ---------------------------------------------------------------------------
// Cancel and failures leave nothing half done.

TEST_F(PrintReport, ACancelledRunLeavesNoHalfJobAndNoHalfFile) {
    // Cancelled on the second page of the second paper: the first paper's
    // job was complete and is printed; the unfinished one never reaches CUPS.
    ASSERT_TRUE(UseQueue(testcups::kPdfQueue));
    AddNumberedPages(report, 2, kA4, 1);
    AddNumberedPages(report, 3, kA5, 3);
    report.Title = UniqueTitle("cancel");
    std::vector<int> progress;
    report.OnProgress = [&](int n) {
        progress.push_back(n);
        if (n == 4) report.CancelRequested = true;
    };
    EXPECT_FALSE(PrintBuiltReport(report, "", 1, frPrintAllPages, true));
    EXPECT_THAT(progress, ElementsAre(1, 2, 3, 4));
    const std::vector<Job> jobs = FinishedJobs(testcups::kPdfQueue, report.Title);
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0].state, IPP_JSTATE_COMPLETED);
    EXPECT_EQ(PdfPageCount(JobPdf(jobs[0])), 2);

    // Into a file: the file that was there stays as it was, nothing is left beside it.
    const QString dir = OutputDir("cancel");
    const QString file = dir + "/kept.pdf";
    {
        QFile old(file);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("the old file");
    }
    progress.clear();
    EXPECT_FALSE(PrintBuiltReportToPdf(report, file, "", 1, frPrintAllPages, true));
    QFile kept(file);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), "the old file");
    EXPECT_EQ(QDir(dir).entryList(QDir::Files), QStringList{"kept.pdf"});

    // Run to the end, the new file replaces it, readable by others.
    report.OnProgress = nullptr;
    ASSERT_TRUE(PrintBuiltReportToPdf(report, file, "", 1, frPrintAllPages, true));
    EXPECT_EQ(PdfPageCount(file), 5);
    EXPECT_TRUE(QFileInfo(file).permissions() & QFileDevice::ReadOther);
}

TEST_F(PrintReport, BadRequestsPrintNothing) {
    ASSERT_TRUE(UseQueue(testcups::kPdfQueue));
    AddNumberedPages(report, 3, kA4);
    report.Title = UniqueTitle("bad");
    const QString file = OutputDir("bad") + "/never.pdf";
    QFile::remove(file);
    for (const char* pages : {"1,,2", "-5", "2,x"}) {
        EXPECT_THROW(PrintBuiltReport(report, pages, 1, frPrintAllPages, true), rtl::EConvertError)
            << pages;
        EXPECT_THROW(PrintBuiltReportToPdf(report, file, pages, 1, frPrintAllPages, true),
                     rtl::EConvertError)
            << pages;
    }
    EXPECT_TRUE(JobsTitled(testcups::kPdfQueue, report.Title).empty());
    EXPECT_FALSE(QFile::exists(file));

    // A file that cannot be written: the operator is told which.
    try {
        PrintBuiltReportToPdf(report, OutputDir("bad") + "/no such folder/x.pdf", "", 1,
                              frPrintAllPages, true);
        ADD_FAILURE() << "printed into a missing folder";
    } catch (const EfrPrintError& e) {
        EXPECT_THAT(e.what(), StartsWith(LoadResourceString(frsPrintFileFailed) + ": "));
        EXPECT_THAT(e.what(), HasSubstr("no such folder"));
    }
}

// ---------------------------------------------------------------------------
// Geometry: a page lands on the sheet as the printer's page describes it.

TEST_F(PrintReport, PagesLandOnTheSheetWhereThePrinterPageSays) {
    ASSERT_TRUE(UseQueue(testcups::kLabelQueue));
    // The same text at the corner of a whole-sheet page and of a page that
    // prints inside the printable area less 10-unit margins.
    Paper whole = kLabel60x40;
    Paper inside = kLabel60x40;
    inside.useMargins = false;
    inside.margins = gdi::TRect{10, 10, 0, 0};
    AddLabelPage(report, whole, {{"WHOLE", "VK0001", 0, 0}});
    AddLabelPage(report, inside, {{"INSIDE", "VK0002", 0, 0}});
    const QString file = OutputDir("geometry") + "/corner.pdf";
    ASSERT_TRUE(PrintBuiltReportToPdf(report, file, "", 1, frPrintAllPages, true));

    // Word boxes in points, page by page.
    const QString html = RunTool("pdftotext", {"-bbox", file, "-"});
    auto box = [&](const QString& word) {
        const QRegularExpression re("xMin=\"(-?[\\d.]+)\" yMin=\"(-?[\\d.]+)\"[^>]*>" + word + "<");
        const auto m = re.match(html);
        EXPECT_TRUE(m.hasMatch()) << word.toStdString();
        return QPointF(m.captured(1).toDouble(), m.captured(2).toDouble());
    };
    const QPointF a = box("WHOLE");
    const QPointF b = box("INSIDE");
    // The label printer cannot print the outer 6 pt on the left and 4 pt at
    // the top of its 60 x 40 mm label; 10 units are 7.86 pt.
    const double margin = 10 * 72.0 / kPrinterUnitsPerInch;
    EXPECT_NEAR(b.x() - a.x(), 6 + margin, 1.0);
    EXPECT_NEAR(b.y() - a.y(), 4 + margin, 1.0);
    EXPECT_LT(a.x(), 3.0); // the whole-sheet page starts at the sheet's corner
    EXPECT_LT(a.y(), 3.0);
}

// ---------------------------------------------------------------------------
// Without any printer: the virtual printer's paper, into a file. Runs in a
// child process that meets CUPS for the first time with a dead server.

bool PrintsWithoutPrinters(const QString& file) {
    setenv("CUPS_SERVER", "/nonexistent/velkor-cups.sock", 1);
    testcups::EnsureGuiApp();
    frRegisterBarCodeView();
    InstallMemoLayout();
    print::SystemPrinter none;
    InitReportPrinter(&none);
    if (!ReportPrinter().IsVirtual()) return false;
    TfrReport report;
    report.ShowProgress = false;
    AddNumberedPages(report, 2, kA4);
    try {
        PrintBuiltReport(report, "", 1, frPrintAllPages, true);
        return false; // there is no queue to print on
    } catch (const EfrPrintError& e) {
        if (e.what() != LoadResourceString(frsNoPrinter)) return false;
    }
    const bool printed = PrintBuiltReportToPdf(report, file, "", 1, frPrintAllPages, true);
    SetCurReport(nullptr);
    return printed;
}

TEST(PrintWithoutPrinters, TheVirtualPrintersPaperGoesIntoTheFile) {
    ASSERT_TRUE(ReadersAvailable());
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const QString file = OutputDir("virtual") + "/a4.pdf";
    QFile::remove(file);
    EXPECT_EXIT(std::exit(PrintsWithoutPrinters(file) ? 0 : 1), ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(PdfPageSizes(file), (std::vector<std::string>{"595x842", "595x842"}));
    EXPECT_EQ(RecordsByText(file), (std::vector<int>{1, 2}));
    EXPECT_EQ(ScanOnePerPage(file), CodesOf({1, 2}));
}
