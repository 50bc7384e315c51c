#include "app/frm_find.h"

#include "app/app_fonts.h"
#include "app/frm_print.h"
#include "app/statements.h"
#include "app/text_util.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>

TfrmFind::TfrmFind(TfrmPrint* mainWindow, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      frmPrint_(mainWindow) {
    setObjectName("frmFind");
    setWindowTitle(QStringLiteral("查询"));
    setFixedSize(297, 114);
    setFont(WindowFont(QStringLiteral("MS Sans Serif"), 11));

    GroupBox1 = new QGroupBox(this);
    GroupBox1->setObjectName("GroupBox1");
    GroupBox1->setGeometry(7, 2, 282, 76);

    CheckBox1 = new QCheckBox(QStringLiteral("条形码字段："), GroupBox1);
    CheckBox1->setObjectName("CheckBox1");
    CheckBox1->setGeometry(16, 16, 89, 17);
    Edit1 = new QLineEdit(GroupBox1);
    Edit1->setObjectName("Edit1");
    Edit1->setGeometry(105, 16, 160, 21);
    Edit2 = new QLineEdit(GroupBox1);
    Edit2->setObjectName("Edit2");
    Edit2->setGeometry(105, 42, 160, 21);
    CheckBox2 = new QCheckBox(QStringLiteral("标签名字段："), GroupBox1);
    CheckBox2->setObjectName("CheckBox2");
    CheckBox2->setGeometry(16, 42, 89, 17);

    Button1 = new QPushButton(QStringLiteral("确定"), this);
    Button1->setObjectName("Button1");
    Button1->setGeometry(125, 84, 75, 25);
    Button1->setAutoDefault(false);
    Button2 = new QPushButton(QStringLiteral("取消"), this);
    Button2->setObjectName("Button2");
    Button2->setGeometry(213, 84, 75, 25);
    Button2->setAutoDefault(false);

    setTabOrder(CheckBox1, Edit1);
    setTabOrder(Edit1, Edit2);
    setTabOrder(Edit2, CheckBox2);
    setTabOrder(CheckBox2, Button1);
    setTabOrder(Button1, Button2);

    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });

    if (mainWindow) move(mainWindow->geometry().center() - rect().center());
}

QString TfrmFind::BuildStatement() const {
    const QString T = TrimText(frmPrint_->ComboBox1->currentText());
    const QString B = TrimText(frmPrint_->ComboBox2->currentText());
    const QString L = TrimText(frmPrint_->ComboBox3->currentText());
    // A ticked box with an empty text still narrows (to non-null values).
    std::optional<QString> X, Y;
    if (CheckBox1->isChecked()) X = TrimText(Edit1->text());
    if (CheckBox2->isChecked()) Y = TrimText(Edit2->text());
    return RecordsStatement(T, B, L, X, Y);
}

void TfrmFind::Button1Click() {
    // A bad statement raises from Open; the general error display shows it
    // and the dialog stays open.
    frmPrint_->RunGuarded([this] {
        frmPrint_->ReopenQuery(BuildStatement());
        accept();
    });
}

void TfrmFind::Button2Click() {
    reject();
}
