#pragma once
// The engine's view of the printer: the installed printers plus the virtual
// printer, the current printer's papers and sources, the current paper, and
// the page geometry in report units.

#include "platform/print/device_mode.h"
#include "platform/print/paper_sizes.h"
#include "platform/rtl/string_list.h"
#include "report/core/process_state.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace print {
class SystemPrinter;
}

// Report units per inch of the printer layer; paper sizes in tenths of a
// millimetre convert as value * K / 254.
inline constexpr double kPrinterUnitsPerInch = 91.6256157635468;

// Tenths of a millimetre, or device pixels at dpi, to report units (halves
// to even).
int32_t PaperToUnits(double tenthsMm);
int32_t PixelsToUnits(double pixels, int dpi);

// The printer page of one paper, in device pixels and in report units.
struct PrinterPageInfo {
    int32_t PhysWidthPx = 0;
    int32_t PhysHeightPx = 0;
    int32_t PageWidth = 0;
    int32_t PageHeight = 0;
    int32_t PhysOffsetXPx = 0;
    int32_t PhysOffsetYPx = 0;
    int32_t OffsetX = 0;
    int32_t OffsetY = 0;
    int32_t PrintableWidthPx = 0;
    int32_t PrintableHeightPx = 0;
    int32_t PrintableWidth = 0;
    int32_t PrintableHeight = 0;

    bool operator==(const PrinterPageInfo&) const = default;
};

// One paper of the virtual printer; sizes in tenths of a millimetre, portrait.
struct TPaperInfo {
    int Code = 0;
    std::string Name; // CP936, from the string table
    int Width = 0;
    int Height = 0;
};

inline constexpr int kPaperTableCount = 67;
// The virtual printer's papers; the names are loaded by TfrPrinter's constructor.
extern std::array<TPaperInfo, kPaperTableCount> PaperTable;

class TfrPrinter {
public:
    TfrPrinter();
    ~TfrPrinter();
    TfrPrinter(const TfrPrinter&) = delete;
    TfrPrinter& operator=(const TfrPrinter&) = delete;

    // Re-reads the system printer's list and takes its current printer.
    void AttachPrinter(print::SystemPrinter* printer);
    // Throws print::EPrinter for an index outside PrinterNames.
    void SelectPrinter(int index);
    void ReadDeviceSettings();
    void ApplySettings();
    void SetPaper(int code, int width, int height, int orientation, int bin, bool force);
    bool IsSamePaper(int code, int width, int height, int orientation, int bin) const;
    void FillPageInfo(PrinterPageInfo& info);
    void ShowPrinterProperties();
    int PaperIndex(int code) const;
    int BinIndex(int code) const;
    void Refresh();

    bool IsVirtual() const { return PrinterIndex == VirtualPrinterIndex; }

    // The driver's settings dialog lives above this layer (see
    // printer_properties_form.h): it edits the copy of the current printer's
    // device mode it is given and returns true when confirmed.
    std::function<bool(print::SystemPrinter& printer, print::DeviceMode& mode)> OnPrinterProperties;

    // The current printer's names as the system reports them (CP936, at most
    // 127 bytes each).
    std::string DeviceName, DriverName, PortName;
    // The current real printer's settings as last read; empty for the
    // virtual printer.
    std::optional<print::DeviceMode> DeviceMode;
    print::SystemPrinter* SystemPrinter = nullptr; // not owned
    rtl::TStringList PaperNames, BinNames, PrinterNames;
    int PrinterIndex = 0;
    int VirtualPrinterIndex = 0;
    uint8_t Orientation = 0; // 0 portrait, 1 landscape
    int PaperSize = 9;
    int PaperWidth = 0; // tenths of a millimetre
    int PaperHeight = 0;
    int Bin = print::kDefaultBin;
    std::array<int16_t, 256> PaperCodes{};
    int PaperCount = 0;
    std::array<int16_t, 256> BinCodes{};
    int BinCount = 0;

private:
    void FallBackToVirtual();
    void UseDefaultSourceOnly();
};

// The process-wide printer, ReportPrinter() with DefaultPaperSize and
// PrinterReady, is declared with the other process-wide state in
// report/core/process_state.h.

// Creates (again) the process-wide printer on this system printer.
void InitReportPrinter(print::SystemPrinter* printer);
// Frees it; the next ReportPrinter() makes a new one.
void DoneReportPrinter();
