// The print dialog driven as the operator would (offscreen), printing label
// pages into PDF files and through the tests' CUPS queues.

#include "report/output/print_form.h"
#include "report_ui/ui_app.h"

#include "platform/ui/dialogs.h"
#include "report/core/resource_strings.h"
#include "report/core/string_ids.h"
#include "report/output/print_report.h"
#include "report/output/print_test_support.h"
#include "report/output/printer_properties_form.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPrinterInfo>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <gmock/gmock.h>

#include <functional>

using namespace print_test;
using ::testing::HasSubstr;

namespace {

std::vector<int> RecordsOf(const QString& pdf) {
    std::vector<int> records;
    for (const std::string& page : PdfPageTexts(pdf)) {
        const QString t = QString::fromStdString(page);
        const qsizetype at = t.indexOf(QString::fromUtf8("标签"));
        records.push_back(at < 0 ? 0 : t.mid(at + 2, 4).toInt());
    }
    return records;
}

// Runs `drive` on the print dialog once it is up.
void WhenTheDialogIsUp(std::function<void(TfrPrintForm&)> drive) {
    QTimer::singleShot(0, [drive = std::move(drive)] {
        auto* form = qobject_cast<TfrPrintForm*>(QApplication::activeModalWidget());
        if (!form) {
            ADD_FAILURE() << "the print dialog is not up";
            return;
        }
        drive(*form);
    });
}

int IndexOf(QComboBox* box, const char* text) {
    return box->findText(QString::fromUtf8(text));
}

class PrintForm : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureApp();
        ASSERT_TRUE(testcups::TestPrintersReady());
        ASSERT_TRUE(ReadersAvailable());
        SetUpPrinting();
        ASSERT_TRUE(UseQueue(testcups::kPdfQueue));
        report.ShowProgress = false;
        report.Title = UniqueTitle("dialog");
        frGuiHooks().ShowError = [this](const std::string& text, const std::string&) {
            errors.push_back(text);
        };
        AddNumberedPages(report, 5, kA4);
    }
    void TearDown() override {
        frGuiHooks().ShowError = nullptr;
        frGuiHooks().PrintPreparedReportDialog = nullptr;
        ui::TestHooks().saveFile = nullptr;
        SetCurReport(nullptr);
        frEngine().MasterReport = nullptr;
    }

    // Sends the dialog's output into this file.
    QString ToFile(TfrPrintForm& form, const char* name) {
        const QString file = OutputDir("dialog") + "/" + name + ".pdf";
        QFile::remove(file);
        form.FileCB->setChecked(true);
        ui::TestHooks().saveFile = [file](const QString&) { return std::optional<QString>(file); };
        return file;
    }

    TfrReport report;
    std::vector<std::string> errors;
};

} // namespace

TEST_F(PrintForm, OffersTheSystemsPrintersAndTheReportsDefaults) {
    TfrPrintForm form;
    QStringList names;
    for (int i = 0; i < form.CB1->count(); ++i) names << form.CB1->itemText(i);
    EXPECT_TRUE(names.contains(testcups::kPdfQueue));
    EXPECT_TRUE(names.contains(testcups::kLabelQueue));
    EXPECT_EQ(names.size(), ReportPrinter().PrinterNames.Count() - 1) << "no virtual printer";
    EXPECT_EQ(form.CB1->currentText(), testcups::kPdfQueue);
    EXPECT_EQ(form.E1->text(), "1");
    EXPECT_TRUE(form.RB1->isChecked());
    EXPECT_TRUE(form.CollateCB->isChecked());
    EXPECT_TRUE(form.PB1->Collated());
    ASSERT_EQ(form.CB2->count(), 3);
    EXPECT_EQ(form.CB2->itemText(2), QString::fromUtf8("偶数页"));
    EXPECT_EQ(form.CB2->currentIndex(), 0);
    EXPECT_EQ(form.windowTitle(), QString::fromUtf8("打印"));
    EXPECT_EQ(form.FileCB->text(), QString::fromUtf8("打印到文件"));
    EXPECT_EQ(form.PageText(4), "");
}

TEST_F(PrintForm, ControlsEditTheRequest) {
    TfrPrintForm form;
    form.show();
    QApplication::setActiveWindow(&form);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));

    // Copies up and down, never below one; a copies text that is no number
    // is the conversion error, and stays as typed.
    struct Step {
        const char* before;
        QToolButton* button;
        const char* after;
    } steps[] = {
        {"1", form.frSpeedButton1, "2"},  {"2", form.frSpeedButton2, "1"},
        {"1", form.frSpeedButton2, "1"},  {"0", form.frSpeedButton2, "1"},
        {"-7", form.frSpeedButton2, "1"}, {"41", form.frSpeedButton1, "42"},
        {"x", form.frSpeedButton1, "x"},
    };
    for (const Step& s : steps) {
        form.E1->setText(s.before);
        QTest::mouseClick(s.button, Qt::LeftButton);
        EXPECT_EQ(form.E1->text(), s.after) << s.before;
    }
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_THAT(errors[0], HasSubstr("is not a valid integer value"));

    // The collation label toggles its box, and the picture follows.
    QTest::mouseClick(form.Label3, Qt::LeftButton);
    EXPECT_FALSE(form.CollateCB->isChecked());
    EXPECT_FALSE(form.PB1->Collated());
    QTest::mouseClick(form.Label3, Qt::LeftButton);
    EXPECT_TRUE(form.CollateCB->isChecked());
    EXPECT_TRUE(form.PB1->Collated());

    // Going into the page numbers chooses them; choosing them goes there.
    form.E2->setFocus();
    EXPECT_TRUE(form.RB3->isChecked());
    form.E2->setText(" 2 - 3");
    EXPECT_EQ(form.PageText(4), " 2 - 3");
    form.RB2->setChecked(true);
    EXPECT_EQ(form.PageText(4), "4");
    form.E1->setFocus();
    QTest::mouseClick(form.RB3, Qt::LeftButton);
    EXPECT_TRUE(form.RB3->isChecked());
    EXPECT_TRUE(form.E2->hasFocus());
}

TEST_F(PrintForm, AChosenPrinterStaysOnlyWhenConfirmedAndNeverBecomesTheUsersDefault) {
    const QString userDefault = QPrinterInfo::defaultPrinterName();
    const std::string cupsDefault = cupsGetDefault() ? cupsGetDefault() : "";
    for (bool confirm : {false, true}) {
        SCOPED_TRACE(confirm ? "confirmed" : "cancelled");
        ASSERT_TRUE(UseQueue(testcups::kPdfQueue));
        TfrPrintForm form;
        const int label = IndexOf(form.CB1, testcups::kLabelQueue);
        form.CB1->setCurrentIndex(label);
        emit form.CB1->activated(label);
        EXPECT_EQ(ReportPrinter().DeviceName, testcups::kLabelQueue);
        if (confirm)
            form.accept();
        else
            form.reject();
        EXPECT_EQ(ReportPrinter().DeviceName,
                  confirm ? testcups::kLabelQueue : testcups::kPdfQueue);
    }
    EXPECT_EQ(QPrinterInfo::defaultPrinterName(), userDefault);
    EXPECT_EQ(cupsGetDefault() ? cupsGetDefault() : "", cupsDefault);
    EXPECT_EQ(cupsDefault, testcups::kPdfQueue);
}

TEST_F(PrintForm, ThePropertiesButtonOpensTheCurrentPrintersSettings) {
    TfrPrintForm form;
    const int label = IndexOf(form.CB1, testcups::kLabelQueue);
    form.CB1->setCurrentIndex(label);
    emit form.CB1->activated(label);
    bool shown = false;
    QTimer::singleShot(0, [&] {
        auto* props = qobject_cast<TfrPrinterPropertiesForm*>(QApplication::activeModalWidget());
        shown = props != nullptr;
        if (props) props->reject();
    });
    QTest::mouseClick(form.PropButton, Qt::LeftButton);
    EXPECT_TRUE(shown);
    form.reject();
}

TEST_F(PrintForm, PrintsThePagesCopiesAndParityChosen) {
    struct Case {
        const char* name;
        std::function<void(TfrPrintForm&)> choose;
        std::vector<int> records;
    } cases[] = {
        {"all", [](TfrPrintForm&) {}, {1, 2, 3, 4, 5}},
        {"current", [](TfrPrintForm& f) { f.RB2->setChecked(true); }, {3}},
        {"pages_uncollated",
         [](TfrPrintForm& f) {
             f.RB3->setChecked(true);
             f.E2->setText("2-3");
             f.E1->setText("2");
             f.CollateCB->setChecked(false);
         },
         {2, 2, 3, 3}},
        {"pages_collated",
         [](TfrPrintForm& f) {
             f.RB3->setChecked(true);
             f.E2->setText("4,1");
             QTest::mouseClick(f.frSpeedButton1, Qt::LeftButton);
         },
         {1, 4, 1, 4}},
        {"even", [](TfrPrintForm& f) { f.CB2->setCurrentIndex(2); }, {2, 4}},
        {"odd_of_a_range",
         [](TfrPrintForm& f) {
             f.RB3->setChecked(true);
             f.E2->setText("2-");
             f.CB2->setCurrentIndex(1);
         },
         {3, 5}},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        QString file;
        WhenTheDialogIsUp([&](TfrPrintForm& form) {
            file = ToFile(form, c.name);
            c.choose(form);
            QTest::mouseClick(form.Button1, Qt::LeftButton);
        });
        EXPECT_TRUE(ExecutePrintForm(report, 3));
        EXPECT_EQ(RecordsOf(file), c.records);
    }
    EXPECT_TRUE(errors.empty());
}

TEST_F(PrintForm, ThroughTheQueueTheDialogsPrinterPrints) {
    WhenTheDialogIsUp([](TfrPrintForm& form) {
        const int label = IndexOf(form.CB1, testcups::kLabelQueue);
        form.CB1->setCurrentIndex(label);
        emit form.CB1->activated(label);
        form.RB3->setChecked(true);
        form.E2->setText("1,5");
        form.Button1->click();
    });
    report.PreparedPages->Clear();
    AddNumberedPages(report, 5, kLabel60x40);
    ASSERT_TRUE(ExecutePrintForm(report));
    const std::vector<Job> jobs = FinishedJobs(testcups::kLabelQueue, report.Title);
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(ScanOnePerPage(JobPdf(jobs[0]), 300), Codes({1, 5}));
    EXPECT_EQ(ReportPrinter().DeviceName, testcups::kLabelQueue);
}

TEST_F(PrintForm, BadTextsAndCancelPrintNothing) {
    struct Case {
        const char* name;
        std::function<void(TfrPrintForm&)> choose;
        bool error;
    } cases[] = {
        {"double_comma",
         [](TfrPrintForm& f) {
             f.RB3->setChecked(true);
             f.E2->setText("1,,2");
         },
         true},
        {"open_start",
         [](TfrPrintForm& f) {
             f.RB3->setChecked(true);
             f.E2->setText("-5");
         },
         true},
        {"copies", [](TfrPrintForm& f) { f.E1->setText("two"); }, true},
        {"cancelled", [](TfrPrintForm& f) { f.Button2->click(); }, false},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        errors.clear();
        QString file;
        WhenTheDialogIsUp([&](TfrPrintForm& form) {
            file = ToFile(form, c.name);
            c.choose(form);
            if (form.isVisible()) form.Button1->click();
        });
        EXPECT_FALSE(ExecutePrintForm(report));
        EXPECT_FALSE(QFile::exists(file));
        ASSERT_EQ(errors.size(), c.error ? 1u : 0u);
        if (c.error) {
            EXPECT_THAT(errors[0], HasSubstr("is not a valid integer value"));
        }
    }
    // Nor anything to the queue.
    WhenTheDialogIsUp([](TfrPrintForm& form) {
        form.RB3->setChecked(true);
        form.E2->setText("1,,2");
        form.Button1->click();
    });
    EXPECT_FALSE(ExecutePrintForm(report));
    EXPECT_TRUE(JobsTitled(testcups::kPdfQueue, report.Title).empty());
}

TEST_F(PrintForm, WithoutTheDialogEveryPagePrintsWithTheReportsDefaults) {
    report.ShowPrintDialog = false;
    report.DefaultCopies = 2;
    report.DefaultCollate = false;
    ASSERT_TRUE(UseQueue(testcups::kLabelQueue));
    report.PreparedPages->Clear();
    AddNumberedPages(report, 3, kLabel60x40);
    ASSERT_TRUE(ExecutePrintForm(report));
    const std::vector<Job> jobs = FinishedJobs(testcups::kLabelQueue, report.Title);
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(ScanOnePerPage(JobPdf(jobs[0]), 300), Codes({1, 1, 2, 2, 3, 3}));

    // Nothing to print, nothing happens.
    report.PreparedPages->Clear();
    report.Title = UniqueTitle("empty");
    EXPECT_FALSE(ExecutePrintForm(report));
    EXPECT_TRUE(JobsTitled(testcups::kLabelQueue, report.Title).empty());
}

TEST_F(PrintForm, AnotherPrinterRebuildsTheReportWhenItAsks) {
    report.RebuildPrinter = true;
    report.RebuildAllowed = true;
    int builds = 0;
    bool buildCompletes = false;
    auto rebuild = [&](TfrReport& r) {
        ++builds;
        EXPECT_EQ(r.StoredPrinterName, testcups::kLabelQueue);
        r.PreparedPages->Clear();
        AddNumberedPages(r, 2, kLabel60x40, 7);
        return buildCompletes;
    };
    for (bool completes : {false, true}) {
        SCOPED_TRACE(completes ? "built" : "build failed");
        buildCompletes = completes;
        ASSERT_TRUE(UseQueue(testcups::kPdfQueue));
        QString file;
        WhenTheDialogIsUp([&](TfrPrintForm& form) {
            file = ToFile(form, completes ? "rebuilt" : "not_rebuilt");
            const int label = IndexOf(form.CB1, testcups::kLabelQueue);
            form.CB1->setCurrentIndex(label);
            emit form.CB1->activated(label);
            form.Button1->click();
        });
        EXPECT_EQ(ExecutePrintForm(report, 1, rebuild), completes);
        if (completes) {
            EXPECT_EQ(RecordsOf(file), (std::vector<int>{7, 8}));
        } else {
            EXPECT_FALSE(QFile::exists(file));
        }
    }
    EXPECT_EQ(builds, 2);
}

TEST_F(PrintForm, TheHookPrintsThePreviewsCurrentPage) {
    EXPECT_FALSE(frGuiHooks().PrintPreparedReportDialog);
    InstallPrintForm();
    ASSERT_TRUE(frGuiHooks().PrintPreparedReportDialog);
    // A window standing for the preview, on its fourth page.
    QWidget preview;
    preview.setProperty("CurrentPage", 4);
    preview.show();
    QApplication::setActiveWindow(&preview);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&preview));
    QString file;
    WhenTheDialogIsUp([&](TfrPrintForm& form) {
        file = ToFile(form, "hook");
        form.RB2->setChecked(true);
        form.Button1->click();
    });
    frGuiHooks().PrintPreparedReportDialog(report);
    EXPECT_EQ(RecordsOf(file), (std::vector<int>{4}));
}
