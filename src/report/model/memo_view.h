#pragma once
// Text objects: the font, alignment, highlight and spacing of a memo, its
// flags, properties, popup items and stream record. Laying out and drawing
// the text belongs to the memo layout, which the engine installs through
// frEngineHooks().

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

// Alignment bits.
constexpr int frtaLeft = 0;
constexpr int frtaRight = 1;
constexpr int frtaCenter = 2;
constexpr int frtaVertical = 4;
constexpr int frtaMiddle = 8;
constexpr int frtaDown = 16;

class TfrMemoView : public TfrStretcheable {
public:
    TfrMemoView();
    std::string ClassName() const override { return "TfrMemoView"; }

    static const TfrPropertyTable& PropertyTable();
    const TfrPropertyTable& Properties() const override { return PropertyTable(); }
    rtl::TVariant CallMethod(const std::string& name, const rtl::TVariant& a1,
                             const rtl::TVariant& a2, const rtl::TVariant& a3) override;

    void Paint(gdi::Canvas& canvas) override;
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
    // Layout working fields.
    std::string LastValue; // previous output text, for suppressing repeats
    int LineHeight = 0;
    int PartLines = 0;
    bool FirstPart = true;

    int32_t Alignment = frtaLeft;
    uint16_t HighlightStyle = 2;
    gdi::TColor HighlightFontColor = gdi::clBlack;
    gdi::TColor HighlightFillColor = gdi::clWhite;
    std::string HighlightCondition;
    int32_t LineSpacing = 2;
    int32_t CharSpacing = 0;
};
