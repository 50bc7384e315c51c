#pragma once
// The one place where text is measured and its glyphs are placed: the 96-dpi
// measuring surface of the report engine. Every canvas (screen, QImage,
// printer, PDF, recorder) measures through it, so line breaks and positions
// never depend on the output device; a device only scales the result.
//
// Units: a MeasuredFont works in logical pixels at kMeasureDpi. Fonts are set
// by their character (em) height in whole logical pixels; the cell height
// (Ascent + Descent) follows the vertical metrics of the Windows face the
// substitution table stands in for. Advances are whole logical pixels:
// - faces marked fixed pitch in the table (宋体, 新宋体, 黑体 and unknown
//   names): a single-byte character is (em + 1) / 2 wide, a double-byte one em;
// - other faces: the substitute's own design advance, rounded; characters it
//   has no glyph for are measured and drawn in the Chinese fallback face.
// No kerning and no shaping: every character is one glyph placed by us.
//
// Laying out a run on a device of `dpi` (along the text):
//   left edge of character i = MulDiv(A(i), dpi, 96) + i * CharExtra + J(i)
// where A(i) is the sum of the logical advances before it and J(i) the
// justification pixels given to the blanks before it; the run's width is the
// same sum taken over all characters. CharExtra and the justification are in
// the pixels of that device. At 96 dpi this is plain whole-pixel addition.
//
// Justification rule: JustifyExtra pixels are spread over the first
// JustifyBreaks blanks (byte 32) of the run; each of them gets
// JustifyExtra / JustifyBreaks (truncated toward zero), and the first
// |JustifyExtra % JustifyBreaks| of them one pixel more (one less when the
// extra is negative). Blanks after the JustifyBreaks-th get nothing, so the
// run grows by exactly JustifyExtra when it holds at least that many blanks.
//
// Thread safety: fonts and the service may be used from several threads;
// each call takes a lock once.

#include "platform/gdi/font.h"

#include <QGlyphRun>
#include <QRawFont>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <tuple>
#include <unordered_map>
#include <vector>

namespace gdi {

constexpr int kMeasureDpi = 96;

// Windows' MulDiv: a * b / c rounded half away from zero; 0 when c is 0.
int MulDiv(int a, int b, int c);

// Spacing added while measuring and drawing, in pixels of the surface.
struct TextSpacing {
    int CharExtra = 0; // after every character; a double-byte one counts once
    int JustifyExtra = 0;
    int JustifyBreaks = 0; // 0: no justification
};

// Pixels the justification rule gives to the blank numbered `blankIndex`
// (0-based, in reading order).
int JustificationForBlank(int blankIndex, int extra, int breaks);

// One line of text as it is placed: where each character starts.
struct TextRun {
    std::vector<std::uint32_t> Offsets; // byte offset of each character in the text
    std::vector<int> Positions;         // left edge of each character from the run's start
    int Width = 0;                      // start of the character after the last

    std::size_t Count() const { return Positions.size(); }
    int Advance(std::size_t i) const {
        return (i + 1 < Positions.size() ? Positions[i + 1] : Width) - Positions[i];
    }
    void Clear() {
        Offsets.clear();
        Positions.clear();
        Width = 0;
    }
};

// Splits CP936 bytes into characters: a lead byte takes the byte after it.
// Returns the byte length (1 or 2) of the character starting at `pos`.
inline std::size_t CharLength(std::string_view text, std::size_t pos) {
    const unsigned char c = static_cast<unsigned char>(text[pos]);
    return (c >= 0x81 && c <= 0xFE && pos + 1 < text.size()) ? 2 : 1;
}

// Visual order of a line read right to left (ETO_RTLREADING): the indexes of
// `chars` from left to right, and for each character whether it is shown
// mirrored. CP936 holds no right-to-left letters, so this is the Unicode
// bidirectional algorithm for a right-to-left paragraph of left-to-right and
// neutral characters: runs of letters and numbers keep their own order, the
// runs and the neutrals between them are reversed; a bracket pair goes with
// what it encloses (and what comes before it), and brackets that end up
// right-to-left are shown mirrored.
struct VisualLine {
    std::vector<std::size_t> Order;
    std::vector<bool> Mirrored; // by logical index
};
VisualLine RightToLeftOrder(const std::vector<char32_t>& chars);

// Placed glyphs of one run, ready for QPainter::drawGlyphRun at (0, 0).
struct PlacedGlyphs {
    std::vector<QGlyphRun> Runs;
};

class MeasuredFont {
public:
    struct Options {
        std::string Name; // CP936 Windows name
        int Em = 16;      // character height in logical pixels
        bool Bold = false;
        bool Italic = false;
        bool FixedMetrics = false; // the recorder's font-independent metrics
    };
    explicit MeasuredFont(const Options& options);
    ~MeasuredFont();
    MeasuredFont(const MeasuredFont&) = delete;
    MeasuredFont& operator=(const MeasuredFont&) = delete;

    const Options& Key() const { return options_; }
    int Em() const { return options_.Em; }
    // Logical pixels at kMeasureDpi, as the old TEXTMETRIC reported them.
    const TTextMetric& Metrics() const { return metrics_; }
    bool FixedPitch() const { return fixedPitch_; }
    // Below and above the baseline, and line thickness, in logical pixels.
    double UnderlinePosition() const { return underlinePos_; }
    double StrikeOutPosition() const { return strikeOutPos_; }
    double LineThickness() const { return lineThickness_; }

    // Logical advance of the character starting at text[pos].
    int CharAdvance(std::string_view text, std::size_t pos) const;
    // Lays out `text` for a device of `dpi` along the text (see the header
    // comment); `run` is reused, so a caller laying out many lines keeps one.
    void Layout(std::string_view text, const TextSpacing& spacing, int dpi, TextRun& run) const;
    TextRun Layout(std::string_view text, const TextSpacing& spacing = {},
                   int dpi = kMeasureDpi) const;
    int Width(std::string_view text, const TextSpacing& spacing = {}, int dpi = kMeasureDpi) const;

    // The glyphs of a laid-out `run`, drawn with the em `pixelSize` device
    // pixels high, the baseline at y = `baseline`, character i's cell starting
    // at x = run.Positions[i] / `xScale` (the painter stretches x by xScale on
    // devices whose resolutions differ). Glyphs narrower than their cell in a
    // fixed-pitch face are centred in it. Control characters draw nothing.
    PlacedGlyphs Glyphs(std::string_view text, const TextRun& run, double pixelSize,
                        double baseline, double xScale = 1.0, bool rightToLeft = false) const;

private:
    struct Glyph {
        std::uint8_t Face = kNoFace; // index into faces_
        std::uint32_t Index = 0;
        double Advance = 0; // the glyph's own advance in logical pixels
    };
    static constexpr std::uint8_t kNoFace = 0xFF;

    void LoadFaces();
    void LoadMetrics();
    int AdvanceLocked(unsigned code) const;
    const Glyph& GlyphLocked(unsigned code) const;
    Glyph FindGlyph(char32_t ch, bool singleByte) const;
    QRawFont SizedFace(std::uint8_t face, double pixelSize) const;

    Options options_;
    bool fixedPitch_ = false;
    TTextMetric metrics_;
    double underlinePos_ = 0;
    double strikeOutPos_ = 0;
    double lineThickness_ = 1;

    // Faces glyphs come from: the substitute, its half-width face (fixed
    // pitch), the Chinese fallback; measured at Em pixels.
    std::vector<QRawFont> faces_;
    int halfWidthFace_ = -1;
    int fallbackFace_ = -1;

    mutable std::mutex mutex_;
    // Advances of proportional faces: single bytes by byte, double bytes by
    // (lead - 0x81) * 256 + trail; -1 until measured.
    mutable std::vector<int> singleAdvances_;
    mutable std::vector<int> doubleAdvances_;
    mutable std::unordered_map<unsigned, Glyph> glyphs_;
    mutable std::map<std::pair<int, long long>, QRawFont> sized_;
};

using FontHandle = std::shared_ptr<const MeasuredFont>;

class TextService {
public:
    // The process-wide instance every canvas shares.
    static TextService& Instance();

    // A font by Windows name and logical character height. Fonts are kept
    // and reused; `em` is clamped to 1..kMaxEm.
    FontHandle Font(std::string_view cp936Name, int em, bool bold, bool italic);
    // `font` as the 96-dpi measuring surface takes it: Height in pixels
    // (negative character height, positive cell height), else Size in points.
    FontHandle Font(const TFont& font);
    // The recorder's fixed metrics: for a character height N, Height = N,
    // Ascent = N - N / 5, Descent = N / 5, a single-byte character
    // (N + 1) / 2 wide and a double-byte one N. No glyphs.
    FontHandle FixedMetricsFont(int em);

    // The character height that gives a cell of `cellHeight` pixels.
    int EmForCellHeight(std::string_view cp936Name, bool bold, bool italic, int cellHeight,
                        bool fixedMetrics = false);

    static constexpr int kMaxEm = 20000;

private:
    TextService() = default;
    FontHandle Get(const MeasuredFont::Options& options);

    std::mutex mutex_;
    std::map<std::tuple<std::string, int, bool, bool, bool>, FontHandle> fonts_;
};

} // namespace gdi
