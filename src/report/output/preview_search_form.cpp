#include "report/output/preview_search_form.h"

#include "platform/text/cp936.h"
#include "report/core/resource_strings.h"
#include "report/core/string_ids.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace {

QString Resource(int identifier) {
    return text::Cp936ToQString(LoadResourceString(identifier));
}

template <class T> T* Place(T* control, const char* name, int x, int y, int w, int h) {
    control->setObjectName(QString::fromLatin1(name));
    control->setGeometry(x, y, w, h);
    return control;
}

} // namespace

TfrPreviewSearchForm::TfrPreviewSearchForm(QWidget* parent) : QDialog(parent) {
    setObjectName("TfrPreviewSearchForm");
    QFont font(QStringLiteral("宋体"));
    font.setPixelSize(12);
    setFont(font);
    setFixedSize(262, 158);
    setWindowTitle(Resource(frsSearchCaption));

    Label1 = Place(new QLabel(Resource(frsSearchTextLabel), this), "Label1", 4, 6, 253, 16);
    Edit1 = Place(new QLineEdit(this), "Edit1", 4, 24, 253, 21);
    Label1->setBuddy(Edit1);

    GroupBox1 = Place(new QGroupBox(Resource(frsSearchOptions), this), "GroupBox1", 4, 52, 125, 69);
    CB1 = Place(new QCheckBox(Resource(frsSearchMatchCase), GroupBox1), "CB1", 8, 20, 113, 17);

    GroupBox2 =
        Place(new QGroupBox(Resource(frsSearchOrigin), this), "GroupBox2", 133, 52, 125, 69);
    RB1 = Place(new QRadioButton(Resource(frsSearchFromFirst), GroupBox2), "RB1", 8, 20, 113, 17);
    RB2 = Place(new QRadioButton(Resource(frsSearchFromCurrent), GroupBox2), "RB2", 8, 42, 113, 17);
    RB1->setChecked(true);

    Button1 = Place(new QPushButton(Resource(frsOkButton), this), "Button1", 104, 128, 75, 25);
    Button1->setDefault(true);
    Button2 = Place(new QPushButton(Resource(frsCancelButton), this), "Button2", 184, 128, 75, 25);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
}

void TfrPreviewSearchForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Centred over the preview, or on the screen without one.
    if (const QWidget* owner = parentWidget())
        move(owner->window()->geometry().center() - rect().center());
    Edit1->setFocus();
    Edit1->selectAll();
}
