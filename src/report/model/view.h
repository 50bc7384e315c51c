#pragma once
// Objects placed on a page: name, geometry in report units, frame, fill,
// text, script, display format, restrictions and alignment inside the band;
// painting of fill and frame; output into a prepared page; the stream record.

#include "platform/gdi/canvas.h"
#include "platform/rtl/stream.h"
#include "report/core/process_state.h"
#include "report/model/object.h"
#include "report/model/popup_items.h"
#include "report/model/view_context.h"

#include <QRegion>
#include <cstdint>
#include <memory>
#include <string>

class TfrViewPage;
class TfrBandRuntime;
namespace db {
class TADOQuery;
}

// Kind codes.
constexpr uint8_t gtMemo = 0;
constexpr uint8_t gtPicture = 1;
constexpr uint8_t gtBand = 2;
constexpr uint8_t gtSubReport = 3;
constexpr uint8_t gtLine = 4;
constexpr uint8_t gtAddIn = 10;

// Flags bit shared by every kind.
constexpr uint16_t flStretched = 1;

// Frame lines.
constexpr uint16_t frftNone = 0;
constexpr uint16_t frftRight = 1;
constexpr uint16_t frftBottom = 2;
constexpr uint16_t frftLeft = 4;
constexpr uint16_t frftTop = 8;
constexpr uint16_t frftAll = frftRight | frftBottom | frftLeft | frftTop;

// Frame styles. Those below frsDouble are pen styles (solid, dash, dot,
// dash-dot, dash-dot-dot); frsDouble draws a double line.
constexpr uint16_t frsSolid = 0;
constexpr uint16_t frsDouble = 5;

// Restrictions.
constexpr uint16_t frrfDontEditMemo = 1;
constexpr uint16_t frrfDontEditScript = 2;
constexpr uint16_t frrfDontEditContents = 4;
constexpr uint16_t frrfDontModify = 8;
constexpr uint16_t frrfDontSize = 16;
constexpr uint16_t frrfDontMove = 32;
constexpr uint16_t frrfDontDelete = 64;

// Alignment inside the band.
enum TfrBandAlign : uint8_t { baNone, baLeft, baRight, baCenter, baWidth, baBottom, baTop, baRest };

// What ScaleForOutput changes for painting and RestoreGeometry puts back.
struct TfrViewGeometry {
    int Left = 0, Top = 0, Width = 0, Height = 0, GapX = 0, GapY = 0;
    double FrameWidth = 1;
};

// A binary database field's content as the data layer hands it over.
struct TfrBlobData {
    bool IsNull = true;
    std::string Bytes;
};

class TfrView : public TfrObject {
public:
    TfrView();
    ~TfrView() override;

    std::string ClassName() const override { return "TfrView"; }

    static const TfrPropertyTable& PropertyTable();
    const TfrPropertyTable& Properties() const override { return PropertyTable(); }
    rtl::TVariant CallMethod(const std::string& name, const rtl::TVariant& a1,
                             const rtl::TVariant& a2, const rtl::TVariant& a3) override;

    virtual void PaintFill();
    virtual void PaintFrame();
    virtual void LoadFromBlob(const TfrBlobData& field);

    virtual void ScaleForOutput();
    virtual void RestoreGeometry();
    virtual void Paint(gdi::Canvas& canvas) = 0;
    virtual void OutputToPage(rtl::TStream& stream);
    virtual void ExportToFilter();
    // Reads the view's record as the template being read stores it
    // (frEngine().Version).
    void ReadFromStream(rtl::TStream& stream) { ReadRecord(stream, frEngine().Version); }
    // Reads the record as template version `version` stores it; each kind
    // reads the common part first, then its own.
    virtual void ReadRecord(rtl::TStream& stream, int version);
    virtual void WriteToStream(rtl::TStream& stream);
    virtual void AddPopupItems(TfrPopupMenu& menu);
    virtual QRegion CreateClipRegion(bool enlarge);
    virtual void OpenEditor() {}

    void SetBounds(int left, int top, int width, int height);
    void SetFlag(uint16_t bit, bool on) { Flags = on ? (Flags | bit) : (Flags & ~bit); }
    // Sets the canvas, makes this the current object and applies BandAlign.
    void BeginPaint(gdi::Canvas& canvas);
    void CreateUniqueName();
    // Replaces every [expression] in `text` with its display text
    // (frGetFormattedValue, by this object's display format), left to right;
    // inserted text is not scanned again.
    void ExpandTag(std::string& text);
    // The band object of the designer's page under the view's top-left corner.
    TfrView* FindBandUnder();
    // Copies everything by a round trip through a template record of the
    // current version. The source and the engine's stream version are left
    // as they were; this view leaves prepared mode.
    virtual void Assign(TfrView& source);

    // Engine working fields (splitting across pages).
    bool ParentWasSplit = false;
    int SavedTop = 0;

    // Geometry as it was before ScaleForOutput.
    TfrViewGeometry Kept;

    std::string BaseName = "View";
    gdi::Canvas* Canvas = nullptr;
    gdi::TRect OutputRect;
    rtl::TStringList WorkMemo;
    // The database field a "[field]" object shows, found before the build
    // (binary fields load pictures through it); none when unbound.
    db::TADOQuery* BoundDataSet = nullptr;
    std::string BoundFieldName;
    bool PreparedMode = false;
    std::string Name;
    uint8_t TypeCode = gtAddIn;
    uint8_t StreamVersionMajor = 0;
    uint8_t StreamVersionMinor = 0;
    int32_t ObjectId = 0;
    bool Selected = false;
    double ZoomX = 1.0, ZoomY = 1.0;
    int ShiftX = 0, ShiftY = 0;
    bool PrinterOutput = false;
    int Left = 0, Top = 0, Width = 0, Height = 0;
    uint16_t Flags = flStretched;
    uint16_t FrameTyp = 0;
    double FrameWidth = 1;
    gdi::TColor FrameColor = gdi::clBlack;
    uint16_t FrameStyle = frsSolid;
    gdi::TColor FillColor = gdi::clNone;
    int32_t FormatCode = 0;
    std::string FormatText;
    bool Visible = true;
    int GapX = 2, GapY = 1;
    uint16_t Restrictions = 0;
    std::string Tag;
    rtl::TStringList Memo;
    rtl::TStringList BeforePrintScript;
    uint8_t BandAlign = baNone;
    TfrBandRuntime* OwnerBand = nullptr;
    TfrViewPage* OwnerPage = nullptr;

protected:
    // Band and sub-report objects have no frame, fill, tag or alignment.
    virtual bool HasFrameProperties() const { return true; }
    // The editor procedure of a hook, reached when the editor button is pressed.
    std::function<void()> EditorFor(TfrEditorHook TfrDesignerEditorHooks::*hook);
    // The same for a property table entry: the hook is looked up when pressed.
    static std::function<void(TfrView&)> HookEditor(TfrEditorHook TfrDesignerEditorHooks::*hook);
    // Right and bottom edges of the scaled, unshrunk rectangle.
    int ScaledRight() const;
    int ScaledBottom() const;
    // Applies `change` to every selected object that may be modified, between
    // the designer's undo record and its refresh.
    static void ForSelection(const std::function<void(TfrView&)>& change);
    // A popup item toggling `bit` of Flags on the selection.
    TfrPopupItem FlagItem(const std::string& caption, uint16_t bit);

private:
    TfrViewGeometry Geometry() const;
    void SetGeometry(const TfrViewGeometry& g);
    void StartPaint(gdi::Canvas* canvas);
    void ApplyBandAlign();
    void DrawFrameLine(int x1, int y1, int x2, int y2);
};

// Views whose height can grow with their content.
class TfrStretcheable : public TfrView {
public:
    std::string ClassName() const override { return "TfrStretcheable"; }
    rtl::TVariant CallMethod(const std::string& name, const rtl::TVariant& a1,
                             const rtl::TVariant& a2, const rtl::TVariant& a3) override;

    virtual int CalcHeight() = 0;
    virtual int MeasureMinHeight() = 0;
    virtual int MeasureRemainder() = 0;

    // 0 whole object, 1 measuring only, 2 the remaining part.
    uint8_t PaintPart = 0;
};

// Views that wrap a window control on a dialog page. The control itself
// lives in the user-interface layer, which derives from this class.
class TfrControl : public TfrView {
public:
    TfrControl();
    std::string ClassName() const override { return "TfrControl"; }
    static const TfrPropertyTable& PropertyTable();
    const TfrPropertyTable& Properties() const override { return PropertyTable(); }
    void Paint(gdi::Canvas& canvas) override;

    virtual void PaintControl() = 0;

protected:
    virtual void SetControlVisible(bool visible) = 0;
    virtual void SetControlSize(int width, int height) = 0;
};
