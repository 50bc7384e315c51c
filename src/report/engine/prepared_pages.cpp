#include "report/engine/prepared_pages.h"

#include "platform/gdi/qpainter_canvas.h"
#include "platform/gdi/recording_canvas.h"
#include "platform/print/paper_sizes.h"
#include "platform/print/system_printer.h"
#include "platform/rtl/scoped_restore.h"
#include "platform/rtl/sysutils.h"
#include "platform/text/cp936.h"
#include "report/core/process_state.h"
#include "report/core/resource_strings.h"
#include "report/core/string_ids.h"
#include "report/model/memo_view.h"
#include "report/model/object_registry.h"
#include "report/model/picture_view.h"
#include "report/model/report.h"

#include <QSaveFile>
#include <algorithm>
#include <cmath>
#include <limits>
#include <new>

namespace {

// A first byte in this range is the file's version byte; any other byte
// starts a file of an older layout that has none.
constexpr int kFirstVersionByte = 24;
constexpr int kLastVersionByte = 31;
// From this version on a page block stores its paper source and margins.
constexpr int kBinAndMarginsVersion = 24;
// The second byte tells the layouts apart: below 2 (the packed flag) or 255
// is the current layout, anything else the picture layout of old files.
constexpr int kPackedFlagLimit = 2;
constexpr int kPackedMark = 255;
// Page streams hold object records of these template versions.
constexpr int kOldestRecordVersion = 21;
constexpr int kNewestRecordVersion = 25;
// Bytes of a page block before its stream: end offset, paper code, width,
// height, orientation, bin, margin mode and margins; the old layout has
// neither bin nor margins.
constexpr int64_t kBlockHeadBytes = 4 + 2 + 4 + 4 + 1 + 4 + 1 + 16;
constexpr int64_t kOldBlockHeadBytes = 4 + 2 + 4 + 4 + 1 + 1;

// Paper sizes in tenths of a millimetre: no sheet or roll is longer than
// 100 metres, and the printer layer compares sizes by subtracting them.
constexpr int32_t kMaxPaperTenths = 1000000;

// Device coordinates beyond this reach no canvas, and staying below it keeps
// the objects' own integer arithmetic (edges, gaps, pen widths) in range.
constexpr double kMaxDeviceCoordinate = 1 << 29;
// A frame line wider than this is no frame any device shows; styled frame
// lines are drawn one pixel at a time.
constexpr double kMaxFramePixels = 4096;

std::string PageText(int pageNumber) {
    return "page " + std::to_string(pageNumber);
}

[[noreturn]] void Damaged(const std::string& detail) {
    throw EPreparedFileError(LoadResourceString(frsPreparedFileDamaged) + " (" + detail + ")");
}

// One object record of a page stream, read in prepared mode.
std::unique_ptr<TfrView> ReadPreparedRecord(rtl::TStream& stream, int version) {
    const uint8_t typeCode = stream.ReadByte();
    std::string className;
    if (typeCode == gtAddIn) className = rtl::frReadString(stream, version);
    std::unique_ptr<TfrView> view = CreateObject(typeCode, className);
    if (!view) Damaged("object kind " + std::to_string(typeCode));
    view->PreparedMode = true;
    view->ReadFromStream(stream);
    view->PreparedMode = false;
    return view;
}

// Reads every record of a page stream into throwaway objects, so a page that
// could not be shown is refused with the file, not when it comes on screen.
void CheckPageStream(rtl::TMemoryStream& stream, int pageNumber) {
    std::string className;
    // Unknown classes met here are this file's trouble, not a template load's.
    rtl::ScopedRestore<bool> keepLoadError(frEngine().LoadError);
    rtl::ScopedRestore<std::string> keepLoadErrorMessage(frEngine().LoadErrorMessage);
    try {
        stream.SetPosition(0);
        const int version = stream.ReadByte();
        if (version < kOldestRecordVersion || version > kNewestRecordVersion)
            Damaged(PageText(pageNumber) + ": record version " + std::to_string(version));
        rtl::ScopedRestore<int> keepVersion(frEngine().Version, version);
        while (stream.Remaining() > 0) {
            // Remember the class name for the message should it be unknown.
            const int64_t at = stream.Position();
            if (stream.ReadByte() == gtAddIn) className = rtl::frReadString(stream, version);
            stream.SetPosition(at);
            ReadPreparedRecord(stream, version);
        }
        stream.SetPosition(0);
    } catch (const EPreparedFileError&) {
        throw;
    } catch (const EClassNotFound&) {
        throw EPreparedFileError(NonPluggedComponentsMessage(className + "\r"));
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception& e) {
        Damaged(PageText(pageNumber) + ": " + e.what());
    }
}

// The end offset of a page block, which must lie ahead and inside the file.
int64_t CheckBlockEnd(rtl::TStream& stream, int64_t end, int pageNumber) {
    if (end < stream.Position() || end > stream.Size())
        Damaged(PageText(pageNumber) + ": block end " + std::to_string(end) + " outside the file");
    return end;
}

void CheckPaper(const PreparedPageInfo& page, int pageNumber) {
    const auto fits = [](int32_t tenths) { return tenths >= 0 && tenths <= kMaxPaperTenths; };
    if (!fits(page.PaperWidth) || !fits(page.PaperHeight))
        Damaged(PageText(pageNumber) + ": paper " + std::to_string(page.PaperWidth) + " x " +
                std::to_string(page.PaperHeight));
}

int32_t CheckPageCount(rtl::TStream& stream, int32_t count, int64_t blockBytes) {
    if (count < 0 || count > stream.Remaining() / blockBytes)
        Damaged("page count " + std::to_string(count));
    return count;
}

// A page of the old picture layout, converted once its paper is known.
struct PendingPicture {
    TfrPictureKind Kind = TfrPictureKind::None;
    std::string Bytes;
};

// What a file holds, read in full before anything of the report changes.
struct FileContent {
    std::string PrinterName;
    std::vector<std::unique_ptr<PreparedPageInfo>> Pages;
    std::vector<PendingPicture> Pictures; // old layout only, one per page
    bool HasGenerator = false;
    uint8_t Generator = 0;
};

void ReadCurrentLayout(rtl::TStream& stream, int version, bool packed, FileContent& file) {
    file.PrinterName = rtl::frReadString(stream, frPreparedVersion);
    const bool binAndMargins = version >= kBinAndMarginsVersion;
    const int32_t count = CheckPageCount(stream, stream.ReadInt32(),
                                         binAndMargins ? kBlockHeadBytes : kOldBlockHeadBytes);
    for (int32_t i = 0; i < count; ++i) {
        const int pageNumber = i + 1;
        const int64_t end = stream.ReadInt32();
        auto page = std::make_unique<PreparedPageInfo>();
        page->PaperSize = stream.ReadInt16();
        page->PaperWidth = stream.ReadInt32();
        page->PaperHeight = stream.ReadInt32();
        page->Orientation = stream.ReadByte();
        CheckPaper(*page, pageNumber);
        page->Bin = print::kDefaultBin;
        if (binAndMargins) page->Bin = stream.ReadInt32();
        page->UseMargins = stream.ReadByte() != 0;
        if (binAndMargins) {
            page->Margins.Left = stream.ReadInt32();
            page->Margins.Top = stream.ReadInt32();
            page->Margins.Right = stream.ReadInt32();
            page->Margins.Bottom = stream.ReadInt32();
        }
        const std::string bytes =
            stream.ReadBytes(CheckBlockEnd(stream, end, pageNumber) - stream.Position());
        if (packed) {
            // The built-in compressor unpacks nothing: such pages would come
            // out blank, and a later save would write them back so.
            TfrCompressor& compressor = PageCompressor();
            if (!compressor.Active)
                throw EPreparedFileError(LoadResourceString(frsPreparedFileCompressed));
            rtl::TMemoryStream source;
            source.WriteBytes(bytes);
            source.SetPosition(0);
            compressor.UnpackStream(source, *page->Stream);
            if (page->Stream->Size() == 0)
                throw EPreparedFileError(LoadResourceString(frsPreparedFileCompressed));
        } else {
            page->Stream->WriteBytes(bytes);
        }
        CheckPageStream(*page->Stream, pageNumber);
        file.Pages.push_back(std::move(page));
    }
    file.Generator = stream.ReadByte();
    file.HasGenerator = true;
}

void ReadPictureLayout(rtl::TStream& stream, FileContent& file) {
    // A zero-ended text whose first line (up to a CR) is the printer name.
    std::string text;
    for (uint8_t b = stream.ReadByte(); b != 0; b = stream.ReadByte()) text += static_cast<char>(b);
    file.PrinterName = text.substr(0, text.find('\r'));

    const int32_t count = CheckPageCount(stream, stream.ReadInt32(), kOldBlockHeadBytes);
    for (int32_t i = 0; i < count; ++i) {
        const int pageNumber = i + 1;
        const int64_t end = stream.ReadInt32();
        auto page = std::make_unique<PreparedPageInfo>();
        page->PaperSize = stream.ReadInt16();
        page->PaperWidth = stream.ReadInt32();
        page->PaperHeight = stream.ReadInt32();
        page->Orientation = stream.ReadByte();
        page->UseMargins = stream.ReadByte() != 0;
        page->Bin = print::kDefaultBin;
        CheckPaper(*page, pageNumber);
        PendingPicture picture;
        picture.Bytes =
            stream.ReadBytes(CheckBlockEnd(stream, end, pageNumber) - stream.Position());
        picture.Kind = TfrPicture::DetectKind(picture.Bytes);
        if (picture.Kind == TfrPictureKind::None)
            throw EPreparedFileError(LoadResourceString(frsPreparedPictureUnreadable) + " (" +
                                     PageText(pageNumber) + ")");
        file.Pages.push_back(std::move(page));
        file.Pictures.push_back(std::move(picture));
    }
}

// Switches the printer to the page's paper and takes the printer page from it.
void ApplyPaper(PreparedPageInfo& page) {
    TfrPrinter& printer = ReportPrinter();
    const bool defaultBin = page.Bin == print::kDefaultBin || page.Bin == frDefaultPaperBin;
    try {
        printer.SetPaper(page.PaperSize, page.PaperWidth, page.PaperHeight, page.Orientation,
                         defaultBin ? print::kDefaultBin : page.Bin, false);
    } catch (const std::exception&) {
        // A paper the printer refuses is taken as a custom size.
        printer.SetPaper(print::kCustomPaper, page.PaperWidth, page.PaperHeight, page.Orientation,
                         print::kDefaultBin, false);
    }
    printer.FillPageInfo(page.PageInfo);
}

// The page stream of an old picture page: one picture object the size of the page.
void WritePicturePage(PreparedPageInfo& page, const PendingPicture& picture) {
    auto view = CreateObject(gtPicture, "");
    view->SetBounds(0, 0, page.PageInfo.PageWidth, page.PageInfo.PageHeight);
    static_cast<TfrPictureView&>(*view).Picture.LoadFromBytes(picture.Kind, picture.Bytes);
    rtl::TMemoryStream& stream = *page.Stream;
    stream.WriteByte(frPreparedVersion);
    stream.WriteByte(view->TypeCode);
    view->PreparedMode = true;
    view->WriteToStream(stream);
}

bool InRange(double value, double limit) {
    return std::isfinite(value) && std::fabs(value) <= limit;
}

// How far a page's limits and objects reach, in report units. Alignment
// inside the band moves an object by sums of such values (the page's limits,
// a neighbour's edge), so they bound where an aligned object can end up.
class PageReach {
public:
    // The live page's limits come from its margins and printer page.
    explicit PageReach(const TfrPage& page) {
        const PrinterPageInfo& p = page.PrinterInfo;
        const gdi::TRect& m = page.Margins;
        const auto abs = [](double v) { return std::fabs(v); };
        for (double v : {abs(m.Left), abs(m.Top), abs(m.Right) + abs(p.PageWidth),
                         abs(m.Bottom) + abs(p.PageHeight), abs(p.OffsetX) + abs(p.PrintableWidth),
                         abs(p.OffsetY) + abs(p.PrintableHeight)})
            reach_ = std::max(reach_, v);
    }
    void Add(const TfrView& v) {
        reach_ = std::max({reach_, std::fabs(v.Left) + std::fabs(v.Width),
                           std::fabs(v.Top) + std::fabs(v.Height)});
    }
    double Value() const { return reach_; }

private:
    double reach_ = 0;
};

// Whether the view's geometry at this scale stays within what a device and
// the view's own integer arithmetic (edges, gaps, pen widths, alignment)
// can take. Damaged or hostile values are not painted.
bool FitsForPainting(const TfrView& v, double kx, double ky, double shiftX, double shiftY,
                     const PageReach& page) {
    const double limit = kMaxDeviceCoordinate;
    if (!InRange(shiftX, limit) || !InRange(shiftY, limit)) return false;
    if (v.BandAlign != baNone) {
        // Aligned, the object may land anywhere the page reaches.
        const double reach = 4 * page.Value();
        if (!InRange(reach, limit) || !InRange(reach * kx, limit) || !InRange(reach * ky, limit))
            return false;
    }
    const double left = v.Left, top = v.Top, width = v.Width, height = v.Height;
    if (const auto* picture = dynamic_cast<const TfrPictureView*>(&v)) {
        // The image is placed by its own size, scaled (or kept in proportion).
        const double iw = picture->Picture.Width(), ih = picture->Picture.Height();
        if (!InRange(iw * kx, limit) || !InRange(ih * ky, limit)) return false;
        if (iw > 0 && ih > 0 &&
            (!InRange(height * ky * iw / ih, limit) || !InRange(width * kx * ih / iw, limit)))
            return false;
    }
    return InRange(left, limit) && InRange(top, limit) && InRange(width, limit) &&
           InRange(height, limit) && InRange(left * kx, limit) && InRange(top * ky, limit) &&
           InRange(width * kx, limit) && InRange(height * ky, limit) &&
           InRange(left * kx + shiftX, limit) && InRange(top * ky + shiftY, limit) &&
           InRange((left + width) * kx + shiftX, limit) &&
           InRange((top + height) * ky + shiftY, limit) && InRange(v.GapX * kx, limit) &&
           InRange(v.GapY * ky, limit) && InRange(v.FrameWidth * kx, kMaxFramePixels) &&
           InRange(v.FrameWidth * ky, kMaxFramePixels);
}

// Painting onto the sheet of a running print job.
bool IsPrinterCanvas(gdi::Canvas& canvas) {
    print::SystemPrinter* system = ReportPrinter().SystemPrinter;
    if (!system || !system->Printing()) return false;
    const auto* painterCanvas = dynamic_cast<gdi::QPainterCanvas*>(&canvas);
    return painterCanvas && painterCanvas->Painter() == system->Painter();
}

} // namespace

void TfrCompressor::PackStream(rtl::TStream&, rtl::TStream&) {}
void TfrCompressor::UnpackStream(rtl::TStream&, rtl::TStream&) {}

namespace {

std::unique_ptr<TfrCompressor>& CompressorSlot() {
    static std::unique_ptr<TfrCompressor> compressor;
    return compressor;
}

} // namespace

TfrCompressor& PageCompressor() {
    static const bool resetRegistered = [] {
        frRegisterReset([] { CompressorSlot() = std::make_unique<TfrCompressor>(); });
        return true;
    }();
    (void)resetRegistered;
    if (!CompressorSlot()) CompressorSlot() = std::make_unique<TfrCompressor>();
    return *CompressorSlot();
}

void SetPageCompressor(std::unique_ptr<TfrCompressor> compressor) {
    PageCompressor(); // the reset is registered with the first use
    CompressorSlot() = compressor ? std::move(compressor) : std::make_unique<TfrCompressor>();
}

void TfrEMFPagesDeleter::operator()(TfrEMFPages* pages) const {
    delete pages;
}

TfrEMFPagesPtr frNewPreparedPages(TfrReport& report) {
    return TfrEMFPagesPtr(new TfrEMFPages(report));
}

TfrEMFPages::~TfrEMFPages() = default;

void TfrEMFPages::Clear() {
    pages_.clear();
}

void TfrEMFPages::InsertPage(int index, const TfrPage& templatePage) {
    auto page = std::make_unique<PreparedPageInfo>();
    page->PaperSize = static_cast<int16_t>(templatePage.PaperSize);
    page->PaperWidth = templatePage.PaperWidth;
    page->PaperHeight = templatePage.PaperHeight;
    page->Orientation = templatePage.Orientation;
    page->Bin = templatePage.PaperBin;
    page->UseMargins = templatePage.UseMargins;
    page->Margins = templatePage.Margins;
    page->PageInfo = templatePage.PrinterInfo;
    page->Stream->WriteByte(frPreparedVersion);
    const int at = std::clamp(index, 0, Count());
    pages_.insert(pages_.begin() + at, std::move(page));
}

void TfrEMFPages::AppendPage(const TfrPage& templatePage) {
    InsertPage(Count(), templatePage);
    const int pageNo = frEngine().PageNo;
    if (Parent->OnBeginPage) Parent->OnBeginPage(pageNo);
    TfrReport* master = frEngine().MasterReport;
    if (master && master != Parent && master->OnBeginPage) master->OnBeginPage(pageNo);
}

void TfrEMFPages::DeletePage(int index) {
    if (index < 0 || index >= Count()) return;
    pages_.erase(pages_.begin() + index);
}

void TfrEMFPages::MaterializePage(int index) {
    PreparedPageInfo& info = PageAt(index);
    info.Page.reset();
    auto page = std::make_unique<TfrPage>(info.PaperSize, info.PaperWidth, info.PaperHeight,
                                          info.Bin, info.Orientation);
    page->Margins = info.Margins;
    page->UseMargins = info.UseMargins;
    frEngine().CurrentPage = page.get();

    rtl::TMemoryStream& stream = *info.Stream;
    stream.SetPosition(0);
    const int version = stream.ReadByte();
    rtl::ScopedRestore<int> keepVersion(frEngine().Version, version);
    std::unique_ptr<gdi::RecordingCanvas> scratch;
    PageReach reach(*page);
    while (stream.Remaining() > 0) {
        std::unique_ptr<TfrView> view = ReadPreparedRecord(stream, version);
        // An auto-sized text settles its width when it is first painted.
        auto* memo = dynamic_cast<TfrMemoView*>(view.get());
        reach.Add(*view);
        if (memo && (memo->Flags & flAutoSize) &&
            FitsForPainting(*memo, memo->ZoomX, memo->ZoomY, memo->ShiftX, memo->ShiftY, reach)) {
            if (!scratch)
                scratch = std::make_unique<gdi::RecordingCanvas>(gdi::TextMetricsSource::Fonts);
            memo->Paint(*scratch);
            scratch->Clear();
            reach.Add(*memo);
        }
        page->AddObject(std::move(view));
    }
    info.Page = std::move(page);
}

void TfrEMFPages::StorePageObjects(int index) {
    PreparedPageInfo& info = PageAt(index);
    if (!info.Page) return;
    // Written aside first: a failure keeps the stream the page had.
    auto stream = std::make_unique<rtl::TMemoryStream>();
    stream->WriteByte(frPreparedVersion);
    for (const auto& view : info.Page->Objects) {
        view->PreparedMode = true;
        stream->WriteByte(view->TypeCode);
        if (view->TypeCode == gtAddIn) rtl::frWriteString(*stream, view->ClassName());
        view->WorkMemo.Assign(view->Memo);
        view->WriteToStream(*stream);
    }
    info.Stream = std::move(stream);
}

void TfrEMFPages::DrawPage(int index, gdi::Canvas& canvas, const gdi::TRect& target) {
    const bool printing = IsPrinterCanvas(canvas);
    const bool metafile = dynamic_cast<gdi::MetafileCanvas*>(&canvas) != nullptr;
    frEngine().OutputMode = true;
    PreparedPageInfo& info = PageAt(index);
    if (!info.Visible) {
        info.Page.reset();
        return;
    }
    if (!info.Page) MaterializePage(index);
    frEngine().CurrentPage = info.Page.get();

    // A page without paper (0 x 0) has nothing to scale onto.
    const PrinterPageInfo& paper = info.PageInfo;
    if (paper.PageWidth <= 0 || paper.PageHeight <= 0) return;
    const double kx = (static_cast<double>(target.Right) - target.Left) / paper.PageWidth;
    const double ky = (static_cast<double>(target.Bottom) - target.Top) / paper.PageHeight;
    PageReach reach(*info.Page);
    for (const auto& object : info.Page->Objects) reach.Add(*object);
    for (const auto& object : info.Page->Objects) {
        TfrView& view = *object;
        // Bands have only a designer look (hatch, columns, title tab): the
        // build never puts one on a page, and on a page read from a file or
        // edited in the designer they have nothing to show.
        if (view.TypeCode == gtBand) continue;
        if (!FitsForPainting(view, kx, ky, target.Left, target.Top, reach)) continue;
        if (!printing && !metafile) {
            // Off-canvas objects are not painted at all: the preview draws
            // only what the window shows.
            const auto at = [](double v) { return static_cast<int>(std::nearbyint(v)); };
            const gdi::TRect area{
                at(view.Left * kx) + target.Left - 10, at(view.Top * ky) + target.Top - 10,
                at((static_cast<double>(view.Left) + view.Width) * kx) + target.Left + 10,
                at((static_cast<double>(view.Top) + view.Height) * ky) + target.Top + 10};
            if (!canvas.RectVisible(area)) continue;
        }
        view.ZoomX = kx;
        view.ZoomY = ky;
        view.ShiftX = target.Left;
        view.ShiftY = target.Top;
        view.PrinterOutput = printing;
        view.Paint(canvas);
        // Alignment moved it for good: later neighbours reach as far.
        reach.Add(view);
    }
}

void TfrEMFPages::ExportPage(int index) {
    MaterializePage(index);
    PreparedPageInfo& info = PageAt(index);
    // The live objects go again also when the filter fails.
    struct FreeLivePage {
        PreparedPageInfo& info;
        ~FreeLivePage() { info.Page.reset(); }
    } freeLivePage{info};
    for (const auto& view : info.Page->Objects) view->ExportToFilter();
}

bool TfrEMFPages::HitTest(int index, gdi::TPoint point, bool click, std::string& linkText,
                          int& cursor) {
    linkText.clear();
    PreparedPageInfo& info = PageAt(index);
    if (!info.Page) MaterializePage(index);

    double kx = 1, ky = 1, offsetX = 0, offsetY = 0;
    if (!info.UseMargins) {
        const PrinterPageInfo& paper = info.PageInfo;
        if (paper.PageWidth <= 0 || paper.PageHeight <= 0) return false;
        const gdi::TRect& m = info.Margins;
        kx = (static_cast<double>(paper.PrintableWidth) - m.Left - m.Right) / paper.PageWidth;
        ky = (static_cast<double>(paper.PrintableHeight) - m.Top - m.Bottom) / paper.PageHeight;
        offsetX = static_cast<double>(m.Left) + paper.OffsetX;
        offsetY = static_cast<double>(m.Top) + paper.OffsetY;
    }

    TfrView* hit = nullptr;
    const auto& objects = info.Page->Objects;
    for (auto it = objects.rbegin(); it != objects.rend() && !hit; ++it) {
        TfrView& v = **it;
        const double left = std::nearbyint(v.Left * kx + offsetX);
        const double top = std::nearbyint(v.Top * ky + offsetY);
        const double right = std::nearbyint(offsetX + kx * (static_cast<double>(v.Left) + v.Width));
        const double bottom =
            std::nearbyint(offsetY + ky * (static_cast<double>(v.Top) + v.Height));
        if (point.X >= left && point.X < right && point.Y >= top && point.Y < bottom) hit = &v;
    }
    if (!hit) return false;

    // Taken before the handlers run: they may free the live page.
    const bool link = rtl::UpperCase(hit->Name.substr(0, 3)) == "URL";
    const std::string tag = hit->Tag;
    bool answered = false;
    if (click) {
        if (Parent->OnObjectClick) {
            Parent->OnObjectClick(hit);
            answered = true;
        }
        if (link) {
            // "@" marks a place inside the report (a page jump) for the preview.
            if (tag.find('@') == std::string::npos) {
                if (frGuiHooks().ShellOpen) frGuiHooks().ShellOpen(tag);
            } else {
                linkText = tag;
            }
            answered = true;
        }
    } else {
        if (Parent->OnMouseOverObject) {
            Parent->OnMouseOverObject(hit, cursor);
            answered = true;
        }
        if (link) {
            cursor = crHandPoint;
            linkText = tag;
            answered = true;
        }
    }
    return answered;
}

void TfrEMFPages::WritePreparedFile(rtl::TStream& stream) {
    TfrCompressor& compressor = PageCompressor();
    stream.WriteByte(frPreparedVersion);
    stream.WriteByte(compressor.Active ? 1 : 0);
    const TfrPrinter& printer = ReportPrinter();
    const bool known =
        printer.PrinterIndex >= 0 && printer.PrinterIndex < printer.PrinterNames.Count();
    rtl::frWriteString(stream, known ? printer.PrinterNames[printer.PrinterIndex] : std::string());
    stream.WriteInt32(Count());
    for (const auto& page : pages_) {
        const int64_t placeholder = stream.Position();
        stream.WriteInt32(0);
        stream.WriteInt16(page->PaperSize);
        stream.WriteInt32(page->PaperWidth);
        stream.WriteInt32(page->PaperHeight);
        stream.WriteByte(page->Orientation);
        stream.WriteInt32(page->Bin);
        stream.WriteByte(page->UseMargins ? 1 : 0);
        stream.WriteInt32(page->Margins.Left);
        stream.WriteInt32(page->Margins.Top);
        stream.WriteInt32(page->Margins.Right);
        stream.WriteInt32(page->Margins.Bottom);
        if (compressor.Active) {
            page->Stream->SetPosition(0);
            compressor.PackStream(*page->Stream, stream);
        } else {
            stream.WriteBuffer(page->Stream->Memory(), page->Stream->Size());
        }
        const int64_t end = stream.Position();
        if (end > std::numeric_limits<int32_t>::max())
            throw rtl::EWriteError("Prepared report beyond 2 GB");
        stream.SetPosition(placeholder);
        stream.WriteInt32(static_cast<int32_t>(end));
        stream.SetPosition(end);
    }
    stream.WriteByte(Parent->GeneratorVersion);
}

void TfrEMFPages::ReadPreparedFile(rtl::TStream& stream) {
    const int64_t start = stream.Position();
    FileContent file;
    try {
        int version = stream.ReadByte();
        if (version < kFirstVersionByte || version > kLastVersionByte) {
            version = 0;
            stream.SetPosition(start);
        }
        const int packed = stream.ReadByte();
        if (packed < kPackedFlagLimit || packed == kPackedMark) {
            ReadCurrentLayout(stream, version, packed != 0, file);
        } else {
            stream.SetPosition(start);
            ReadPictureLayout(stream, file);
        }
    } catch (const EPreparedFileError&) {
        throw;
    } catch (const rtl::EStreamError& e) {
        Damaged(e.what());
    }

    // Everything read: now the report takes it.
    Clear();
    Parent->SelectReportPrinter(file.PrinterName);
    for (size_t i = 0; i < file.Pages.size(); ++i) {
        PreparedPageInfo& page = *file.Pages[i];
        ApplyPaper(page);
        if (i < file.Pictures.size()) WritePicturePage(page, file.Pictures[i]);
    }
    pages_ = std::move(file.Pages);
    if (file.HasGenerator) Parent->GeneratorVersion = file.Generator;
}

// The report's calls on prepared pages live here, beside the pages.

void TfrReport::LoadPreparedFile(const std::string& fileName) {
    rtl::TFileStream file(fileName, rtl::fmOpenRead | rtl::fmShareDenyWrite);
    const uint8_t generator = GeneratorVersion;
    GeneratorVersion = 88; // what a file without one leaves
    try {
        PreparedPages->ReadPreparedFile(file);
    } catch (...) {
        GeneratorVersion = generator;
        throw;
    }
    // The pages no longer belong to the template: its description goes, and
    // they cannot be built again.
    InfoComment.clear();
    InfoName.clear();
    InfoAuthor.clear();
    InfoVersionMajor.clear();
    InfoVersionMinor.clear();
    InfoVersionRelease.clear();
    InfoVersionBuild.clear();
    InfoCreated = InfoChanged = frNow();
    RebuildAllowed = false;
}

void TfrReport::SavePreparedFile(const std::string& fileName) {
    rtl::TMemoryStream bytes;
    PreparedPages->WritePreparedFile(bytes);
    // A temporary file beside the target, renamed over it once complete.
    QSaveFile file(text::Cp936ToQString(fileName));
    if (!file.open(QIODevice::WriteOnly))
        throw rtl::EFCreateError("Cannot create file \"" + fileName + "\". " +
                                 text::QStringToCp936(file.errorString()));
    const auto size = static_cast<qint64>(bytes.Size());
    if (file.write(reinterpret_cast<const char*>(bytes.Memory()), size) != size || !file.commit()) {
        const std::string reason = text::QStringToCp936(file.errorString());
        file.cancelWriting();
        throw rtl::EWriteError("Cannot write file \"" + fileName + "\". " + reason);
    }
}

void TfrReport::EditPreparedPage(int pageIndex) {
    const auto& designer = DesignerEditorHooks().EditPreparedPage;
    if (!designer) return;
    PreparedPageInfo& info = PreparedPages->PageAt(pageIndex);

    // The template waits in memory while the designer shows the page alone.
    rtl::TMemoryStream kept;
    SaveTemplateStream(kept);
    Pages->Clear();
    const auto takeLivePageBack = [this, &info] {
        // The live page goes back to its prepared page, not freed with the list.
        std::vector<std::unique_ptr<TfrPage>> shown = Pages->Release();
        if (!shown.empty() && shown.front() && !info.Page) info.Page = std::move(shown.front());
    };
    const auto restoreTemplate = [this, &kept] {
        Pages->Clear();
        kept.SetPosition(0);
        LoadTemplateStream(kept);
    };
    try {
        PreparedPages->MaterializePage(pageIndex);
        std::vector<std::unique_ptr<TfrPage>> one;
        one.push_back(std::move(info.Page));
        Pages->Adopt(std::move(one));
        const bool changed = designer(*this);
        takeLivePageBack();
        if (changed && info.Page) {
            const auto& ask = frGuiHooks().AskYesNo;
            if (ask &&
                ask(LoadResourceString(frsSaveChanges) + "?", LoadResourceString(frsConfirm)))
                PreparedPages->StorePageObjects(pageIndex);
        }
    } catch (...) {
        takeLivePageBack();
        restoreTemplate();
        throw;
    }
    restoreTemplate();
}
