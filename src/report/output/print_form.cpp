#include "report/output/print_form.h"

#include "platform/rtl/sysutils.h"
#include "platform/text/cp936.h"
#include "platform/ui/dialogs.h"
#include "report/core/process_state.h"
#include "report/core/resource_strings.h"
#include "report/core/string_ids.h"
#include "report/engine/prepared_pages.h"
#include "report/model/report.h"
#include "report/output/print_report.h"
#include "report/output/printer_properties_form.h"
#include "report/printer/printer.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QStyledItemDelegate>
#include <QToolButton>

#include <exception>

namespace {

QString Resource(int identifier) {
    return text::Cp936ToQString(LoadResourceString(identifier));
}

// The printer icon of the printer list, 18 x 16.
QPixmap PrinterIcon() {
    QPixmap icon(18, 16);
    icon.fill(Qt::transparent);
    QPainter p(&icon);
    p.setPen(Qt::black);
    p.setBrush(Qt::white);
    p.drawRect(5, 1, 8, 5); // paper going in
    p.setBrush(QColor(0xc0, 0xc0, 0xc0));
    p.drawRect(1, 6, 15, 6); // the body
    p.setBrush(Qt::white);
    p.drawRect(4, 11, 10, 4);               // paper coming out
    p.fillRect(13, 8, 2, 1, Qt::darkGreen); // the lamp
    return icon;
}

// A printer's name with the icon before it, as the list shows it.
class PrinterItemDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const bool selected = option.state & QStyle::State_Selected;
        painter->fillRect(option.rect,
                          option.palette.brush(selected ? QPalette::Highlight : QPalette::Base));
        static const QPixmap icon = PrinterIcon();
        const QRect r = option.rect;
        painter->drawPixmap(r.left() + 2, r.top() + (r.height() - icon.height()) / 2, icon);
        painter->setPen(
            option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
        painter->setFont(option.font);
        painter->drawText(QRect(r.left() + 24, r.top() + 1, r.width() - 24, r.height() - 1),
                          Qt::AlignLeft | Qt::AlignVCenter, index.data().toString());
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return {QStyledItemDelegate::sizeHint(option, index).width() + 24, 16};
    }
};

// One sheet of the collation picture with its number.
void DrawSheet(QPainter& p, int x, int y, int number) {
    p.setPen(Qt::black);
    p.setBrush(Qt::white);
    p.drawRect(x + 4, y, 16, 20);
    p.drawRect(x + 2, y + 2, 16, 20);
    p.drawRect(x, y + 4, 16, 20);
    p.drawText(QRect(x, y + 4, 16, 20), Qt::AlignCenter, QString::number(number));
}

void ShowErrorBox(const std::string& message) {
    const std::string caption = LoadResourceString(frsErrorBoxCaption);
    if (frGuiHooks().ShowError) {
        frGuiHooks().ShowError(message, caption);
        return;
    }
    ui::ShowMessage(QApplication::activeWindow(), ui::MsgKind::Error, text::Cp936ToQString(message),
                    text::Cp936ToQString(caption));
}

// The current page the active window (the preview) reports.
int ActiveWindowCurrentPage() {
    for (QWidget* w = QApplication::activeWindow(); w; w = w->parentWidget()) {
        bool ok = false;
        const int page = w->property("CurrentPage").toInt(&ok);
        if (ok && page >= 1) return page;
    }
    return 1;
}

} // namespace

void TfrCollatePicture::SetCollated(bool collated) {
    collated_ = collated;
    update();
}

void TfrCollatePicture::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Button));
    QFont f = font();
    f.setPixelSize(9);
    p.setFont(f);
    if (collated_) {
        // Within (8, 0, 82, 53): two sets of 1, 2, 3, one behind the other.
        for (int set = 0; set < 2; ++set)
            for (int sheet = 3; sheet >= 1; --sheet)
                DrawSheet(p, 8 + set * 38 + (sheet - 1) * 6, (sheet - 1) * 6 + 5, sheet);
    } else {
        // Within (0, 8, 92, 48): sheet by sheet, each twice.
        for (int sheet = 1; sheet <= 3; ++sheet)
            for (int copy = 1; copy >= 0; --copy)
                DrawSheet(p, (sheet - 1) * 30 + copy * 6, 8 + copy * 4, sheet);
    }
}

TfrPrintForm::TfrPrintForm(QWidget* parent) : QDialog(parent) {
    setObjectName("TfrPrintForm");
    QFont font(QStringLiteral("宋体"));
    font.setPixelSize(12);
    setFont(font);
    setFixedSize(485, 225);
    setWindowTitle(Resource(frsPrintCaption));

    GroupBox1 = new QGroupBox(Resource(frsPrintPrinterGroup), this);
    GroupBox1->setObjectName("GroupBox1");
    GroupBox1->setGeometry(4, 8, 477, 49);
    Label4 = new QLabel(Resource(frsPrintPrinterName), GroupBox1);
    Label4->setObjectName("Label4");
    Label4->move(8, 20);
    CB1 = new QComboBox(GroupBox1);
    CB1->setObjectName("CB1");
    CB1->setGeometry(72, 17, 305, 22);
    CB1->setItemDelegate(new PrinterItemDelegate(CB1));
    Label4->setBuddy(CB1);
    PropButton = new QPushButton(Resource(frsPrintProperties), GroupBox1);
    PropButton->setObjectName("PropButton");
    PropButton->setGeometry(392, 17, 75, 22);

    GroupBox2 = new QGroupBox(Resource(frsPrintRangeGroup), this);
    GroupBox2->setObjectName("GroupBox2");
    GroupBox2->setGeometry(4, 68, 265, 117);
    RB1 = new QRadioButton(Resource(frsPrintAll), GroupBox2);
    RB1->setObjectName("RB1");
    RB1->move(8, 20);
    RB1->setChecked(true);
    RB2 = new QRadioButton(Resource(frsPrintCurrentPage), GroupBox2);
    RB2->setObjectName("RB2");
    RB2->move(8, 40);
    RB3 = new QRadioButton(Resource(frsPrintPages), GroupBox2);
    RB3->setObjectName("RB3");
    RB3->move(8, 60);
    E2 = new QLineEdit(GroupBox2);
    E2->setObjectName("E2");
    E2->setGeometry(88, 58, 165, 20);
    Label2 = new QLabel(Resource(frsPrintPagesHint), GroupBox2);
    Label2->setObjectName("Label2");
    Label2->setGeometry(8, 82, 249, 29);
    Label2->setWordWrap(true);

    GroupBox3 = new QGroupBox(Resource(frsPrintCopiesGroup), this);
    GroupBox3->setObjectName("GroupBox3");
    GroupBox3->setGeometry(280, 68, 201, 117);
    Label1 = new QLabel(Resource(frsPrintCopies), GroupBox3);
    Label1->setObjectName("Label1");
    Label1->move(8, 24);
    E1 = new QLineEdit(QStringLiteral("1"), GroupBox3);
    E1->setObjectName("E1");
    E1->setGeometry(128, 20, 49, 20);
    Label1->setBuddy(E1);
    // The up and down buttons share a 17 x 17 panel beside the copies.
    auto* spin = new QWidget(GroupBox3);
    spin->setObjectName("Panel1");
    spin->setGeometry(158, 22, 17, 17);
    frSpeedButton1 = new QToolButton(spin);
    frSpeedButton1->setObjectName("frSpeedButton1");
    frSpeedButton1->setArrowType(Qt::UpArrow);
    frSpeedButton1->setGeometry(0, 0, 17, 8);
    frSpeedButton1->setFocusPolicy(Qt::NoFocus);
    frSpeedButton2 = new QToolButton(spin);
    frSpeedButton2->setObjectName("frSpeedButton2");
    frSpeedButton2->setArrowType(Qt::DownArrow);
    frSpeedButton2->setGeometry(0, 9, 17, 8);
    frSpeedButton2->setFocusPolicy(Qt::NoFocus);
    PB1 = new TfrCollatePicture(GroupBox3);
    PB1->setObjectName("PB1");
    PB1->setGeometry(8, 52, 92, 53);
    CollateCB = new QCheckBox(GroupBox3);
    CollateCB->setObjectName("CollateCB");
    CollateCB->setGeometry(112, 62, 17, 17);
    CollateCB->setChecked(true);
    Label3 = new QLabel(Resource(frsPrintCollate), GroupBox3);
    Label3->setObjectName("Label3");
    Label3->setGeometry(132, 64, 61, 41);
    Label3->setWordWrap(true);
    Label3->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label3->setBuddy(CollateCB);

    Label5 = new QLabel(Resource(frsPrintWhich), this);
    Label5->setObjectName("Label5");
    Label5->move(4, 200);
    Label5->adjustSize();
    CB2 = new QComboBox(this);
    CB2->setObjectName("CB2");
    CB2->addItems(
        {Resource(frsPrintAllPages), Resource(frsPrintOddPages), Resource(frsPrintEvenPages)});
    CB2->setCurrentIndex(0);
    CB2->setGeometry(Label5->geometry().right() + 1 + 11, 196, 155, 22);
    Label5->setBuddy(CB2);
    FileCB = new QCheckBox(Resource(frsPrintToFile), this);
    FileCB->setObjectName("FileCB");
    FileCB->setGeometry(CB2->geometry().right() + 12, 198, 104, 18);

    Button1 = new QPushButton(Resource(frsOkButton), this);
    Button1->setObjectName("Button1");
    Button1->setGeometry(326, 194, 75, 25);
    Button1->setDefault(true);
    Button2 = new QPushButton(Resource(frsCancelButton), this);
    Button2->setObjectName("Button2");
    Button2->setGeometry(406, 194, 75, 25);

    // The system's printers, the current one selected; the virtual printer,
    // last in the report printer's list, is not offered.
    TfrPrinter& printer = ReportPrinter();
    oldIndex_ = printer.PrinterIndex;
    for (int i = 0; i < printer.VirtualPrinterIndex; ++i)
        CB1->addItem(text::Cp936ToQString(printer.PrinterNames[i]));
    if (!printer.IsVirtual()) CB1->setCurrentIndex(printer.PrinterIndex);
    PB1->SetCollated(CollateCB->isChecked());

    connect(CB1, &QComboBox::activated, this, &TfrPrintForm::CB1Click);
    connect(PropButton, &QPushButton::clicked, this, &TfrPrintForm::PropButtonClick);
    connect(RB3, &QRadioButton::clicked, this, [this] { E2->setFocus(); });
    connect(frSpeedButton1, &QToolButton::clicked, this, &TfrPrintForm::frSpeedButton1Click);
    connect(frSpeedButton2, &QToolButton::clicked, this, &TfrPrintForm::frSpeedButton2Click);
    connect(CollateCB, &QCheckBox::toggled, this, &TfrPrintForm::CollateCBClick);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
    E2->installEventFilter(this);
    Label3->installEventFilter(this);
}

int TfrPrintForm::Copies() const {
    return rtl::StrToInt(text::QStringToCp936(E1->text()));
}

std::string TfrPrintForm::PageText(int currentPage) const {
    if (RB2->isChecked()) return std::to_string(currentPage);
    if (RB3->isChecked()) return text::QStringToCp936(E2->text());
    return {};
}

void TfrPrintForm::CB1Click(int index) {
    // The lists agree index for index: only this program's printer changes.
    try {
        ReportPrinter().SelectPrinter(index);
    } catch (const std::exception& e) {
        ShowErrorBox(e.what());
    }
}

void TfrPrintForm::PropButtonClick() {
    TfrPrinter& printer = ReportPrinter();
    if (!printer.OnPrinterProperties) InstallPrinterPropertiesForm(printer);
    printer.ShowPrinterProperties();
}

void TfrPrintForm::frSpeedButton1Click() {
    try {
        E1->setText(QString::number(Copies() + 1));
    } catch (const rtl::EConvertError& e) {
        ShowErrorBox(e.what());
    }
}

void TfrPrintForm::frSpeedButton2Click() {
    try {
        const int copies = Copies();
        E1->setText(QString::number(copies < 2 ? 1 : copies - 1));
    } catch (const rtl::EConvertError& e) {
        ShowErrorBox(e.what());
    }
}

void TfrPrintForm::Label3Click() {
    CollateCB->toggle();
}

void TfrPrintForm::CollateCBClick() {
    PB1->SetCollated(CollateCB->isChecked());
}

void TfrPrintForm::done(int result) {
    // Only a confirmed dialog keeps the printer chosen in it.
    if (result != QDialog::Accepted) {
        TfrPrinter& printer = ReportPrinter();
        if (printer.PrinterIndex != oldIndex_) {
            try {
                printer.SelectPrinter(oldIndex_);
            } catch (const std::exception&) {
                // The previous printer has gone: the one chosen stays.
            }
        }
    }
    QDialog::done(result);
}

bool TfrPrintForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == E2 && event->type() == QEvent::FocusIn) {
        RB3->setChecked(true);
    } else if (watched == Label3 && (event->type() == QEvent::MouseButtonPress ||
                                     event->type() == QEvent::MouseButtonDblClick)) {
        Label3Click();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TfrPrintForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    E1->setFocus();
    E1->selectAll();
}

bool ExecutePrintForm(TfrReport& report, int currentPage,
                      const std::function<bool(TfrReport&)>& rebuild) {
    TfrPrinter& printer = ReportPrinter();
    if (!report.PreparedPages || report.PreparedPages->Count() == 0) return false;
    if (printer.VirtualPrinterIndex == 0) return false; // no printer installed
    try {
        TfrPrintForm form(QApplication::activeWindow());
        form.E1->setText(QString::number(report.DefaultCopies));
        form.CollateCB->setChecked(report.DefaultCollate);
        if (report.ShowPrintDialog && form.exec() != QDialog::Accepted) return false;

        // Both texts are checked before anything changes: a bad one prints nothing.
        const std::string pages = form.PageText(currentPage);
        const int copies = form.Copies();
        ParsePageNumbers(pages, report.PreparedPages->Count());

        if (report.RebuildPrinter && printer.PrinterIndex != form.OldIndex() &&
            report.RebuildAllowed) {
            if (!ChangeReportPrinter(report, form.OldIndex(), printer.PrinterIndex)) return false;
            if (rebuild && !rebuild(report)) return false;
        }
        const int parity = form.CB2->currentIndex();
        const bool collate = form.CollateCB->isChecked();
        if (form.FileCB->isChecked()) {
            QString initial;
            if (!report.Title.empty())
                initial = text::Cp936ToQString(report.Title) + QStringLiteral(".pdf");
            const std::optional<QString> file = ui::GetSaveFileName(
                &form, Resource(frsPrintFileFilter), QStringLiteral("pdf"), initial);
            if (!file) return false;
            return PrintBuiltReportToPdf(report, *file, pages, copies, parity, collate);
        }
        return PrintBuiltReport(report, pages, copies, parity, collate);
    } catch (const std::exception& e) {
        // The operator sees why; nothing was printed or the unfinished job
        // was dropped.
        ShowErrorBox(e.what());
        return false;
    }
}

void InstallPrintForm(std::function<bool(TfrReport&)> rebuild) {
    frGuiHooks().PrintPreparedReportDialog = [rebuild = std::move(rebuild)](TfrReport& report) {
        ExecutePrintForm(report, ActiveWindowCurrentPage(), rebuild);
    };
}
