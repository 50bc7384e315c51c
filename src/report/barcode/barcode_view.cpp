#include "report/barcode/barcode_view.h"

#include "platform/gdi/qpainter_canvas.h"
#include "platform/gdi/recording_canvas.h"
#include "platform/rtl/scoped_restore.h"
#include "platform/rtl/sysutils.h"
#include "report/barcode/barcode_pattern.h"
#include "report/core/process_state.h"
#include "report/core/resource_strings.h"
#include "report/core/string_ids.h"
#include "report/model/object_registry.h"

#include <QImage>
#include <algorithm>
#include <cmath>

using gdi::TRect;

namespace {

// The human-readable line: Courier New 12 units high, 2 units below the bars.
constexpr int kTextHeight = 12;
constexpr int kTextBand = kTextHeight + 2;

// What painting draws at one unit per module: the encoder's narrow element
// and the wide-to-narrow ratio that keeps every table in module proportions.
constexpr int kModul = 1;
constexpr double kRatio = 2.0;

// The longest barcode, in report units along the bars, painting takes on:
// a long text at a large zoom must not overflow the integer geometry.
constexpr double kMaxExtent = 1000000.0;

// The first line a failed expression leaves in the prepared page, and the
// value that paints no code: prepared pages keep meaning it. It is tested
// before encoding too, or EAN and UPC would pad it into a code of zeros.
const char* const kNothingPrinted = "0";

bool IsRightAngle(double rotation) {
    return rotation == 0 || rotation == 90 || rotation == 180 || rotation == 270;
}

std::string WrongTypeMessage() {
    return std::string(barcode::ClassName) + ": wrong BarcodeType";
}

// Collects the bars and spaces DrawBarcode paints; draws nothing.
class ElementCollector : public gdi::Canvas {
public:
    explicit ElementCollector(gdi::TColor barColor) : barColor_(barColor) {}

    std::vector<TfrBarCodeElement> Elements;

    int PixelsPerInchX() const override { return 96; }
    int PixelsPerInchY() const override { return 96; }
    gdi::TSize DeviceSize() const override { return gdi::TSize{32767, 32767}; }
    void LineTo(int x, int y) override { MoveTo(x, y); }
    void Polyline(const std::vector<gdi::TPoint>&) override {}
    void Rectangle(const TRect&) override {}
    void FillRect(const TRect&) override {}
    void FrameRect(const TRect&) override {}
    void Ellipse(const TRect&) override {}
    void SetPixel(int, int, gdi::TColor) override {}
    void InvertRect(const TRect&) override {}
    void ExtTextOut(int, int, unsigned, const TRect*, std::string_view) override {}
    void StretchDraw(const TRect&, const QImage&, gdi::TStretchMode) override {}
    using gdi::Canvas::StretchDraw;

    // The encoder's elements are axis-aligned polygons outlined by a 1-unit
    // pen: they cover their corner units inclusively.
    void Polygon(const std::vector<gdi::TPoint>& points) override {
        if (points.empty()) return;
        TRect box{points[0].X, points[0].Y, points[0].X, points[0].Y};
        for (const gdi::TPoint& p : points) {
            box.Left = std::min(box.Left, p.X);
            box.Top = std::min(box.Top, p.Y);
            box.Right = std::max(box.Right, p.X);
            box.Bottom = std::max(box.Bottom, p.Y);
        }
        ++box.Right;
        ++box.Bottom;
        Elements.push_back(TfrBarCodeElement{box, Brush().Color == barColor_});
    }

private:
    gdi::TColor barColor_;
};

int RoundToInt(double v) {
    return static_cast<int>(rtl::Round(v));
}

// Scales for output and puts the geometry back however painting ends.
class OutputScale {
public:
    explicit OutputScale(TfrView& view) : view_(view) { view_.ScaleForOutput(); }
    ~OutputScale() { view_.RestoreGeometry(); }
    OutputScale(const OutputScale&) = delete;
    OutputScale& operator=(const OutputScale&) = delete;

private:
    TfrView& view_;
};

// The object-bar button: bars under a white label.
const char* const FR_BARCODEVIEW[] = {
    "16 16 3 1",        "  c None",         ". c #000000",      "+ c #FFFFFF",
    "                ", "................", ".++++++++++++++.", ".+.+..+.+.+..+.+",
    ".+.+..+.+.+..+.+", ".+.+..+.+.+..+.+", ".+.+..+.+.+..+.+", ".+.+..+.+.+..+.+",
    ".+.+..+.+.+..+.+", ".+.+..+.+.+..+.+", ".+.+..+.+.+..+.+", ".++++++++++++++.",
    ".+.+.+.++.+.+.+.", ".++++++++++++++.", "................", "                ",
};

} // namespace

TfrBarCodeView::TfrBarCodeView() : Encoder(std::make_unique<TfrBarcode>()) {
    BaseName = "Bar";
    Memo.Add("12345678");
}

TfrBarCodeView::~TfrBarCodeView() = default;

const TfrPropertyTable& TfrBarCodeView::PropertyTable() {
    static const TfrPropertyTable table = [] {
        using Bar = TfrBarCodeView;
        TfrPropertyTableBuilder<Bar> t(TfrView::PropertyTable());
        t.Add("Barcode", frdtOneObject | frdtHasEditor).Editor([](Bar& b) { b.OpenEditor(); });
        // The chosen field reference becomes the whole text, as "DATAFIELD" writes it.
        t.List("DataField", "DataField", frdtOneObject | frdtHasEditor | frdtString)
            .Editor(HookEditor(&TfrDesignerEditorHooks::EditDataFieldHook));
        return t.Build();
    }();
    return table;
}

void TfrBarCodeView::OpenEditor() {
    if (const TfrEditorHook& edit = DesignerEditorHooks().EditBarCodeHook) edit(*this);
}

std::string TfrBarCodeView::SettingsProblem() const {
    if (BarType >= BarcodeTypeCount) return WrongTypeMessage();
    if (!(std::isfinite(Zoom) && Zoom > 0 && Zoom <= frMaxBarCodeZoom))
        return LoadResourceString(frsBarCodeBadZoom);
    if (!IsRightAngle(Rotation)) return LoadResourceString(frsBarCodeBadRotation);
    return {};
}

std::optional<std::string> TfrBarCodeView::ValueToPaint() const {
    const std::string first = WorkMemo.Count() > 0 ? WorkMemo[0] : std::string();
    const bool blank = rtl::Trim(first).empty();
    // Output prints the value it was given or nothing: a placeholder would
    // be a wrong code a scanner reads.
    if (frEngine().OutputMode) {
        if (blank) return std::nullopt;
        return first;
    }
    // The designer shows a valid code where the value is not known yet.
    if (blank || first[0] == '[') return frBarCodePlaceholder(BarType);
    double number = 0;
    if (BarcodeTypeTable[BarType].NumericOnly && !rtl::TryStrToFloat(first, number))
        return frBarCodePlaceholder(BarType);
    return first;
}

void TfrBarCodeView::PaintEmptyArea() {
    OutputScale scale(*this);
    PaintFill();
    PaintFrame();
}

void TfrBarCodeView::Paint(gdi::Canvas& canvas) {
    if (Width < 0 || Height < 0) return;
    if (Memo.Text() == "\r\n") return; // one empty line: nothing at all
    BeginPaint(canvas);
    WorkMemo.Assign(Memo);

    // Whatever cannot be painted leaves the object as it is, with its fill
    // and frame and no bars: never an error in the middle of a page.
    if (!SettingsProblem().empty()) return PaintEmptyArea();
    const std::optional<std::string> value = ValueToPaint();
    if (!value || rtl::Trim(*value) == kNothingPrinted) return PaintEmptyArea();

    TfrBarcode& e = *Encoder;
    e.SetAngle(Rotation);
    e.SetRatio(kRatio);
    e.SetModul(kModul);
    e.SetCheckSum(CalcCheckSum);
    e.SetColor(FillColor == gdi::clNone ? gdi::clWhite : FillColor);
    e.SetTyp(static_cast<TfrBarcodeType>(BarType));
    e.SetText(*value);
    int natural = 0;
    try {
        natural = e.Width();
    } catch (const std::exception&) {
        return PaintEmptyArea();
    }
    const double zoomed = static_cast<double>(rtl::Round(natural * Zoom));
    if (zoomed > kMaxExtent) return PaintEmptyArea();
    if (rtl::Trim(e.Text()) == kNothingPrinted) return PaintEmptyArea();

    // The picture: natural length along the bars, the object's size across.
    const bool upright = Rotation == 90 || Rotation == 270;
    const int frameWidth = upright ? Width : natural;
    const int frameHeight = upright ? natural : Height;
    const int barHeight = std::max(0, (upright ? Width : Height) - (ShowText ? kTextBand : 0));
    e.SetLeft(0);
    e.SetTop(0);
    e.SetHeight(barHeight);
    if (BarType == bcCodePostNet && Rotation == 0) {
        // Bars grow up from the baseline, so the short ones stand on it.
        e.SetTop(barHeight);
        e.SetHeight(-barHeight);
    } else if (Rotation == 180) {
        e.SetTop(frameHeight - barHeight);
    } else if (Rotation == 270) {
        e.SetLeft(frameWidth - barHeight);
    }
    std::vector<TfrBarCodeElement> elements;
    if (barHeight > 0) {
        try {
            elements = frBarCodeElements(e);
        } catch (const std::exception&) {
            return PaintEmptyArea();
        }
    }

    gdi::MetafileCanvas text(frameWidth, frameHeight);
    if (ShowText) {
        const std::string t = e.Text();
        gdi::TFont font;
        font.Name = "Courier New";
        font.Height = -kTextHeight;
        font.Color = gdi::clBlack;
        font.Escapement = RoundToInt(Rotation) * 10;
        text.SetFont(font);
        const int tw = text.TextWidth(t);
        const int w = frameWidth;
        const int h = frameHeight;
        int x, y;
        if (Rotation == 0) {
            x = (w - tw) / 2;
            y = h - kTextHeight;
        } else if (Rotation == 90) {
            x = w - kTextHeight;
            y = h - (h - tw) / 2;
        } else if (Rotation == 180) {
            x = w - (w - tw) / 2;
            y = kTextHeight;
        } else {
            x = kTextHeight;
            y = (h - tw) / 2;
        }
        text.TextOut(x, y, t);
    }

    // The object keeps the zoomed natural length along the bars.
    if (upright) {
        Height = static_cast<int>(zoomed);
    } else {
        Width = static_cast<int>(zoomed);
    }
    OutputScale scale(*this);
    PaintFill();
    frPaintBarCodeElements(canvas, elements, frameWidth, frameHeight, upright, OutputRect,
                           e.Color(), e.ColorBar());
    if (ShowText) canvas.StretchDraw(OutputRect, text.GetMetafile());
    PaintFrame();
}

void TfrBarCodeView::OutputToPage(rtl::TStream& stream) {
    // BeginPaint wants a surface; the build need not have given one yet.
    gdi::Canvas* const canvas = Canvas;
    gdi::RecordingCanvas scratch;
    BeginPaint(canvas ? *canvas : scratch);
    Canvas = canvas;
    WorkMemo.Assign(Memo);
    if (const auto& fire = frReportLookups().FireBeforePrint) fire(WorkMemo, *this);
    const auto& runScript = frEngineHooks().RunScript;
    if (runScript && BeforePrintScript.Count() > 0) runScript(*this, BeforePrintScript);
    if (!Visible) return;

    rtl::ScopedRestore<std::string> keepTag(Tag);
    if (Tag.find('[') != std::string::npos) ExpandTag(Tag);

    std::string problem;
    if (WorkMemo.Count() > 0 && !WorkMemo[0].empty() && WorkMemo[0][0] == '[') {
        try {
            WorkMemo.Put(0, frCalculate(WorkMemo[0]).AsString());
        } catch (const std::exception& ex) {
            WorkMemo.Put(0, kNothingPrinted);
            problem = ex.what();
        } catch (...) {
            WorkMemo.Put(0, kNothingPrinted);
            problem = LoadResourceString(frsBarCodeError);
        }
    }
    if (problem.empty()) problem = SettingsProblem();
    if (problem.empty())
        problem = frBarCodeValueProblem(BarType, CalcCheckSum,
                                        WorkMemo.Count() > 0 ? WorkMemo[0] : std::string());
    if (!problem.empty()) {
        if (const auto& report = frEngineHooks().ReportOutputProblem) report(*this, problem);
    }

    stream.WriteByte(TypeCode);
    rtl::frWriteString(stream, ClassName());
    WriteToStream(stream);
}

void TfrBarCodeView::ReadRecord(rtl::TStream& stream, int version) {
    TfrView::ReadRecord(stream, version);
    const bool checkSum = stream.ReadByte() != 0;
    const bool showText = stream.ReadByte() != 0;
    const uint8_t reserved = stream.ReadByte();
    const uint8_t barType = stream.ReadByte();
    int32_t legacyModule = stream.ReadInt32();
    double zoom = stream.ReadDouble();
    const double rotation = stream.ReadDouble();
    // Older templates stored the zoom for bars of two units per module.
    if (legacyModule == 1) {
        zoom /= 2;
        legacyModule = 2;
    }
    // Values outside the tables are kept as read, so the file saves back as
    // it was; SettingsProblem keeps them from being painted or used.
    CalcCheckSum = checkSum;
    ShowText = showText;
    Reserved = reserved;
    BarType = barType;
    LegacyModule = legacyModule;
    Zoom = zoom;
    Rotation = rotation;
}

void TfrBarCodeView::WriteToStream(rtl::TStream& stream) {
    TfrView::WriteToStream(stream);
    stream.WriteByte(CalcCheckSum ? 1 : 0);
    stream.WriteByte(ShowText ? 1 : 0);
    stream.WriteByte(Reserved);
    stream.WriteByte(BarType);
    stream.WriteInt32(LegacyModule);
    stream.WriteDouble(Zoom);
    stream.WriteDouble(Rotation);
}

TfrBarCodeObject::TfrBarCodeObject() {
    frRegisterBarCodeView();
}

void frRegisterBarCodeView() {
    RegisterObject(TfrViewClass::Of<TfrBarCodeView>(), QImage(FR_BARCODEVIEW),
                   std::to_string(frsInsertBarCode));
}

std::string frBarCodePlaceholder(uint8_t barType) {
    switch (barType) {
    case bcCodeEAN8:
        return "1234567"; // the eighth digit is the check digit
    case bcCodeUPC_E0:
        return "1234565"; // six digits and the check digit of 01234500006
    case bcCodeUPC_E1:
        return "1234562"; // and of 11234500006
    case bcCodeUPC_Supp2:
        return "12";
    case bcCodeUPC_Supp5:
        return "12345";
    default:
        return "12345678";
    }
}

std::string frBarCodeValueProblem(uint8_t barType, bool checkSum, const std::string& value) {
    // An empty text would come out as zeros or a lone check character.
    if (rtl::Trim(value).empty()) return LoadResourceString(frsBarCodeEmpty);
    if (rtl::Trim(value) == kNothingPrinted) return LoadResourceString(frsBarCodeZero);
    if (barType >= BarcodeTypeCount) return WrongTypeMessage();
    TfrBarcode trial;
    trial.SetTyp(static_cast<TfrBarcodeType>(barType));
    trial.SetCheckSum(checkSum);
    trial.SetText(value);
    try {
        trial.BuildPattern();
    } catch (const std::exception& e) {
        return e.what();
    }
    if (rtl::Trim(trial.Text()) == kNothingPrinted) return LoadResourceString(frsBarCodeZero);
    return {};
}

std::vector<TfrBarCodeElement> frBarCodeElements(TfrBarcode& encoder) {
    ElementCollector collector(encoder.ColorBar());
    encoder.DrawBarcode(collector);
    return std::move(collector.Elements);
}

void frPaintBarCodeElements(gdi::Canvas& canvas, const std::vector<TfrBarCodeElement>& elements,
                            int frameWidth, int frameHeight, bool upright, const TRect& target,
                            gdi::TColor spaceColor, gdi::TColor barColor) {
    if (elements.empty() || frameWidth <= 0 || frameHeight <= 0 || target.IsEmpty()) return;
    // The encoder outlines its bars one unit past their height, and rotated
    // by 90 or 180 degrees its rounding moves the whole pattern one unit on:
    // move it back into the frame, then trim what still sticks out (only the
    // extra unit of bar height can).
    TRect all = elements.front().Area;
    for (const TfrBarCodeElement& el : elements) {
        all.Left = std::min(all.Left, el.Area.Left);
        all.Top = std::min(all.Top, el.Area.Top);
        all.Right = std::max(all.Right, el.Area.Right);
        all.Bottom = std::max(all.Bottom, el.Area.Bottom);
    }
    const int dx = all.Right > frameWidth ? -std::min(all.Left, all.Right - frameWidth) : 0;
    const int dy = all.Bottom > frameHeight ? -std::min(all.Top, all.Bottom - frameHeight) : 0;
    const auto inFrame = [&](const TRect& r) {
        return TRect{std::max(0, r.Left + dx), std::max(0, r.Top + dy),
                     std::min(frameWidth, r.Right + dx), std::min(frameHeight, r.Bottom + dy)};
    };

    // Along the bars a module is a whole number of pixels, the nearest to
    // the stretch, and the code is centred on its room: every bar and space
    // of k modules is exactly k such modules wide. Below one pixel a module
    // (a page shown small) nothing can be exact: edges go to the nearest
    // pixel, so the code keeps its place, and a bar keeps at least one.
    // Across the bars the picture is stretched, each edge on the nearest pixel.
    const int length = upright ? frameHeight : frameWidth;
    const int room = upright ? target.Height() : target.Width();
    const double stretch = static_cast<double>(room) / length;
    const bool wholeModules = stretch >= 1;
    const int module = RoundToInt(stretch);
    const int start =
        (upright ? target.Top : target.Left) +
        (wholeModules ? RoundToInt((room - static_cast<double>(length) * module) / 2) : 0);
    const auto along = [&](int u) {
        return start + (wholeModules ? u * module : RoundToInt(u * stretch));
    };
    const int acrossFrame = upright ? frameWidth : frameHeight;
    const double acrossScale =
        static_cast<double>(upright ? target.Width() : target.Height()) / acrossFrame;
    const int acrossStart = upright ? target.Left : target.Top;
    const auto across = [&](int u) { return acrossStart + RoundToInt(u * acrossScale); };
    const auto toDevice = [&](const TRect& a) {
        const int from = along(upright ? a.Top : a.Left);
        const int to = std::max(from + 1, along(upright ? a.Bottom : a.Right));
        return upright ? TRect{across(a.Left), from, across(a.Right), to}
                       : TRect{from, across(a.Top), to, across(a.Bottom)};
    };

    const gdi::TBrush keep = canvas.Brush();
    for (const bool bars : {false, true}) {
        const gdi::TColor color = bars ? barColor : spaceColor;
        if (color == gdi::clNone) continue;
        canvas.SetBrush(gdi::TBrush{color, gdi::bsSolid, {}});
        std::vector<TRect> rects;
        rects.reserve(elements.size());
        for (const TfrBarCodeElement& el : elements) {
            const TRect a = inFrame(el.Area);
            if (el.Bar == bars && !a.IsEmpty()) rects.push_back(toDevice(a));
        }
        if (auto* painter = dynamic_cast<gdi::QPainterCanvas*>(&canvas))
            painter->FillRects(rects); // hundreds of bars on a printed page
        else
            for (const TRect& r : rects) canvas.FillRect(r);
    }
    canvas.SetBrush(keep);
}
