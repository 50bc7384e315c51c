#pragma once
// The progress window: building and printing run inside it, it shows where
// they are and lets the operator stop them. One instance serves the whole
// process and is hidden between uses.

#include <QDialog>

#include <exception>
#include <functional>
#include <string>

class QEventLoop;
class QLabel;
class QPushButton;
class TfrReport;

class TfrProgressForm : public QDialog {
    Q_OBJECT
public:
    explicit TfrProgressForm(QWidget* parent = nullptr);
    ~TfrProgressForm() override;

    // Shows the window and runs Action inside its own event loop once it is
    // up; the window stays until Action returns. The result is what Action
    // set through SetModalResult, else Rejected (Cancel) after a cancel
    // request and Accepted (OK) otherwise. An exception thrown by Action is
    // raised again here, after the window is down. Called while already
    // running, Action runs at once inside the window that is up.
    int RunWithProgress(TfrReport* report);

    // What Cancel, Esc and closing the window do: the report's CancelRequested
    // is set (the running work polls it) and the result becomes Cancel.
    void RequestCancel();
    void SetModalResult(int result) { modalResult_ = result; }
    bool Running() const { return loop_ != nullptr; }

    TfrReport* Report = nullptr;                  // not owned
    std::function<void(TfrProgressForm&)> Action; // the long operation
    std::string ProgressText;                     // prefix of the progress line

    QLabel* Label1 = nullptr; // the progress line
    QLabel* Label2 = nullptr; // a second line, emptied at every start
    QPushButton* Button1 = nullptr;

public slots:
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void RunAction();

    QEventLoop* loop_ = nullptr;
    int modalResult_ = 0;
    std::exception_ptr failure_;
};

// The process-wide progress window, made on first use (a QApplication must
// exist) and freed when the application object goes.
TfrProgressForm& ProgressWindow();

// Installs the window behind the report's hooks: RunWithProgress,
// SetProgressText (its first line) and ProcessMessages.
void InstallProgressForm();
