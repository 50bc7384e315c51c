#include "report/output/preview_form.h"

#include "platform/gdi/recording_canvas.h"
#include "platform/rtl/scoped_restore.h"
#include "platform/rtl/sysutils.h"
#include "platform/settings/settings_store.h"
#include "platform/text/cp936.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/form_position.h"
#include "report/core/process_state.h"
#include "report/core/resource_strings.h"
#include "report/core/string_ids.h"
#include "report/engine/prepared_pages.h"
#include "report/output/preview_search_form.h"
#include "report/output/preview_widget.h"
#include "report/printer/printer.h"

#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QDesktopServices>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <QWhatsThis>

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

const QString kFormClass = QStringLiteral("TfrPreviewForm");
const QString kDesignerSection = QStringLiteral("Form\\TfrDesignerForm");

// Gap between pages and round them, in pixels.
constexpr int kPageGap = 10;
// Scroll bar steps: arrow keys and wheel notches, page keys.
constexpr int kSmallChange = 10;
constexpr int kLargeChange = 200;
// The zoom stays where pages can be seen and placed: a window narrower than
// the page gap would otherwise ask for a zero or negative scale.
constexpr double kMinScale = 0.01;
constexpr double kMaxScale = 40.0;
// Laid-out coordinates stay far inside the integer range.
constexpr long long kMaxCoordinate = 1LL << 30;

// Zoom menu tags: percentages, then the three fitting modes.
constexpr int kZoomPercentages[] = {200, 150, 100, 75, 50, 25, 10};
constexpr int kZoomPageWidth = 1;
constexpr int kZoomOnePage = 2;
constexpr int kZoomTwoPages = 3;

QString Resource(int identifier) {
    return text::Cp936ToQString(LoadResourceString(identifier));
}

int ToCoordinate(double value) {
    if (!std::isfinite(value)) return 0;
    return static_cast<int>(
        std::clamp<long long>(rtl::Round(value), -kMaxCoordinate, kMaxCoordinate));
}

int ClampCoordinate(long long value) {
    return static_cast<int>(std::clamp<long long>(value, -kMaxCoordinate, kMaxCoordinate));
}

double ClampScale(double scale) {
    if (!std::isfinite(scale)) return 1.0;
    return std::clamp(scale, kMinScale, kMaxScale);
}

// The "@" page jump of a link text: the number after the "@", 1 at least.
std::optional<int> LinkPageNumber(const std::string& link) {
    const size_t at = link.find('@');
    if (at == std::string::npos || at + 1 >= link.size()) return std::nullopt;
    int n = 0;
    if (!rtl::TryStrToInt(link.substr(at + 1), n)) return std::nullopt;
    return std::max(n, 1);
}

// What the desktop does with a web or mail address.
void OpenAddress(const std::function<void(const std::string&)>& shell, const std::string& url) {
    if (shell)
        shell(url);
    else
        QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));
}

Qt::CursorShape CursorShapeOf(int cursor) {
    // The window system's cursor numbers, as report handlers hand them back.
    switch (cursor) {
    case crHandPoint:
        return Qt::PointingHandCursor;
    case -3:
        return Qt::CrossCursor;
    case -4:
        return Qt::IBeamCursor;
    case -6:
        return Qt::SizeBDiagCursor;
    case -7:
        return Qt::SizeVerCursor;
    case -8:
        return Qt::SizeFDiagCursor;
    case -9:
        return Qt::SizeHorCursor;
    case -10:
        return Qt::UpArrowCursor;
    case -11:
    case -17:
        return Qt::WaitCursor;
    case -12:
    case -16:
        return Qt::DragMoveCursor;
    case -13:
    case -18:
        return Qt::ForbiddenCursor;
    case -14:
        return Qt::SplitHCursor;
    case -15:
        return Qt::SplitVCursor;
    case -19:
        return Qt::BusyCursor;
    case -20:
        return Qt::WhatsThisCursor;
    case -22:
        return Qt::SizeAllCursor;
    default:
        return Qt::ArrowCursor;
    }
}

// "name.ext" -> "name.frp"; the dot of a folder name does not count.
QString WithFrpExtension(const QString& path) {
    const QFileInfo info(path);
    const QString name = info.fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString base = dot > 0 ? name.left(dot) : name;
    const QString folder = path.left(path.size() - name.size());
    return folder + base + QStringLiteral(".frp");
}

QString FrpFilter() {
    return Resource(frsReportFiles) + QStringLiteral(" (*.frp)|*.frp");
}

// --- Toolbar glyphs, drawn so the program needs no picture files. ---------

enum class Glyph { Open, Save, Print, PageSetup, Find, Help, Exit };

QIcon GlyphIcon(Glyph glyph) {
    QPixmap pixmap(24, 24);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QPen outline(QColor(40, 40, 40), 1.2);
    p.setPen(outline);
    switch (glyph) {
    case Glyph::Open:
        p.setBrush(QColor(240, 200, 80));
        p.drawPolygon(QPolygonF({{2, 6}, {9, 6}, {11, 8}, {21, 8}, {21, 20}, {2, 20}}));
        p.setBrush(QColor(250, 225, 130));
        p.drawPolygon(QPolygonF({{2, 20}, {5, 11}, {23, 11}, {21, 20}}));
        break;
    case Glyph::Save:
        p.setBrush(QColor(60, 90, 170));
        p.drawRoundedRect(QRectF(3, 3, 18, 18), 1.5, 1.5);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(6, 3, 12, 7));
        p.setBrush(QColor(200, 200, 200));
        p.drawRect(QRectF(7, 14, 10, 7));
        break;
    case Glyph::Print:
        p.setBrush(Qt::white);
        p.drawRect(QRectF(7, 2, 10, 8));
        p.setBrush(QColor(150, 150, 150));
        p.drawRoundedRect(QRectF(2, 9, 20, 9), 2, 2);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(6, 14, 12, 8));
        p.drawLine(QPointF(8, 17), QPointF(16, 17));
        p.drawLine(QPointF(8, 19.5), QPointF(14, 19.5));
        break;
    case Glyph::PageSetup:
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4, 2, 16, 20));
        p.setPen(QPen(QColor(60, 110, 200), 1, Qt::DashLine));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(7, 5, 10, 14));
        break;
    case Glyph::Find:
        p.setBrush(QColor(210, 235, 255));
        p.drawEllipse(QRectF(3, 3, 12, 12));
        p.setPen(QPen(QColor(90, 60, 30), 3, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(14, 14), QPointF(21, 21));
        break;
    case Glyph::Help: {
        p.setBrush(QColor(60, 110, 200));
        p.drawEllipse(QRectF(2, 2, 20, 20));
        QFont font = p.font();
        font.setPixelSize(16);
        font.setBold(true);
        p.setFont(font);
        p.setPen(Qt::white);
        p.drawText(QRectF(2, 2, 20, 20), Qt::AlignCenter, QStringLiteral("?"));
        break;
    }
    case Glyph::Exit:
        p.setBrush(QColor(170, 120, 70));
        p.drawRect(QRectF(5, 2, 12, 20));
        p.setBrush(QColor(250, 220, 80));
        p.drawEllipse(QRectF(13, 11, 2.5, 2.5));
        p.setPen(QPen(QColor(200, 30, 30), 2.5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(17, 12), QPointF(23, 12));
        p.drawLine(QPointF(20, 9), QPointF(23, 12));
        p.drawLine(QPointF(20, 15), QPointF(23, 12));
        break;
    }
    return QIcon(pixmap);
}

// The glyph in grey, as inactive toolbar buttons show it until the mouse is
// over them.
QIcon GrayIcon(const QIcon& icon) {
    QImage image = icon.pixmap(24, 24).toImage().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = line[x];
            const int level = (77 * qRed(c) + 150 * qGreen(c) + 29 * qBlue(c)) >> 8;
            line[x] = qRgba(level, level, level, qAlpha(c));
        }
    }
    return QIcon(QPixmap::fromImage(image));
}

// A flat toolbar button that can show its glyph in grey until the mouse is
// over it.
class PreviewButton : public QToolButton {
public:
    PreviewButton(QWidget* parent, const char* name, int width, std::optional<Glyph> glyph)
        : QToolButton(parent) {
        setObjectName(QString::fromLatin1(name));
        setFixedSize(width, 32);
        setAutoRaise(true);
        setFocusPolicy(Qt::NoFocus);
        setIconSize(QSize(24, 24));
        if (glyph) {
            icon_ = GlyphIcon(*glyph);
            grayIcon_ = GrayIcon(icon_);
            setIcon(icon_);
        }
    }
    void SetGrayed(bool grayed) {
        grayed_ = grayed;
        Refresh();
    }

protected:
    void enterEvent(QEnterEvent* event) override {
        hover_ = true;
        Refresh();
        QToolButton::enterEvent(event);
    }
    void leaveEvent(QEvent* event) override {
        hover_ = false;
        Refresh();
        QToolButton::leaveEvent(event);
    }

private:
    void Refresh() {
        if (!icon_.isNull()) setIcon(grayed_ && !hover_ ? grayIcon_ : icon_);
    }

    QIcon icon_, grayIcon_;
    bool grayed_ = false;
    bool hover_ = false;
};

QFrame* MakeSeparator(QWidget* parent, const char* name) {
    auto* separator = new QFrame(parent);
    separator->setObjectName(QString::fromLatin1(name));
    separator->setFrameShape(QFrame::VLine);
    separator->setFrameShadow(QFrame::Sunken);
    separator->setFixedSize(8, 32);
    return separator;
}

QLabel* MakeStatusLabel(QWidget* parent, const char* name) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setFrameShape(QFrame::Panel);
    label->setFrameShadow(QFrame::Sunken);
    label->setIndent(3);
    return label;
}

// Lends the preview's pages to its report for a command that works on the
// report's own list, and takes them (or the list the command left there)
// back afterwards, also when the command fails.
class PagesLent {
public:
    explicit PagesLent(TfrPreviewForm& form) : form_(form), report_(form.Report) {
        form_.Disconnect();
    }
    ~PagesLent() {
        if (report_) form_.Connect(*report_);
    }
    PagesLent(const PagesLent&) = delete;
    PagesLent& operator=(const PagesLent&) = delete;

private:
    TfrPreviewForm& form_;
    TfrReport* report_;
};

} // namespace

// ---------------------------------------------------------------------------

std::optional<std::string> frSafeLinkTarget(const std::string& target) {
    QString address = text::Cp936ToQString(target).trimmed();
    if (address.isEmpty()) return std::nullopt;
    for (const QChar c : address)
        if (c.isSpace() || c.category() == QChar::Other_Control) return std::nullopt;
    if (address.startsWith(QLatin1String("www."), Qt::CaseInsensitive))
        address.prepend(QStringLiteral("http://"));
    const QUrl url(address, QUrl::StrictMode);
    if (!url.isValid()) return std::nullopt;
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("http") || scheme == QLatin1String("https")) {
        if (url.host().isEmpty()) return std::nullopt;
    } else if (scheme == QLatin1String("mailto")) {
        if (url.path().isEmpty()) return std::nullopt;
    } else {
        return std::nullopt;
    }
    return url.toString(QUrl::FullyEncoded).toStdString();
}

bool frTextContains(std::string_view text, std::string_view needle) {
    if (needle.empty() || needle.size() > text.size()) return false;
    for (size_t i = 0; i + needle.size() <= text.size();) {
        if (text.compare(i, needle.size(), needle) == 0) return true;
        i += text::IsLeadByte(static_cast<unsigned char>(text[i])) ? 2 : 1;
    }
    return false;
}

// ---------------------------------------------------------------------------

TfrPreviewForm::TfrPreviewForm(QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint) {
    setObjectName(kFormClass);
    QFont font(QStringLiteral("宋体"));
    font.setPixelSize(12);
    setFont(font);
    resize(557, 374);
    BuildControls();
    SetTexts();
    ResetView(true);
}

TfrPreviewForm::~TfrPreviewForm() {
    // The pages go with the window; the panels it lent out come back first
    // (see TfrPreview), so nothing here refers to a widget already gone.
    Pages.reset();
}

void TfrPreviewForm::BuildControls() {
    outerLayout_ = new QVBoxLayout(this);
    outerLayout_->setContentsMargins(0, 0, 0, 0);
    outerLayout_->setSpacing(0);

    ToolbarPanel = new QFrame(this);
    ToolbarPanel->setObjectName("ToolbarPanel");
    ToolbarPanel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    ToolbarPanel->setLineWidth(2);
    ToolbarPanel->setFixedHeight(42);
    auto* toolbarLayout = new QHBoxLayout(ToolbarPanel);
    toolbarLayout->setContentsMargins(2, 4, 2, 4);
    toolbarLayout->setSpacing(0);
    Panel1 = new QWidget(ToolbarPanel);
    Panel1->setObjectName("Panel1");
    auto* buttons = new QHBoxLayout(Panel1);
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->setSpacing(0);
    toolbarLayout->addWidget(Panel1);
    toolbarLayout->addStretch(1);

    ZoomBtn = new PreviewButton(Panel1, "ZoomBtn", 60, std::nullopt);
    Separator1 = MakeSeparator(Panel1, "Separator1");
    LoadBtn = new PreviewButton(Panel1, "LoadBtn", 32, Glyph::Open);
    SaveBtn = new PreviewButton(Panel1, "SaveBtn", 32, Glyph::Save);
    PrintBtn = new PreviewButton(Panel1, "PrintBtn", 32, Glyph::Print);
    PageSetupBtn = new PreviewButton(Panel1, "PageSetupBtn", 32, Glyph::PageSetup);
    Separator2 = MakeSeparator(Panel1, "Separator2");
    FindBtn = new PreviewButton(Panel1, "FindBtn", 32, Glyph::Find);
    HelpBtn = new PreviewButton(Panel1, "HelpBtn", 32, Glyph::Help);
    Separator3 = MakeSeparator(Panel1, "Separator3");
    ExitBtn = new PreviewButton(Panel1, "ExitBtn", 32, Glyph::Exit);
    for (QWidget* w : std::initializer_list<QWidget*>{ZoomBtn, Separator1, LoadBtn, SaveBtn,
                                                      PrintBtn, PageSetupBtn, Separator2, FindBtn,
                                                      HelpBtn, Separator3, ExitBtn})
        buttons->addWidget(w);
    outerLayout_->addWidget(ToolbarPanel);

    PreviewPanel = new QWidget(this);
    PreviewPanel->setObjectName("PreviewPanel");
    auto* grid = new QGridLayout(PreviewPanel);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(0);

    ScrollBox1 = new QWidget(PreviewPanel);
    ScrollBox1->setObjectName("ScrollBox1");
    ScrollBox1->setFocusPolicy(Qt::StrongFocus);
    auto* boxLayout = new QVBoxLayout(ScrollBox1);
    boxLayout->setContentsMargins(0, 0, 0, 0);
    PageBox = new TfrPBox(*this, ScrollBox1);
    boxLayout->addWidget(PageBox);
    grid->addWidget(ScrollBox1, 0, 0);

    RPanel = new QWidget(PreviewPanel);
    RPanel->setObjectName("RPanel");
    RPanel->setFixedWidth(16);
    auto* right = new QVBoxLayout(RPanel);
    right->setContentsMargins(0, 0, 0, 0);
    right->setSpacing(0);
    VScrollBar = new QScrollBar(Qt::Vertical, RPanel);
    VScrollBar->setObjectName("VScrollBar");
    PgUp = new QToolButton(RPanel);
    PgUp->setObjectName("PgUp");
    PgUp->setArrowType(Qt::UpArrow);
    PgDown = new QToolButton(RPanel);
    PgDown->setObjectName("PgDown");
    PgDown->setArrowType(Qt::DownArrow);
    for (QToolButton* b : {PgUp, PgDown}) {
        b->setFixedSize(16, 16);
        b->setFocusPolicy(Qt::NoFocus);
    }
    right->addWidget(VScrollBar, 1);
    right->addWidget(PgUp);
    right->addWidget(PgDown);
    grid->addWidget(RPanel, 0, 1);

    BPanel = new QWidget(PreviewPanel);
    BPanel->setObjectName("BPanel");
    BPanel->setFixedHeight(18);
    Label1 = MakeStatusLabel(BPanel, "Label1");
    Label2 = MakeStatusLabel(BPanel, "Label2");
    HScrollBar = new QScrollBar(Qt::Horizontal, BPanel);
    HScrollBar->setObjectName("HScrollBar");
    grid->addWidget(BPanel, 1, 0, 1, 2);
    outerLayout_->addWidget(PreviewPanel, 1);

    for (QScrollBar* bar : {VScrollBar, HScrollBar}) {
        bar->setSingleStep(kSmallChange);
        bar->setPageStep(kLargeChange);
        bar->setRange(0, 0);
        bar->setFocusPolicy(Qt::NoFocus);
    }
    connect(VScrollBar, &QScrollBar::valueChanged, this, [this](int v) { VScrollBarChange(v); });
    connect(HScrollBar, &QScrollBar::valueChanged, this, [this](int v) { HScrollBarChange(v); });

    ProcMenu = new QMenu(this);
    ProcMenu->setObjectName("ProcMenu");
    zoomGroup_ = new QActionGroup(ProcMenu);
    zoomGroup_->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    const auto addZoomItem = [this](const QString& caption, int tag) {
        QAction* item = ProcMenu->addAction(caption);
        item->setCheckable(true);
        item->setData(tag);
        zoomGroup_->addAction(item);
        ZoomItems.push_back(item);
        connect(item, &QAction::triggered, this, [this, tag] { ZoomMenuClick(tag); });
    };
    for (int percentage : kZoomPercentages)
        addZoomItem(QString::number(percentage) + QLatin1Char('%'), percentage);
    addZoomItem(QString(), kZoomPageWidth);
    addZoomItem(QString(), kZoomOnePage);
    addZoomItem(QString(), kZoomTwoPages);
    PageItemsSeparator = ProcMenu->addSeparator();
    EditPageItem = ProcMenu->addAction(QString());
    AddPageItem = ProcMenu->addAction(QString());
    DelPageItem = ProcMenu->addAction(QString());
    connect(EditPageItem, &QAction::triggered, this, [this] { EditPageClick(); });
    connect(AddPageItem, &QAction::triggered, this, [this] { AddPageClick(); });
    connect(DelPageItem, &QAction::triggered, this, [this] { DelPageClick(); });

    connect(ZoomBtn, &QToolButton::clicked, this, [this] { ZoomBtnClick(); });
    connect(LoadBtn, &QToolButton::clicked, this, [this] { LoadBtnClick(); });
    connect(SaveBtn, &QToolButton::clicked, this, [this] { SaveBtnClick(); });
    connect(PrintBtn, &QToolButton::clicked, this, [this] { PrintBtnClick(); });
    connect(PageSetupBtn, &QToolButton::clicked, this, [this] { PageSetupBtnClick(); });
    connect(FindBtn, &QToolButton::clicked, this, [this] { FindBtnClick(); });
    connect(HelpBtn, &QToolButton::clicked, this, [this] { HelpBtnClick(); });
    connect(ExitBtn, &QToolButton::clicked, this, [this] { ExitBtnClick(); });
    connect(PgUp, &QToolButton::clicked, this, [this] { PgUpClick(); });
    connect(PgDown, &QToolButton::clicked, this, [this] { PgDownClick(); });

    // Key preview: keys reach the window before the box that has the focus,
    // also while the panels are shown inside a TfrPreview.
    ScrollBox1->installEventFilter(this);
    PageBox->installEventFilter(this);
    BPanel->installEventFilter(this);
    RPanel->installEventFilter(this);
}

void TfrPreviewForm::SetTexts() {
    const struct {
        QToolButton* button;
        int hint;
    } hints[] = {{ZoomBtn, frsPreviewZoomHint},           {LoadBtn, frsPreviewLoadHint},
                 {SaveBtn, frsPreviewSaveHint},           {PrintBtn, frsPreviewPrintHint},
                 {PageSetupBtn, frsPreviewPageSetupHint}, {FindBtn, frsPreviewFindHint},
                 {HelpBtn, frsPreviewHelpHint},           {ExitBtn, frsPreviewExitHint}};
    for (const auto& h : hints) {
        h.button->setToolTip(Resource(h.hint));
        // The help mode shows what a control is for.
        h.button->setWhatsThis(Resource(h.hint));
    }
    ZoomItems[7]->setText(Resource(frsZoomPageWidth));
    ZoomItems[8]->setText(Resource(frsZoomWholePage));
    ZoomItems[9]->setText(Resource(frsZoomTwoPages));
    EditPageItem->setText(Resource(frsEditPage));
    AddPageItem->setText(Resource(frsAddPage));
    DelPageItem->setText(Resource(frsDeletePage));
}

// --- Pages ----------------------------------------------------------------

void TfrPreviewForm::Connect(TfrReport& report) {
    Report = &report;
    Pages.reset();
    Pages = std::move(report.PreparedPages);
    if (!Pages) Pages = frNewPreparedPages(report);
    report.PreparedPages = frNewPreparedPages(report);
}

void TfrPreviewForm::Disconnect() {
    if (!Report || !Pages) return;
    Report->PreparedPages = std::move(Pages);
}

void TfrPreviewForm::ShowReport(TfrReport& report) {
    Connect(report);
    ApplyButtons();
    ResetView(true);
    SetScrollPosition(*HScrollBar, 0);
    SetScrollPosition(*VScrollBar, 0);

    // Placement as the operator left it; maximised the first time.
    shownAsWindow_ = true;
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    const settings::TRegIniFile store;
    const bool maximized =
        store.ReadBool(QStringLiteral("Form\\") + kFormClass, QStringLiteral("Maximized"), true);
    ui::RestoreFormPosition(store, *this, kFormClass);
    if (maximized) setWindowState(windowState() | Qt::WindowMaximized);

    if (report.ModalPreview) {
        exec();
    } else {
        show();
        activateWindow();
    }
}

void TfrPreviewForm::done(int result) {
    if (shownAsWindow_ && !Embedded()) {
        settings::TRegIniFile store;
        ui::SaveFormPosition(store, *this, kFormClass);
    }
    QDialog::done(result);
}

bool TfrPreviewForm::DesignerPresent() const {
    return static_cast<bool>(DesignerEditorHooks().EditPreparedPage);
}

bool TfrPreviewForm::PageItemsAllowed() const {
    return Report && Report->ModifyPrepared && DesignerPresent();
}

void TfrPreviewForm::ApplyButtons() {
    if (!Report) return;
    const TfrPreviewButtons set = Report->PreviewButtons;
    ZoomBtn->setVisible(set & pbZoom);
    LoadBtn->setVisible(set & pbLoad);
    SaveBtn->setVisible(set & pbSave);
    // Printing and page setup come from the print layer; without it the
    // buttons would do nothing.
    PrintBtn->setVisible((set & pbPrint) && frGuiHooks().PrintPreparedReportDialog);
    FindBtn->setVisible(set & pbFind);
    PageSetupBtn->setVisible((set & pbPageSetup) && frGuiHooks().PreparedPageSetup);
    // Help and close belong to a window of its own, not to an embedded panel.
    HelpBtn->setVisible((set & pbHelp) && !Embedded());
    ExitBtn->setVisible((set & pbExit) && !Embedded());
    Separator1->setVisible(!ZoomBtn->isHidden());
    Separator3->setVisible(!FindBtn->isHidden() || !HelpBtn->isHidden());

    // Printing needs a printer besides the virtual one.
    const bool printerInstalled = ReportPrinter().VirtualPrinterIndex > 0;
    PrintBtn->setEnabled(printerInstalled);
    PageSetupBtn->setEnabled(printerInstalled);

    const bool pageItems = PageItemsAllowed();
    for (QAction* item : {PageItemsSeparator, EditPageItem, AddPageItem, DelPageItem})
        item->setVisible(pageItems);

    switch (Report->InitialZoom) {
    case TfrPreviewZoom::pzPageWidth:
        frPreviewZoom().LastZoomMode = kZoomPageWidth;
        break;
    case TfrPreviewZoom::pzOnePage:
        frPreviewZoom().LastZoomMode = kZoomOnePage;
        break;
    case TfrPreviewZoom::pzTwoPages:
        frPreviewZoom().LastZoomMode = kZoomTwoPages;
        break;
    case TfrPreviewZoom::pzDefault:
        break;
    }

    const bool grayed = DesignerPresent()
                            ? settings::TRegIniFile().ReadBool(kDesignerSection,
                                                               QStringLiteral("GrayButtons"), false)
                            : Report->GrayedButtons;
    for (QToolButton* button :
         {LoadBtn, SaveBtn, PrintBtn, PageSetupBtn, FindBtn, HelpBtn, ExitBtn})
        static_cast<PreviewButton*>(button)->SetGrayed(grayed);
}

void TfrPreviewForm::CheckZoomItem() {
    const int tag = ZoomMode == 0 ? static_cast<int>(rtl::Round(Scale * 100)) : ZoomMode;
    QAction* match = nullptr;
    for (QAction* item : ZoomItems)
        if (item->data().toInt() == tag) match = item;
    if (match) {
        match->setChecked(true);
    } else if (QAction* checked = zoomGroup_->checkedAction()) {
        checked->setChecked(false);
    }
}

void TfrPreviewForm::ReleaseLivePages() {
    if (!Pages) return;
    gdi::RecordingCanvas nowhere;
    for (int i = 0; i < Pages->Count(); ++i) {
        Pages->PageAt(i).Visible = false;
        Pages->DrawPage(i, nowhere, gdi::TRect{});
    }
}

void TfrPreviewForm::ForgetMatch() {
    TextFound = false;
    FoundPage = -1;
    SearchPage = 0;
    SearchRecord = 0;
}

void TfrPreviewForm::ResetView(bool toFirstPage) {
    Scale = ClampScale(frPreviewZoom().LastZoom);
    ZoomMode = std::clamp(frPreviewZoom().LastZoomMode, 0, kZoomTwoPages);
    CheckZoomItem();
    if (toFirstPage) {
        CurrentPage = 1;
        ScrollX = ScrollY = 0;
        SetScrollPosition(*HScrollBar, 0);
        SetScrollPosition(*VScrollBar, 0);
        LastHPos = LastVPos = 0;
    }
    const int count = Pages ? Pages->Count() : 0;
    CurrentPage = std::clamp(CurrentPage, 1, std::max(count, 1));
    ShowPageNum();
    Layout();
    ReleaseLivePages();
    DelPageItem->setEnabled(count > 1);
    PageBox->update();
}

void TfrPreviewForm::Layout() {
    const int count = Pages ? Pages->Count() : 0;
    if (count == 0) {
        for (QScrollBar* bar : {HScrollBar, VScrollBar}) {
            SetScrollPosition(*bar, 0);
            bar->setRange(0, 0);
            bar->setEnabled(false);
        }
        return;
    }
    rtl::ScopedRestore<bool> paintingOff(PaintEnabled, false);
    CurrentPage = std::clamp(CurrentPage, 1, count);
    const PrinterPageInfo& current = Pages->PageAt(CurrentPage - 1).PageInfo;
    const double width = current.PageWidth;
    const double height = current.PageHeight;
    const int boxWidth = PageBox->width();
    const int boxHeight = PageBox->height();

    switch (ZoomMode) {
    case kZoomPageWidth:
        if (width > 0) Scale = (boxWidth - 2.0 * kPageGap) / width;
        break;
    case kZoomOnePage:
        if (height > 0) Scale = (boxHeight - 2.0 * kPageGap) / height;
        break;
    case kZoomTwoPages:
        if (width > 0) Scale = (boxWidth - 3.0 * kPageGap) / (2 * width);
        break;
    default:
        break;
    }
    Scale = ClampScale(Scale);
    ZoomBtn->setText(QString::number(rtl::Round(Scale * 100)) + QLatin1Char('%'));

    const auto scaled = [this](int32_t units) {
        return static_cast<long long>(ToCoordinate(units * Scale));
    };

    // How many pages fit side by side.
    int columns = 0;
    {
        long long x = kPageGap;
        int inRow = 0;
        for (int i = 0; i < count; ++i) {
            const long long right = x + scaled(Pages->PageAt(i).PageInfo.PageWidth) + kPageGap;
            if (right > boxWidth) {
                x = kPageGap;
                inRow = 0;
            } else {
                x = right;
                columns = std::max(columns, ++inRow);
            }
        }
    }
    columns = std::max(columns, 1);
    if (ZoomMode == kZoomOnePage) columns = 1;
    if (ZoomMode == kZoomTwoPages) columns = 2;

    // Row by row.
    long long y = kPageGap;
    long long rightmost = 0, lowest = 0;
    for (int i = 0; i < count;) {
        long long x = kPageGap;
        long long rowHeight = 0;
        for (int column = 0; column < columns && i < count; ++column, ++i) {
            PreparedPageInfo& page = Pages->PageAt(i);
            const long long w = scaled(page.PageInfo.PageWidth);
            const long long h = scaled(page.PageInfo.PageHeight);
            const long long left = columns == 1 && w < boxWidth ? (boxWidth - w) / 2 : x;
            page.ScreenRect = gdi::TRect{ClampCoordinate(left), ClampCoordinate(y),
                                         ClampCoordinate(left + w), ClampCoordinate(y + h)};
            x += w + kPageGap;
            rowHeight = std::max(rowHeight, h);
            rightmost = std::max(rightmost, left + w);
            lowest = std::max(lowest, y + h);
        }
        y += rowHeight + kPageGap;
    }

    const auto range = [](long long edge, int box) {
        return ClampCoordinate(std::max(0LL, edge - box + kPageGap));
    };
    const int hMax = range(rightmost, boxWidth);
    const int vMax = range(lowest, boxHeight);
    {
        // Ranges that shrink move the bars; the current page stays.
        rtl::ScopedRestore<bool> keepPage(scrollingToPage_, true);
        HScrollBar->setRange(0, hMax);
        VScrollBar->setRange(0, vMax);
    }
    HScrollBar->setEnabled(hMax > 0);
    VScrollBar->setEnabled(vMax > 0);

    if (!Embedded() && isVisible()) ScrollBox1->setFocus();
    ScrollToCurrent();
}

void TfrPreviewForm::ShowPageNum() {
    const int count = Pages ? Pages->Count() : 0;
    Label1->setText(Resource(frsPage) + QLatin1Char(' ') +
                    QString::number(count == 0 ? 0 : CurrentPage) + QLatin1Char('/') +
                    QString::number(count));
    if (OnPageChanged) OnPageChanged(CurrentPage);
}

void TfrPreviewForm::SetScrollPosition(QScrollBar& bar, int position) {
    rtl::ScopedRestore<bool> keepPage(scrollingToPage_, true);
    bar.setValue(position);
}

void TfrPreviewForm::ScrollToCurrent() {
    if (!Pages || CurrentPage < 1 || CurrentPage > Pages->Count()) return;
    const int top = Pages->PageAt(CurrentPage - 1).ScreenRect.Top - kPageGap;
    if (top != VScrollBar->value()) SetScrollPosition(*VScrollBar, top);
}

void TfrPreviewForm::GoToPage(int n) {
    if (!Pages || n < 1 || n > Pages->Count()) return;
    CurrentPage = n;
    ShowPageNum();
    ScrollToCurrent();
}

void TfrPreviewForm::VScrollBarChange(int position) {
    ScrollY = -position;
    PageBox->scroll(0, LastVPos - position);
    LastVPos = position;
    if (scrollingToPage_ || !Pages) return;
    // The page at the top of the box becomes the current one.
    const int probe = 11 - ScrollY;
    for (int i = 0; i < Pages->Count(); ++i) {
        const gdi::TRect& r = Pages->PageAt(i).ScreenRect;
        if (r.Top < probe && probe < r.Bottom) {
            CurrentPage = i + 1;
            break;
        }
    }
    ShowPageNum();
}

void TfrPreviewForm::HScrollBarChange(int position) {
    ScrollX = -position;
    PageBox->scroll(LastHPos - position, 0);
    LastHPos = position;
}

gdi::TRect TfrPreviewForm::PageRectOnBox(int index) const {
    gdi::TRect r = Pages->PageAt(index).ScreenRect;
    r.Left += ScrollX;
    r.Right += ScrollX;
    r.Top += ScrollY;
    r.Bottom += ScrollY;
    return r;
}

gdi::TRect TfrPreviewForm::PageContentRect(int index, const gdi::TRect& pageRect,
                                           double scale) const {
    const PreparedPageInfo& page = Pages->PageAt(index);
    if (page.UseMargins) return pageRect;
    const PrinterPageInfo& info = page.PageInfo;
    const gdi::TRect& m = page.Margins;
    const int left = pageRect.Left + ToCoordinate((double(info.OffsetX) + m.Left) * scale);
    const int top = pageRect.Top + ToCoordinate((double(info.OffsetY) + m.Top) * scale);
    const int width =
        ToCoordinate((double(info.PrintableWidth) - double(m.Left) - double(m.Right)) * scale);
    const int height =
        ToCoordinate((double(info.PrintableHeight) - double(m.Top) - double(m.Bottom)) * scale);
    return gdi::TRect{left, top, ClampCoordinate(static_cast<long long>(left) + width),
                      ClampCoordinate(static_cast<long long>(top) + height)};
}

int TfrPreviewForm::PageAtPoint(int x, int y) const {
    if (!Pages) return -1;
    for (int i = 0; i < Pages->Count(); ++i) {
        const gdi::TRect r = PageRectOnBox(i);
        if (x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom) return i;
    }
    return -1;
}

bool TfrPreviewForm::HitTestAt(int x, int y, bool click) {
    const int index = PageAtPoint(x, y);
    if (index < 0) {
        if (!click) {
            PageBox->unsetCursor();
            Label2->clear();
        }
        return false;
    }
    const gdi::TRect r = PageRectOnBox(index);
    const gdi::TPoint point{static_cast<int>(std::floor((x - r.Left) / Scale)),
                            static_cast<int>(std::floor((y - r.Top) / Scale))};
    std::string link;
    int cursor = crDefault;
    bool hit = false;
    try {
        // A link object opens only web and mail addresses: never a file or
        // a program, whatever the desktop would do with it.
        auto& shell = frGuiHooks().ShellOpen;
        rtl::ScopedRestore<std::function<void(const std::string&)>> safeShell(
            shell, [outer = shell](const std::string& target) {
                if (const auto address = frSafeLinkTarget(target)) OpenAddress(outer, *address);
            });
        hit = Pages->HitTest(index, point, click, link, cursor);
    } catch (const std::exception& error) {
        if (click) ShowError(error);
        return false;
    }

    if (click) {
        if (hit && !link.empty()) {
            if (const auto page = LinkPageNumber(link)) {
                GoToPage(*page);
            } else if (const auto address = frSafeLinkTarget(link)) {
                // "@" also belongs to mail addresses, which the pages hand back.
                OpenAddress(frGuiHooks().ShellOpen, *address);
            }
        }
        return hit;
    }
    PageBox->setCursor(hit ? CursorShapeOf(cursor) : Qt::ArrowCursor);
    if (!hit || link.empty())
        Label2->clear();
    else if (const auto page = LinkPageNumber(link))
        Label2->setText(Resource(frsPage) + QLatin1Char(' ') + QString::number(*page));
    else
        Label2->setText(text::Cp936ToQString(link));
    return hit;
}

std::optional<gdi::TRect> TfrPreviewForm::MatchRectOnBox() const {
    if (!Pages || FoundPage < 0 || FoundPage >= Pages->Count()) return std::nullopt;
    const gdi::TRect page = PageRectOnBox(FoundPage);
    return gdi::TRect{page.Left + ToCoordinate(FoundRect.Left * Scale),
                      page.Top + ToCoordinate(FoundRect.Top * Scale),
                      page.Left + ToCoordinate(FoundRect.Right * Scale),
                      page.Top + ToCoordinate(FoundRect.Bottom * Scale)};
}

// --- Search ---------------------------------------------------------------

void TfrPreviewForm::FindNext() {
    const int count = Pages ? Pages->Count() : 0;
    if (count == 0 || SearchText.empty()) return;
    TextFound = false;
    {
        rtl::ScopedRestore<bool> paintingOff(PaintEnabled, false);
        for (int i = std::max(SearchPage, 0); i < count; ++i) {
            PreparedPageInfo& page = Pages->PageAt(i);
            // Past the last match on its page, from the start on later ones.
            const int firstRecord = i == SearchPage ? std::max(SearchRecord, 0) : 0;
            std::optional<gdi::TRect> bounds;
            int record = 0;
            try {
                // The page drawn at scale 1 as the screen places its content,
                // so the match's bounds are in the page's own units.
                const int width = std::max(page.PageInfo.PageWidth, 1);
                const int height = std::max(page.PageInfo.PageHeight, 1);
                gdi::MetafileCanvas picture(width, height);
                page.Visible = true;
                Pages->DrawPage(i, picture,
                                PageContentRect(i, gdi::TRect{0, 0, width, height}, 1.0));
                const auto& records = picture.Records();
                for (record = firstRecord; record < static_cast<int>(records.size()); ++record) {
                    const std::string& shown = records[static_cast<size_t>(record)].Text;
                    if (shown.empty()) continue;
                    if (frTextContains(MatchCase ? shown : rtl::AnsiUpperCase(shown), SearchText)) {
                        bounds = records[static_cast<size_t>(record)].Bounds;
                        break;
                    }
                }
            } catch (const std::exception&) {
                // A page that cannot be drawn has nothing to find.
            }
            if (bounds) {
                TextFound = true;
                FoundRect = *bounds;
                FoundPage = i;
                SearchPage = i;
                // The next search starts after this match, never on it again.
                SearchRecord = record + 1;
                CurrentPage = i + 1;
                ShowPageNum();
                break;
            }
            page.Visible = false;
            gdi::RecordingCanvas nowhere;
            Pages->DrawPage(i, nowhere, gdi::TRect{});
        }
    }
    if (!TextFound) return;

    // Bring the match into the box: the page's top, or further down until
    // the match's bottom shows; likewise across.
    const gdi::TRect page = Pages->PageAt(FoundPage).ScreenRect;
    const int matchRight = page.Left + ToCoordinate(FoundRect.Right * Scale);
    const int matchBottom = page.Top + ToCoordinate(FoundRect.Bottom * Scale);
    int v = page.Top - kPageGap;
    if (matchBottom > v + PageBox->height()) v = matchBottom - PageBox->height() + kPageGap;
    int h = page.Left - kPageGap;
    if (matchRight > h + PageBox->width()) h = matchRight - PageBox->width() + kPageGap;
    SetScrollPosition(*VScrollBar, v);
    SetScrollPosition(*HScrollBar, std::max(h, 0));
    PageBox->update();
}

void TfrPreviewForm::FindBtnClick() {
    if (!Pages || Pages->Count() == 0) return;
    TfrPreviewSearchForm dialog(this);
    // The last search is offered again, selected.
    dialog.Edit1->setText(lastSearchInput_);
    dialog.CB1->setChecked(MatchCase);
    if (dialog.exec() != QDialog::Accepted) return;
    lastSearchInput_ = dialog.Edit1->text();
    MatchCase = dialog.CB1->isChecked();
    const std::string typed = text::QStringToCp936(lastSearchInput_);
    SearchText = MatchCase ? typed : rtl::AnsiUpperCase(typed);
    if (dialog.RB1->isChecked()) {
        SearchPage = 0;
        SearchRecord = 0;
    } else if (SearchPage != CurrentPage - 1) {
        SearchPage = CurrentPage - 1;
        SearchRecord = 0;
    }
    FindNext();
}

// --- Commands -------------------------------------------------------------

void TfrPreviewForm::ShowZoomMenu(const QPoint& globalPos, bool withPageItems) {
    const bool pageItems = withPageItems && PageItemsAllowed();
    for (QAction* item : {PageItemsSeparator, EditPageItem, AddPageItem, DelPageItem})
        item->setVisible(pageItems);
    ProcMenu->popup(globalPos);
}

void TfrPreviewForm::ShowContextMenu(const QPoint& globalPos) {
    if (EmbeddedIn && EmbeddedIn->PopupMenu)
        EmbeddedIn->PopupMenu->popup(globalPos);
    else
        ShowZoomMenu(globalPos, true);
}

void TfrPreviewForm::ZoomBtnClick() {
    ShowZoomMenu(ZoomBtn->mapToGlobal(QPoint(0, ZoomBtn->height())), false);
}

void TfrPreviewForm::ZoomMenuClick(int tag) {
    SetScrollPosition(*HScrollBar, 0);
    ScrollX = 0;
    if (tag >= kZoomPageWidth && tag <= kZoomTwoPages) {
        ZoomMode = tag;
    } else {
        ZoomMode = 0;
        Scale = ClampScale(tag / 100.0);
    }
    CheckZoomItem();
    Layout();
    frPreviewZoom().LastZoom = Scale;
    frPreviewZoom().LastZoomMode = ZoomMode;
    PageBox->update();
}

void TfrPreviewForm::LoadBtnClick() {
    if (!Report) return;
    const auto path = ui::GetOpenFileName(this, FrpFilter(), QStringLiteral("frp"));
    if (!path) return;
    // Read into the report's own (empty) list: a file that cannot be read
    // leaves the pages shown as they are.
    try {
        Report->LoadPreparedFile(text::QStringToCp936(*path));
    } catch (const std::exception& error) {
        ShowError(error);
        return;
    }
    Connect(*Report);
    ForgetMatch();
    ResetView(true);
}

void TfrPreviewForm::SaveBtnClick() {
    if (!Report || !Pages || Pages->Count() == 0) return;
    const auto path = ui::GetSaveFileName(this, FrpFilter(), QStringLiteral("frp"));
    if (!path) return;
    std::optional<std::string> failure;
    {
        PagesLent lent(*this);
        try {
            Report->SavePreparedFile(text::QStringToCp936(WithFrpExtension(*path)));
        } catch (const std::exception& error) {
            failure = error.what();
        }
    }
    if (failure) ShowError(std::runtime_error(*failure));
}

void TfrPreviewForm::PrintBtnClick() {
    if (!Report || !Pages || Pages->Count() == 0 || !PrintBtn->isEnabled()) return;
    // A copy: the dialog may reinstall the hooks while it runs.
    const auto print = frGuiHooks().PrintPreparedReportDialog;
    if (!print) return;
    const TfrEMFPages* before = Pages.get();
    std::optional<std::string> failure;
    // The print dialog's "current page" reads it from the active window.
    window()->setProperty("CurrentPage", CurrentPage);
    {
        PagesLent lent(*this);
        try {
            print(*Report);
        } catch (const std::exception& error) {
            failure = error.what();
        }
    }
    if (Pages.get() != before) ForgetMatch(); // rebuilt for another printer
    ResetView(false);
    if (failure) ShowError(std::runtime_error(*failure));
}

void TfrPreviewForm::PageSetupBtnClick() {
    if (!Report || !Pages || Pages->Count() == 0 || !PageSetupBtn->isEnabled()) return;
    const auto pageSetup = frGuiHooks().PreparedPageSetup;
    if (!pageSetup) return;
    bool rebuilt = false;
    std::optional<std::string> failure;
    {
        PagesLent lent(*this);
        try {
            rebuilt = pageSetup(*Report);
        } catch (const std::exception& error) {
            failure = error.what();
        }
    }
    if (rebuilt) ForgetMatch();
    ResetView(rebuilt);
    if (failure) ShowError(std::runtime_error(*failure));
}

void TfrPreviewForm::EditPageClick() {
    if (!Report || !Pages || Pages->Count() == 0 || !PageItemsAllowed()) return;
    std::optional<std::string> failure;
    {
        PagesLent lent(*this);
        try {
            Report->EditPreparedPage(CurrentPage - 1);
        } catch (const std::exception& error) {
            failure = error.what();
        }
    }
    ForgetMatch();
    ResetView(false);
    if (failure) ShowError(std::runtime_error(*failure));
}

void TfrPreviewForm::AddPageClick() {
    if (!Report || !Pages || Pages->Count() == 0 || !PageItemsAllowed()) return;
    // The paper of the template's first report page; a report loaded from
    // a file may have none, and then the current page's paper serves.
    const TfrPage* paper = nullptr;
    for (int i = 0; i < Report->Pages->Count() && !paper; ++i)
        if (Report->Pages->Items(i).PageType == ptReport) paper = &Report->Pages->Items(i);
    std::unique_ptr<TfrPage> own;
    if (!paper) {
        const PreparedPageInfo& current = Pages->PageAt(CurrentPage - 1);
        own = std::make_unique<TfrPage>(current.PaperSize, current.PaperWidth, current.PaperHeight,
                                        current.Bin, current.Orientation);
        own->Margins = current.Margins;
        own->UseMargins = current.UseMargins;
        paper = own.get();
    }
    Pages->InsertPage(CurrentPage - 1, *paper);
    ForgetMatch();
    ResetView(false);
}

void TfrPreviewForm::DelPageClick() {
    if (!Report || !Pages || Pages->Count() <= 1 || !PageItemsAllowed()) return;
    const std::string question = LoadResourceString(frsDeletePageQuestion);
    const std::string caption = LoadResourceString(frsConfirmCaption);
    const bool yes = frGuiHooks().AskYesNo
                         ? frGuiHooks().AskYesNo(question, caption)
                         : QMessageBox::question(
                               this, text::Cp936ToQString(caption), text::Cp936ToQString(question),
                               QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    if (!yes) return;
    Pages->DeletePage(CurrentPage - 1);
    ForgetMatch();
    ResetView(true);
}

void TfrPreviewForm::HelpBtnClick() {
    QWhatsThis::enterWhatsThisMode();
}

void TfrPreviewForm::ExitBtnClick() {
    if (Embedded()) return;
    if (isModal())
        done(QDialog::Accepted);
    else
        close();
}

void TfrPreviewForm::PgUpClick() {
    if (CurrentPage > 1) GoToPage(CurrentPage - 1);
}

void TfrPreviewForm::PgDownClick() {
    if (Pages && CurrentPage < Pages->Count()) GoToPage(CurrentPage + 1);
}

void TfrPreviewForm::WheelScroll(int steps) {
    VScrollBar->setValue(VScrollBar->value() - steps * kSmallChange * WheelFactor);
}

bool TfrPreviewForm::FormKeyDown(QKeyEvent& event) {
    const bool ctrl = event.modifiers() & Qt::ControlModifier;
    const auto move = [](QScrollBar& bar, int by) { bar.setValue(bar.value() + by); };
    switch (event.key()) {
    case Qt::Key_Up:
        move(*VScrollBar, -kSmallChange);
        break;
    case Qt::Key_Down:
        move(*VScrollBar, kSmallChange);
        break;
    case Qt::Key_Left:
        move(*HScrollBar, -kSmallChange);
        break;
    case Qt::Key_Right:
        move(*HScrollBar, kSmallChange);
        break;
    case Qt::Key_PageUp:
        if (ctrl)
            PgUpClick();
        else
            move(*VScrollBar, -kLargeChange);
        break;
    case Qt::Key_PageDown:
        if (ctrl)
            PgDownClick();
        else
            move(*VScrollBar, kLargeChange);
        break;
    case Qt::Key_Home:
        if (!ctrl) return false;
        GoToPage(1);
        break;
    case Qt::Key_End:
        if (!ctrl || !Pages) return false;
        GoToPage(Pages->Count());
        break;
    case Qt::Key_Space:
        if (ZoomBtn->isVisible())
            ZoomBtnClick();
        else
            ShowZoomMenu(PageBox->mapToGlobal(QPoint(0, 0)), false);
        break;
    case Qt::Key_Escape:
        if (Embedded()) return false;
        ExitBtnClick();
        break;
    case Qt::Key_F3:
        if (ctrl || SearchText.empty()) return false;
        // From the current page when the operator went elsewhere since.
        if (SearchPage != CurrentPage - 1) {
            SearchPage = CurrentPage - 1;
            SearchRecord = 0;
        }
        FindNext();
        break;
    // The command keys follow the buttons the report shows.
    case Qt::Key_O:
        if (!ctrl || LoadBtn->isHidden()) return false;
        LoadBtnClick();
        break;
    case Qt::Key_S:
        if (!ctrl || SaveBtn->isHidden()) return false;
        SaveBtnClick();
        break;
    case Qt::Key_P:
        if (!ctrl || PrintBtn->isHidden() || !PrintBtn->isEnabled()) return false;
        PrintBtnClick();
        break;
    case Qt::Key_F:
        if (!ctrl || FindBtn->isHidden()) return false;
        FindBtnClick();
        break;
    case Qt::Key_E:
        if (!ctrl || !PageItemsAllowed()) return false;
        EditPageClick();
        break;
    default:
        return false;
    }
    return true;
}

void TfrPreviewForm::keyPressEvent(QKeyEvent* event) {
    if (FormKeyDown(*event)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool TfrPreviewForm::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress:
        if (watched == ScrollBox1 || watched == PageBox)
            return FormKeyDown(static_cast<QKeyEvent&>(*event));
        break;
    case QEvent::Resize:
        if (watched == PageBox) {
            Layout();
            PageBox->update();
        } else if (watched == BPanel || watched == RPanel) {
            PlaceBottomPanel();
        }
        break;
    case QEvent::Show:
    case QEvent::Hide:
        if (watched == RPanel) PlaceBottomPanel();
        break;
    default:
        break;
    }
    return QDialog::eventFilter(watched, event);
}

void TfrPreviewForm::PlaceBottomPanel() {
    // Page indicator, link text, then the horizontal bar up to the
    // vertical bar's column.
    constexpr int kIndicatorWidth = 77;
    constexpr int kLinkWidth = 154;
    constexpr int kBarLeft = 236;
    const int height = BPanel->height();
    Label1->setGeometry(0, 0, kIndicatorWidth, height);
    Label2->setGeometry(kIndicatorWidth + 1, 0, kLinkWidth, height);
    const int right = BPanel->width() - (RPanel->isHidden() ? 0 : RPanel->width());
    HScrollBar->setGeometry(kBarLeft, 0, std::max(right - kBarLeft, 0), height);
}

void TfrPreviewForm::ShowError(const std::exception& error) {
    ui::ShowMessage(this, ui::MsgKind::Error, text::Cp936ToQString(error.what()),
                    Resource(frsErrorBoxCaption));
}

// ---------------------------------------------------------------------------

void ShowPreparedReport(TfrReport& report) {
    SetCurReport(&report);
    frEngine().MasterReport = &report;
    frEngine().OutputMode = true;
    if (!report.PreparedPages || report.PreparedPages->Count() == 0) return;
    QString caption = Resource(frsPreviewCaption);
    if (!report.Title.empty())
        caption += QStringLiteral(" - ") + text::Cp936ToQString(report.Title);
    if (report.Preview) {
        report.Preview->Connect(report);
        return;
    }
    QWidget* owner = QApplication::activeWindow();
    if (report.ModalPreview) {
        TfrPreviewForm form(owner);
        form.setWindowTitle(caption);
        form.ShowReport(report);
        return;
    }
    // A window of its own that goes when it is closed (or with its owner).
    auto* form = new TfrPreviewForm(owner);
    form->setAttribute(Qt::WA_DeleteOnClose);
    form->setWindowTitle(caption);
    form->ShowReport(report);
}

void InstallPreviewForm() {
    frGuiHooks().ShowPreparedReport = [](TfrReport& report) { ShowPreparedReport(report); };
}
