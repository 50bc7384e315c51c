#pragma once
// The search dialog: narrows the main window's records to those whose
// barcode and/or label name contain the given texts.

#include <QDialog>

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class TfrmPrint;

class TfrmFind : public QDialog {
    Q_OBJECT
public:
    explicit TfrmFind(TfrmPrint* mainWindow, QWidget* owner = nullptr);

    QGroupBox* GroupBox1;
    QCheckBox* CheckBox1;
    QLineEdit* Edit1;
    QLineEdit* Edit2;
    QCheckBox* CheckBox2;
    QPushButton* Button1;
    QPushButton* Button2;

    // The statement the confirm command opens, from the current controls.
    QString BuildStatement() const;

private:
    void Button1Click();
    void Button2Click();

    TfrmPrint* frmPrint_;
};
