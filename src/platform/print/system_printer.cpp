#include "platform/print/system_printer.h"

#include "platform/print/paper_sizes.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPageLayout>
#include <QPainter>
#include <QPrinter>
#include <QRegularExpression>
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
#include <utility>

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

// Qt embeds only the glyphs a document uses and names each font's
// descriptor with a subset tag ("QABCDE+Name"), but leaves the tag off the
// fonts' BaseFont, so readers take the subsets for whole fonts. Puts the
// descriptor's name on the BaseFont entries and moves the cross-reference
// table's offsets by what was inserted. A file it cannot follow is left as
// it is: it prints the same either way.
void TagSubsetFonts(const QString& fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) return;
    const QByteArray pdf = file.readAll();
    file.close();

    // name -> tagged name, from the descriptors; a name with two tags is left.
    std::map<QByteArray, QByteArray> tagged;
    std::set<QByteArray> ambiguous;
    static const QRegularExpression descriptor(
        QStringLiteral(R"(/FontName /([A-Z]{6})\+([^\s/\[\]<>(){}%]+))"));
    const QString latin = QString::fromLatin1(pdf);
    for (auto it = descriptor.globalMatch(latin); it.hasNext();) {
        const auto m = it.next();
        const QByteArray name = m.captured(2).toLatin1();
        const QByteArray full = m.captured(1).toLatin1() + '+' + name;
        auto [at, inserted] = tagged.emplace(name, full);
        if (!inserted && at->second != full) ambiguous.insert(name);
    }
    for (const QByteArray& name : ambiguous) tagged.erase(name);
    if (tagged.empty()) return;

    // The table the trailer points at: "xref", one section, 20-byte entries.
    const qsizetype startxref = pdf.lastIndexOf("startxref");
    if (startxref < 0) return;
    bool ok = false;
    const qsizetype xref =
        pdf.mid(startxref + 9, 24).trimmed().split('\n').value(0).trimmed().toLongLong(&ok);
    if (!ok || xref <= 0 || xref >= startxref || !pdf.mid(xref).startsWith("xref")) return;

    // The insertions, in file order, all before the table.
    QByteArray out;
    out.reserve(pdf.size() + 64);
    std::vector<std::pair<qsizetype, qsizetype>> shifts; // (old position, bytes added so far)
    static const QByteArray key = "/BaseFont /";
    qsizetype from = 0;
    qsizetype added = 0;
    for (qsizetype at = pdf.indexOf(key); at >= 0 && at < xref; at = pdf.indexOf(key, at + 1)) {
        const qsizetype nameAt = at + key.size();
        qsizetype end = nameAt;
        while (end < pdf.size() && !QByteArray(" \t\r\n/[]<>(){}%").contains(pdf[end])) ++end;
        const auto found = tagged.find(pdf.mid(nameAt, end - nameAt));
        if (found == tagged.end()) continue;
        out += pdf.mid(from, nameAt - from);
        out += found->second.left(7); // "QABCDE+"
        added += 7;
        shifts.emplace_back(nameAt, added);
        from = nameAt;
    }
    if (shifts.empty()) return;
    auto moved = [&](qsizetype offset) {
        qsizetype by = 0;
        for (const auto& [position, total] : shifts)
            if (position < offset) by = total;
        return offset + by;
    };
    out += pdf.mid(from, xref - from);

    // The table again, its offsets moved.
    const QList<QByteArray> lines = pdf.mid(xref, startxref - xref).split('\n');
    QByteArray table;
    for (const QByteArray& line : lines) {
        const QByteArray t = line.trimmed();
        if (t.size() == 18 && t.endsWith(" n")) {
            const qsizetype offset = t.left(10).toLongLong(&ok);
            if (!ok) return;
            table += QByteArray::number(moved(offset)).rightJustified(10, '0') + t.mid(10) + ' ';
        } else {
            table += line;
        }
        table += '\n';
    }
    table.chop(1);
    out += table;
    out += "startxref\n" + QByteArray::number(moved(xref)) + "\n%%EOF\n";

    QSaveFile save(fileName);
    if (!save.open(QIODevice::WriteOnly) || save.write(out) != out.size()) return;
    save.commit();
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
