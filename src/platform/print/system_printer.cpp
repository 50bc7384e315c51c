#include "platform/print/system_printer.h"

#include "platform/print/paper_sizes.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPageLayout>
#include <QPainter>
#include <QPrinter>
#include <QSaveFile>
#include <QTemporaryFile>
#include <cups/cups.h>
#include <private/qprintdevice_p.h>
#include <qpa/qplatformprintersupport.h>
#include <qpa/qplatformprintplugin.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <sys/stat.h>

namespace print {

namespace {

// The fixed code arrays of the engine hold 256 papers and 256 sources, one of
// which is the "default" source it adds itself.
constexpr size_t kMaxPapers = 256;
constexpr size_t kMaxBins = 255;
constexpr int16_t kFirstUserBin = 256; // DMBIN_USER: the driver's own sources

QPlatformPrinterSupport* Support() {
    return QPlatformPrinterSupportPlugin::get();
}

int TenthsMm(double points) {
    return static_cast<int>(std::lround(points * 254.0 / 72.0));
}

int Pixels(double points, int dpi) {
    return static_cast<int>(std::lround(points * dpi / 72.0));
}

int16_t BinCode(QPrint::InputSlotId id) {
    switch (id) {
    case QPrint::Upper:
        return 1;
    case QPrint::Lower:
        return 2;
    case QPrint::Middle:
        return 3;
    case QPrint::Manual:
        return 4;
    case QPrint::Envelope:
        return 5;
    case QPrint::EnvelopeManual:
        return 6;
    case QPrint::Auto:
        return 7;
    case QPrint::Tractor:
        return 8;
    case QPrint::SmallFormat:
        return 9;
    case QPrint::LargeFormat:
        return 10;
    case QPrint::LargeCapacity:
        return 11;
    case QPrint::Cassette:
        return 14;
    case QPrint::FormSource:
        return 15;
    default:
        return 0;
    }
}

} // namespace

struct SystemPrinter::Device {
    QString id;
    QPrintDevice device;
    std::vector<PaperEntry> papers;
    std::vector<QPageSize> pageSizes; // parallel to papers; invalid for the custom entry
    std::vector<BinEntry> bins;
    std::vector<int> resolutions;
    bool customSizes = false;
    QSize minSize, maxSize; // points

    DeviceMode mode;
    int pageIndex = -1;   // into papers; -1 when printing on customPage
    QPageSize customPage; // a size no listed paper matches
    int binIndex = -1;

    explicit Device(const QString& printer) : id(printer) {
        if (QPlatformPrinterSupport* ps = Support()) device = ps->createPrintDevice(printer);
        if (!device.isValid()) return;

        customSizes = device.supportsCustomPageSizes();
        minSize = device.minimumPhysicalPageSize();
        maxSize = device.maximumPhysicalPageSize();
        const size_t listed = customSizes ? kMaxPapers - 1 : kMaxPapers;
        for (const QPageSize& size : device.supportedPageSizes()) {
            if (papers.size() == listed) break;
            const QSize pt = size.sizePoints();
            PaperEntry e;
            e.width = TenthsMm(pt.width());
            e.height = TenthsMm(pt.height());
            e.code = static_cast<int16_t>(PaperCodeForSize(e.width, e.height));
            e.name = size.name();
            papers.push_back(e);
            pageSizes.push_back(size);
        }
        if (customSizes) {
            PaperEntry e;
            e.code = kCustomPaper;
            e.custom = true;
            papers.push_back(e);
            pageSizes.emplace_back();
        }

        int16_t user = kFirstUserBin;
        for (const QPrint::InputSlot& slot : device.supportedInputSlots()) {
            if (bins.size() == kMaxBins) break;
            int16_t code = BinCode(slot.id);
            // Two choices of one kind keep apart as driver-defined sources.
            const bool taken = std::any_of(bins.begin(), bins.end(),
                                           [&](const BinEntry& b) { return b.code == code; });
            if (code == 0 || taken) code = user++;
            bins.push_back(
                {code, slot.name.isEmpty() ? QString::fromLatin1(slot.key) : slot.name, slot.key});
        }

        const QList<int> dpis = device.supportedResolutions();
        resolutions.assign(dpis.begin(), dpis.end());
        std::erase_if(resolutions, [](int r) { return r <= 0 || r > 32767; });
        int dpi = device.defaultResolution();
        if (dpi <= 0 || dpi > 32767) dpi = resolutions.empty() ? 300 : resolutions.front();
        if (resolutions.empty()) resolutions.push_back(dpi);

        mode.fields = DM_ORIENTATION | DM_PAPERSIZE | DM_COPIES | DM_DEFAULTSOURCE |
                      DM_PRINTQUALITY | DM_YRESOLUTION;
        mode.orientation = DMORIENT_PORTRAIT;
        mode.copies = 1;
        mode.printQuality = mode.yResolution = static_cast<int16_t>(dpi);

        const QPageSize def = device.defaultPageSize();
        for (size_t i = 0; i < pageSizes.size() && pageIndex < 0; ++i)
            if (pageSizes[i].isValid() && pageSizes[i].key() == def.key())
                pageIndex = static_cast<int>(i);
        if (pageIndex < 0 && !papers.empty() && !papers.front().custom) pageIndex = 0;
        if (pageIndex >= 0) {
            UsePaper(pageIndex, papers[pageIndex].code);
        } else {
            // A printer that lists no paper prints on its default size.
            customPage = def.isValid() ? def : QPageSize(QPageSize::A4);
            const QSize pt = customPage.sizePoints();
            UseCustom(TenthsMm(pt.width()), TenthsMm(pt.height()));
        }

        const QByteArray defSlot = device.defaultInputSlot().key;
        for (size_t i = 0; i < bins.size(); ++i)
            if (bins[i].key == defSlot) binIndex = static_cast<int>(i);
        if (binIndex < 0 && !bins.empty()) binIndex = 0;
        mode.defaultSource = binIndex >= 0 ? bins[binIndex].code : 0;
    }

    bool valid() const { return device.isValid(); }

    void UsePaper(int index, int16_t code) {
        pageIndex = index;
        mode.paperSize = code;
        mode.paperWidth = static_cast<int16_t>(papers[index].width);
        mode.paperLength = static_cast<int16_t>(papers[index].height);
        if (code == kCustomPaper)
            mode.fields |= DM_PAPERWIDTH | DM_PAPERLENGTH;
        else
            mode.fields &= ~(DM_PAPERWIDTH | DM_PAPERLENGTH);
    }

    void UseCustom(int width, int height) {
        pageIndex = -1;
        mode.paperSize = kCustomPaper;
        mode.paperWidth = static_cast<int16_t>(width);
        mode.paperLength = static_cast<int16_t>(height);
        mode.fields |= DM_PAPERWIDTH | DM_PAPERLENGTH;
    }

    // The listed paper closest to this size, within the tolerance; -1 if none.
    int FindBySize(int width, int height) const {
        int best = -1;
        int bestDistance = 2 * kSizeTolerance + 1;
        for (size_t i = 0; i < papers.size(); ++i) {
            if (papers[i].custom) continue;
            const int dw = std::abs(papers[i].width - width);
            const int dh = std::abs(papers[i].height - height);
            if (dw > kSizeTolerance || dh > kSizeTolerance || dw + dh >= bestDistance) continue;
            best = static_cast<int>(i);
            bestDistance = dw + dh;
        }
        return best;
    }

    bool CustomFits(int width, int height) const {
        if (!customSizes || width <= 0 || height <= 0) return false;
        const double w = width * 72.0 / 254.0;
        const double h = height * 72.0 / 254.0;
        return w >= minSize.width() - 0.5 && h >= minSize.height() - 0.5 &&
               w <= maxSize.width() + 0.5 && h <= maxSize.height() + 0.5;
    }

    // A custom size: the listed paper of that size when there is one (so CUPS
    // gets its own media name), else a custom sheet when the driver allows it.
    bool TakeCustom(int width, int height) {
        if (width <= 0 || height <= 0) return false;
        const int i = FindBySize(width, height);
        if (i >= 0) {
            UsePaper(i, kCustomPaper);
            return true;
        }
        if (!CustomFits(width, height)) return false;
        customPage = QPageSize(QSizeF(width / 10.0, height / 10.0), QPageSize::Millimeter,
                               QString(), QPageSize::ExactMatch);
        UseCustom(width, height);
        return true;
    }

    void TakePaper(int16_t code) {
        for (size_t i = 0; i < papers.size(); ++i)
            if (!papers[i].custom && papers[i].code == code) {
                UsePaper(static_cast<int>(i), code);
                return;
            }
        // A sheet the driver knows under another code, or as a custom size.
        if (const WindowsPaper* p = FindWindowsPaper(code)) {
            const int i = FindBySize(p->width, p->height);
            if (i >= 0)
                UsePaper(i, papers[i].code);
            else
                TakeCustom(p->width, p->height);
        }
    }

    void Apply(const DeviceMode& m) {
        if (m.fields & DM_PAPERSIZE) {
            if (m.paperSize == kCustomPaper) {
                if ((m.fields & (DM_PAPERWIDTH | DM_PAPERLENGTH)) ==
                    (DM_PAPERWIDTH | DM_PAPERLENGTH))
                    TakeCustom(m.paperWidth, m.paperLength);
            } else {
                TakePaper(m.paperSize);
            }
        }
        if ((m.fields & DM_ORIENTATION) &&
            (m.orientation == DMORIENT_PORTRAIT || m.orientation == DMORIENT_LANDSCAPE))
            mode.orientation = m.orientation;
        if ((m.fields & DM_COPIES) && m.copies >= 1) mode.copies = m.copies;
        if (m.fields & DM_DEFAULTSOURCE) {
            for (size_t i = 0; i < bins.size(); ++i)
                if (bins[i].code == m.defaultSource) {
                    binIndex = static_cast<int>(i);
                    mode.defaultSource = m.defaultSource;
                }
        }
        if ((m.fields & DM_PRINTQUALITY) &&
            std::find(resolutions.begin(), resolutions.end(), m.printQuality) !=
                resolutions.end() &&
            (!(m.fields & DM_YRESOLUTION) || m.yResolution == m.printQuality))
            mode.printQuality = mode.yResolution = m.printQuality;
    }

    QPageSize Page() const { return pageIndex >= 0 ? pageSizes[pageIndex] : customPage; }

    bool Landscape() const { return mode.orientation == DMORIENT_LANDSCAPE; }

    DeviceCaps Caps() const {
        const QPageSize page = Page();
        // A listed paper is as large as the driver says in points; a custom
        // one as large as asked.
        QSizeF size = pageIndex >= 0 ? QSizeF(page.sizePoints())
                                     : page.size(QPageSize::Millimeter) * (72.0 / 25.4);
        QMarginsF m = device.printableMargins(page, QPageLayout::Portrait, mode.printQuality);
        if (Landscape()) {
            // Landscape turns the sheet a quarter to the right: the bottom
            // edge becomes the left one.
            size.transpose();
            m = QMarginsF(m.bottom(), m.left(), m.top(), m.right());
        }
        DeviceCaps c;
        c.logPixelsX = mode.printQuality;
        c.logPixelsY = mode.yResolution;
        c.physicalWidth = Pixels(size.width(), c.logPixelsX);
        c.physicalHeight = Pixels(size.height(), c.logPixelsY);
        c.physicalOffsetX = Pixels(m.left(), c.logPixelsX);
        c.physicalOffsetY = Pixels(m.top(), c.logPixelsY);
        c.horzRes = Pixels(size.width() - m.left() - m.right(), c.logPixelsX);
        c.vertRes = Pixels(size.height() - m.top() - m.bottom(), c.logPixelsY);
        return c;
    }
};

// What a job prints on: the layout the PDF engine writes, the resolution,
// and the corner of the printable area in device pixels.
struct SystemPrinter::Sheet {
    QPageLayout layout;
    int dpi = 300;
    int offsetX = 0;
    int offsetY = 0;
};

// An open output file: one PDF document across the jobs of a print run.
struct SystemPrinter::Output {
    QString target;
    QString temp; // written here, renamed over the target when done
    QPrinter printer{QPrinter::HighResolution};
    QPainter painter;
    int dpi = 0; // fixed by the first job
};

struct SystemPrinter::Job {
    QPrinter* printer = nullptr;
    QPainter* painter = nullptr;
    int dpi = 0;
    // A queue job: its own PDF, spooled until EndDoc hands it to CUPS.
    std::unique_ptr<QTemporaryFile> spool;
    std::unique_ptr<QPrinter> ownPrinter;
    std::unique_ptr<QPainter> ownPainter;
    QString queue;
    QString title;
    std::vector<std::pair<QByteArray, QByteArray>> options;
};

SystemPrinter::SystemPrinter() {
    Refresh();
}

SystemPrinter::~SystemPrinter() {
    // A job or file left open by a failure is not half printed.
    AbortDoc();
    AbortOutputFile();
}

void SystemPrinter::Refresh() {
    QPlatformPrinterSupport* ps = Support();
    printers_ = ps ? ps->availablePrintDeviceIds() : QStringList();
    int index = current_ ? static_cast<int>(printers_.indexOf(current_->id)) : -1;
    if (index < 0 && ps) index = static_cast<int>(printers_.indexOf(ps->defaultPrintDeviceId()));
    if (index < 0 && !printers_.isEmpty()) index = 0;
    if (index >= 0 && current_ && current_->id == printers_[index]) {
        index_ = index;
        return;
    }
    index_ = index;
    LoadCurrent();
}

void SystemPrinter::SetPrinterIndex(int index) {
    if (index < 0 || index >= printers_.size()) throw EPrinter("Printer index out of range");
    index_ = index;
    LoadCurrent();
}

void SystemPrinter::LoadCurrent() {
    current_.reset();
    if (index_ < 0) return;
    auto device = std::make_unique<Device>(printers_[index_]);
    if (device->valid()) current_ = std::move(device);
}

bool SystemPrinter::GetPrinter(QString& device, QString& driver, QString& port,
                               DeviceMode& mode) const {
    if (!current_) return false;
    // A queue removed from CUPS since it was chosen has no settings any more.
    QPlatformPrinterSupport* ps = Support();
    if (!ps || !ps->availablePrintDeviceIds().contains(current_->id)) return false;
    device = current_->id;
    driver = current_->device.makeAndModel();
    port = current_->device.location();
    mode = current_->mode;
    return true;
}

bool SystemPrinter::SetDeviceMode(const DeviceMode& mode) {
    if (!current_) return false;
    current_->Apply(mode);
    return true;
}

std::vector<PaperEntry> SystemPrinter::Papers() const {
    return current_ ? current_->papers : std::vector<PaperEntry>();
}

std::vector<BinEntry> SystemPrinter::Bins() const {
    return current_ ? current_->bins : std::vector<BinEntry>();
}

std::vector<int> SystemPrinter::Resolutions() const {
    return current_ ? current_->resolutions : std::vector<int>();
}

bool SystemPrinter::SupportsCustomSize() const {
    return current_ && current_->customSizes;
}

bool SystemPrinter::Caps(DeviceCaps& caps) const {
    if (!current_) return false;
    caps = current_->Caps();
    return true;
}

QPageSize SystemPrinter::CurrentPageSize() const {
    return current_ ? current_->Page() : QPageSize();
}

QByteArray SystemPrinter::CurrentInputSlot() const {
    if (!current_ || current_->binIndex < 0) return QByteArray();
    return current_->bins[current_->binIndex].key;
}

bool SystemPrinter::Printing() const {
    return job_ != nullptr;
}

namespace {

void SetUpPdf(QPrinter& printer, const QString& fileName, int dpi, const QPageLayout& layout,
              const QString& title) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(fileName);
    printer.setResolution(dpi);
    printer.setFullPage(true);
    printer.setPageLayout(layout);
    printer.setDocName(title);
    printer.setCreator(QCoreApplication::applicationName());
}

// Kangxi radicals U+2F00.. in order, then the supplement's ones: the
// ideograph whose glyph the simplified-Chinese faces draw each with (for
// U+2F3E that is 户, not the compatibility mapping's 戶).
constexpr char16_t kKangxiIdeographs[] = {
    0x4E00, 0x4E28, 0x4E36, 0x4E3F, 0x4E59, 0x4E85, 0x4E8C, 0x4EA0, 0x4EBA, 0x513F, 0x5165, 0x516B,
    0x5182, 0x5196, 0x51AB, 0x51E0, 0x51F5, 0x5200, 0x529B, 0x52F9, 0x5315, 0x531A, 0x5338, 0x5341,
    0x535C, 0x5369, 0x5382, 0x53B6, 0x53C8, 0x53E3, 0x56D7, 0x571F, 0x58EB, 0x5902, 0x590A, 0x5915,
    0x5927, 0x5973, 0x5B50, 0x5B80, 0x5BF8, 0x5C0F, 0x5C22, 0x5C38, 0x5C6E, 0x5C71, 0x5DDB, 0x5DE5,
    0x5DF1, 0x5DFE, 0x5E72, 0x5E7A, 0x5E7F, 0x5EF4, 0x5EFE, 0x5F0B, 0x5F13, 0x5F50, 0x5F61, 0x5F73,
    0x5FC3, 0x6208, 0x6237, 0x624B, 0x652F, 0x6534, 0x6587, 0x6597, 0x65A4, 0x65B9, 0x65E0, 0x65E5,
    0x66F0, 0x6708, 0x6728, 0x6B20, 0x6B62, 0x6B79, 0x6BB3, 0x6BCB, 0x6BD4, 0x6BDB, 0x6C0F, 0x6C14,
    0x6C34, 0x706B, 0x722A, 0x7236, 0x723B, 0x723F, 0x7247, 0x7259, 0x725B, 0x72AC, 0x7384, 0x7389,
    0x74DC, 0x74E6, 0x7518, 0x751F, 0x7528, 0x7530, 0x758B, 0x7592, 0x7676, 0x767D, 0x76AE, 0x76BF,
    0x76EE, 0x77DB, 0x77E2, 0x77F3, 0x793A, 0x79B8, 0x79BE, 0x7A74, 0x7ACB, 0x7AF9, 0x7C73, 0x7CF8,
    0x7F36, 0x7F51, 0x7F8A, 0x7FBD, 0x8001, 0x800C, 0x8012, 0x8033, 0x807F, 0x8089, 0x81E3, 0x81EA,
    0x81F3, 0x81FC, 0x820C, 0x821B, 0x821F, 0x826E, 0x8272, 0x8278, 0x864D, 0x866B, 0x8840, 0x884C,
    0x8863, 0x897E, 0x898B, 0x89D2, 0x8A00, 0x8C37, 0x8C46, 0x8C55, 0x8C78, 0x8C9D, 0x8D64, 0x8D70,
    0x8DB3, 0x8EAB, 0x8ECA, 0x8F9B, 0x8FB0, 0x8FB5, 0x9091, 0x9149, 0x91C6, 0x91CC, 0x91D1, 0x9577,
    0x9580, 0x961C, 0x96B6, 0x96B9, 0x96E8, 0x9751, 0x975E, 0x9762, 0x9769, 0x97CB, 0x97ED, 0x97F3,
    0x9801, 0x98A8, 0x98DB, 0x98DF, 0x9996, 0x9999, 0x99AC, 0x9AA8, 0x9AD8, 0x9ADF, 0x9B25, 0x9B2F,
    0x9B32, 0x9B3C, 0x9B5A, 0x9CE5, 0x9E75, 0x9E7F, 0x9EA5, 0x9EBB, 0x9EC3, 0x9ECD, 0x9ED1, 0x9EF9,
    0x9EFD, 0x9F0E, 0x9F13, 0x9F20, 0x9F3B, 0x9F4A, 0x9F52, 0x9F8D, 0x9F9C, 0x9FA0};
constexpr std::pair<char16_t, char16_t> kSupplementIdeographs[] = {
    {0x2E82, 0x4E5B}, {0x2E83, 0x4E5A}, {0x2E85, 0x4EBB}, {0x2E89, 0x5202}, {0x2E8F, 0x5C23},
    {0x2E90, 0x5C22}, {0x2E92, 0x5DF3}, {0x2E93, 0x5E7A}, {0x2E94, 0x5F51}, {0x2E95, 0x5F50},
    {0x2E96, 0x5FC4}, {0x2E98, 0x624C}, {0x2E99, 0x6535}, {0x2E9B, 0x65E1}, {0x2E9E, 0x6B7A},
    {0x2E9F, 0x6BCD}, {0x2EA0, 0x6C11}, {0x2EA1, 0x6C35}, {0x2EA3, 0x706C}, {0x2EA4, 0x722B},
    {0x2EA6, 0x4E2C}, {0x2EA8, 0x72AD}, {0x2EAD, 0x793B}, {0x2EAF, 0x7CF9}, {0x2EB0, 0x7E9F},
    {0x2EB1, 0x7F53}, {0x2EB9, 0x8002}, {0x2EBA, 0x8080}, {0x2EBE, 0x8279}, {0x2EC2, 0x8864},
    {0x2EC5, 0x89C1}, {0x2EC6, 0x89D2}, {0x2EC8, 0x8BA0}, {0x2EC9, 0x8D1D}, {0x2ECB, 0x8F66},
    {0x2ECC, 0x8FB6}, {0x2ED0, 0x9485}, {0x2ED1, 0x9577}, {0x2ED2, 0x9578}, {0x2ED3, 0x957F},
    {0x2ED4, 0x95E8}, {0x2ED6, 0x961D}, {0x2ED8, 0x9752}, {0x2ED9, 0x97E6}, {0x2EDA, 0x9875},
    {0x2EDB, 0x98CE}, {0x2EDC, 0x98DE}, {0x2EDD, 0x98DF}, {0x2EDF, 0x98E0}, {0x2EE0, 0x9963},
    {0x2EE2, 0x9A6C}, {0x2EE3, 0x9AA8}, {0x2EE4, 0x9B3C}, {0x2EE5, 0x9C7C}, {0x2EE6, 0x9E1F},
    {0x2EE7, 0x5364}, {0x2EE8, 0x9EA6}, {0x2EE9, 0x9EC4}, {0x2EEA, 0x9EFE}, {0x2EEB, 0x6589},
    {0x2EEC, 0x9F50}, {0x2EEE, 0x9F7F}, {0x2EEF, 0x7ADC}, {0x2EF0, 0x9F99}, {0x2EF1, 0x9F9C},
    {0x2EF2, 0x4E80}, {0x2EF3, 0x9F9F}};

} // namespace

char16_t UnifiedIdeographOfRadical(char16_t codePoint) {
    if (codePoint >= 0x2F00 && codePoint < 0x2F00 + std::size(kKangxiIdeographs))
        return kKangxiIdeographs[codePoint - 0x2F00];
    for (const auto& [radical, ideograph] : kSupplementIdeographs)
        if (radical == codePoint) return ideograph;
    return 0;
}

namespace {

// A ToUnicode map with every radical destination named by its ideograph.
// Only destinations change (bfchar: after the source code; bfrange: the
// array entries, or the start of a one-code range), and each keeps its four
// hex digits, so nothing in the file moves.
std::string UnifyRadicals(std::string_view cmap) {
    std::string out(cmap);
    enum { kNone, kChar, kRange } block = kNone;
    std::size_t lineAt = 0;
    while (lineAt < out.size()) {
        std::size_t lineEnd = out.find('\n', lineAt);
        if (lineEnd == std::string::npos) lineEnd = out.size();
        const std::string_view line(out.data() + lineAt, lineEnd - lineAt);
        if (line.find("beginbfchar") != std::string_view::npos) {
            block = kChar;
        } else if (line.find("beginbfrange") != std::string_view::npos) {
            block = kRange;
        } else if (line.find("endbf") != std::string_view::npos) {
            block = kNone;
        } else if (block != kNone) {
            // The hex tokens of the line: <...>.
            std::vector<std::pair<std::size_t, std::size_t>> tokens; // (at, length) in out
            for (std::size_t at = line.find('<'); at != std::string_view::npos;
                 at = line.find('<', at + 1)) {
                const std::size_t end = line.find('>', at);
                if (end == std::string_view::npos) break;
                tokens.emplace_back(lineAt + at + 1, end - at - 1);
                at = end;
            }
            const bool array = line.find('[') != std::string_view::npos;
            std::size_t first = block == kChar ? 1 : 2;
            if (block == kRange && !array) {
                // "<lo> <hi> <dst>": only a one-code range may be renamed.
                if (tokens.size() != 3 ||
                    out.compare(tokens[0].first, 4, out, tokens[1].first, 4) != 0)
                    first = tokens.size();
            }
            for (std::size_t t = first; t < tokens.size(); ++t) {
                if (tokens[t].second != 4) continue;
                char16_t code = 0;
                bool hex = true;
                for (std::size_t k = 0; k < 4 && hex; ++k) {
                    const char c = out[tokens[t].first + k];
                    const int digit = c >= '0' && c <= '9'   ? c - '0'
                                      : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                      : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                                             : -1;
                    hex = digit >= 0;
                    code = static_cast<char16_t>(code * 16 + (hex ? digit : 0));
                }
                const char16_t ideograph = hex ? UnifiedIdeographOfRadical(code) : 0;
                if (!ideograph) continue;
                static constexpr char kDigits[] = "0123456789ABCDEF";
                for (int k = 0; k < 4; ++k)
                    out[tokens[t].first + static_cast<std::size_t>(k)] =
                        kDigits[(ideograph >> (12 - 4 * k)) & 0xF];
            }
        }
        lineAt = lineEnd + 1;
    }
    return out;
}

// Qt embeds only the glyphs a document uses and names each font's
// descriptor with a subset tag ("QABCDE+Name"), but leaves the tag off the
// fonts' BaseFont, so readers take the subsets for whole fonts. Puts the
// descriptor's name on the BaseFont entries and moves the cross-reference
// table's offsets by what was inserted. Radicals in the ToUnicode maps
// become the ideographs they stand for, so copied and searched text reads
// as it was printed. A file it cannot follow is left as
// it is: it prints the same either way.
void TagSubsetFonts(const QString& fileName) {
    // The file is mapped, not read: a PDF of many thousand labels is tens of
    // megabytes, and a copy of it (let alone a wide-text one) would be most
    // of a batch run's memory. The output is written piece by piece.
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly) || file.size() <= 0) return;
    const uchar* mapped = file.map(0, file.size());
    if (!mapped) return;
    const std::string_view pdf(reinterpret_cast<const char*>(mapped),
                               static_cast<std::size_t>(file.size()));
    constexpr std::string_view kDelimiters(" \t\r\n/[]<>(){}%\0", 15);
    const auto nameEnd = [&](std::size_t at) {
        const std::size_t end = pdf.find_first_of(kDelimiters, at);
        return end == std::string_view::npos ? pdf.size() : end;
    };

    // name -> tagged name, from the descriptors; a name with two tags is left.
    std::map<std::string_view, std::string_view> tagged;
    std::set<std::string_view> ambiguous;
    static constexpr std::string_view kFontName = "/FontName /";
    for (std::size_t at = pdf.find(kFontName); at != std::string_view::npos;
         at = pdf.find(kFontName, at + 1)) {
        const std::size_t tagAt = at + kFontName.size();
        if (tagAt + 8 > pdf.size() || pdf[tagAt + 6] != '+') continue;
        bool tag = true;
        for (std::size_t k = tagAt; k < tagAt + 6; ++k) tag = tag && pdf[k] >= 'A' && pdf[k] <= 'Z';
        const std::size_t end = nameEnd(tagAt + 7);
        if (!tag || end == tagAt + 7) continue;
        const std::string_view full = pdf.substr(tagAt, end - tagAt);
        const std::string_view name = full.substr(7);
        auto [it, inserted] = tagged.emplace(name, full);
        if (!inserted && it->second != full) ambiguous.insert(name);
    }
    for (const std::string_view name : ambiguous) tagged.erase(name);

    // The table the trailer points at: "xref", one section, 20-byte entries.
    const std::size_t startxref = pdf.rfind("startxref");
    if (startxref == std::string_view::npos) return;
    std::size_t numberAt = pdf.find_first_not_of(" \t\r\n", startxref + 9);
    if (numberAt == std::string_view::npos) return;
    std::size_t xref = 0;
    std::size_t digits = 0;
    for (; numberAt < pdf.size() && pdf[numberAt] >= '0' && pdf[numberAt] <= '9'; ++numberAt) {
        xref = xref * 10 + static_cast<std::size_t>(pdf[numberAt] - '0');
        if (++digits > 15) return;
    }
    if (digits == 0 || xref == 0 || xref >= startxref || pdf.substr(xref, 4) != "xref") return;

    // The insertions, in file order, all before the table.
    std::vector<std::pair<std::size_t, std::size_t>> inserts; // (position, tag length)
    static constexpr std::string_view kBaseFont = "/BaseFont /";
    for (std::size_t at = pdf.find(kBaseFont); at != std::string_view::npos && at < xref;
         at = pdf.find(kBaseFont, at + 1)) {
        const std::size_t nameAt = at + kBaseFont.size();
        const auto found = tagged.find(pdf.substr(nameAt, nameEnd(nameAt) - nameAt));
        if (found != tagged.end()) inserts.emplace_back(nameAt, 7); // "QABCDE+"
    }
    // ToUnicode maps that name glyphs by radicals: same length, new text.
    std::vector<std::pair<std::size_t, std::string>> unified; // (position, text)
    static constexpr std::string_view kBeginCmap = "begincmap";
    for (std::size_t at = pdf.find(kBeginCmap); at != std::string_view::npos && at < xref;
         at = pdf.find(kBeginCmap, at + 1)) {
        const std::size_t end = pdf.find("endcmap", at);
        if (end == std::string_view::npos || end > xref) break;
        const std::string_view cmap = pdf.substr(at, end - at);
        std::string text = UnifyRadicals(cmap);
        if (text != cmap) unified.emplace_back(at, std::move(text));
        at = end;
    }
    if (inserts.empty() && unified.empty()) return;
    const auto moved = [&](std::size_t offset) {
        std::size_t by = 0;
        for (const auto& [position, length] : inserts)
            if (position < offset) by += length;
        return offset + by;
    };

    QSaveFile save(fileName);
    if (!save.open(QIODevice::WriteOnly)) return;
    bool written = true;
    const auto put = [&](std::string_view bytes) {
        written = written && save.write(bytes.data(), static_cast<qint64>(bytes.size())) ==
                                 static_cast<qint64>(bytes.size());
    };
    // The file's bytes from `begin` to `end`, with the unified maps.
    std::size_t nextMap = 0;
    const auto copy = [&](std::size_t begin, std::size_t end) {
        while (begin < end) {
            while (nextMap < unified.size() &&
                   unified[nextMap].first + unified[nextMap].second.size() <= begin)
                ++nextMap;
            if (nextMap == unified.size() || unified[nextMap].first >= end) {
                put(pdf.substr(begin, end - begin));
                return;
            }
            const auto& [mapAt, text] = unified[nextMap];
            if (begin < mapAt) {
                put(pdf.substr(begin, mapAt - begin));
                begin = mapAt;
            }
            const std::size_t stop = std::min(end, mapAt + text.size());
            put(std::string_view(text).substr(begin - mapAt, stop - begin));
            begin = stop;
        }
    };
    std::size_t from = 0;
    for (const auto& [position, length] : inserts) {
        copy(from, position);
        const auto found = tagged.find(pdf.substr(position, nameEnd(position) - position));
        put(found->second.substr(0, length));
        from = position;
    }
    copy(from, xref);

    // The table again, its offsets moved.
    const std::string_view table = pdf.substr(xref, startxref - xref);
    std::size_t lineAt = 0;
    while (lineAt < table.size()) {
        std::size_t lineEnd = table.find('\n', lineAt);
        if (lineEnd == std::string_view::npos) lineEnd = table.size();
        const std::string_view line = table.substr(lineAt, lineEnd - lineAt);
        const std::size_t first = line.find_first_not_of(" \t\r");
        const std::size_t last = line.find_last_not_of(" \t\r");
        const std::string_view t = first == std::string_view::npos
                                       ? std::string_view()
                                       : line.substr(first, last - first + 1);
        if (t.size() == 18 && t.substr(16) == " n") {
            std::size_t offset = 0;
            for (const char c : t.substr(0, 10)) {
                if (c < '0' || c > '9') return; // the old file stays
                offset = offset * 10 + static_cast<std::size_t>(c - '0');
            }
            const QByteArray number = QByteArray::number(static_cast<qulonglong>(moved(offset)));
            if (number.size() > 10) return;
            put(std::string(static_cast<std::size_t>(10 - number.size()), '0'));
            put(std::string_view(number.constData(), static_cast<std::size_t>(number.size())));
            put(t.substr(10));
            put(" ");
        } else {
            put(line);
        }
        if (lineEnd < table.size()) put("\n");
        lineAt = lineEnd + 1;
    }
    const QByteArray tail =
        "startxref\n" + QByteArray::number(static_cast<qulonglong>(moved(xref))) + "\n%%EOF\n";
    put(std::string_view(tail.constData(), static_cast<std::size_t>(tail.size())));
    if (written) save.commit();
}

} // namespace

bool SystemPrinter::BeginDoc(const QString& title) {
    if (job_ || !current_) return false;
    const Device& d = *current_;
    const DeviceCaps c = d.Caps();
    Sheet sheet;
    sheet.layout = QPageLayout(
        d.Page(), d.Landscape() ? QPageLayout::Landscape : QPageLayout::Portrait, QMarginsF());
    sheet.dpi = d.mode.printQuality;
    sheet.offsetX = c.physicalOffsetX;
    sheet.offsetY = c.physicalOffsetY;
    return StartJob(title, sheet);
}

bool SystemPrinter::BeginDoc(const QString& title, const FileSheet& fileSheet) {
    if (job_ || !output_ || fileSheet.dpi <= 0 || !(fileSheet.sizeMm.width() > 0) ||
        !(fileSheet.sizeMm.height() > 0))
        return false;
    Sheet sheet;
    sheet.layout = QPageLayout(
        QPageSize(fileSheet.sizeMm, QPageSize::Millimeter, QString(), QPageSize::ExactMatch),
        QPageLayout::Portrait, QMarginsF());
    sheet.dpi = fileSheet.dpi;
    sheet.offsetX = fileSheet.edgeX;
    sheet.offsetY = fileSheet.edgeY;
    return StartJob(title, sheet);
}

bool SystemPrinter::StartJob(const QString& title, const Sheet& sheet) {
    auto job = std::make_unique<Job>();
    job->dpi = sheet.dpi;
    if (output_) {
        Output& out = *output_;
        if (!out.painter.isActive()) {
            SetUpPdf(out.printer, out.temp, sheet.dpi, sheet.layout, title);
            if (!out.painter.begin(&out.printer)) return false;
            out.dpi = sheet.dpi;
        } else {
            // The next page of the same file, on this job's paper.
            out.printer.setPageLayout(sheet.layout);
            if (!out.printer.newPage()) return false;
        }
        job->printer = &out.printer;
        job->painter = &out.painter;
        out.painter.resetTransform();
        if (sheet.dpi != out.dpi)
            out.painter.scale(double(out.dpi) / sheet.dpi, double(out.dpi) / sheet.dpi);
    } else {
        if (!current_) return false;
        const Device& d = *current_;
        job->spool = std::make_unique<QTemporaryFile>(QDir::tempPath() +
                                                      QStringLiteral("/velkor-job-XXXXXX.pdf"));
        if (!job->spool->open()) return false;
        job->spool->close();
        job->ownPrinter = std::make_unique<QPrinter>(QPrinter::HighResolution);
        job->ownPainter = std::make_unique<QPainter>();
        SetUpPdf(*job->ownPrinter, job->spool->fileName(), sheet.dpi, sheet.layout, title);
        if (!job->ownPainter->begin(job->ownPrinter.get())) return false;
        job->printer = job->ownPrinter.get();
        job->painter = job->ownPainter.get();
        job->queue = d.id;
        job->title = title;
        // What the queue needs to print the spooled pages as set here.
        job->options.emplace_back("media", d.Page().key().toUtf8());
        if (d.mode.copies > 1)
            job->options.emplace_back("copies", QByteArray::number(d.mode.copies));
        if (d.Landscape()) job->options.emplace_back("landscape", QByteArray());
        const QByteArray slot = CurrentInputSlot();
        if (!slot.isEmpty()) job->options.emplace_back("InputSlot", slot);
    }
    // Device pixels from the printable corner, as on a printer's own canvas:
    // the PDF engine's origin is the corner of the sheet.
    job->painter->translate(sheet.offsetX, sheet.offsetY);
    job_ = std::move(job);
    return true;
}

void SystemPrinter::NewPage() {
    if (!job_) return;
    job_->printer->newPage();
}

bool SystemPrinter::EndDoc() {
    if (!job_) return false;
    std::unique_ptr<Job> job = std::move(job_);
    if (!job->spool) return true; // the file goes on; EndOutputFile finishes it
    const bool written =
        job->ownPainter->end() && job->ownPrinter->printerState() != QPrinter::Error;
    if (!written) return false;
    TagSubsetFonts(job->spool->fileName());
    cups_option_t* options = nullptr;
    int count = 0;
    for (const auto& [name, value] : job->options)
        count = cupsAddOption(name.constData(), value.constData(), count, &options);
    // The queue's own name, without an instance part.
    const QByteArray queue = job->queue.section(QLatin1Char('/'), 0, 0).toUtf8();
    const int id =
        cupsPrintFile(queue.constData(), QFile::encodeName(job->spool->fileName()).constData(),
                      job->title.toUtf8().constData(), count, options);
    cupsFreeOptions(count, options);
    if (id <= 0) return false;
    lastJobId_ = id;
    return true;
}

void SystemPrinter::AbortDoc() {
    if (!job_) return;
    std::unique_ptr<Job> job = std::move(job_);
    // The spool goes with the job, unsent; a file's pages go with the file.
    if (job->ownPainter) job->ownPainter->end();
}

QPainter* SystemPrinter::Painter() {
    return job_ ? job_->painter : nullptr;
}

int SystemPrinter::JobDpiX() const {
    return job_ ? job_->dpi : 0;
}

int SystemPrinter::JobDpiY() const {
    return job_ ? job_->dpi : 0;
}

bool SystemPrinter::BeginOutputFile(const QString& fileName) {
    if (job_ || output_ || fileName.isEmpty()) return false;
    const QFileInfo target(fileName);
    if (target.isDir()) return false;
    // A name beside the target, reserved now, written by the PDF engine later.
    QTemporaryFile reserve(target.absolutePath() + QLatin1Char('/') + target.fileName() +
                           QStringLiteral(".XXXXXX"));
    reserve.setAutoRemove(false);
    if (!reserve.open()) return false;
    auto out = std::make_unique<Output>();
    out->target = target.absoluteFilePath();
    out->temp = reserve.fileName();
    reserve.close();
    output_ = std::move(out);
    return true;
}

bool SystemPrinter::EndOutputFile() {
    if (!output_) return false;
    AbortDoc();
    std::unique_ptr<Output> out = std::move(output_);
    if (!out->painter.isActive()) {
        QFile::remove(out->temp);
        return true;
    }
    const bool written = out->painter.end() && out->printer.printerState() != QPrinter::Error;
    const std::filesystem::path temp = QFile::encodeName(out->temp).toStdString();
    const std::filesystem::path target = QFile::encodeName(out->target).toStdString();
    std::error_code error;
    if (written) {
        TagSubsetFonts(out->temp);
        // The reserved name was private to us; the document is the user's.
        const mode_t mask = ::umask(0);
        ::umask(mask);
        std::filesystem::permissions(temp, static_cast<std::filesystem::perms>(0666 & ~mask),
                                     error);
        if (!error) std::filesystem::rename(temp, target, error);
    }
    if (!written || error) {
        QFile::remove(out->temp);
        return false;
    }
    return true;
}

void SystemPrinter::AbortOutputFile() {
    if (!output_) return;
    AbortDoc();
    std::unique_ptr<Output> out = std::move(output_);
    if (out->painter.isActive()) out->painter.end();
    QFile::remove(out->temp);
}

SystemPrinter& Printer() {
    // Not a static object: one destroyed at exit before the application
    // object would be freed a second time by the post routine.
    static SystemPrinter* printer = nullptr;
    if (!printer) {
        printer = new SystemPrinter;
        // The print devices belong to Qt's printing plugin: let them go
        // while Qt is still there.
        if (QCoreApplication::instance())
            qAddPostRoutine([] {
                delete printer;
                printer = nullptr;
            });
    }
    return *printer;
}

} // namespace print
