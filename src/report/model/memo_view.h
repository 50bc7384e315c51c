#pragma once
// Text objects: the font, alignment, highlight and spacing of a memo, its
// flags, properties, popup items and stream record. Expanding, wrapping,
// measuring and drawing the text belongs to the memo layout, which the
// engine installs through frEngineHooks() (engine/memo_layout.h).

#include "report/model/view.h"

#include <functional>

// Memo flags (after flStretched).
constexpr uint16_t flWordWrap = 2;
constexpr uint16_t flWordBreak = 4;
constexpr uint16_t flAutoSize = 8;
constexpr uint16_t flTextOnly = 16;
constexpr uint16_t flSuppressRepeated = 32;
constexpr uint16_t flHideZeros = 64;
constexpr uint16_t flUnderlines = 128;
constexpr uint16_t flRTLReading = 256;

// Alignment bits: 0-1 horizontal (left, right, centre, justify), 2 rotated
// by 90 degrees reading upwards, 3-4 vertical (top, middle, bottom).
constexpr int frtaLeft = 0;
constexpr int frtaRight = 1;
constexpr int frtaCenter = 2;
constexpr int frtaJustify = 3;
constexpr int frtaVertical = 4;
constexpr int frtaMiddle = 8;
constexpr int frtaDown = 16;
constexpr int frtaHorizontalMask = 3;
constexpr int frtaVerticalMask = frtaMiddle | frtaDown;

// Last character of a line that ends a paragraph: justification never
// stretches such a line and drawing drops it. A last line holding only the
// marker marks text that is already wrapped.
constexpr char frParagraphMarker = '\x01';

class TfrMemoView : public TfrStretcheable {
public:
    TfrMemoView();
    std::string ClassName() const override { return "TfrMemoView"; }

    static const TfrPropertyTable& PropertyTable();
    const TfrPropertyTable& Properties() const override { return PropertyTable(); }
    rtl::TVariant CallMethod(const std::string& name, const rtl::TVariant& a1,
                             const rtl::TVariant& a2, const rtl::TVariant& a3) override;

    // Without the memo layout installed, Paint draws fill and frame only and
    // OutputToPage writes the record as every view does; the measurements
    // raise EfrNoMemoLayout.
    void Paint(gdi::Canvas& canvas) override;
    void OutputToPage(rtl::TStream& stream) override;
    // Hands the view, then every line of its text, to the export filter.
    void ExportToFilter() override;
    void ReadRecord(rtl::TStream& stream, int version) override;
    void WriteToStream(rtl::TStream& stream) override;
    void AddPopupItems(TfrPopupMenu& menu) override;
    void OpenEditor() override;

    int CalcHeight() override;
    int MeasureMinHeight() override;
    int MeasureRemainder() override;

    // The display-format dialog for this memo; the result goes to the selection.
    void EditDisplayFormat();

    gdi::TFont Font;
    // Layout working fields: rebuilt on every output and paint, except
    // LastPrintedText, which lives for the whole build.
    std::string LastPrintedText; // WorkMemo's text when last written, for Suppress
    bool PreWrapped = false;     // WorkMemo holds wrapped lines: never wrap again
    int32_t TextExtent = 0;      // height of the wrapped block with its gaps (rotated: width)
    bool ClipToRect = false;     // drawing stops at the first line below OutputRect
    int32_t LineAdvance = 0;     // from one line's top to the next
    int32_t LinesShown = 0;      // lines drawn by the last PaintText
    bool ExportMode = false;     // lines go to the export filter instead of the canvas

    int32_t Alignment = frtaLeft;
    uint16_t HighlightStyle = 2;
    gdi::TColor HighlightFontColor = gdi::clBlack;
    gdi::TColor HighlightFillColor = gdi::clWhite;
    std::string HighlightCondition;
    int32_t LineSpacing = 2;
    int32_t CharSpacing = 0;
};
