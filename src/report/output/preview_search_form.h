#pragma once
// The preview's search dialog: the text to find, whether letter case
// matters, and where the search starts.

#include <QDialog>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

class TfrPreviewSearchForm : public QDialog {
    Q_OBJECT
public:
    explicit TfrPreviewSearchForm(QWidget* parent = nullptr);

    QLabel* Label1 = nullptr;
    QLineEdit* Edit1 = nullptr; // the text to find
    QGroupBox* GroupBox1 = nullptr;
    QCheckBox* CB1 = nullptr; // case sensitive
    QGroupBox* GroupBox2 = nullptr;
    QRadioButton* RB1 = nullptr; // from the first page
    QRadioButton* RB2 = nullptr; // from the current page
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
};
