#pragma once
// The printer's settings dialog: paper (or a custom size), orientation, paper
// source and resolution, as the driver of the current printer offers them.
// It edits a device mode; the printer takes it only when confirmed.

#include "platform/print/device_mode.h"
#include "platform/print/system_printer.h"

#include <QDialog>

#include <vector>

class QComboBox;
class QDoubleSpinBox;
class QRadioButton;
class TfrPrinter;

class TfrPrinterPropertiesForm : public QDialog {
    Q_OBJECT
public:
    TfrPrinterPropertiesForm(print::SystemPrinter& printer, const print::DeviceMode& mode,
                             QWidget* parent = nullptr);

    // The device mode with the choices made here.
    print::DeviceMode Result() const;

private:
    void PaperCBChange();

    print::DeviceMode mode_;
    std::vector<print::PaperEntry> papers_;
    std::vector<print::BinEntry> bins_;
    std::vector<int> resolutions_;

    QComboBox* PaperCB = nullptr;
    QDoubleSpinBox* WidthE = nullptr;  // millimetres
    QDoubleSpinBox* HeightE = nullptr; // millimetres
    QRadioButton* PortraitRB = nullptr;
    QRadioButton* LandscapeRB = nullptr;
    QComboBox* BinCB = nullptr;
    QComboBox* ResolutionCB = nullptr;
};

// Shows the dialog modally; true when confirmed, with mode changed.
bool ShowPrinterPropertiesForm(print::SystemPrinter& printer, print::DeviceMode& mode);
// Makes the printer's ShowPrinterProperties use this dialog.
void InstallPrinterPropertiesForm(TfrPrinter& printer);
