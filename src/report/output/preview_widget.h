#pragma once
// The preview's paint surface (TfrPBox) and the embeddable preview panel
// (TfrPreview), which shows the panels of a hidden preview window inside any
// window of the application.

#include <QWidget>

#include <functional>
#include <memory>

class QMenu;
class QVBoxLayout;
class TfrPreviewForm;
class TfrReport;

// Paints the pages and turns the mouse into hit-tests, link jumps and
// dragging; the state lives in the preview window.
class TfrPBox : public QWidget {
    Q_OBJECT
public:
    TfrPBox(TfrPreviewForm& previewWindow, QWidget* parent);

    TfrPreviewForm* PreviewWindow; // not owned: the window this box belongs to
    bool Dragging = false;
    int DragX = 0, DragY = 0; // pointer position at the last drag step
    int ClickedPage = 0;      // from 1; 0 when the last click hit no page
    bool SkipNextMouseDown = false;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    // Wheel deltas below one notch add up until they make one.
    int wheelRemainder_ = 0;
};

enum class TfrScrollBars { ssNone, ssHorizontal, ssVertical, ssBoth };

class TfrPreview : public QWidget {
    Q_OBJECT
public:
    explicit TfrPreview(QWidget* parent = nullptr);
    ~TfrPreview() override;

    // Shows the report's built pages here (taking them over), page 1.
    void Connect(TfrReport& report);
    // Gives the pages back to the report.
    void Disconnect();
    int CurrentPage() const;

    TfrScrollBars ScrollBars() const { return scrollBars_; }
    void SetScrollBars(TfrScrollBars value);
    bool ShowToolbar() const { return showToolbar_; }
    void SetShowToolbar(bool value);

    // The hidden window whose panels this panel shows.
    TfrPreviewForm& Window() const { return *window_; }

    std::function<void(TfrPreview& Sender, int PageNo)> OnPageChanged;
    // Shown on a right click instead of the zoom menu when set (not owned).
    QMenu* PopupMenu = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::unique_ptr<TfrPreviewForm> window_;
    QVBoxLayout* layout_ = nullptr;
    QWidget* wheelSource_ = nullptr; // the window whose wheel is routed here
    TfrScrollBars scrollBars_ = TfrScrollBars::ssBoth;
    bool showToolbar_ = false;
    int wheelRemainder_ = 0; // parts of a notch from the window's wheel
};
