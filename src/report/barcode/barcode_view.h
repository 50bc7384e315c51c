#pragma once
// The barcode report object: its value is the first line of its text (a
// literal or a bracketed expression), painted through its own encoder at one
// unit per module and stretched along the bars by its zoom, with the digits
// under the bars. Registered by class name (kind code 10).

#include "report/barcode/barcode.h"
#include "report/model/view.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// The largest zoom the object paints and the editor accepts: far beyond any
// label, and safely inside the integer geometry.
constexpr double frMaxBarCodeZoom = 1000.0;

class TfrBarCodeView : public TfrView {
public:
    TfrBarCodeView();
    ~TfrBarCodeView() override;

    std::string ClassName() const override { return "TfrBarCodeView"; }

    static const TfrPropertyTable& PropertyTable();
    const TfrPropertyTable& Properties() const override { return PropertyTable(); }

    void Paint(gdi::Canvas& canvas) override;
    void OutputToPage(rtl::TStream& stream) override;
    void ReadRecord(rtl::TStream& stream, int version) override;
    void WriteToStream(rtl::TStream& stream) override;
    // The barcode object has no items of its own, not even "stretched".
    void AddPopupItems(TfrPopupMenu&) override {}
    // The designer's barcode editor (DesignerEditorHooks().EditBarCodeHook).
    void OpenEditor() override;

    // Why the stored settings cannot be painted: a symbology outside the
    // table, a zoom that is not a positive finite number, a rotation that is
    // not 0, 90, 180 or 270 (as a damaged file may hold). Empty when they can.
    std::string SettingsProblem() const;

    std::unique_ptr<TfrBarcode> Encoder; // settings of the last paint
    bool CalcCheckSum = true;
    bool ShowText = true;
    uint8_t Reserved = 0; // no meaning; kept as read
    uint8_t BarType = bcCode39;
    int32_t LegacyModule = 2;
    double Zoom = 1.0;
    double Rotation = 0.0;

private:
    // The value to encode: a literal, or in the designer a placeholder where
    // the value is not known yet. None when output has nothing printable.
    std::optional<std::string> ValueToPaint() const;
    // Fill and frame only, on the geometry as it is.
    void PaintEmptyArea();
};

// Placing one in a program brings the barcode kind in: making one registers
// TfrBarCodeView with the object registry. It has no behaviour of its own.
class TfrBarCodeObject {
public:
    TfrBarCodeObject();
};

// Enters TfrBarCodeView in the object registry (once; later calls do nothing),
// with its object-bar picture and the hint "55338".
void frRegisterBarCodeView();

// The value the designer shows for a value not known yet: one every
// symbology accepts with and without its optional check character.
// "12345678" except where that length or check digit does not fit.
std::string frBarCodePlaceholder(uint8_t barType);

// Why `value` cannot be printed as a barcode of that kind with that check
// character setting (the encoder's message, or that it is empty); empty when
// it can.
std::string frBarCodeValueProblem(uint8_t barType, bool checkSum, const std::string& value);

// Axis-aligned bars of a painted pattern, in the units it was drawn in:
// left/top inclusive, right/bottom exclusive.
struct TfrBarCodeElement {
    gdi::TRect Area;
    bool Bar; // false: a space
};

// Draws the encoder's pattern (DrawBarcode) and collects its bars and spaces.
std::vector<TfrBarCodeElement> frBarCodeElements(TfrBarcode& encoder);

// Paints elements drawn in a frame of frameWidth x frameHeight units (the
// pattern running along y when `upright`) into the device rectangle
// `target`; elements the encoder's rounding put one unit past the frame are
// moved back in first. Along the pattern every module is the same whole
// number of pixels, the nearest to the stretch, and the code is centred on
// the rectangle: bar and space edges all land on whole pixels and every
// element of k modules is exactly k modules wide, so scanners see true
// proportions at any resolution (the length is within half a pixel per
// module of the rectangle's). Below one pixel per module (a page shown
// small) edges go to the nearest pixel instead, bars at least one wide.
// Across the pattern the picture is stretched, each edge on the nearest pixel.
void frPaintBarCodeElements(gdi::Canvas& canvas, const std::vector<TfrBarCodeElement>& elements,
                            int frameWidth, int frameHeight, bool upright, const gdi::TRect& target,
                            gdi::TColor spaceColor, gdi::TColor barColor);
