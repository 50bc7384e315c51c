#include "report/printer/printer.h"

#include "platform/print/system_printer.h"
#include "platform/rtl/sysutils.h"
#include "platform/text/cp936.h"
#include "report/core/resource_strings.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <utility>

namespace {

constexpr int kVirtualPrinterName = 55007;
constexpr int kFirstPaperName = 55008;
constexpr int kDefaultSourceName = 55435;
constexpr int kCustomPaperName = 55074;
constexpr size_t kNameBuffer = 128; // names are kept as the 128-byte buffers held them

int32_t ToInt32(double value) {
    if (!(value >= std::numeric_limits<int32_t>::min())) return std::numeric_limits<int32_t>::min();
    if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(rtl::Round(value));
}

// CP936 text cut to fit a zero-terminated buffer, never inside a character.
std::string BufferName(const QString& name, size_t size) {
    std::string s = text::QStringToCp936(name);
    if (s.size() < size) return s;
    size_t end = 0;
    while (end < s.size()) {
        const size_t step = text::IsLeadByte(static_cast<unsigned char>(s[end])) ? 2 : 1;
        if (end + step > size - 1) break;
        end += step;
    }
    s.resize(end);
    return s;
}

int16_t ClampShort(int value) {
    return static_cast<int16_t>(std::clamp(value, 0, 32767));
}

std::array<TPaperInfo, kPaperTableCount> MakePaperTable() {
    std::array<TPaperInfo, kPaperTableCount> table;
    for (size_t i = 0; i < table.size(); ++i) {
        const print::WindowsPaper& p = print::kWindowsPapers[i];
        table[i].Code = p.code;
        table[i].Width = p.width;
        table[i].Height = p.height;
    }
    return table;
}

std::unique_ptr<TfrPrinter> g_reportPrinter;
// The system printer the process-wide printer was last made on.
print::SystemPrinter* g_systemPrinter = nullptr;

} // namespace

std::array<TPaperInfo, kPaperTableCount> PaperTable = MakePaperTable();
int DefaultPaperSize = 9;
bool PrinterReady = false;

int32_t PaperToUnits(double tenthsMm) {
    return ToInt32(tenthsMm * kPrinterUnitsPerInch / 254.0);
}

int32_t PixelsToUnits(double pixels, int dpi) {
    if (dpi <= 0) return 0;
    return ToInt32(kPrinterUnitsPerInch / dpi * pixels);
}

TfrPrinter::TfrPrinter() {
    for (size_t i = 0; i < PaperTable.size(); ++i)
        PaperTable[i].Name = LoadResourceString(kFirstPaperName + static_cast<int>(i));
}

TfrPrinter::~TfrPrinter() = default;

void TfrPrinter::AttachPrinter(print::SystemPrinter* printer) {
    PrinterNames.Clear();
    PrinterIndex = 0;
    SystemPrinter = printer;
    const bool hasPrinters = printer && (printer->Refresh(), !printer->Printers().isEmpty());
    if (hasPrinters) {
        for (const QString& name : printer->Printers())
            PrinterNames.Add(BufferName(name, kNameBuffer));
        PrinterIndex = printer->PrinterIndex();
    }
    PrinterNames.Add(LoadResourceString(kVirtualPrinterName));
    VirtualPrinterIndex = PrinterNames.Count() - 1;
    if (!hasPrinters) {
        PrinterIndex = VirtualPrinterIndex;
        ApplySettings();
    } else {
        ReadDeviceSettings();
    }
}

void TfrPrinter::SelectPrinter(int index) {
    if (index == PrinterIndex) return;
    if (index < 0 || index >= PrinterNames.Count())
        throw print::EPrinter("Printer index out of range");
    PrinterIndex = index;
    if (index == VirtualPrinterIndex) {
        ApplySettings();
    } else if (SystemPrinter && !SystemPrinter->Printers().isEmpty()) {
        try {
            SystemPrinter->SetPrinterIndex(index);
        } catch (const print::EPrinter&) {
            // The system's list no longer has this entry: no settings to read.
            FallBackToVirtual();
            return;
        }
        ReadDeviceSettings();
    }
}

void TfrPrinter::FallBackToVirtual() {
    DeviceMode.reset();
    SelectPrinter(VirtualPrinterIndex);
}

void TfrPrinter::UseDefaultSourceOnly() {
    BinNames.Clear();
    BinNames.Add(LoadResourceString(kDefaultSourceName));
    BinCodes.fill(0);
    BinCodes[0] = print::kDefaultBin;
    BinCount = 1;
}

void TfrPrinter::ReadDeviceSettings() {
    // The virtual printer has no device to read; its settings come from the table.
    if (IsVirtual()) {
        ApplySettings();
        return;
    }
    try {
        QString device, driver, port;
        print::DeviceMode mode;
        print::DeviceCaps caps;
        if (!SystemPrinter || !SystemPrinter->GetPrinter(device, driver, port, mode) ||
            !SystemPrinter->Caps(caps) || caps.logPixelsX <= 0 || caps.logPixelsY <= 0) {
            FallBackToVirtual();
            return;
        }
        DeviceName = BufferName(device, kNameBuffer);
        DriverName = BufferName(driver, kNameBuffer);
        PortName = BufferName(port, kNameBuffer);
        DeviceMode = mode;

        PaperSize = mode.paperSize;
        PaperWidth = ToInt32(static_cast<double>(caps.physicalWidth) / caps.logPixelsX * 254.0);
        PaperHeight = ToInt32(static_cast<double>(caps.physicalHeight) / caps.logPixelsY * 254.0);

        PaperCodes.fill(0);
        PaperNames.Clear();
        const std::vector<print::PaperEntry> papers = SystemPrinter->Papers();
        PaperCount = static_cast<int>(std::min(papers.size(), PaperCodes.size()));
        for (int i = 0; i < PaperCount; ++i) {
            PaperCodes[i] = papers[i].code;
            PaperNames.Add(papers[i].custom ? LoadResourceString(kCustomPaperName)
                                            : BufferName(papers[i].name, 64));
        }

        Bin = mode.defaultSource;
        const std::vector<print::BinEntry> bins = SystemPrinter->Bins();
        UseDefaultSourceOnly();
        for (size_t i = 0; i < bins.size() && BinCount < static_cast<int>(BinCodes.size()); ++i) {
            BinCodes[BinCount++] = bins[i].code;
            BinNames.Add(BufferName(bins[i].name, 24));
        }

        Orientation = mode.orientation == print::DMORIENT_PORTRAIT ? 0 : 1;
    } catch (...) {
        FallBackToVirtual();
    }
}

void TfrPrinter::ApplySettings() {
    if (IsVirtual()) {
        DeviceMode.reset();
        PaperNames.Clear();
        PaperCodes.fill(0);
        for (size_t i = 0; i < PaperTable.size(); ++i) {
            PaperNames.Add(PaperTable[i].Name);
            PaperCodes[i] = static_cast<int16_t>(PaperTable[i].Code);
        }
        PaperCount = kPaperTableCount;
        UseDefaultSourceOnly();
        if (PaperSize != print::kCustomPaper) {
            for (const TPaperInfo& p : PaperTable) {
                if (p.Code != PaperSize) continue;
                PaperWidth = p.Width;
                PaperHeight = p.Height;
                if (Orientation == 1) std::swap(PaperWidth, PaperHeight);
                break;
            }
        }
        return;
    }

    QString device, driver, port;
    print::DeviceMode mode;
    if (!SystemPrinter || !SystemPrinter->GetPrinter(device, driver, port, mode)) {
        FallBackToVirtual();
        return;
    }
    if (PaperSize == print::kCustomPaper) {
        mode.fields |= print::DM_PAPERLENGTH | print::DM_PAPERWIDTH;
        mode.paperLength = ClampShort(PaperHeight);
        mode.paperWidth = ClampShort(PaperWidth);
    } else {
        mode.fields &= ~(print::DM_PAPERLENGTH | print::DM_PAPERWIDTH);
    }
    if (mode.fields & print::DM_PAPERSIZE)
        mode.paperSize = static_cast<int16_t>(std::clamp(PaperSize, -32768, 32767));
    if (mode.fields & print::DM_ORIENTATION)
        mode.orientation = Orientation == 0 ? print::DMORIENT_PORTRAIT : print::DMORIENT_LANDSCAPE;
    if (mode.fields & print::DM_COPIES) mode.copies = 1;
    if ((mode.fields & print::DM_DEFAULTSOURCE) && Bin != print::kDefaultBin)
        mode.defaultSource = static_cast<int16_t>(std::clamp(Bin, -32768, 32767));
    SystemPrinter->SetDeviceMode(mode);
    ReadDeviceSettings();
}

void TfrPrinter::SetPaper(int code, int width, int height, int orientation, int bin, bool force) {
    if (SystemPrinter && SystemPrinter->Printing()) return;
    if (!force && IsSamePaper(code, width, height, orientation, bin)) return;
    PaperSize = code;
    PaperWidth = width;
    PaperHeight = height;
    Orientation = orientation == 0 ? 0 : 1;
    Bin = bin;
    ApplySettings();
}

bool TfrPrinter::IsSamePaper(int code, int width, int height, int orientation, int bin) const {
    if (code == PaperSize && code == print::kCustomPaper)
        return std::abs(PaperWidth - width) <= 1 && std::abs(PaperHeight - height) <= 1 &&
               orientation == Orientation;
    return code == PaperSize && orientation == Orientation &&
           (bin == Bin || bin == print::kDefaultBin);
}

void TfrPrinter::FillPageInfo(PrinterPageInfo& info) {
    print::DeviceCaps caps;
    if (!IsVirtual() &&
        !(SystemPrinter && SystemPrinter->Caps(caps) && caps.logPixelsX > 0 && caps.logPixelsY > 0))
        FallBackToVirtual();

    if (IsVirtual()) {
        info.PageWidth = PaperToUnits(PaperWidth);
        info.PageHeight = PaperToUnits(PaperHeight);
        info.OffsetX = info.OffsetY = PaperToUnits(50);
        info.PrintableWidth = info.PageWidth - 2 * info.OffsetX;
        info.PrintableHeight = info.PageHeight - 2 * info.OffsetY;
        return;
    }
    info.PhysWidthPx = caps.physicalWidth;
    info.PhysHeightPx = caps.physicalHeight;
    info.PageWidth = PixelsToUnits(caps.physicalWidth, caps.logPixelsX);
    info.PageHeight = PixelsToUnits(caps.physicalHeight, caps.logPixelsY);
    info.PhysOffsetXPx = caps.physicalOffsetX;
    info.PhysOffsetYPx = caps.physicalOffsetY;
    info.OffsetX = PixelsToUnits(caps.physicalOffsetX, caps.logPixelsX);
    info.OffsetY = PixelsToUnits(caps.physicalOffsetY, caps.logPixelsY);
    info.PrintableWidthPx = caps.horzRes;
    info.PrintableHeightPx = caps.vertRes;
    info.PrintableWidth = PixelsToUnits(caps.horzRes, caps.logPixelsX);
    info.PrintableHeight = PixelsToUnits(caps.vertRes, caps.logPixelsY);
}

void TfrPrinter::ShowPrinterProperties() {
    if (IsVirtual() || !OnPrinterProperties || !SystemPrinter) return;
    QString device, driver, port;
    print::DeviceMode copy;
    if (!SystemPrinter->GetPrinter(device, driver, port, copy)) return;
    if (!OnPrinterProperties(*SystemPrinter, copy)) return;
    SystemPrinter->SetDeviceMode(copy);
    ReadDeviceSettings();
}

int TfrPrinter::PaperIndex(int code) const {
    for (int i = 0; i < PaperCount; ++i)
        if (PaperCodes[i] == code) return i;
    return PaperCount - 1;
}

int TfrPrinter::BinIndex(int code) const {
    for (int i = 0; i < BinCount; ++i)
        if (BinCodes[i] == code) return i;
    return 0;
}

void TfrPrinter::Refresh() {
    // A settings dialog may have made another printer the system's current one.
    if (!IsVirtual() && SystemPrinter && SystemPrinter->PrinterIndex() >= 0 &&
        SystemPrinter->PrinterIndex() < VirtualPrinterIndex)
        PrinterIndex = SystemPrinter->PrinterIndex();
    ReadDeviceSettings();
}

void InitReportPrinter(print::SystemPrinter* printer) {
    // A reset makes the printer afresh on the same system printer, so every
    // test or fuzz input starts from the same paper.
    static const bool resetRegistered = [] {
        frRegisterReset([] {
            if (g_reportPrinter) InitReportPrinter(g_systemPrinter);
        });
        return true;
    }();
    (void)resetRegistered;
    PrinterReady = false;
    g_systemPrinter = printer;
    g_reportPrinter = std::make_unique<TfrPrinter>();
    TfrPrinter& p = *g_reportPrinter;
    try {
        p.AttachPrinter(printer);
        if (!p.DeviceMode) {
            p.SelectPrinter(p.VirtualPrinterIndex);
            p.PaperSize = -1;
        }
    } catch (...) {
        // A printer that cannot be read leaves the virtual printer in charge.
    }
    DefaultPaperSize = p.PaperSize;
    PrinterReady = true;
}

TfrPrinter& ReportPrinter() {
    if (!g_reportPrinter) InitReportPrinter(&print::Printer());
    return *g_reportPrinter;
}

void DoneReportPrinter() {
    g_reportPrinter.reset();
    PrinterReady = false;
}
