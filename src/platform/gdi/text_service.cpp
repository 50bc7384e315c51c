#include "platform/gdi/text_service.h"

#include "platform/gdi/font_substitution.h"
#include "platform/text/cp936.h"

#include <QFont>
#include <QFontDatabase>
#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace gdi {

namespace {

long long MulDiv64(long long a, long long b, long long c) {
    if (c == 0) return 0;
    const long long p = a * b;
    const long long q = (std::llabs(p) * 2 + std::llabs(c)) / (2 * std::llabs(c));
    return ((p < 0) != (c < 0)) ? -q : q;
}

int ClampToInt(long long v) {
    return static_cast<int>(std::clamp<long long>(v, -0x7FFFFFFFLL, 0x7FFFFFFFLL));
}

// Big-endian fields of an OpenType table; 0 past its end.
int U16(const QByteArray& table, int offset) {
    if (offset < 0 || offset + 2 > table.size()) return 0;
    return (static_cast<unsigned char>(table[offset]) << 8) |
           static_cast<unsigned char>(table[offset + 1]);
}
int S16(const QByteArray& table, int offset) {
    const int v = U16(table, offset);
    return v >= 0x8000 ? v - 0x10000 : v;
}

int Round(double v) {
    return static_cast<int>(std::lround(v));
}

// A character's key: the byte, or lead * 256 + trail.
unsigned CodeAt(std::string_view text, std::size_t pos, std::size_t len) {
    const unsigned lead = static_cast<unsigned char>(text[pos]);
    return len == 2 ? (lead << 8) | static_cast<unsigned char>(text[pos + 1]) : lead;
}

char32_t Decode(unsigned code) {
    char bytes[2];
    std::size_t n = 0;
    if (code > 0xFF) bytes[n++] = static_cast<char>(code >> 8);
    bytes[n++] = static_cast<char>(code & 0xFF);
    const QString s = text::Cp936ToQString(std::string_view(bytes, n));
    if (s.isEmpty()) return U'?';
    if (s.size() >= 2 && s[0].isHighSurrogate() && s[1].isLowSurrogate())
        return QChar::surrogateToUcs4(s[0], s[1]);
    return s[0].unicode();
}

bool IsControl(char32_t ch) {
    return ch < 0x20 || ch == 0x7F;
}

} // namespace

int MulDiv(int a, int b, int c) {
    return ClampToInt(MulDiv64(a, b, c));
}

int JustificationForBlank(int blankIndex, int extra, int breaks) {
    if (breaks <= 0 || blankIndex < 0 || blankIndex >= breaks) return 0;
    int pixels = extra / breaks;
    if (blankIndex < std::abs(extra % breaks)) pixels += extra < 0 ? -1 : 1;
    return pixels;
}

// --- Right-to-left reading ------------------------------------------------

VisualLine RightToLeftOrder(const std::vector<char32_t>& chars) {
    enum Type { L, R, EN, ES, ET, CS, NSM, BN, WS, ON, SEP };
    const std::size_t n = chars.size();
    std::vector<Type> t(n);
    std::vector<bool> resetToParagraph(n, false); // separators and whitespace (rule L1)
    for (std::size_t i = 0; i < n; ++i) {
        switch (QChar::direction(static_cast<char32_t>(chars[i]))) {
        case QChar::DirL:
        case QChar::DirLRE:
        case QChar::DirLRO:
        case QChar::DirLRI:
            t[i] = L;
            break;
        case QChar::DirR:
        case QChar::DirAL:
        case QChar::DirRLE:
        case QChar::DirRLO:
        case QChar::DirRLI:
            t[i] = R;
            break;
        case QChar::DirEN:
        case QChar::DirAN:
            t[i] = EN;
            break;
        case QChar::DirES:
            t[i] = ES;
            break;
        case QChar::DirET:
            t[i] = ET;
            break;
        case QChar::DirCS:
            t[i] = CS;
            break;
        case QChar::DirNSM:
            t[i] = NSM;
            break;
        case QChar::DirBN:
            t[i] = BN;
            break;
        case QChar::DirWS:
            t[i] = WS;
            break;
        case QChar::DirB:
        case QChar::DirS:
            t[i] = SEP;
            break;
        default:
            t[i] = ON;
            break;
        }
    }
    // W1: a mark takes the type before it (the paragraph's R at the start).
    for (std::size_t i = 0; i < n; ++i)
        if (t[i] == NSM) t[i] = i == 0 ? R : t[i - 1];
    // W4: one separator between two numbers joins them.
    for (std::size_t i = 1; i + 1 < n; ++i)
        if ((t[i] == ES || t[i] == CS) && t[i - 1] == EN && t[i + 1] == EN) t[i] = EN;
    // W5: terminators next to a number belong to it.
    for (std::size_t i = 0; i < n; ++i) {
        if (t[i] != ET) continue;
        std::size_t j = i;
        while (j < n && t[j] == ET) ++j;
        const bool number = (i > 0 && t[i - 1] == EN) || (j < n && t[j] == EN);
        for (std::size_t k = i; k < j; ++k) t[k] = number ? EN : ON;
        i = j - 1;
    }
    // W6: other separators and terminators are neutral.
    for (Type& x : t)
        if (x == ES || x == ET || x == CS) x = ON;
    // W7: a number after left-to-right text is left-to-right.
    Type lastStrong = R;
    for (std::size_t i = 0; i < n; ++i) {
        if (t[i] == L || t[i] == R) lastStrong = t[i];
        if (t[i] == EN && lastStrong == L) t[i] = L;
    }
    // N0: a bracket pair takes R when it encloses R (or a number), else L when
    // it encloses L and L comes before it.
    auto direction = [](Type x) { return x == L ? L : R; };
    auto strong = [](Type x) { return x == L || x == R || x == EN; };
    {
        std::vector<std::pair<std::size_t, std::size_t>> pairs;
        std::vector<std::pair<char32_t, std::size_t>> open; // expected closer, position
        for (std::size_t i = 0; i < n; ++i) {
            if (t[i] != ON || !QChar::hasMirrored(chars[i])) continue;
            const QChar::Category category = QChar::category(chars[i]);
            if (category == QChar::Punctuation_Open) {
                if (open.size() >= 63) break;
                open.emplace_back(QChar::mirroredChar(chars[i]), i);
            } else if (category == QChar::Punctuation_Close) {
                for (std::size_t k = open.size(); k > 0; --k) {
                    if (open[k - 1].first != chars[i]) continue;
                    pairs.emplace_back(open[k - 1].second, i);
                    open.resize(k - 1);
                    break;
                }
            }
        }
        std::sort(pairs.begin(), pairs.end());
        for (const auto& [first, last] : pairs) {
            bool insideR = false;
            bool insideL = false;
            for (std::size_t k = first + 1; k < last; ++k) {
                if (!strong(t[k])) continue;
                (direction(t[k]) == R ? insideR : insideL) = true;
            }
            Type resolved;
            if (insideR) {
                resolved = R;
            } else if (insideL) {
                Type before = R;
                for (std::size_t k = first; k > 0; --k) {
                    if (strong(t[k - 1])) {
                        before = direction(t[k - 1]);
                        break;
                    }
                }
                resolved = before == L ? L : R;
            } else {
                continue;
            }
            t[first] = resolved;
            t[last] = resolved;
        }
    }
    // N1, N2: neutrals between two of the same direction take it, others R.
    for (std::size_t i = 0; i < n; ++i) {
        if (t[i] != WS && t[i] != ON && t[i] != BN && t[i] != SEP) continue;
        std::size_t j = i;
        while (j < n && (t[j] == WS || t[j] == ON || t[j] == BN || t[j] == SEP)) ++j;
        const Type before = i == 0 ? R : direction(t[i - 1]);
        const Type after = j == n ? R : direction(t[j]);
        const Type resolved = before == after ? before : R;
        for (std::size_t k = i; k < j; ++k) {
            resetToParagraph[k] = t[k] == WS || t[k] == BN || t[k] == SEP;
            t[k] = resolved;
        }
        i = j - 1;
    }
    // I2: on the right-to-left paragraph level 1, L and numbers go to level 2.
    std::vector<int> level(n);
    for (std::size_t i = 0; i < n; ++i) level[i] = t[i] == R ? 1 : 2;
    // L1: trailing whitespace goes back to the paragraph level.
    for (std::size_t i = n; i > 0 && resetToParagraph[i - 1]; --i) level[i - 1] = 1;

    VisualLine line;
    line.Order.resize(n);
    for (std::size_t i = 0; i < n; ++i) line.Order[i] = i;
    // L2: reverse the level-2 runs, then the whole line.
    for (std::size_t i = 0; i < n; ++i) {
        if (level[i] != 2) continue;
        std::size_t j = i;
        while (j < n && level[j] == 2) ++j;
        std::reverse(line.Order.begin() + static_cast<std::ptrdiff_t>(i),
                     line.Order.begin() + static_cast<std::ptrdiff_t>(j));
        i = j - 1;
    }
    std::reverse(line.Order.begin(), line.Order.end());
    line.Mirrored.resize(n);
    for (std::size_t i = 0; i < n; ++i)
        line.Mirrored[i] = level[i] == 1 && QChar::hasMirrored(static_cast<char32_t>(chars[i]));
    return line;
}

// --- MeasuredFont -----------------------------------------------------------

MeasuredFont::MeasuredFont(const Options& options) : options_(options) {
    options_.Em = std::clamp(options_.Em, 1, TextService::kMaxEm);
    const int em = options_.Em;
    if (options_.FixedMetrics) {
        fixedPitch_ = true;
        metrics_.Height = em;
        metrics_.Descent = em / 5;
        metrics_.Ascent = em - metrics_.Descent;
        metrics_.AveCharWidth = (em + 1) / 2;
        metrics_.MaxCharWidth = em;
        underlinePos_ = em / 10.0;
        strikeOutPos_ = em * 0.3;
        lineThickness_ = std::max(1.0, em / 20.0);
        return;
    }
    LoadFaces();
    LoadMetrics();
    if (!fixedPitch_) {
        singleAdvances_.assign(256, -1);
    }
}

MeasuredFont::~MeasuredFont() = default;

void MeasuredFont::LoadFaces() {
    const FontSubstitute sub = SubstituteFont(std::string_view(options_.Name));
    fixedPitch_ = sub.FixedPitch;
    auto load = [&](const QString& family, QFontDatabase::WritingSystem system) {
        QFont font(family);
        font.setPixelSize(std::max(1, options_.Em));
        font.setWeight(options_.Bold ? QFont::Bold : QFont::Normal);
        font.setItalic(options_.Italic);
        font.setKerning(false);
        font.setStyleStrategy(QFont::NoFontMerging);
        QRawFont raw = QRawFont::fromFont(font, system);
        if (raw.isValid()) raw.setPixelSize(options_.Em);
        return raw;
    };
    faces_.push_back(load(sub.Family, QFontDatabase::Any));
    if (fixedPitch_ && !sub.HalfWidthFamily.isEmpty()) {
        QRawFont half = load(sub.HalfWidthFamily, QFontDatabase::Any);
        if (half.isValid()) {
            halfWidthFace_ = static_cast<int>(faces_.size());
            faces_.push_back(half);
        }
    }
    const QString fallback = ChineseFallbackFamily();
    if (!faces_[0].isValid() || faces_[0].familyName() != fallback) {
        QRawFont cjk = load(fallback, QFontDatabase::SimplifiedChinese);
        if (cjk.isValid()) {
            fallbackFace_ = static_cast<int>(faces_.size());
            faces_.push_back(cjk);
        }
    } else {
        fallbackFace_ = 0;
    }
}

void MeasuredFont::LoadMetrics() {
    const FontSubstitute sub = SubstituteFont(std::string_view(options_.Name));
    const int em = options_.Em;
    const QRawFont& face = faces_[0];
    QByteArray head, hhea, os2, post;
    if (face.isValid()) {
        head = face.fontTable("head");
        hhea = face.fontTable("hhea");
        os2 = face.fontTable("OS/2");
        post = face.fontTable("post");
    }
    int upem = U16(head, 18);
    if (upem <= 0 && face.isValid()) upem = static_cast<int>(face.unitsPerEm());
    if (upem <= 0) upem = 1000;
    const double k = double(em) / upem;
    const bool haveOs2 = os2.size() >= 78;
    const bool haveHhea = hhea.size() >= 12;

    TTextMetric& m = metrics_;
    if (sub.Ascent > 0) {
        m.Ascent = Round(em * sub.Ascent);
        m.Descent = Round(em * sub.Descent);
    } else if (haveOs2) {
        // What the old device used: the Windows ascent and descent of the face.
        m.Ascent = Round(U16(os2, 74) * k);
        m.Descent = Round(U16(os2, 76) * k);
        if (haveHhea) {
            const int gap =
                S16(hhea, 8) - ((U16(os2, 74) + U16(os2, 76)) - (S16(hhea, 4) - S16(hhea, 6)));
            m.ExternalLeading = std::max(0, Round(gap * k));
        }
    } else if (face.isValid()) {
        m.Ascent = Round(face.ascent());
        m.Descent = Round(face.descent());
        m.ExternalLeading = std::max(0, Round(face.leading()));
    } else {
        m.Descent = em / 5;
        m.Ascent = em - m.Descent;
    }
    m.Height = m.Ascent + m.Descent;
    m.InternalLeading = std::max(0, m.Height - em);
    if (sub.AveCharWidth > 0) {
        m.AveCharWidth = Round(em * sub.AveCharWidth);
    } else if (haveOs2) {
        m.AveCharWidth = Round(S16(os2, 2) * k);
    } else {
        m.AveCharWidth = face.isValid() ? Round(face.averageCharWidth()) : (em + 1) / 2;
    }
    if (fixedPitch_) {
        m.MaxCharWidth = em;
    } else if (haveHhea) {
        m.MaxCharWidth = Round(U16(hhea, 10) * k);
    } else {
        m.MaxCharWidth = face.isValid() ? Round(face.maxCharWidth()) : em;
    }

    underlinePos_ = post.size() >= 12 ? -S16(post, 8) * k : em / 10.0;
    lineThickness_ = post.size() >= 12 ? U16(post, 10) * k : em / 20.0;
    if (lineThickness_ <= 0) lineThickness_ = em / 20.0;
    strikeOutPos_ = haveOs2 && S16(os2, 28) > 0 ? S16(os2, 28) * k : em * 0.3;
}

MeasuredFont::Glyph MeasuredFont::FindGlyph(char32_t ch, bool singleByte) const {
    Glyph glyph;
    std::vector<int> order;
    if (singleByte && halfWidthFace_ >= 0) order.push_back(halfWidthFace_);
    order.push_back(0);
    if (fallbackFace_ > 0) order.push_back(fallbackFace_);
    const QString s = QString::fromUcs4(&ch, 1);
    if (!IsControl(ch)) {
        for (int f : order) {
            const QRawFont& face = faces_[static_cast<std::size_t>(f)];
            if (!face.isValid()) continue;
            const QList<quint32> indexes = face.glyphIndexesForString(s);
            if (indexes.isEmpty() || indexes[0] == 0) continue;
            glyph.Face = static_cast<std::uint8_t>(f);
            glyph.Index = indexes[0];
            const QList<QPointF> advances =
                face.advancesForGlyphIndexes(indexes.mid(0, 1), QRawFont::UseDesignMetrics);
            glyph.Advance = advances.isEmpty() ? 0 : advances[0].x();
            return glyph;
        }
    }
    // No face has it: the missing-glyph box, measured but not drawn for controls.
    const QRawFont& face = faces_[0];
    if (face.isValid()) {
        const QList<QPointF> advances =
            face.advancesForGlyphIndexes(QList<quint32>{0}, QRawFont::UseDesignMetrics);
        glyph.Advance = advances.isEmpty() ? 0 : advances[0].x();
    }
    glyph.Face = IsControl(ch) || !face.isValid() ? kNoFace : 0;
    glyph.Index = 0;
    return glyph;
}

const MeasuredFont::Glyph& MeasuredFont::GlyphLocked(unsigned code) const {
    auto it = glyphs_.find(code);
    if (it != glyphs_.end()) return it->second;
    return glyphs_.emplace(code, FindGlyph(Decode(code), code <= 0xFF)).first->second;
}

int MeasuredFont::AdvanceLocked(unsigned code) const {
    if (fixedPitch_) return code > 0xFF ? options_.Em : (options_.Em + 1) / 2;
    int* slot;
    if (code <= 0xFF) {
        slot = &singleAdvances_[code];
    } else {
        if (doubleAdvances_.empty()) doubleAdvances_.assign(126 * 256, -1);
        slot = &doubleAdvances_[((code >> 8) - 0x81) * 256 + (code & 0xFF)];
    }
    if (*slot < 0) *slot = std::max(0, Round(GlyphLocked(code).Advance));
    return *slot;
}

int MeasuredFont::CharAdvance(std::string_view text, std::size_t pos) const {
    if (pos >= text.size()) return 0;
    const std::size_t len = CharLength(text, pos);
    const unsigned code = CodeAt(text, pos, len);
    if (fixedPitch_) return len == 2 ? options_.Em : (options_.Em + 1) / 2;
    std::lock_guard lock(mutex_);
    return AdvanceLocked(code);
}

void MeasuredFont::Layout(std::string_view text, const TextSpacing& spacing, int dpi,
                          TextRun& run) const {
    run.Clear();
    run.Offsets.reserve(text.size());
    run.Positions.reserve(text.size());
    long long logical = 0; // sum of the logical advances so far
    long long extras = 0;  // device pixels of spacing so far
    int blank = 0;
    std::unique_lock lock(mutex_, std::defer_lock);
    if (!fixedPitch_) lock.lock();
    const int half = (options_.Em + 1) / 2;
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t len = CharLength(text, pos);
        run.Offsets.push_back(static_cast<std::uint32_t>(pos));
        run.Positions.push_back(ClampToInt(MulDiv64(logical, dpi, kMeasureDpi) + extras));
        if (fixedPitch_) {
            logical += len == 2 ? options_.Em : half;
        } else {
            logical += AdvanceLocked(CodeAt(text, pos, len));
        }
        extras += spacing.CharExtra;
        if (len == 1 && text[pos] == ' ' && spacing.JustifyBreaks > 0)
            extras += JustificationForBlank(blank++, spacing.JustifyExtra, spacing.JustifyBreaks);
        pos += len;
    }
    run.Width = ClampToInt(MulDiv64(logical, dpi, kMeasureDpi) + extras);
}

TextRun MeasuredFont::Layout(std::string_view text, const TextSpacing& spacing, int dpi) const {
    TextRun run;
    Layout(text, spacing, dpi, run);
    return run;
}

int MeasuredFont::Width(std::string_view text, const TextSpacing& spacing, int dpi) const {
    long long logical = 0;
    long long extras = 0;
    int blank = 0;
    std::unique_lock lock(mutex_, std::defer_lock);
    if (!fixedPitch_) lock.lock();
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t len = CharLength(text, pos);
        if (fixedPitch_) {
            logical += len == 2 ? options_.Em : (options_.Em + 1) / 2;
        } else {
            logical += AdvanceLocked(CodeAt(text, pos, len));
        }
        extras += spacing.CharExtra;
        if (len == 1 && text[pos] == ' ' && spacing.JustifyBreaks > 0)
            extras += JustificationForBlank(blank++, spacing.JustifyExtra, spacing.JustifyBreaks);
        pos += len;
    }
    return ClampToInt(MulDiv64(logical, dpi, kMeasureDpi) + extras);
}

QRawFont MeasuredFont::SizedFace(std::uint8_t face, double pixelSize) const {
    const std::pair<int, long long> key{face, std::llround(pixelSize * 64)};
    auto it = sized_.find(key);
    if (it != sized_.end()) return it->second;
    if (sized_.size() > 64) sized_.clear();
    QRawFont raw = faces_[face];
    raw.setPixelSize(pixelSize);
    return sized_.emplace(key, raw).first->second;
}

PlacedGlyphs MeasuredFont::Glyphs(std::string_view text, const TextRun& run, double pixelSize,
                                  double baseline, double xScale, bool rightToLeft) const {
    PlacedGlyphs placed;
    if (faces_.empty() || run.Count() == 0 || pixelSize <= 0) return placed;
    if (xScale <= 0) xScale = 1.0;
    std::lock_guard lock(mutex_);
    const std::size_t n = run.Count();
    std::vector<unsigned> codes(n);
    std::vector<std::size_t> lengths(n);
    for (std::size_t i = 0; i < n; ++i) {
        lengths[i] = CharLength(text, run.Offsets[i]);
        codes[i] = CodeAt(text, run.Offsets[i], lengths[i]);
    }
    // Cell starts, in the order the characters are shown.
    std::vector<double> cellStart(n);
    VisualLine visual;
    if (rightToLeft) {
        std::vector<char32_t> chars(n);
        for (std::size_t i = 0; i < n; ++i) chars[i] = Decode(codes[i]);
        visual = RightToLeftOrder(chars);
        int x = 0;
        for (std::size_t k : visual.Order) {
            cellStart[k] = x;
            x += run.Advance(k);
        }
    } else {
        for (std::size_t i = 0; i < n; ++i) cellStart[i] = run.Positions[i];
    }

    const double scale = pixelSize / options_.Em; // device pixels (across) per logical pixel
    std::vector<QList<quint32>> indexes(faces_.size());
    std::vector<QList<QPointF>> positions(faces_.size());
    for (std::size_t i = 0; i < n; ++i) {
        Glyph glyph;
        if (rightToLeft && visual.Mirrored[i]) {
            glyph = FindGlyph(QChar::mirroredChar(static_cast<char32_t>(Decode(codes[i]))),
                              lengths[i] == 1);
        } else {
            glyph = GlyphLocked(codes[i]);
        }
        if (glyph.Face == kNoFace) continue;
        double x = cellStart[i] / xScale;
        if (fixedPitch_) {
            const double cell = AdvanceLocked(codes[i]) * scale;
            const double own = glyph.Advance * scale;
            if (own < cell) x += (cell - own) / 2;
        }
        indexes[glyph.Face].append(glyph.Index);
        positions[glyph.Face].append(QPointF(x, baseline));
    }
    for (std::size_t f = 0; f < faces_.size(); ++f) {
        if (indexes[f].isEmpty()) continue;
        QGlyphRun glyphRun;
        glyphRun.setRawFont(SizedFace(static_cast<std::uint8_t>(f), pixelSize));
        glyphRun.setGlyphIndexes(indexes[f]);
        glyphRun.setPositions(positions[f]);
        placed.Runs.push_back(glyphRun);
    }
    return placed;
}

// --- TextService ------------------------------------------------------------

TextService& TextService::Instance() {
    static TextService service;
    return service;
}

FontHandle TextService::Get(const MeasuredFont::Options& options) {
    const auto key = std::make_tuple(options.Name, options.Em, options.Bold, options.Italic,
                                     options.FixedMetrics);
    std::lock_guard lock(mutex_);
    auto it = fonts_.find(key);
    if (it != fonts_.end()) return it->second;
    // Zooming and odd sizes make new fonts; forget the ones nobody holds.
    if (fonts_.size() >= 256) {
        for (auto i = fonts_.begin(); i != fonts_.end();) {
            if (i->second.use_count() == 1) {
                i = fonts_.erase(i);
            } else {
                ++i;
            }
        }
    }
    FontHandle font = std::make_shared<const MeasuredFont>(options);
    fonts_.emplace(key, font);
    return font;
}

FontHandle TextService::Font(std::string_view cp936Name, int em, bool bold, bool italic) {
    MeasuredFont::Options options;
    options.Name = std::string(cp936Name);
    options.Em = std::clamp(em, 1, kMaxEm);
    options.Bold = bold;
    options.Italic = italic;
    return Get(options);
}

FontHandle TextService::FixedMetricsFont(int em) {
    MeasuredFont::Options options;
    options.Name = {};
    options.Em = std::clamp(em, 1, kMaxEm);
    options.FixedMetrics = true;
    return Get(options);
}

int TextService::EmForCellHeight(std::string_view cp936Name, bool bold, bool italic, int cellHeight,
                                 bool fixedMetrics) {
    if (cellHeight <= 0) return 1;
    // The cell grows in proportion to the em; measure it on a large em.
    constexpr int kProbe = 1000;
    const FontHandle probe =
        fixedMetrics ? FixedMetricsFont(kProbe) : Font(cp936Name, kProbe, bold, italic);
    const int cell = probe->Metrics().Height;
    const long long em = cell > 0 ? MulDiv64(cellHeight, kProbe, cell) : cellHeight;
    return static_cast<int>(std::clamp<long long>(em, 1, kMaxEm));
}

FontHandle TextService::Font(const TFont& font) {
    int em = 12; // the default character height
    if (font.Height < 0) {
        em = font.Height == INT32_MIN ? kMaxEm : -font.Height;
    } else if (font.Height > 0) {
        em = EmForCellHeight(font.Name, font.Bold, font.Italic, font.Height);
    } else if (font.Size > 0) {
        em = ClampToInt(MulDiv64(font.Size, kMeasureDpi, 72));
    } else if (font.Size < 0) {
        em = EmForCellHeight(
            font.Name, font.Bold, font.Italic,
            ClampToInt(MulDiv64(-static_cast<long long>(font.Size), kMeasureDpi, 72)));
    }
    return Font(font.Name, em, font.Bold, font.Italic);
}

} // namespace gdi
