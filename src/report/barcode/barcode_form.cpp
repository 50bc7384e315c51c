#include "report/barcode/barcode_form.h"

#include "platform/rtl/sysutils.h"
#include "platform/text/cp936.h"
#include "platform/ui/dialogs.h"
#include "report/barcode/barcode_view.h"
#include "report/core/process_state.h"
#include "report/core/resource_strings.h"
#include "report/core/string_ids.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QToolButton>
#include <cmath>

namespace {

QString Res(int id) {
    return text::Cp936ToQString(LoadResourceString(id));
}

template <class W> W* Place(W* w, const char* name, int left, int top, int width, int height) {
    w->setObjectName(name);
    w->setGeometry(left, top, width, height);
    return w;
}

QLabel* PlaceLabel(QWidget* parent, const char* name, const QString& caption, int left, int top) {
    auto* l = new QLabel(caption, parent);
    l->setObjectName(name);
    l->move(left, top);
    l->adjustSize();
    return l;
}

// The zoom the edit holds, when it is one the object can paint.
bool ReadZoom(const QLineEdit& edit, double& zoom) {
    return rtl::TryStrToFloat(text::QStringToCp936(edit.text()), zoom) && std::isfinite(zoom) &&
           zoom > 0 && zoom <= frMaxBarCodeZoom;
}

void ShowErrorBox(QWidget* parent, int textId) {
    ui::ShowMessage(parent, ui::MsgKind::Error, Res(textId), Res(frsErrorBoxCaption));
}

} // namespace

TfrBarCodeForm::TfrBarCodeForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    setObjectName("frBarCodeForm");
    setWindowTitle(Res(frsBarCodeEditorCaption));
    setFixedSize(269, 249);
    QFont font(QStringLiteral("宋体"));
    font.setPixelSize(12);
    setFont(font);

    Label1 = PlaceLabel(this, "Label1", Res(frsBarCodeCodeLabel), 8, 8);
    M1 = Place(new QLineEdit(QStringLiteral("0"), this), "M1", 8, 24, 253, 21);
    M1Button = M1->addAction(style()->standardIcon(QStyle::SP_FileDialogContentsView),
                             QLineEdit::TrailingPosition);
    M1Button->setObjectName("M1Button");
    M1Button->setToolTip(Res(frsBarCodeInsertExpression));
    Label1->setBuddy(M1);

    Label2 = PlaceLabel(this, "Label2", Res(frsBarCodeTypeLabel), 8, 52);
    cbType = Place(new QComboBox(this), "cbType", 8, 68, 253, 20);
    Label2->setBuddy(cbType);

    GroupBox1 = Place(new QGroupBox(Res(frsBarCodeOptions), this), "GroupBox1", 8, 100, 253, 61);
    ckCheckSum =
        Place(new QCheckBox(Res(frsBarCodeCheckSum), GroupBox1), "ckCheckSum", 8, 16, 129, 17);
    ckViewText =
        Place(new QCheckBox(Res(frsBarCodeViewText), GroupBox1), "ckViewText", 8, 36, 121, 17);
    Label3 = Place(new QLabel(Res(frsBarCodeZoomLabel), GroupBox1), "Label3", 136, 18, 45, 13);
    Label3->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    eZoom = Place(new QLineEdit(QStringLiteral("1"), GroupBox1), "eZoom", 192, 16, 49, 20);
    Label3->setBuddy(eZoom);
    // The up and down buttons sit over the right end of the zoom edit.
    Panel1 = Place(new QFrame(GroupBox1), "Panel1", 222, 18, 17, 17);
    frSpeedButton1 = Place(new QToolButton(Panel1), "frSpeedButton1", 0, 0, 17, 8);
    frSpeedButton1->setArrowType(Qt::UpArrow);
    frSpeedButton2 = Place(new QToolButton(Panel1), "frSpeedButton2", 0, 9, 17, 8);
    frSpeedButton2->setArrowType(Qt::DownArrow);
    for (QToolButton* b : {frSpeedButton1, frSpeedButton2}) {
        b->setAutoRaise(true);
        b->setFocusPolicy(Qt::NoFocus);
    }
    Panel1->raise();

    GroupBox2 = Place(new QGroupBox(Res(frsBarCodeRotation), this), "GroupBox2", 8, 168, 253, 41);
    RB1 = Place(new QRadioButton(QStringLiteral("0"), GroupBox2), "RB1", 8, 16, 57, 17);
    RB2 = Place(new QRadioButton(QStringLiteral("90"), GroupBox2), "RB2", 72, 16, 57, 17);
    RB3 = Place(new QRadioButton(QStringLiteral("180"), GroupBox2), "RB3", 136, 16, 57, 17);
    RB4 = Place(new QRadioButton(QStringLiteral("270"), GroupBox2), "RB4", 200, 16, 49, 17);
    RB1->setChecked(true);

    bOk = Place(new QPushButton(Res(frsOkButton), this), "bOk", 108, 219, 75, 25);
    bOk->setDefault(true);
    bCancel = Place(new QPushButton(Res(frsCancelButton), this), "bCancel", 188, 219, 75, 25);

    setTabOrder(M1, cbType);
    setTabOrder(cbType, bOk);
    setTabOrder(bOk, bCancel);
    setTabOrder(bCancel, ckCheckSum);
    setTabOrder(ckCheckSum, ckViewText);
    setTabOrder(ckViewText, eZoom);
    setTabOrder(eZoom, RB1);

    // FormCreate: the symbologies in ordinal order, the first chosen.
    for (const TBCdata& row : BarcodeTypeTable) cbType->addItem(QString::fromLatin1(row.Name));
    cbType->setCurrentIndex(0);

    connect(M1Button, &QAction::triggered, this, &TfrBarCodeForm::ExprBtnClick);
    connect(frSpeedButton1, &QToolButton::clicked, this, &TfrBarCodeForm::frSpeedButton1Click);
    connect(frSpeedButton2, &QToolButton::clicked, this, &TfrBarCodeForm::frSpeedButton2Click);
    connect(bOk, &QPushButton::clicked, this, &TfrBarCodeForm::bOkClick);
    connect(bCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TfrBarCodeForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    M1->setFocus(); // FormActivate
}

void TfrBarCodeForm::FillFrom(const TfrBarCodeView& view) {
    if (view.Memo.Count() > 0) M1->setText(text::Cp936ToQString(view.Memo[0]));
    // A type outside the list (a damaged file) selects nothing: OK then asks
    // for one instead of storing an index that names no symbology.
    cbType->setCurrentIndex(view.BarType < BarcodeTypeCount ? view.BarType : -1);
    ckCheckSum->setChecked(view.CalcCheckSum);
    ckViewText->setChecked(view.ShowText);
    eZoom->setText(text::Cp936ToQString(rtl::FloatToStr(view.Zoom)));
    if (view.Rotation == 0) {
        RB1->setChecked(true);
    } else if (view.Rotation == 90) {
        RB2->setChecked(true);
    } else if (view.Rotation == 180) {
        RB3->setChecked(true);
    } else {
        RB4->setChecked(true);
    }
}

void TfrBarCodeForm::ApplyTo(TfrBarCodeView& view) const {
    view.Memo.Clear();
    view.Memo.Add(text::QStringToCp936(M1->text()));
    double zoom = 1;
    if (ReadZoom(*eZoom, zoom)) view.Zoom = zoom;
    view.CalcCheckSum = ckCheckSum->isChecked();
    view.ShowText = ckViewText->isChecked();
    if (cbType->currentIndex() >= 0) view.BarType = static_cast<uint8_t>(cbType->currentIndex());
    view.Rotation = RB1->isChecked() ? 0 : RB2->isChecked() ? 90 : RB3->isChecked() ? 180 : 270;
}

void TfrBarCodeForm::ExprBtnClick() {
    const auto& choose = DesignerEditorHooks().ChooseExpression;
    if (!choose) return;
    const std::string expression = choose();
    if (!expression.empty()) M1->setText(text::Cp936ToQString(expression));
}

void TfrBarCodeForm::frSpeedButton1Click() {
    double zoom = 1;
    if (!rtl::TryStrToFloat(text::QStringToCp936(eZoom->text()), zoom)) zoom = 1;
    eZoom->setText(text::Cp936ToQString(rtl::FloatToStr(zoom + 1)));
}

void TfrBarCodeForm::frSpeedButton2Click() {
    double zoom = 1;
    if (!rtl::TryStrToFloat(text::QStringToCp936(eZoom->text()), zoom)) zoom = 1;
    zoom -= 1;
    if (!(zoom > 0)) zoom = 1;
    eZoom->setText(text::Cp936ToQString(rtl::FloatToStr(zoom)));
}

void TfrBarCodeForm::bOkClick() {
    const QString code = M1->text();
    const int type = cbType->currentIndex();
    // Expressions are only known when a report is built.
    const bool expression = code.startsWith(QLatin1Char('['));
    if (type < 0 ||
        (!expression && !frBarCodeValueProblem(static_cast<uint8_t>(type), ckCheckSum->isChecked(),
                                               text::QStringToCp936(code))
                             .empty())) {
        ShowErrorBox(this, frsBarCodeError);
        M1->setFocus();
        return;
    }
    // A zoom the object could not paint is refused here, before anything changes.
    double zoom = 1;
    if (!ReadZoom(*eZoom, zoom)) {
        ShowErrorBox(this, frsBarCodeBadZoom);
        eZoom->setFocus();
        return;
    }
    accept();
}

bool frEditBarCode(TfrBarCodeView& view) {
    TfrBarCodeForm form;
    form.FillFrom(view);
    if (form.exec() != QDialog::Accepted) return false;
    if (const auto& undo = DesignerEditorHooks().RecordEditUndo) undo();
    form.ApplyTo(view);
    return true;
}

void InstallBarCodeEditor() {
    DesignerEditorHooks().EditBarCodeHook = [](TfrView& view) {
        if (auto* barcode = dynamic_cast<TfrBarCodeView*>(&view)) frEditBarCode(*barcode);
    };
}
