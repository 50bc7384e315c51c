#pragma once
// The preview window: shows a report's built pages several per row at a
// chosen zoom, and lets the operator scroll, page, zoom, search text, follow
// links, load and save prepared reports (".frp"), print, set up the page and
// edit, add or remove built pages. While shown it owns the pages; the report
// holds an empty list, and gets the pages back around every command that
// works on them (save, print, page setup, editing a page).
//
// The embeddable panel TfrPreview (preview_widget.h) shows the panels of a
// hidden preview window.

#include "platform/gdi/geometry.h"
#include "report/model/report.h"

#include <QDialog>

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QAction;
class QActionGroup;
class QFrame;
class QKeyEvent;
class QLabel;
class QMenu;
class QScrollBar;
class QToolButton;
class QVBoxLayout;
class TfrPBox;
class TfrPreview;

class TfrPreviewForm : public QDialog {
    Q_OBJECT
public:
    explicit TfrPreviewForm(QWidget* parent = nullptr);
    ~TfrPreviewForm() override;

    // Takes the report's pages, applies its buttons, shows page 1 at the last
    // zoom and the window where it was left; modal with the report's
    // ModalPreview (returns once closed), else returns at once.
    void ShowReport(TfrReport& report);
    // Takes the report's built pages (freeing the ones shown before) and
    // gives it a new empty list.
    void Connect(TfrReport& report);
    // Gives the pages back to the report; Connect takes them again.
    void Disconnect();
    // The report's button set, greyed look and page items.
    void ApplyButtons();

    void ResetView(bool toFirstPage);
    // Places the pages for the zoom and the box size; sets the scroll ranges.
    void Layout();
    // The page indicator; raises the page-changed notice.
    void ShowPageNum();
    // Scrolls the current page to the top of the box.
    void ScrollToCurrent();
    // The next match of SearchText from SearchPage/SearchRecord on: shows and
    // marks it; nothing happens without one.
    void FindNext();
    // Goes to page n (from 1) when there is one.
    void GoToPage(int n);

    // Commands (buttons, menu items and keys).
    void ZoomBtnClick();
    void ZoomMenuClick(int tag);
    void LoadBtnClick();
    void SaveBtnClick();
    void PrintBtnClick();
    void PageSetupBtnClick();
    void FindBtnClick();
    void HelpBtnClick();
    void ExitBtnClick();
    void PgUpClick();
    void PgDownClick();
    void EditPageClick();
    void AddPageClick();
    void DelPageClick();
    // The window's key preview; true when the key was handled.
    bool FormKeyDown(QKeyEvent& event);
    // Wheel steps (positive: towards the top), each a small change times
    // WheelFactor.
    void WheelScroll(int steps);

    // Where page `index` is on the paint box now (its laid-out rectangle
    // moved by the scroll offsets).
    gdi::TRect PageRectOnBox(int index) const;
    // The rectangle a page's objects are painted into inside `pageRect` at
    // `scale`: the whole sheet, or the printable area less the margins.
    gdi::TRect PageContentRect(int index, const gdi::TRect& pageRect, double scale) const;
    // The page under a point of the paint box, or -1.
    int PageAtPoint(int x, int y) const;
    // A right click: the embedding panel's popup menu, else the zoom menu
    // with the page items.
    void ShowContextMenu(const QPoint& globalPos);
    // A click (true) or a move over a point of the paint box: hit-tests the
    // page under it; a click follows links. True when an object answered.
    bool HitTestAt(int x, int y, bool click);
    // The bounds of the last match on the paint box, when it is to be shown.
    std::optional<gdi::TRect> MatchRectOnBox() const;

    bool DesignerPresent() const;
    bool PageItemsAllowed() const;
    bool Embedded() const { return EmbeddedIn != nullptr; }

    // State.
    TfrReport* Report = nullptr; // not owned
    TfrEMFPagesPtr Pages;        // owned while shown
    int CurrentPage = 1;
    int ScrollX = 0, ScrollY = 0;
    int LastHPos = 0, LastVPos = 0;
    double Scale = 1.0;
    int ZoomMode = 0;
    bool PaintEnabled = true;
    std::string SearchText;
    bool MatchCase = false;
    bool TextFound = false;
    gdi::TRect FoundRect; // page units
    int FoundPage = -1;   // the page of FoundRect (from 0); -1: nothing marked
    int SearchPage = 0;   // from 0
    int SearchRecord = 0; // the first record the search may match on that page
    int WheelFactor = 1;
    TfrPreview* EmbeddedIn = nullptr; // not owned: the panel showing this window's panels
    // Raised with the current page whenever the indicator is updated.
    std::function<void(int pageNo)> OnPageChanged;

    // Controls.
    QFrame* ToolbarPanel = nullptr;
    QWidget* Panel1 = nullptr;
    QToolButton* ZoomBtn = nullptr;
    QFrame* Separator1 = nullptr;
    QToolButton* LoadBtn = nullptr;
    QToolButton* SaveBtn = nullptr;
    QToolButton* PrintBtn = nullptr;
    QToolButton* PageSetupBtn = nullptr;
    QFrame* Separator2 = nullptr;
    QToolButton* FindBtn = nullptr;
    QToolButton* HelpBtn = nullptr;
    QFrame* Separator3 = nullptr;
    QToolButton* ExitBtn = nullptr;
    QWidget* PreviewPanel = nullptr;
    QWidget* ScrollBox1 = nullptr;
    TfrPBox* PageBox = nullptr;
    QWidget* RPanel = nullptr;
    QScrollBar* VScrollBar = nullptr;
    QToolButton* PgUp = nullptr;
    QToolButton* PgDown = nullptr;
    QWidget* BPanel = nullptr;
    QLabel* Label1 = nullptr; // page indicator
    QLabel* Label2 = nullptr; // link under the pointer
    QScrollBar* HScrollBar = nullptr;
    QMenu* ProcMenu = nullptr;
    std::vector<QAction*> ZoomItems; // tag in data(): percentage, or 1-3 for the modes
    QAction* PageItemsSeparator = nullptr;
    QAction* EditPageItem = nullptr;
    QAction* AddPageItem = nullptr;
    QAction* DelPageItem = nullptr;

public slots:
    void done(int result) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    friend class TfrPreview; // moves the panels into itself and back

    void BuildControls();
    void SetTexts();
    void CheckZoomItem();
    void VScrollBarChange(int position);
    void HScrollBarChange(int position);
    void SetScrollPosition(QScrollBar& bar, int position);
    void ReleaseLivePages();
    void ForgetMatch();
    void PlaceBottomPanel();
    void ShowError(const std::exception& error);
    void ShowZoomMenu(const QPoint& globalPos, bool withPageItems);

    QVBoxLayout* outerLayout_ = nullptr;
    QActionGroup* zoomGroup_ = nullptr;
    QString lastSearchInput_; // offered again by the next search
    // Set while the view itself moves the scroll bars: the current page
    // then stays what the command chose.
    bool scrollingToPage_ = false;
    // The window was shown for a report: its placement is kept on closing.
    bool shownAsWindow_ = false;
};

// --- Shared by the preview and its tests --------------------------------

// The target a link object may open: http and https addresses with a host
// (a "www." name counts as http) and mailto addresses. Anything else (local
// files, programs, other schemes) gives nothing.
std::optional<std::string> frSafeLinkTarget(const std::string& target);

// Whether CP936 `text` holds `needle` starting on a character boundary (a
// double-byte character is never matched from its trail byte).
bool frTextContains(std::string_view text, std::string_view needle);

// Shows the report's built pages: the attached panel, or a new preview
// window. What TfrReport::PreviewPreparedReport calls.
void ShowPreparedReport(TfrReport& report);

// Installs the preview behind frGuiHooks().ShowPreparedReport.
void InstallPreviewForm();
