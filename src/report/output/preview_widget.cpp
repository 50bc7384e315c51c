#include "report/output/preview_widget.h"

#include "platform/gdi/qpainter_canvas.h"
#include "report/engine/prepared_pages.h"
#include "report/output/preview_form.h"

#include <QFrame>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPointer>
#include <QScrollBar>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <vector>

namespace {

// The grey round the pages.
const QColor kDeskColor(0x80, 0x80, 0x80);
// One notch of a mouse wheel, in eighths of a degree.
constexpr int kWheelNotch = 120;

} // namespace

TfrPBox::TfrPBox(TfrPreviewForm& previewWindow, QWidget* parent)
    : QWidget(parent), PreviewWindow(&previewWindow) {
    setObjectName("PBox");
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TfrPBox::paintEvent(QPaintEvent* event) {
    TfrPreviewForm& form = *PreviewWindow;
    if (!form.PaintEnabled) return;
    QPainter painter(this);
    TfrEMFPages* pages = form.Pages.get();
    const int count = pages ? pages->Count() : 0;
    if (count == 0) {
        painter.fillRect(rect(), palette().color(QPalette::Button));
        return;
    }
    painter.fillRect(event->rect(), kDeskColor);

    gdi::QPainterCanvas canvas(&painter);
    const QRegion area = event->region();
    // Every page that shows in the box, whatever its height, is painted;
    // the others give up their live objects.
    std::vector<char> shown(static_cast<size_t>(count), 0);
    for (int i = 0; i < count; ++i) {
        const gdi::TRect r = form.PageRectOnBox(i);
        // The shadow lies one pixel beyond the right and bottom edges.
        const QRect outline(r.Left, r.Top, r.Width() + 1, r.Height() + 1);
        const bool visible = r.Bottom >= 0 && r.Top < height() && r.Right >= 0 &&
                             r.Left < width() && area.intersects(outline);
        pages->PageAt(i).Visible = visible;
        shown[static_cast<size_t>(i)] = visible;
        if (!visible) continue;
        canvas.SetPen(gdi::TPen{gdi::clBlack, 1, gdi::psSolid, gdi::pmCopy});
        canvas.SetBrushColor(gdi::clWhite);
        canvas.SetBrushStyle(gdi::bsSolid);
        canvas.Rectangle(r);
        canvas.MoveTo(r.Left + 1, r.Bottom);
        canvas.LineTo(r.Right, r.Bottom);
        canvas.LineTo(r.Right, r.Top + 1);
    }
    for (int i = 0; i < count; ++i) {
        const bool visible = shown[static_cast<size_t>(i)];
        const int saved = canvas.SaveDC();
        try {
            canvas.SelectClipRegion(area);
            pages->DrawPage(i, canvas,
                            visible ? form.PageContentRect(i, form.PageRectOnBox(i), form.Scale)
                                    : gdi::TRect{});
        } catch (const std::exception&) {
            // A page whose objects cannot be painted stays blank; the others
            // still show.
        }
        canvas.RestoreDC(saved);
    }

    // The last match of the search, inverted.
    if (const auto match = form.MatchRectOnBox()) {
        painter.setClipping(false);
        painter.resetTransform();
        painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        painter.fillRect(gdi::Canvas::ToQRect(*match), Qt::white);
    }
}

void TfrPBox::mousePressEvent(QMouseEvent* event) {
    TfrPreviewForm& form = *PreviewWindow;
    if (event->button() == Qt::RightButton) {
        form.ShowContextMenu(event->globalPosition().toPoint());
        return;
    }
    if (event->button() != Qt::LeftButton) return;
    if (SkipNextMouseDown) {
        SkipNextMouseDown = false;
        return;
    }
    const QPoint at = event->position().toPoint();
    // A click an object answers leaves no page for a double click to edit.
    ClickedPage = 0;
    // A click handler of the report may close the window.
    QPointer<TfrPBox> alive(this);
    if (form.HitTestAt(at.x(), at.y(), true) || !alive) return;
    Dragging = true;
    DragX = at.x();
    DragY = at.y();
    const int index = form.PageAtPoint(at.x(), at.y());
    ClickedPage = index + 1;
    if (index >= 0) {
        form.CurrentPage = index + 1;
        form.ShowPageNum();
    }
}

void TfrPBox::mouseMoveEvent(QMouseEvent* event) {
    TfrPreviewForm& form = *PreviewWindow;
    const QPoint at = event->position().toPoint();
    if (Dragging) {
        // The pages follow the pointer.
        form.HScrollBar->setValue(form.HScrollBar->value() - (at.x() - DragX));
        form.VScrollBar->setValue(form.VScrollBar->value() - (at.y() - DragY));
        DragX = at.x();
        DragY = at.y();
        return;
    }
    form.HitTestAt(at.x(), at.y(), false);
}

void TfrPBox::mouseReleaseEvent(QMouseEvent*) {
    Dragging = false;
    // No extra press follows a double click here, unlike where the
    // double-click rule came from: nothing is left to skip.
    SkipNextMouseDown = false;
}

void TfrPBox::mouseDoubleClickEvent(QMouseEvent* event) {
    TfrPreviewForm& form = *PreviewWindow;
    Dragging = false;
    SkipNextMouseDown = true;
    if (event->button() != Qt::LeftButton) return;
    // Whether the page items are allowed, not whether the zoom button's menu
    // last hid them.
    if (ClickedPage > 0 && form.PageItemsAllowed()) {
        form.CurrentPage = ClickedPage;
        form.EditPageClick();
    }
}

void TfrPBox::wheelEvent(QWheelEvent* event) {
    // Fine-grained wheels and touchpads send parts of a notch: they add up.
    wheelRemainder_ += event->angleDelta().y();
    const int steps = wheelRemainder_ / kWheelNotch;
    wheelRemainder_ -= steps * kWheelNotch;
    if (steps != 0) PreviewWindow->WheelScroll(steps);
    event->accept();
}

// ---------------------------------------------------------------------------

TfrPreview::TfrPreview(QWidget* parent)
    : QWidget(parent), window_(std::make_unique<TfrPreviewForm>()) {
    setObjectName("TfrPreview");
    window_->EmbeddedIn = this;
    window_->WheelFactor = 3;
    window_->OnPageChanged = [this](int pageNo) {
        if (OnPageChanged) OnPageChanged(*this, pageNo);
    };
    layout_ = new QVBoxLayout(this);
    layout_->setContentsMargins(0, 0, 0, 0);
    layout_->setSpacing(0);
    layout_->addWidget(window_->PreviewPanel, 1);
}

TfrPreview::~TfrPreview() {
    TfrReport* report = window_->Report;
    if (report && report->Preview == this) report->Preview = nullptr;
    // The panels go back to their window, which frees them with the pages.
    TfrPreviewForm& form = *window_;
    if (form.ToolbarPanel->parentWidget() != &form)
        form.outerLayout_->insertWidget(0, form.ToolbarPanel);
    if (form.PreviewPanel->parentWidget() != &form)
        form.outerLayout_->addWidget(form.PreviewPanel, 1);
    window_.reset();
}

void TfrPreview::Connect(TfrReport& report) {
    TfrPreviewForm& form = *window_;
    if (form.PreviewPanel->parentWidget() != this) layout_->addWidget(form.PreviewPanel, 1);
    SetShowToolbar(showToolbar_);
    form.Connect(report);
    form.ApplyButtons();
    form.ResetView(true);
    form.WheelFactor = 3;
    // The wheel anywhere in the window that holds the panel scrolls the pages.
    QWidget* top = window();
    if (top != this && top != wheelSource_) {
        if (wheelSource_) wheelSource_->removeEventFilter(this);
        top->installEventFilter(this);
        wheelSource_ = top;
    }
}

void TfrPreview::Disconnect() {
    window_->Disconnect();
}

int TfrPreview::CurrentPage() const {
    return window_->CurrentPage;
}

void TfrPreview::SetScrollBars(TfrScrollBars value) {
    scrollBars_ = value;
    const bool vertical = value == TfrScrollBars::ssVertical || value == TfrScrollBars::ssBoth;
    const bool horizontal = value == TfrScrollBars::ssHorizontal || value == TfrScrollBars::ssBoth;
    window_->RPanel->setVisible(vertical);
    window_->BPanel->setVisible(horizontal);
}

void TfrPreview::SetShowToolbar(bool value) {
    showToolbar_ = value;
    TfrPreviewForm& form = *window_;
    if (value) {
        layout_->insertWidget(0, form.ToolbarPanel);
        form.ToolbarPanel->show();
    } else if (form.ToolbarPanel->parentWidget() != &form) {
        form.outerLayout_->insertWidget(0, form.ToolbarPanel);
    }
}

bool TfrPreview::eventFilter(QObject* watched, QEvent* event) {
    if (watched == wheelSource_ && event->type() == QEvent::Wheel) {
        wheelRemainder_ += static_cast<QWheelEvent&>(*event).angleDelta().y();
        const int steps = wheelRemainder_ / kWheelNotch;
        wheelRemainder_ -= steps * kWheelNotch;
        if (steps != 0) window_->WheelScroll(steps);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
