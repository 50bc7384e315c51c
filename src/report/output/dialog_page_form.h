#pragma once
// A template's dialog page as the window the operator sees before the report
// is built: the page's caption, colour, size, place and border, its objects
// drawn where they stand. Installed behind frGuiHooks().ShowDialogPage.

#include <QDialog>

class TfrPage;

class TfrDialogPageForm : public QDialog {
    Q_OBJECT
public:
    explicit TfrDialogPageForm(TfrPage& page, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    TfrPage& page_;
};

// Runs the page's script as the window activates (a script that sets
// MODALRESULT decides without the window); otherwise shows the window
// modally: mrOk when accepted, mrCancel when closed. The progress window is
// hidden meanwhile.
int ShowDialogPage(TfrPage& page);

void InstallDialogPageForm();
