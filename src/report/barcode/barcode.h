#pragma once

// The barcode encoder: text -> pattern text (barcode_pattern.h, no drawing) -> bars on a Canvas.

#include "platform/gdi/colors.h"

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>

namespace gdi {
class Canvas;
}

// Ordinals are stored in report templates: never reorder.
enum TfrBarcodeType : std::uint8_t {
    bcCode_2_5_interleaved = 0,
    bcCode_2_5_industrial = 1,
    bcCode_2_5_matrix = 2,
    bcCode39 = 3,
    bcCode39Extended = 4,
    bcCode128A = 5,
    bcCode128B = 6,
    bcCode128C = 7,
    bcCode93 = 8,
    bcCode93Extended = 9,
    bcCodeMSI = 10,
    bcCodePostNet = 11,
    bcCodeCodabar = 12,
    bcCodeEAN8 = 13,
    bcCodeEAN13 = 14,
    bcCodeUPC_A = 15,
    bcCodeUPC_E0 = 16,
    bcCodeUPC_E1 = 17,
    bcCodeUPC_Supp2 = 18,
    bcCodeUPC_Supp5 = 19,
    bcCodeEAN128A = 20,
    bcCodeEAN128B = 21,
    bcCodeEAN128C = 22,
};

constexpr int BarcodeTypeCount = 23;

enum TfrCheckSumMethod : std::uint8_t {
    csmNone = 0,
    csmModulo10 = 1,
};

struct TBCdata {
    const char* Name; // shown in the barcode editor's type list
    bool NumericOnly;
};

extern const TBCdata BarcodeTypeTable[BarcodeTypeCount];

// Every encoder failure; the message is what the user sees.
class EBarcodeError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TfrBarcode {
public:
    using TNotifyEvent = std::function<void(TfrBarcode* Sender)>;

    TfrBarcode();
    virtual ~TfrBarcode() = default;
    TfrBarcode(const TfrBarcode&) = delete;
    TfrBarcode& operator=(const TfrBarcode&) = delete;

    // Copies every setting (and OnChange) without notifying; a null source is ignored.
    void Assign(const TfrBarcode* Source);

    int Height() const { return FHeight; }
    void SetHeight(int Value);
    const std::string& Text() const { return FText; }
    void SetText(const std::string& Value);
    int Top() const { return FTop; }
    void SetTop(int Value);
    int Left() const { return FLeft; }
    void SetLeft(int Value);
    int Modul() const { return FModul; }
    void SetModul(int Value);
    double Ratio() const { return FRatio; }
    void SetRatio(double Value);
    TfrBarcodeType Typ() const { return FTyp; }
    void SetTyp(TfrBarcodeType Value);
    bool Checksum() const { return FCheckSum; }
    void SetCheckSum(bool Value);
    TfrCheckSumMethod CheckSumMethod() const { return FCheckSumMethod; }
    void SetCheckSumMethod(TfrCheckSumMethod Value) { FCheckSumMethod = Value; }
    double Angle() const { return FAngle; }
    void SetAngle(double Value);
    gdi::TColor Color() const { return FColor; }
    void SetColor(gdi::TColor Value) { FColor = Value; }
    gdi::TColor ColorBar() const { return FColorBar; }
    void SetColorBar(gdi::TColor Value) { FColorBar = Value; }

    // Total width of the current pattern in device units (builds the pattern).
    int Width();
    // Rescales Modul so the pattern gets about Value units wide.
    void SetWidth(int Value);

    // Validates and encodes Text; may rewrite Text (trim, zero fill, check digit, leading
    // "0") and clamp Ratio. Throws EBarcodeError on text the symbology cannot carry.
    std::string BuildPattern();

    // Paints the bars at (Left, Top), rotated by Angle; the canvas's font, pen and brush
    // are as before afterwards.
    void DrawBarcode(gdi::Canvas& ACanvas);

    virtual void NotifyChange();

    TNotifyEvent OnChange;

private:
    void DrawPattern(gdi::Canvas& ACanvas, const std::string& Pattern);

    int FHeight = 0;
    std::string FText;
    // What Text was last set to: every build starts from it, so rebuilding never adds a
    // second check digit or zero to a text an earlier build rewrote.
    std::string FSourceText;
    int FTop = 0;
    int FLeft = 0;
    int FModul = 1;
    double FRatio = 2.0;
    TfrBarcodeType FTyp = bcCodeEAN13;
    bool FCheckSum = false;
    TfrCheckSumMethod FCheckSumMethod = csmModulo10;
    double FAngle = 0.0;
    gdi::TColor FColor = gdi::clWhite;
    gdi::TColor FColorBar = gdi::clBlack;
};
