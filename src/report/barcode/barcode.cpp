#include "report/barcode/barcode.h"

#include "platform/gdi/canvas.h"
#include "platform/rtl/sysutils.h"
#include "report/barcode/barcode_pattern.h"

#include <cmath>
#include <numbers>
#include <vector>

namespace {

// Module widths a barcode accepts, in device units.
constexpr int MinModul = 1;
constexpr int MaxModul = 49;

// Stores a changed value and tells the owner; an unchanged one changes nothing.
template <class T> void ChangeAndNotify(TfrBarcode& barcode, T& field, const T& value) {
    if (value == field) return;
    field = value;
    barcode.NotifyChange();
}

} // namespace

TfrBarcode::TfrBarcode() = default;

void TfrBarcode::Assign(const TfrBarcode* Source) {
    if (!Source) return;
    FHeight = Source->FHeight;
    FText = Source->FText;
    FSourceText = Source->FSourceText;
    FTop = Source->FTop;
    FLeft = Source->FLeft;
    FModul = Source->FModul;
    FRatio = Source->FRatio;
    FTyp = Source->FTyp;
    FCheckSum = Source->FCheckSum;
    FAngle = Source->FAngle;
    FColor = Source->FColor;
    FColorBar = Source->FColorBar;
    FCheckSumMethod = Source->FCheckSumMethod;
    OnChange = Source->OnChange;
}

void TfrBarcode::NotifyChange() {
    if (OnChange) OnChange(this);
}

void TfrBarcode::SetHeight(int Value) {
    ChangeAndNotify(*this, FHeight, Value);
}

void TfrBarcode::SetText(const std::string& Value) {
    FSourceText = Value;
    ChangeAndNotify(*this, FText, Value);
}

void TfrBarcode::SetTop(int Value) {
    ChangeAndNotify(*this, FTop, Value);
}

void TfrBarcode::SetLeft(int Value) {
    ChangeAndNotify(*this, FLeft, Value);
}

void TfrBarcode::SetModul(int Value) {
    if (Value < MinModul || Value > MaxModul) return;
    FModul = Value;
    NotifyChange(); // even when unchanged
}

void TfrBarcode::SetRatio(double Value) {
    ChangeAndNotify(*this, FRatio, Value);
}

void TfrBarcode::SetTyp(TfrBarcodeType Value) {
    ChangeAndNotify(*this, FTyp, Value);
}

void TfrBarcode::SetCheckSum(bool Value) {
    ChangeAndNotify(*this, FCheckSum, Value);
}

void TfrBarcode::SetAngle(double Value) {
    ChangeAndNotify(*this, FAngle, Value);
}

std::string TfrBarcode::BuildPattern() {
    double low, high;
    if (FTyp < BarcodeTypeCount && barcode::RatioRange(FTyp, low, high)) {
        if (FRatio < low)
            SetRatio(low);
        else if (FRatio > high)
            SetRatio(high);
    }
    barcode::ComputeElementWidths(FModul, FRatio); // refuses unusable widths up front

    std::string text = FSourceText;
    std::string pattern;
    pattern.reserve(32 + FSourceText.size() * 12);
    try {
        barcode::EncodePattern({FTyp, FCheckSum, FCheckSumMethod}, text, pattern);
    } catch (...) {
        FText = text; // keeps whatever rewriting happened before the failure
        throw;
    }
    FText = text;
    return pattern;
}

int TfrBarcode::Width() {
    const std::string pattern = BuildPattern();
    return barcode::PatternWidth(pattern, barcode::ComputeElementWidths(FModul, FRatio));
}

void TfrBarcode::SetWidth(int Value) {
    const long long total = Width();
    if (total > 0) {
        const long long modul = FModul * static_cast<long long>(Value) / total;
        if (modul >= MinModul && modul <= MaxModul) SetModul(static_cast<int>(modul));
    }
}

namespace {

// Puts the canvas's font, pen and brush back however painting ends.
class CanvasToolsGuard {
public:
    explicit CanvasToolsGuard(gdi::Canvas& canvas)
        : canvas_(canvas), font_(canvas.Font()), pen_(canvas.Pen()), brush_(canvas.Brush()) {}
    ~CanvasToolsGuard() {
        canvas_.SetFont(font_);
        canvas_.SetPen(pen_);
        canvas_.SetBrush(brush_);
    }
    CanvasToolsGuard(const CanvasToolsGuard&) = delete;
    CanvasToolsGuard& operator=(const CanvasToolsGuard&) = delete;

private:
    gdi::Canvas& canvas_;
    gdi::TFont font_;
    gdi::TPen pen_;
    gdi::TBrush brush_;
};

int RoundToInt(double v) {
    return static_cast<int>(rtl::Round(v));
}

} // namespace

void TfrBarcode::DrawBarcode(gdi::Canvas& ACanvas) {
    const std::string pattern = BuildPattern();
    CanvasToolsGuard guard(ACanvas);
    DrawPattern(ACanvas, pattern);
}

void TfrBarcode::DrawPattern(gdi::Canvas& ACanvas, const std::string& Pattern) {
    // An angle read from a damaged template must not turn into undefined coordinates.
    if (!std::isfinite(FAngle)) barcode::Fail(std::string(barcode::ClassName) + ": wrong Angle");
    const double a = FAngle / 180.0 * std::numbers::pi;
    const double s = std::sin(a);
    const double c = std::cos(a);
    const barcode::ElementWidths widths = barcode::ComputeElementWidths(FModul, FRatio);
    const int W = barcode::PatternWidth(Pattern, widths);
    const int H = FHeight;

    // Moves the rotated W x H box right of and below (Left, Top).
    int ox = FLeft;
    int oy = FTop;
    if (s >= 0 && c >= 0) {
        oy += RoundToInt(W * s);
    } else if (s >= 0) {
        ox += -RoundToInt(W * c);
        oy += RoundToInt(W * s - H * c);
    } else if (c >= 0) {
        ox += -RoundToInt(H * s);
    } else {
        ox += -RoundToInt(W * c) - RoundToInt(H * s);
        oy += -RoundToInt(H * c);
    }
    auto corner = [&](int px, int py) {
        return gdi::TPoint{ox + RoundToInt(px * c + py * s), oy + RoundToInt(-px * s + py * c)};
    };

    std::vector<gdi::TPoint> polygon(4);
    int x = 0;
    for (char ch : Pattern) {
        const barcode::Element e = barcode::GetElementWidth(ch, widths);
        const gdi::TColor colour = e.kind == barcode::lkSpace ? FColor : FColorBar;
        const int h =
            e.kind == barcode::lkShortBar ? static_cast<int>(static_cast<long long>(H) * 2 / 5) : H;
        if (colour != gdi::clNone) { // a transparent colour paints nothing
            ACanvas.SetPen(gdi::TPen{colour, 1, gdi::psSolid, gdi::pmCopy});
            ACanvas.SetBrush(gdi::TBrush{colour, gdi::bsSolid, {}});
            polygon[0] = corner(x, 0);
            polygon[1] = corner(x, h);
            polygon[2] = corner(x + e.width - 1, h);
            polygon[3] = corner(x + e.width - 1, 0);
            ACanvas.Polygon(polygon);
        }
        x += e.width;
    }
}
