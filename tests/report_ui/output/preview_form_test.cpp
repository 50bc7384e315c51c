// The preview window on built pages made here: page geometry and zoom,
// paging, the page indicator, links, text search, prepared-report files,
// the button set, the commands that lend the pages to the report, window
// placement in the settings file, and a label preview a scanner reads.

#include "report/output/preview_form.h"

#include "platform/gdi/font_substitution.h"
#include "platform/settings/settings_store.h"
#include "platform/text/cp936.h"
#include "platform/ui/dialogs.h"
#include "report/barcode/barcode_view.h"
#include "report/core/process_state.h"
#include "report/engine/memo_layout.h"
#include "report/engine/prepared_pages.h"
#include "report/model/memo_view.h"
#include "report/model/object_registry.h"
#include "report/output/preview_search_form.h"
#include "report/output/preview_widget.h"
#include "report/printer/printer.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace {

void EnsureApp() {
    if (QCoreApplication::instance()) return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "report_ui_tests";
    static char* argv[] = {name, nullptr};
    // Never destroyed: a static one would go after the window system's own
    // statics, and its windows and input devices with it.
    new QApplication(argc, argv);
    gdi::InstallFontSubstitutions();
}

QString Q(const char* utf8) {
    return QString::fromUtf8(utf8);
}

constexpr int kA4 = 9;
constexpr int kCustomPaper = 256;
const QString kKey = QStringLiteral("Software\\Quorbel\\Previewtest");
const QString kSection = QStringLiteral("Form\\TfrPreviewForm");

class Preview : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureApp();
        ASSERT_TRUE(home.isValid());
        qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
        settings::SetSettingsKey(kKey);
        frResetProcessState();
        InitReportPrinter(nullptr);
        InstallMemoLayout();
        frRegisterBarCodeView();
        ui::TestHooks() = {};
        ui::TestHooks().message = [this](const ui::MessageRecord& m) { messages.push_back(m); };
        frGuiHooks().ShellOpen = [this](const std::string& target) { opened.push_back(target); };
        report.ModalPreview = false;
    }
    void TearDown() override {
        ui::TestHooks() = {};
        frResetProcessState();
        qunsetenv("XDG_CONFIG_HOME");
    }

    // A built page at the end of the report's list, with what `fill` puts on it.
    // With `margins` the page's objects sit inside the printable area less them.
    PreparedPageInfo& AddPage(const std::function<void(TfrPage&)>& fill = {}, int paper = kA4,
                              int width = 2100, int height = 2970,
                              std::optional<gdi::TRect> margins = std::nullopt) {
        TfrPage templatePage(paper, width, height, -1, 0);
        if (margins) {
            templatePage.UseMargins = false;
            templatePage.Margins = *margins;
        }
        TfrEMFPages& pages = *report.PreparedPages;
        pages.AppendPage(templatePage);
        const int index = pages.Count() - 1;
        pages.MaterializePage(index);
        if (fill) fill(*pages.PageAt(index).Page);
        pages.StorePageObjects(index);
        pages.PageAt(index).Page.reset();
        return pages.PageAt(index);
    }
    static TfrView& AddObject(TfrPage& page, int kind, const std::string& name, int left, int top,
                              int width, int height, const std::string& text = {},
                              const std::string& className = {}) {
        TfrView& v = page.AddObject(CreateObject(kind, className));
        v.Name = name;
        v.SetBounds(left, top, width, height);
        if (!text.empty()) v.Memo.SetText(text);
        return v;
    }
    // Pages holding one memo each with the given texts (CP936).
    void AddTextPages(const std::vector<std::string>& texts) {
        int n = 0;
        for (const std::string& t : texts)
            AddPage([&](TfrPage& p) {
                AddObject(p, gtMemo, "Memo" + std::to_string(++n), 40, 60, 400, 30, t);
            });
    }

    // Shows the report in `form` (not maximised) with a paint box of `box`.
    void Show(TfrPreviewForm& form, QSize box = QSize(900, 700)) {
        {
            settings::TRegIniFile store;
            store.WriteBool(kSection, "Maximized", false);
        }
        form.ShowReport(report);
        Resize(form, box);
    }
    static void Resize(TfrPreviewForm& form, QSize box) {
        const QSize extra = form.size() - form.PageBox->size();
        form.resize(box + extra);
        QApplication::processEvents();
        ASSERT_EQ(form.PageBox->size(), box);
    }
    static QRect Rect(const gdi::TRect& r) { return QRect(r.Left, r.Top, r.Width(), r.Height()); }
    static QRect Laid(TfrPreviewForm& form, int index) {
        return Rect(form.Pages->PageAt(index).ScreenRect);
    }
    // The paint-box point of a page-unit point on page `index`.
    static QPoint OnBox(TfrPreviewForm& form, int index, int x, int y) {
        const gdi::TRect r = form.PageRectOnBox(index);
        return QPoint(r.Left + static_cast<int>(x * form.Scale),
                      r.Top + static_cast<int>(y * form.Scale));
    }
    // Answers the search dialog once it is up.
    static void AnswerSearch(const QString& text, bool fromFirst, bool matchCase) {
        QTimer::singleShot(0, [=] {
            auto* dialog = qobject_cast<TfrPreviewSearchForm*>(QApplication::activeModalWidget());
            if (!dialog) {
                ADD_FAILURE() << "no search dialog";
                return;
            }
            dialog->Edit1->setText(text);
            dialog->CB1->setChecked(matchCase);
            (fromFirst ? dialog->RB1 : dialog->RB2)->setChecked(true);
            QTest::mouseClick(dialog->Button1, Qt::LeftButton);
        });
    }

    QTemporaryDir home;
    TfrReport report;
    std::vector<ui::MessageRecord> messages;
    std::vector<std::string> opened;
};

} // namespace

// ---------------------------------------------------------------------------
// Layout and zoom.

TEST_F(Preview, PagesAreLaidOutAtTheZoomSeveralPerRowWhenTheyFit) {
    AddTextPages({"1", "2", "3"});
    TfrPreviewForm form;
    Show(form, QSize(1600, 900));
    // A4 at 100 % on the virtual printer: 758 x 1071 with a 10-pixel border;
    // two of them fit side by side in a box 1600 wide.
    EXPECT_EQ(form.Scale, 1.0);
    EXPECT_EQ(form.ZoomBtn->text(), "100%");
    EXPECT_EQ(Laid(form, 0), QRect(10, 10, 758, 1071));
    EXPECT_EQ(Laid(form, 1), QRect(778, 10, 758, 1071));
    EXPECT_EQ(Laid(form, 2), QRect(10, 1091, 758, 1071));
    EXPECT_EQ(form.VScrollBar->maximum(), 1091 + 1071 - 900 + 10);
    EXPECT_EQ(form.HScrollBar->maximum(), 0);
    EXPECT_FALSE(form.HScrollBar->isEnabled());

    // One column: the page is centred.
    Resize(form, QSize(900, 900));
    EXPECT_EQ(Laid(form, 0), QRect((900 - 758) / 2, 10, 758, 1071));
    EXPECT_EQ(Laid(form, 1).top(), 1091);

    struct Case {
        int tag;
        QSize box;
        double scale;
        QRect first;
    };
    const Case cases[] = {
        {50, QSize(900, 700), 0.5, QRect(10, 10, 379, 536)},
        // Page width: (box width - 20) / page width.
        {1, QSize(778, 700), 1.0, QRect(10, 10, 758, 1071)},
        // Whole page: (box height - 20) / page height, one column.
        {2, QSize(900, 1091), 1.0, QRect(71, 10, 758, 1071)},
        // Two pages: (box width - 30) / (2 x page width), two columns.
        {3, QSize(1546, 700), 1.0, QRect(10, 10, 758, 1071)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tag);
        Resize(form, c.box);
        form.ZoomMenuClick(c.tag);
        EXPECT_DOUBLE_EQ(form.Scale, c.scale);
        EXPECT_EQ(Laid(form, 0), c.first);
        EXPECT_EQ(frPreviewZoom().LastZoomMode, c.tag < 10 ? c.tag : 0);
    }
    // Two pages with a single page left shows it on the left at that scale.
    Resize(form, QSize(1546, 700));
    form.ZoomMenuClick(3);
    EXPECT_EQ(Laid(form, 2).left(), 10);

    // A panel narrower or lower than the gaps never makes the zoom 0 or
    // negative: the pages stay a few pixels large.
    form.Disconnect();
    TfrPreview panel;
    panel.SetScrollBars(TfrScrollBars::ssNone);
    panel.Connect(report);
    for (int mode : {1, 2, 3}) {
        SCOPED_TRACE(mode);
        panel.resize(12, 12);
        panel.show();
        QApplication::processEvents();
        ASSERT_LT(panel.Window().PageBox->width(), 20);
        ASSERT_LT(panel.Window().PageBox->height(), 20);
        panel.Window().ZoomMenuClick(mode);
        EXPECT_GT(panel.Window().Scale, 0);
        EXPECT_GT(Laid(panel.Window(), 0).width(), 0);
        EXPECT_GT(Laid(panel.Window(), 0).height(), 0);
        EXPECT_EQ(panel.Window().ZoomBtn->text(), "1%");
    }
}

TEST_F(Preview, TheZoomMenuOffersPercentagesAndModesAndTheNextPreviewKeepsTheChoice) {
    AddTextPages({"1"});
    {
        TfrPreviewForm form;
        Show(form);
        std::vector<QString> texts;
        for (QAction* item : form.ZoomItems) texts.push_back(item->text());
        const std::vector<QString> expected = {"200%",        "150%",       "100%", "75%",
                                               "50%",         "25%",        "10%",  Q("页宽(&P)"),
                                               Q("全页(&W)"), Q("双页(&T)")};
        EXPECT_EQ(texts, expected);
        EXPECT_EQ(form.EditPageItem->text(), Q("编辑页"));
        EXPECT_EQ(form.AddPageItem->text(), Q("增加页"));
        EXPECT_EQ(form.DelPageItem->text(), Q("删除页"));
        EXPECT_TRUE(form.ZoomItems[2]->isChecked()); // 100 %

        // The zoom button pops the menu up; choosing an item zooms.
        QTest::mouseClick(form.ZoomBtn, Qt::LeftButton);
        EXPECT_TRUE(form.ProcMenu->isVisible());
        EXPECT_FALSE(form.EditPageItem->isVisible());
        form.ZoomItems[1]->trigger();
        form.ProcMenu->hide();
        EXPECT_DOUBLE_EQ(form.Scale, 1.5);
        EXPECT_EQ(form.ZoomBtn->text(), "150%");
        EXPECT_TRUE(form.ZoomItems[1]->isChecked());
        EXPECT_EQ(Laid(form, 0).size(), QSize(1137, 1606)); // halves to even
    }
    // The next preview of the process opens at 150 %.
    AddTextPages({"again"});
    TfrPreviewForm next;
    Show(next);
    EXPECT_DOUBLE_EQ(next.Scale, 1.5);
    EXPECT_TRUE(next.ZoomItems[1]->isChecked());
}

TEST_F(Preview, TheWholeBoxIsPaintedWhateverItsHeight) {
    AddTextPages({"1", "2", "3"});
    TfrPreviewForm form;
    Show(form, QSize(800, 2600));
    // The third page starts 2172 pixels down, below where painting once stopped.
    ASSERT_EQ(Laid(form, 2).top(), 2172);
    const QImage shot = form.PageBox->grab().toImage();
    EXPECT_TRUE(form.Pages->PageAt(2).Visible);
    EXPECT_EQ(shot.pixelColor(400, 2400), QColor(Qt::white));
    EXPECT_EQ(shot.pixelColor(2, 2400), QColor(0x80, 0x80, 0x80));
}

// ---------------------------------------------------------------------------
// Paging, scrolling and the page indicator.

TEST_F(Preview, PagingKeysButtonsAndScrollingMoveTheCurrentPage) {
    AddTextPages({"1", "2", "3"});
    TfrPreviewForm form;
    std::vector<int> changes;
    form.OnPageChanged = [&](int page) { changes.push_back(page); };
    Show(form, QSize(900, 700));
    EXPECT_EQ(form.Label1->text(), Q("页 1/3"));

    QTest::keyClick(&form, Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_EQ(form.CurrentPage, 2);
    EXPECT_EQ(form.Label1->text(), Q("页 2/3"));
    EXPECT_EQ(form.VScrollBar->value(), 1091 - 10);
    EXPECT_EQ(changes.back(), 2);
    QTest::keyClick(&form, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(form.Label1->text(), Q("页 3/3"));
    QTest::mouseClick(form.PgDown, Qt::LeftButton); // not beyond the last
    EXPECT_EQ(form.CurrentPage, 3);
    QTest::mouseClick(form.PgUp, Qt::LeftButton);
    EXPECT_EQ(form.CurrentPage, 2);
    QTest::keyClick(&form, Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(form.CurrentPage, 1);
    EXPECT_EQ(form.VScrollBar->value(), 0);

    // Page Down scrolls by 200, arrows by 10; the page at the top of the
    // box becomes the current one.
    QTest::keyClick(form.ScrollBox1, Qt::Key_PageDown);
    QTest::keyClick(form.ScrollBox1, Qt::Key_Down);
    EXPECT_EQ(form.VScrollBar->value(), 210);
    EXPECT_EQ(form.ScrollY, -210);
    form.VScrollBar->setValue(1100);
    EXPECT_EQ(form.Label1->text(), Q("页 2/3"));

    // The wheel: one notch is 10 pixels here, parts of a notch add up.
    const auto wheel = [&](int delta) {
        QWheelEvent event(QPointF(50, 50), form.PageBox->mapToGlobal(QPointF(50, 50)), QPoint(),
                          QPoint(0, delta), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(form.PageBox, &event);
    };
    wheel(-40);
    wheel(-40);
    EXPECT_EQ(form.VScrollBar->value(), 1100);
    wheel(-40);
    EXPECT_EQ(form.VScrollBar->value(), 1110);
    wheel(240);
    EXPECT_EQ(form.VScrollBar->value(), 1090);

    // Dragging the desk moves the pages with the pointer.
    form.VScrollBar->setValue(500);
    QTest::mousePress(form.PageBox, Qt::LeftButton, {}, QPoint(5, 300));
    QMouseEvent move(QEvent::MouseMove, QPointF(5, 260), form.PageBox->mapToGlobal(QPointF(5, 260)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(form.PageBox, &move);
    QTest::mouseRelease(form.PageBox, Qt::LeftButton, {}, QPoint(5, 260));
    EXPECT_EQ(form.VScrollBar->value(), 540);
}

TEST_F(Preview, TheEmbeddedPanelShowsTheWindowsPanelsAndReportsPageChanges) {
    AddTextPages({"1", "2"});
    report.PreviewButtons = pbZoom | pbFind | pbHelp | pbExit;
    QWidget host;
    TfrPreview panel(&host);
    panel.SetShowToolbar(true);
    std::vector<int> pages;
    panel.OnPageChanged = [&](TfrPreview& sender, int page) {
        EXPECT_EQ(&sender, &panel);
        pages.push_back(page);
    };
    report.Preview = &panel;
    InstallPreviewForm();
    report.PreviewPreparedReport();
    panel.resize(900, 700);
    host.show();
    QApplication::processEvents();

    TfrPreviewForm& form = panel.Window();
    EXPECT_EQ(report.PreparedPages->Count(), 0);
    EXPECT_EQ(form.Pages->Count(), 2);
    EXPECT_EQ(form.WheelFactor, 3);
    EXPECT_TRUE(form.PageBox->isVisible());
    // Help and close never show in a panel.
    EXPECT_TRUE(form.FindBtn->isVisible());
    EXPECT_FALSE(form.HelpBtn->isVisible());
    EXPECT_FALSE(form.ExitBtn->isVisible());
    QTest::keyClick(form.ScrollBox1, Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_EQ(panel.CurrentPage(), 2);
    EXPECT_EQ(pages.back(), 2);

    panel.SetScrollBars(TfrScrollBars::ssHorizontal);
    EXPECT_TRUE(form.RPanel->isHidden());
    EXPECT_FALSE(form.BPanel->isHidden());
    panel.Disconnect();
    EXPECT_EQ(report.PreparedPages->Count(), 2);
}

// ---------------------------------------------------------------------------
// Links.

TEST_F(Preview, APageLinkJumpsAndOnlyWebAndMailAddressesAreOpened) {
    const struct {
        const char* name;
        const char* tag;
    } links[] = {
        {"URL1", "@3"},
        {"URL2", "@0"},
        {"URL3", "@99"},
        {"URL4", "https://example.com/label?id=1"},
        {"URL5", "mailto:labels@example.com"},
        {"URL6", "file:///etc/passwd"},
        {"URL7", "/usr/bin/xterm"},
        {"URL8", "calc.exe"},
        {"URL9", "javascript:alert(1)"},
        {"URLA", "www.example.com"},
    };
    AddPage([&](TfrPage& p) {
        int y = 20;
        for (const auto& link : links) {
            AddObject(p, gtMemo, link.name, 20, y, 200, 20, link.name).Tag = link.tag;
            y += 40;
        }
    });
    AddTextPages({"2", "3"});
    TfrPreviewForm form;
    Show(form, QSize(900, 700));
    const auto click = [&](int row) {
        form.GoToPage(1);
        QTest::mouseClick(form.PageBox, Qt::LeftButton, {}, OnBox(form, 0, 60, 30 + 40 * row));
    };

    click(0);
    EXPECT_EQ(form.CurrentPage, 3);
    click(1); // @0 is page 1
    EXPECT_EQ(form.CurrentPage, 1);
    form.GoToPage(2);
    QTest::mouseClick(form.PageBox, Qt::LeftButton, {}, OnBox(form, 0, 60, 30 + 40 * 2));
    EXPECT_EQ(form.CurrentPage, 2); // no page 99: nothing happens
    for (int row = 3; row < 10; ++row) click(row);
    EXPECT_EQ(opened,
              (std::vector<std::string>{"https://example.com/label?id=1",
                                        "mailto:labels@example.com", "http://www.example.com"}));

    // Moving over a link shows where it leads.
    form.GoToPage(1);
    QTest::mouseMove(form.PageBox, OnBox(form, 0, 60, 30));
    EXPECT_EQ(form.Label2->text(), Q("页 3"));
    EXPECT_EQ(form.PageBox->cursor().shape(), Qt::PointingHandCursor);
    QTest::mouseMove(form.PageBox, OnBox(form, 0, 60, 30 + 40 * 3));
    EXPECT_EQ(form.Label2->text(), "https://example.com/label?id=1");
    QTest::mouseMove(form.PageBox, OnBox(form, 0, 600, 500));
    EXPECT_TRUE(form.Label2->text().isEmpty());
    EXPECT_EQ(form.PageBox->cursor().shape(), Qt::ArrowCursor);
}

TEST(PreviewLinks, OnlyWebAndMailTargetsAreSafe) {
    const struct {
        const char* target;
        const char* safe; // null: refused
    } cases[] = {
        {"http://example.com", "http://example.com"},
        {" HTTPS://Example.com/a?b=c ", "https://example.com/a?b=c"},
        {"www.example.com/x", "http://www.example.com/x"},
        {"mailto:a@example.com", "mailto:a@example.com"},
        {"http:/no-host", nullptr},
        {"mailto:", nullptr},
        {"file:///bin/sh", nullptr},
        {"FILE:///C:/x.exe", nullptr},
        {"/usr/bin/xterm", nullptr},
        {"C:\\Windows\\notepad.exe", nullptr},
        {"run.sh", nullptr},
        {"ftp://example.com", nullptr},
        {"javascript:alert(1)", nullptr},
        {"https://example.com/a b", nullptr},
        {"", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.target);
        const auto safe = frSafeLinkTarget(c.target);
        if (c.safe)
            EXPECT_EQ(safe, std::optional<std::string>(c.safe));
        else
            EXPECT_FALSE(safe.has_value());
    }
}

// ---------------------------------------------------------------------------
// Search.

TEST_F(Preview, SearchFindsForwardAndF3AdvancesToTheNextMatch) {
    AddPage([](TfrPage& p) {
        AddObject(p, gtMemo, "A", 40, 60, 400, 30, "Label 001");
        AddObject(p, gtMemo, "B", 40, 200, 400, 30, "nothing here");
        AddObject(p, gtMemo, "C", 40, 900, 400, 30, "LABEL 002");
    });
    AddTextPages({"no match", "label 003"});
    TfrPreviewForm form;
    Show(form, QSize(900, 500));

    AnswerSearch("label", true, false);
    QTest::keyClick(&form, Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(form.TextFound);
    EXPECT_EQ(form.SearchText, "LABEL");
    EXPECT_EQ(form.FoundPage, 0);
    EXPECT_GE(form.FoundRect.Top, 60);
    EXPECT_LT(form.FoundRect.Top, 90);

    // F3: the next match on the same page, scrolled into the box...
    QTest::keyClick(&form, Qt::Key_F3);
    EXPECT_EQ(form.FoundPage, 0);
    EXPECT_GE(form.FoundRect.Top, 900);
    const QRect match = Rect(*form.MatchRectOnBox());
    EXPECT_TRUE(QRect(QPoint(0, 0), form.PageBox->size()).contains(match)) << match.top();
    // ...then on a later page.
    QTest::keyClick(&form, Qt::Key_F3);
    EXPECT_EQ(form.FoundPage, 2);
    EXPECT_EQ(form.Label1->text(), Q("页 3/3"));
    // Past the last match nothing changes and the mark stays.
    const gdi::TRect last = form.FoundRect;
    QTest::keyClick(&form, Qt::Key_F3);
    QTest::keyClick(&form, Qt::Key_F3);
    EXPECT_FALSE(form.TextFound);
    EXPECT_EQ(form.FoundPage, 2);
    EXPECT_EQ(form.FoundRect, last);
    EXPECT_EQ(form.CurrentPage, 3);

    // The mark is the match inverted on screen.
    QImage marked = form.PageBox->grab().toImage();
    const QRect mark = Rect(*form.MatchRectOnBox());
    const QPoint corner = mark.bottomRight() - QPoint(1, 1);
    EXPECT_EQ(marked.pixelColor(corner), QColor(Qt::black));

    // Case-sensitive from the current page: only "label 003".
    form.GoToPage(1);
    AnswerSearch("label", false, true);
    QTest::mouseClick(form.FindBtn, Qt::LeftButton);
    EXPECT_EQ(form.FoundPage, 2);
    // F3 from a page the operator went to starts on that page.
    form.GoToPage(1);
    AnswerSearch("LABEL", true, true);
    QTest::keyClick(&form, Qt::Key_F, Qt::ControlModifier);
    EXPECT_GE(form.FoundRect.Top, 900);
    form.GoToPage(2);
    QTest::keyClick(&form, Qt::Key_F3);
    EXPECT_FALSE(form.TextFound);
    EXPECT_EQ(form.CurrentPage, 2);
}

TEST_F(Preview, SearchMatchesWholeDoubleByteCharacters) {
    // 丄 is 81 41: its trail byte is "A". 乤 is 81 61: its trail byte is "a",
    // which upper-casing must leave alone (or it would become 丄).
    AddTextPages({text::L("乤丄"), text::L("标签A")});
    ASSERT_EQ(text::L("丄"), std::string("\x81\x41"));
    TfrPreviewForm form;
    Show(form);

    AnswerSearch("A", true, false);
    QTest::keyClick(&form, Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(form.FoundPage, 1);
    AnswerSearch(Q("丄"), true, false);
    QTest::keyClick(&form, Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(form.FoundPage, 0);
    QTest::keyClick(&form, Qt::Key_F3); // 乤 does not upper-case into 丄
    EXPECT_FALSE(form.TextFound);
    EXPECT_EQ(form.FoundPage, 0);

    // On a page inside its margins the mark sits where the text is drawn.
    AddPage([](TfrPage& p) { AddObject(p, gtMemo, "M", 0, 0, 200, 30, "MARGINS"); }, kA4, 2100,
            2970, gdi::TRect{100, 150, 50, 50});
    form.Connect(report);
    form.ResetView(true);
    AnswerSearch("margins", true, false);
    QTest::keyClick(&form, Qt::Key_F, Qt::ControlModifier);
    const PreparedPageInfo& page = form.Pages->PageAt(0);
    ASSERT_EQ(form.FoundPage, 0);
    EXPECT_GE(form.FoundRect.Left, 100 + page.PageInfo.OffsetX);
    EXPECT_GE(form.FoundRect.Top, 150 + page.PageInfo.OffsetY);
    EXPECT_LT(form.FoundRect.Top, 150 + page.PageInfo.OffsetY + 30);

    EXPECT_TRUE(frTextContains(text::L("乤丄"), text::L("丄")));
    EXPECT_FALSE(frTextContains(text::L("丄"), "A"));
    EXPECT_FALSE(frTextContains("\x81", "\x81\x41"));
    EXPECT_FALSE(frTextContains("abc", ""));
}

// ---------------------------------------------------------------------------
// Prepared-report files and the commands that lend the pages.

TEST_F(Preview, SavedPagesLoadBackAndAFailureKeepsThePagesShown) {
    AddTextPages({"first", "second", "third"});
    const std::string built = [&] {
        rtl::TMemoryStream bytes;
        report.PreparedPages->WritePreparedFile(bytes);
        return bytes.Bytes();
    }();
    TfrPreviewForm form;
    Show(form);
    QDir folder(home.path());
    QString filter;
    ui::TestHooks().saveFile = [&](const QString& f) {
        filter = f;
        return std::optional<QString>(folder.filePath("labels.txt"));
    };
    QTest::keyClick(&form, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(filter, Q("Report 文件 (*.frp)|*.frp"));
    // The extension is always .frp; the file holds the pages as built.
    QFile saved(folder.filePath("labels.frp"));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll().toStdString(), built);
    EXPECT_EQ(form.Pages->Count(), 3);
    EXPECT_EQ(report.PreparedPages->Count(), 0);

    // A damaged file: the message, and the pages stay.
    QFile damaged(folder.filePath("damaged.frp"));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write(QByteArray::fromStdString(built.substr(0, built.size() / 2)));
    damaged.close();
    ui::TestHooks().openFile = [&](const QString&) {
        return std::optional<QString>(damaged.fileName());
    };
    form.GoToPage(2);
    const TfrEMFPages* shown = form.Pages.get();
    QTest::mouseClick(form.LoadBtn, Qt::LeftButton);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].caption, Q("错误"));
    EXPECT_EQ(form.Pages.get(), shown);
    EXPECT_EQ(form.Pages->Count(), 3);
    EXPECT_EQ(form.CurrentPage, 2);
    EXPECT_EQ(report.PreparedPages->Count(), 0);

    // A save that fails: the message, and the pages stay too.
    ui::TestHooks().saveFile = [&](const QString&) {
        return std::optional<QString>(folder.filePath("missing-folder/labels.frp"));
    };
    QTest::mouseClick(form.SaveBtn, Qt::LeftButton);
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(form.Pages.get(), shown);
    EXPECT_EQ(report.PreparedPages->Count(), 0);

    // Loading the saved file shows its pages from page 1.
    ui::TestHooks().openFile = [&](const QString&) {
        return std::optional<QString>(saved.fileName());
    };
    QTest::keyClick(&form, Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(messages.size(), 2u);
    EXPECT_NE(form.Pages.get(), shown);
    ASSERT_EQ(form.Pages->Count(), 3);
    EXPECT_EQ(form.Label1->text(), Q("页 1/3"));
    rtl::TMemoryStream again;
    form.Pages->WritePreparedFile(again);
    EXPECT_EQ(again.Bytes(), built);
}

TEST_F(Preview, PrintingAndEditingGetThePagesAndGiveThemBack) {
    AddTextPages({"1", "2", "3"});
    // A printer besides the virtual one.
    TfrPrinter& printer = ReportPrinter();
    printer.PrinterNames.Insert(0, "Label printer");
    printer.VirtualPrinterIndex = 1;
    int pagesSeen = 0;
    int currentPageSeen = 0;
    QWidget* shown = nullptr;
    frGuiHooks().PrintPreparedReportDialog = [&](TfrReport& r) {
        pagesSeen = r.PreparedPages->Count();
        // What the print dialog's "current page" choice reads.
        currentPageSeen = shown->window()->property("CurrentPage").toInt();
        throw std::runtime_error("out of paper");
    };
    TfrPreviewForm form;
    shown = &form;
    Show(form);
    ASSERT_TRUE(form.PrintBtn->isVisible());
    ASSERT_TRUE(form.PrintBtn->isEnabled());
    form.GoToPage(2);
    QTest::keyClick(&form, Qt::Key_P, Qt::ControlModifier);
    EXPECT_EQ(pagesSeen, 3);
    EXPECT_EQ(currentPageSeen, 2);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "out of paper");
    EXPECT_EQ(form.Pages->Count(), 3);
    EXPECT_EQ(form.CurrentPage, 2);

    // Printing on another printer may rebuild: the new pages are shown.
    frGuiHooks().PrintPreparedReportDialog = [&](TfrReport& r) { r.PreparedPages->DeletePage(2); };
    QTest::mouseClick(form.PrintBtn, Qt::LeftButton);
    EXPECT_EQ(form.Pages->Count(), 2);
    EXPECT_EQ(report.PreparedPages->Count(), 0);

    // Page items need a designer and ModifyPrepared.
    EXPECT_FALSE(form.PageItemsAllowed());
    bool edited = false;
    DesignerEditorHooks().EditPreparedPage = [&](TfrReport& r) {
        r.Pages->Items(0).ObjectAt(0)->Memo.SetText("edited");
        edited = true;
        return true;
    };
    frGuiHooks().AskYesNo = [](const std::string&, const std::string&) { return true; };
    form.ApplyButtons();
    EXPECT_TRUE(form.PageItemsAllowed());
    form.GoToPage(1);
    QTest::keyClick(&form, Qt::Key_E, Qt::ControlModifier);
    EXPECT_TRUE(edited);
    form.Pages->MaterializePage(0);
    EXPECT_EQ(form.Pages->PageAt(0).Page->ObjectAt(0)->Memo.Text(), "edited\r\n");
    // A double click on a page edits it, also after the zoom button's menu
    // (which leaves the page items out); a right click offers them.
    edited = false;
    QTest::mouseClick(form.ZoomBtn, Qt::LeftButton);
    form.ProcMenu->hide();
    form.GoToPage(2);
    form.VScrollBar->setValue(0);
    // (The window system sends a press before the double click.)
    QTest::mouseClick(form.PageBox, Qt::LeftButton, {}, OnBox(form, 0, 300, 300));
    QTest::mouseDClick(form.PageBox, Qt::LeftButton, {}, OnBox(form, 0, 300, 300));
    EXPECT_TRUE(edited);
    EXPECT_EQ(form.CurrentPage, 1);
    QTest::mouseClick(form.PageBox, Qt::RightButton, {}, OnBox(form, 0, 300, 300));
    EXPECT_TRUE(form.ProcMenu->isVisible());
    EXPECT_TRUE(form.EditPageItem->isVisible());
    form.ProcMenu->hide();

    form.AddPageClick();
    EXPECT_EQ(form.Pages->Count(), 3);
    EXPECT_EQ(form.Pages->PageAt(0).PageInfo.PageWidth, 758);
    std::string asked;
    frGuiHooks().AskYesNo = [&](const std::string& text, const std::string& caption) {
        asked = text::Cp936ToUtf8(caption + ":" + text);
        return true;
    };
    form.DelPageClick();
    EXPECT_EQ(asked, "确认:删除该页吗?");
    EXPECT_EQ(form.Pages->Count(), 2);
    form.DelPageClick();
    form.DelPageClick();
    EXPECT_EQ(form.Pages->Count(), 1); // the only page stays
    EXPECT_FALSE(form.DelPageItem->isEnabled());
}

// ---------------------------------------------------------------------------
// Buttons and the window.

TEST_F(Preview, ButtonsFollowPreviewButtons) {
    AddTextPages({"1"});
    struct Case {
        TfrPreviewButtons set;
        bool printing; // the print layer installed its dialogs
        std::vector<const char*> shown;
    };
    const TfrPreviewButtons every =
        pbZoom | pbLoad | pbSave | pbPrint | pbFind | pbHelp | pbExit | pbPageSetup;
    const Case cases[] = {
        {every,
         true,
         {"ZoomBtn", "Separator1", "LoadBtn", "SaveBtn", "PrintBtn", "PageSetupBtn", "Separator2",
          "FindBtn", "HelpBtn", "Separator3", "ExitBtn"}},
        {pbZoom | pbLoad | pbSave | pbPrint | pbFind,
         true,
         {"ZoomBtn", "Separator1", "LoadBtn", "SaveBtn", "PrintBtn", "Separator2", "FindBtn",
          "Separator3"}},
        {pbPageSetup | pbHelp, true, {"PageSetupBtn", "Separator2", "HelpBtn", "Separator3"}},
        {pbExit, true, {"Separator2", "ExitBtn"}},
        // Without printing, its buttons never show.
        {every,
         false,
         {"ZoomBtn", "Separator1", "LoadBtn", "SaveBtn", "Separator2", "FindBtn", "HelpBtn",
          "Separator3", "ExitBtn"}},
    };
    const char* all[] = {"ZoomBtn",  "Separator1",   "LoadBtn",    "SaveBtn",
                         "PrintBtn", "PageSetupBtn", "Separator2", "FindBtn",
                         "HelpBtn",  "Separator3",   "ExitBtn"};
    for (const Case& c : cases) {
        report.PreviewButtons = c.set;
        frGuiHooks().PrintPreparedReportDialog = nullptr;
        frGuiHooks().PreparedPageSetup = nullptr;
        if (c.printing) {
            frGuiHooks().PrintPreparedReportDialog = [](TfrReport&) {};
            frGuiHooks().PreparedPageSetup = [](TfrReport&) { return false; };
        }
        TfrPreviewForm form;
        form.Connect(report);
        form.ApplyButtons();
        for (const char* name : all) {
            SCOPED_TRACE(name);
            auto* control = form.findChild<QWidget*>(name);
            ASSERT_NE(control, nullptr);
            const bool expected = std::find_if(c.shown.begin(), c.shown.end(), [&](const char* s) {
                                      return std::string(s) == name;
                                  }) != c.shown.end();
            EXPECT_EQ(!control->isHidden(), expected);
        }
        // Without a printer besides the virtual one nothing can print.
        EXPECT_FALSE(form.PrintBtn->isEnabled());
        form.Disconnect();
    }
}

TEST_F(Preview, TheModalWindowClosesWithEscFreesItsPagesAndKeepsItsPlace) {
    AddTextPages({"1", "2"});
    report.ModalPreview = true;
    report.Title = text::L("标签");
    InstallPreviewForm();
    {
        settings::TRegIniFile store;
        store.WriteBool(kSection, "Maximized", false);
        store.WriteInteger(kSection, "XPosition", 40);
        store.WriteInteger(kSection, "YPosition", 50);
        store.WriteInteger(kSection, "Width", 600);
        store.WriteInteger(kSection, "Height", 400);
    }
    QString caption;
    QRect placed;
    QTimer::singleShot(0, [&] {
        auto* form = qobject_cast<TfrPreviewForm*>(QApplication::activeModalWidget());
        if (!form) return ADD_FAILURE() << "no modal preview";
        caption = form->windowTitle();
        placed = form->geometry();
        form->setGeometry(60, 70, 500, 350);
        QTest::keyClick(form, Qt::Key_Escape);
    });
    report.PreviewPreparedReport();
    EXPECT_EQ(caption, Q("预览 - 标签"));
    EXPECT_EQ(placed, QRect(40, 50, 600, 400));
    // Closing the window freed the pages it had taken.
    EXPECT_EQ(report.PreparedPages->Count(), 0);
    const QSettings file(settings::SettingsFileForKey(kKey), QSettings::IniFormat);
    EXPECT_EQ(file.value("Form/TfrPreviewForm/XPosition").toInt(), 60);
    EXPECT_EQ(file.value("Form/TfrPreviewForm/Height").toInt(), 350);
    EXPECT_EQ(file.value("Form/TfrPreviewForm/Maximized").toString(), "false");

    // Without pages nothing is shown.
    report.PreviewPreparedReport();
}

TEST_F(Preview, DamagedSettingsNeverKeepTheWindowFromOpening) {
    AddTextPages({"1"});
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const char* files[] = {
        "[Form\\TfrPreviewForm]\nXPosition=abc\nWidth=-5\nHeight=zz\nMaximized=perhaps\n",
        "[Form\\TfrPreviewForm]\nXPosition=-99999999\nYPosition=99999999\nWidth=99999999\n"
        "Height=99999999\nMaximized=false\n",
        "\x01\x02\xff\xfe garbage [[[ \n=\n",
        "[Form\\TfrPreviewForm]\nWidth=2147483648\nHeight=1e400\nXPosition=@Variant(\\0)\n",
    };
    for (const char* content : files) {
        SCOPED_TRACE(content);
        const QString path = settings::SettingsFileForKey(kKey);
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
        file.close();

        if (report.PreparedPages->Count() == 0) AddTextPages({"1"});
        TfrPreviewForm form;
        form.ShowReport(report);
        QApplication::processEvents();
        EXPECT_TRUE(form.isVisible());
        EXPECT_GT(form.width(), 0);
        EXPECT_GT(form.height(), 0);
        EXPECT_TRUE(screen.intersects(form.geometry())) << form.geometry().x();
        EXPECT_LE(form.width(), std::max(screen.width(), form.minimumWidth()));
        form.close();
    }
}

// ---------------------------------------------------------------------------
// What the operator sees.

namespace {

std::string ReadWithZbar(const QString& file) {
    QProcess zbar;
    zbar.start("zbarimg", {"-q", file});
    if (!zbar.waitForFinished(20000)) return "zbarimg did not finish";
    return QString::fromUtf8(zbar.readAllStandardOutput()).trimmed().toStdString();
}

} // namespace

TEST_F(Preview, ALabelPreviewShowsTextAndAScannableBarcode) {
    report.Title = text::L("商品标签");
    const char* values[] = {"690123456789", "690123456790", "690123456791"};
    for (const char* value : values) {
        // 60 x 40 mm labels: the name above, the EAN-13 code below.
        AddPage(
            [&](TfrPage& p) {
                TfrView& name =
                    AddObject(p, gtMemo, "Title", 8, 6, 200, 24, text::L("商品名称 ") + value);
                static_cast<TfrMemoView&>(name).Font.Size = 11;
                TfrView& code =
                    AddObject(p, gtAddIn, "B", 20, 36, 170, 90, value, "TfrBarCodeView");
                auto& barcode = static_cast<TfrBarCodeView&>(code);
                barcode.BarType = bcCodeEAN13;
            },
            kCustomPaper, 600, 400);
    }
    TfrPreviewForm form;
    form.setWindowTitle(Q("预览 - 商品标签"));
    Show(form, QSize(1200, 560));
    form.ZoomMenuClick(200);
    QApplication::processEvents();
    const QImage shot = form.grab().toImage();
    // Kept for people to look at: the window as the operator sees it.
    const QString artifacts = QString::fromUtf8(TEST_OUTPUT_DIR) + "/artifacts";
    QDir().mkpath(artifacts);
    ASSERT_TRUE(shot.save(artifacts + "/label_preview.png"));

    // The first label, cut out of the window, reads back with a scanner.
    const QRect label = Laid(form, 0).translated(form.PageBox->mapTo(&form, QPoint(0, 0)));
    const QString cut = artifacts + "/label_preview_first_label.png";
    ASSERT_TRUE(shot.copy(label).save(cut));
    EXPECT_EQ(ReadWithZbar(cut), "EAN-13:6901234567892");
}
