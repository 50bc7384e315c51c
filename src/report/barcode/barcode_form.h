#pragma once
// The barcode object's editor: the value (or an expression), the symbology,
// the check character, the digits under the bars, the zoom and the rotation.

#include <QDialog>

class QAction;
class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QToolButton;
class TfrBarCodeView;

class TfrBarCodeForm : public QDialog {
    Q_OBJECT
public:
    explicit TfrBarCodeForm(QWidget* parent = nullptr);

    // The dialog's controls as the object holds them.
    void FillFrom(const TfrBarCodeView& view);
    // The choices into the object (the dialog has checked them on OK).
    void ApplyTo(TfrBarCodeView& view) const;

    // Controls, named as the dialog's designer named them.
    QLabel* Label1;
    QLineEdit* M1;
    QAction* M1Button; // the edit's button: the expression builder
    QLabel* Label2;
    QComboBox* cbType;
    QGroupBox* GroupBox1;
    QCheckBox* ckCheckSum;
    QCheckBox* ckViewText;
    QLabel* Label3;
    QLineEdit* eZoom;
    QFrame* Panel1;
    QToolButton* frSpeedButton1;
    QToolButton* frSpeedButton2;
    QGroupBox* GroupBox2;
    QRadioButton* RB1;
    QRadioButton* RB2;
    QRadioButton* RB3;
    QRadioButton* RB4;
    QPushButton* bOk;
    QPushButton* bCancel;

    void ExprBtnClick();
    void frSpeedButton1Click();
    void frSpeedButton2Click();
    // Closes with OK only when the code can be printed and the zoom is usable.
    void bOkClick();

protected:
    void showEvent(QShowEvent* event) override;
};

// Runs the editor on the object; on OK records an undo step with the
// designer and stores the choices. True when confirmed.
bool frEditBarCode(TfrBarCodeView& view);
// Makes barcode objects open this editor (DesignerEditorHooks().EditBarCodeHook).
void InstallBarCodeEditor();
