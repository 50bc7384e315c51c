#pragma once
// The print dialog: printer, page range, copies and collation, which pages
// (all, odd, even) and printing into a PDF file instead of the queue. The
// printing itself is print_report.h's; this is only the operator's side.
//
// Choosing a printer here changes this program's current printer, never the
// user's default printer; a cancelled dialog puts the previous one back.

#include <QDialog>
#include <QWidget>

#include <functional>
#include <string>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QToolButton;
class TfrReport;

// The collation picture: three sheets twice over, or each sheet twice.
class TfrCollatePicture : public QWidget {
public:
    explicit TfrCollatePicture(QWidget* parent = nullptr) : QWidget(parent) {}
    void SetCollated(bool collated);
    bool Collated() const { return collated_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool collated_ = true;
};

class TfrPrintForm : public QDialog {
    Q_OBJECT
public:
    explicit TfrPrintForm(QWidget* parent = nullptr);

    // The copies text as a number: rtl::EConvertError when it is not one.
    int Copies() const;
    // What the page-number text of the choice is: empty for all pages, the
    // current page's number, or E2's text.
    std::string PageText(int currentPage) const;
    // The printer index (of the report printer's list) current when the
    // dialog was made; put back unless the dialog is confirmed.
    int OldIndex() const { return oldIndex_; }

    QGroupBox* GroupBox1 = nullptr;
    QLabel* Label4 = nullptr;
    QComboBox* CB1 = nullptr; // the system's printers, without the virtual one
    QPushButton* PropButton = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    QRadioButton* RB1 = nullptr; // all
    QRadioButton* RB2 = nullptr; // current page
    QRadioButton* RB3 = nullptr; // pages
    QLineEdit* E2 = nullptr;     // page numbers
    QLabel* Label2 = nullptr;
    QGroupBox* GroupBox3 = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* E1 = nullptr;               // copies
    QToolButton* frSpeedButton1 = nullptr; // copies + 1
    QToolButton* frSpeedButton2 = nullptr; // copies - 1
    TfrCollatePicture* PB1 = nullptr;
    QCheckBox* CollateCB = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label5 = nullptr;
    QComboBox* CB2 = nullptr;    // all, odd, even pages
    QCheckBox* FileCB = nullptr; // print into a PDF file
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;

    void CB1Click(int index);
    void PropButtonClick();
    void frSpeedButton1Click();
    void frSpeedButton2Click();
    void Label3Click();
    void CollateCBClick();

public slots:
    void done(int result) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    int oldIndex_ = 0;
};

// The print command on the report's built pages: nothing without pages or
// without an installed printer. Shows the dialog (unless the report's
// ShowPrintDialog is off: then all pages with DefaultCopies and
// DefaultCollate) and prints what was chosen. `currentPage` (from 1) is
// what "current page" prints. When the report asks to be rebuilt for
// another printer (RebuildPrinter, RebuildAllowed) and one was chosen,
// `rebuild` builds it again and returns false when that did not complete.
// Errors (a bad page-number or copies text, a failed job) are shown in the
// error box, with nothing printed. True when a print run completed.
bool ExecutePrintForm(TfrReport& report, int currentPage = 1,
                      const std::function<bool(TfrReport&)>& rebuild = {});

// Installs the dialog behind frGuiHooks().PrintPreparedReportDialog.
// "Current page" is the page the active window (the preview) reports in its
// Qt property "CurrentPage", else page 1. `rebuild` as for ExecutePrintForm.
void InstallPrintForm(std::function<bool(TfrReport&)> rebuild = {});
