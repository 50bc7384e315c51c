#include "report/output/progress_form.h"

#include "platform/rtl/scoped_restore.h"
#include "platform/text/cp936.h"
#include "report/core/process_state.h"
#include "report/core/resource_strings.h"
#include "report/core/string_ids.h"
#include "report/model/report.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

TfrProgressForm::TfrProgressForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    // No close box: the work decides when the window goes.
    setObjectName("TfrProgressForm");
    QFont font(QStringLiteral("宋体"));
    font.setPixelSize(12);
    setFont(font);
    setFixedSize(278, 106);

    Label1 = new QLabel(this);
    Label1->setObjectName("Label1");
    Label1->setGeometry(20, 26, 237, 16);
    Label1->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Label2 = new QLabel(this);
    Label2->setObjectName("Label2");
    Label2->setGeometry(20, 42, 237, 16);
    Label2->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Button1 = new QPushButton(this);
    Button1->setObjectName("Button1");
    Button1->setGeometry(100, 68, 75, 25);
    Button1->setText(text::Cp936ToQString(LoadResourceString(frsCancel)));
    connect(Button1, &QPushButton::clicked, this, [this] { RequestCancel(); });
}

TfrProgressForm::~TfrProgressForm() = default;

void TfrProgressForm::RequestCancel() {
    if (Report) Report->CancelRequested = true;
    modalResult_ = mrCancel;
}

void TfrProgressForm::reject() {
    // Esc: the work is asked to stop; the window stays until it has.
    if (Running()) {
        RequestCancel();
        return;
    }
    QDialog::reject();
}

void TfrProgressForm::closeEvent(QCloseEvent* event) {
    if (Running()) {
        RequestCancel();
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void TfrProgressForm::RunAction() {
    // A copy: the action may set up the window for a nested run.
    const std::function<void(TfrProgressForm&)> action = Action;
    try {
        if (action) action(*this);
    } catch (...) {
        failure_ = std::current_exception();
    }
    if (modalResult_ == 0) modalResult_ = Report && Report->CancelRequested ? mrCancel : mrOk;
    // Done: a cancel pressed from now on comes too late to change the result.
    if (loop_) loop_->quit();
    loop_ = nullptr;
}

int TfrProgressForm::RunWithProgress(TfrReport* report) {
    Button1->setText(text::Cp936ToQString(LoadResourceString(frsCancel)));
    if (Running()) {
        // Already up: the work runs inside the window that is shown.
        rtl::ScopedRestore<TfrReport*> keepReport(Report, report);
        rtl::ScopedRestore<int> keepResult(modalResult_, 0);
        const std::function<void(TfrProgressForm&)> action = Action;
        if (action) action(*this);
        if (modalResult_ != 0) return modalResult_;
        return report && report->CancelRequested ? mrCancel : mrOk;
    }

    Report = report;
    Label2->clear();
    modalResult_ = 0;
    failure_ = nullptr;
    QEventLoop loop;
    loop_ = &loop;
    setWindowModality(Qt::ApplicationModal);
    if (QWidget* owner = QApplication::activeWindow(); owner && owner != this)
        move(owner->geometry().center() - rect().center());
    else if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    show();
    activateWindow();
    // The work starts once the window is up, from its own event loop.
    QMetaObject::invokeMethod(
        this, [this] { RunAction(); }, Qt::QueuedConnection);
    loop.exec();
    loop_ = nullptr;
    // The report may go once the work is done; nothing here refers to it later.
    Report = nullptr;
    hide();
    if (failure_) {
        std::exception_ptr failure = failure_;
        failure_ = nullptr;
        std::rethrow_exception(failure);
    }
    return modalResult_;
}

TfrProgressForm& ProgressWindow() {
    static TfrProgressForm* window = nullptr;
    if (!window) {
        window = new TfrProgressForm;
        // Freed while the application object still stands.
        qAddPostRoutine([] {
            delete window;
            window = nullptr;
        });
    }
    return *window;
}

void InstallProgressForm() {
    TfrGuiHooks& hooks = frGuiHooks();
    hooks.ProcessMessages = [] { QCoreApplication::processEvents(); };
    hooks.SetProgressText = [](const std::string& text) {
        ProgressWindow().Label1->setText(text::Cp936ToQString(text));
    };
    hooks.RunWithProgress = [](TfrReport& report, const std::string& caption,
                               const std::function<void()>& operation) {
        TfrProgressForm& window = ProgressWindow();
        window.setWindowTitle(text::Cp936ToQString(caption));
        rtl::ScopedRestore<std::function<void(TfrProgressForm&)>> action(
            window.Action, [&operation](TfrProgressForm&) { operation(); });
        return window.RunWithProgress(&report);
    };
}
