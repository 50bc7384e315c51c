#include "report/output/printer_properties_form.h"

#include "platform/print/paper_sizes.h"
#include "platform/text/cp936.h"
#include "report/core/resource_strings.h"
#include "report/printer/printer.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <cmath>
#include <cstdlib>

namespace {

QString Text(const char* utf8) {
    return QString::fromUtf8(utf8);
}

} // namespace

TfrPrinterPropertiesForm::TfrPrinterPropertiesForm(print::SystemPrinter& printer,
                                                   const print::DeviceMode& mode, QWidget* parent)
    : QDialog(parent), mode_(mode), papers_(printer.Papers()), bins_(printer.Bins()),
      resolutions_(printer.Resolutions()) {
    setObjectName("TfrPrinterPropertiesForm");
    const int index = printer.PrinterIndex();
    setWindowTitle(index >= 0 ? printer.Printers()[index] + Text(" 属性") : Text("属性"));

    PaperCB = new QComboBox(this);
    PaperCB->setObjectName("PaperCB");
    int current = -1;
    for (size_t i = 0; i < papers_.size(); ++i) {
        const print::PaperEntry& e = papers_[i];
        PaperCB->addItem(e.custom ? text::Cp936ToQString(LoadResourceString(55074)) : e.name);
        // The listed paper of the same code, or for a custom size the one of that size.
        bool same = false;
        if (e.custom)
            same = false;
        else if (mode.paperSize == print::kCustomPaper)
            same = std::abs(e.width - mode.paperWidth) <= print::kSizeTolerance &&
                   std::abs(e.height - mode.paperLength) <= print::kSizeTolerance;
        else
            same = e.code == mode.paperSize;
        if (current < 0 && same) current = static_cast<int>(i);
    }
    if (current < 0)
        for (size_t i = 0; i < papers_.size(); ++i)
            if (papers_[i].custom) current = static_cast<int>(i);

    auto sizeBox = [this](const char* name, int tenths) {
        auto* box = new QDoubleSpinBox(this);
        box->setObjectName(name);
        box->setDecimals(1);
        box->setRange(1.0, 3276.7);
        box->setSuffix(Text(" mm"));
        box->setValue(tenths > 0 ? tenths / 10.0 : 1.0);
        return box;
    };
    WidthE = sizeBox("WidthE", mode.paperWidth);
    HeightE = sizeBox("HeightE", mode.paperLength);

    PortraitRB = new QRadioButton(Text("纵向"), this);
    PortraitRB->setObjectName("PortraitRB");
    LandscapeRB = new QRadioButton(Text("横向"), this);
    LandscapeRB->setObjectName("LandscapeRB");
    (mode.orientation == print::DMORIENT_LANDSCAPE ? LandscapeRB : PortraitRB)->setChecked(true);

    BinCB = new QComboBox(this);
    BinCB->setObjectName("BinCB");
    for (size_t i = 0; i < bins_.size(); ++i) {
        BinCB->addItem(bins_[i].name);
        if (bins_[i].code == mode.defaultSource) BinCB->setCurrentIndex(static_cast<int>(i));
    }

    ResolutionCB = new QComboBox(this);
    ResolutionCB->setObjectName("ResolutionCB");
    for (size_t i = 0; i < resolutions_.size(); ++i) {
        ResolutionCB->addItem(QStringLiteral("%1 dpi").arg(resolutions_[i]));
        if (resolutions_[i] == mode.printQuality)
            ResolutionCB->setCurrentIndex(static_cast<int>(i));
    }

    auto* size = new QHBoxLayout;
    size->addWidget(WidthE);
    size->addWidget(HeightE);
    auto* orientation = new QHBoxLayout;
    orientation->addWidget(PortraitRB);
    orientation->addWidget(LandscapeRB);
    auto* form = new QFormLayout;
    form->addRow(Text("纸张:"), PaperCB);
    form->addRow(Text("宽度 × 高度:"), size);
    form->addRow(Text("方向:"), orientation);
    form->addRow(Text("纸张来源:"), BinCB);
    form->addRow(Text("分辨率:"), ResolutionCB);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(Text("确定"), QDialogButtonBox::AcceptRole);
    ok->setObjectName("OkBtn");
    ok->setDefault(true);
    buttons->addButton(Text("取消"), QDialogButtonBox::RejectRole)->setObjectName("CancelBtn");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);

    if (current >= 0) PaperCB->setCurrentIndex(current);
    connect(PaperCB, &QComboBox::currentIndexChanged, this, [this] { PaperCBChange(); });
    PaperCBChange();
}

void TfrPrinterPropertiesForm::PaperCBChange() {
    const int i = PaperCB->currentIndex();
    const bool custom = i >= 0 && papers_[i].custom;
    // A listed paper shows its own size; only the custom entry takes one.
    if (i >= 0 && !custom) {
        WidthE->setValue(papers_[i].width / 10.0);
        HeightE->setValue(papers_[i].height / 10.0);
    }
    WidthE->setEnabled(custom);
    HeightE->setEnabled(custom);
}

print::DeviceMode TfrPrinterPropertiesForm::Result() const {
    using namespace print;
    DeviceMode m = mode_;
    const int paper = PaperCB->currentIndex();
    if (paper >= 0) {
        const PaperEntry& e = papers_[paper];
        m.fields |= DM_PAPERSIZE;
        m.paperSize = e.code;
        if (e.code == kCustomPaper) {
            // A listed paper without a code of its own is found again by size.
            m.fields |= DM_PAPERWIDTH | DM_PAPERLENGTH;
            m.paperWidth = static_cast<int16_t>(std::lround(WidthE->value() * 10));
            m.paperLength = static_cast<int16_t>(std::lround(HeightE->value() * 10));
        } else {
            m.fields &= ~(DM_PAPERWIDTH | DM_PAPERLENGTH);
        }
    }
    m.fields |= DM_ORIENTATION;
    m.orientation = LandscapeRB->isChecked() ? DMORIENT_LANDSCAPE : DMORIENT_PORTRAIT;
    if (BinCB->currentIndex() >= 0) {
        m.fields |= DM_DEFAULTSOURCE;
        m.defaultSource = bins_[BinCB->currentIndex()].code;
    }
    if (ResolutionCB->currentIndex() >= 0) {
        m.fields |= DM_PRINTQUALITY | DM_YRESOLUTION;
        m.printQuality = m.yResolution =
            static_cast<int16_t>(resolutions_[ResolutionCB->currentIndex()]);
    }
    return m;
}

bool ShowPrinterPropertiesForm(print::SystemPrinter& printer, print::DeviceMode& mode) {
    TfrPrinterPropertiesForm form(printer, mode);
    if (form.exec() != QDialog::Accepted) return false;
    mode = form.Result();
    return true;
}

void InstallPrinterPropertiesForm(TfrPrinter& printer) {
    printer.OnPrinterProperties = ShowPrinterPropertiesForm;
}
