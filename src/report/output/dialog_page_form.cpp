#include "report/output/dialog_page_form.h"

#include "platform/gdi/colors.h"
#include "platform/gdi/qpainter_canvas.h"
#include "platform/text/cp936.h"
#include "report/core/process_state.h"
#include "report/engine/globals.h"
#include "report/engine/run_band.h"
#include "report/model/page.h"
#include "report/model/view.h"
#include "report/output/progress_form.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

TfrDialogPageForm::TfrDialogPageForm(TfrPage& page, QWidget* parent)
    : QDialog(parent), page_(page) {
    setWindowTitle(text::Cp936ToQString(page.Caption));
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, gdi::ToQColor(page.Color));
    setPalette(palette);
    setAutoFillBackground(true);
    const QSize size(std::max(page.Width, 1), std::max(page.Height, 1));
    if (page.BorderStyle == frbsSizeable)
        resize(size);
    else
        setFixedSize(size);
    if (page.Position == frpoScreenCenter) {
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            move(screen->availableGeometry().center() - rect().center());
    } else {
        move(page.Left, page.Top);
    }
}

void TfrDialogPageForm::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    gdi::QPainterCanvas canvas(&painter, 96, 96);
    for (const auto& object : page_.Objects) {
        TfrView& view = *object;
        if (!view.Visible) continue;
        view.ZoomX = 1;
        view.ZoomY = 1;
        view.ShiftX = 0;
        view.ShiftY = 0;
        view.Paint(canvas);
    }
}

int ShowDialogPage(TfrPage& page) {
    // The form's activation step: the page script runs once, and a result it
    // set stands without showing the form.
    page.RunPageScript();
    if (const TfrRunPage* run = frGlobals().CurrentRunPage)
        if (const int result = run->ScriptModalResult()) return result;
    TfrProgressForm& progress = ProgressWindow();
    const bool progressShown = progress.isVisible();
    if (progressShown) progress.hide();
    TfrDialogPageForm form(page);
    const int result = form.exec() == QDialog::Accepted ? mrOk : mrCancel;
    if (progressShown) progress.show();
    return result;
}

void InstallDialogPageForm() {
    frGuiHooks().ShowDialogPage = ShowDialogPage;
}
