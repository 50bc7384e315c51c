#include "report/output/passw_form.h"

#include "platform/text/cp936.h"
#include "report/core/process_state.h"
#include "report/core/resource_strings.h"
#include "report/core/string_ids.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

QString Resource(int identifier) {
    return text::Cp936ToQString(LoadResourceString(identifier));
}

} // namespace

TfrPasswForm::TfrPasswForm(QWidget* parent) : QDialog(parent) {
    setObjectName("TfrPasswForm");
    QFont font(QStringLiteral("宋体"));
    font.setPixelSize(12);
    setFont(font);
    setFixedSize(249, 96);
    setWindowTitle(Resource(frsPasswordCaption));

    L1 = new QLabel(Resource(frsPasswordPrompt), this);
    L1->setObjectName("L1");
    L1->setGeometry(4, 12, 241, 16);
    L2 = new QLabel(Resource(frsPasswordRetype), this);
    L2->setObjectName("L2");
    L2->setGeometry(4, 0, 241, 16);
    L2->hide();
    E1 = new QLineEdit(this);
    E1->setObjectName("E1");
    E1->setGeometry(4, 32, 241, 20);
    E1->setEchoMode(QLineEdit::Password);
    OK = new QPushButton(Resource(frsConfirm), this);
    OK->setObjectName("OK");
    OK->setGeometry(100, 68, 69, 21);
    OK->setDefault(true);
    Cancel = new QPushButton(Resource(frsCancel), this);
    Cancel->setObjectName("Cancel");
    Cancel->setGeometry(176, 68, 69, 21);
    connect(OK, &QPushButton::clicked, this, &QDialog::accept);
    connect(Cancel, &QPushButton::clicked, this, &QDialog::reject);
}

std::string TfrPasswForm::Password() const {
    return text::QStringToCp936(E1->text());
}

void TfrPasswForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    E1->setFocus();
}

bool ShowPasswordForm(std::string& password) {
    TfrPasswForm form;
    if (form.exec() != QDialog::Accepted) return false;
    password = form.Password();
    return true;
}

bool AskNewPassword(std::string& password) {
    TfrPasswForm form;
    if (form.exec() != QDialog::Accepted) return false;
    const std::string first = form.Password();
    form.L1->setText(form.L2->text());
    form.E1->clear();
    if (form.exec() != QDialog::Accepted || form.Password() != first) return false;
    password = first;
    return true;
}

void InstallPasswordForm() {
    frGuiHooks().AskPassword = ShowPasswordForm;
}
