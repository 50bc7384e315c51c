#pragma once
// The report's built pages. Each keeps its paper and a compact stream of the
// records of the objects output onto it; live objects are made from the
// stream only while a page is painted, searched or edited, so a long report
// costs little memory. The same list is read from and written to
// prepared-report files (".frp").

#include "platform/gdi/canvas.h"
#include "platform/rtl/stream.h"
#include "report/model/page.h"
#include "report/printer/printer.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TfrReport;

// Version byte of every page stream and of the files written.
constexpr uint8_t frPreparedVersion = 25;

// Cursors a link object asks for, as the window system numbers them.
constexpr int crDefault = 0;
constexpr int crHandPoint = -21;

// A prepared-report file or page stream that cannot be read: damaged,
// compressed, or naming an object kind this program does not have. The
// message says which, for the operator.
class EPreparedFileError : public rtl::EReadError {
public:
    using rtl::EReadError::EReadError;
};

// Packs and unpacks page streams of prepared-report files. The built-in one
// does nothing and stays inactive: files are written unpacked, and a packed
// file is refused when read (see PageCompressor in core/process_state.h).
class TfrCompressor {
public:
    virtual ~TfrCompressor() = default;
    virtual void PackStream(rtl::TStream& source, rtl::TStream& destination);
    virtual void UnpackStream(rtl::TStream& source, rtl::TStream& destination);

    bool Active = false;
};

// One built page.
struct PreparedPageInfo {
    // Where the preview last laid the page out on screen.
    gdi::TRect ScreenRect;
    int16_t PaperSize = 0;
    int32_t PaperWidth = 0; // tenths of a millimetre
    int32_t PaperHeight = 0;
    uint8_t Orientation = 0;
    int32_t Bin = 0; // -1 (or the template's 0xFFFF): the printer's default
    // True: the page's coordinates are on the whole sheet; false: inside the
    // printable area less the margins.
    bool UseMargins = false;
    gdi::TRect Margins; // report units
    PrinterPageInfo PageInfo;
    // On screen: a page painted while not visible frees its live objects.
    bool Visible = false;
    // The version byte, then the object records. Always present.
    std::unique_ptr<rtl::TMemoryStream> Stream = std::make_unique<rtl::TMemoryStream>();
    // Live objects read from Stream, only while needed.
    std::unique_ptr<TfrPage> Page;
};

class TfrEMFPages {
public:
    explicit TfrEMFPages(TfrReport& parent) : Parent(&parent) {}
    ~TfrEMFPages();
    TfrEMFPages(const TfrEMFPages&) = delete;
    TfrEMFPages& operator=(const TfrEMFPages&) = delete;

    int Count() const { return static_cast<int>(pages_.size()); }
    // std::out_of_range for an index outside the list.
    PreparedPageInfo& PageAt(int index) const { return *pages_.at(static_cast<size_t>(index)); }
    void Clear();

    // Adds a page at the end and raises OnBeginPage with the build's page
    // number on the report being built and on the master report.
    void AppendPage(const TfrPage& templatePage);
    // Before index (at the end when index >= Count): the template page's
    // paper, margins and printer page, and a stream holding the version byte.
    void InsertPage(int index, const TfrPage& templatePage);
    void DeletePage(int index);

    // Reads the page's live objects from its stream (again); the live page
    // becomes the current page.
    void MaterializePage(int index);
    // Writes the live page's objects back into the stream (after they were
    // edited); they stay in prepared mode.
    void StorePageObjects(int index);
    // Paints the page's objects into `target` (device pixels). A page that is
    // not Visible only frees its live objects.
    void DrawPage(int index, gdi::Canvas& canvas, const gdi::TRect& target);
    // Hands every object to the running export filter; frees the live objects.
    void ExportPage(int index);
    // Finds the topmost object under `point` (page units) and raises the
    // click or mouse-over events; link objects (named "URL...") open their
    // Tag or hand it back as `linkText`. True when something answered.
    bool HitTest(int index, gdi::TPoint point, bool click, std::string& linkText, int& cursor);

    // The whole list as a prepared-report file.
    void WritePreparedFile(rtl::TStream& stream);
    // Replaces the list with the pages of a prepared-report file, every page
    // checked first: EPreparedFileError (nothing changed) when the file is
    // damaged, packed, or names an unknown object kind. Selects the printer
    // the file names and takes its generator version into the report.
    void ReadPreparedFile(rtl::TStream& stream);

    TfrReport* Parent; // not owned

private:
    std::vector<std::unique_ptr<PreparedPageInfo>> pages_;
};
