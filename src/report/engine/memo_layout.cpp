#include "report/engine/memo_layout.h"

#include "platform/gdi/canvas.h"
#include "platform/rtl/scoped_restore.h"
#include "platform/rtl/stream.h"
#include "platform/rtl/sysutils.h"
#include "report/core/process_state.h"
#include "report/model/band_view.h"
#include "report/model/view_context.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

constexpr char kBlank = ' ';
constexpr int kUpwards = 900; // escapement of text rotated to read upwards
constexpr double kMeasurePointsToPixels = 96.0 / 72.0;

int ToInt(long long v) {
    return static_cast<int>(std::clamp<long long>(v, INT_MIN, INT_MAX));
}

// Rounds half to even, as the engine rounds; anything beyond int saturates.
int RoundInt(double v) {
    if (std::isnan(v)) return 0;
    return ToInt(rtl::Round(std::clamp(v, -4e18, 4e18)));
}

int TruncInt(double v) {
    if (std::isnan(v)) return 0;
    return ToInt(rtl::Trunc(std::clamp(v, -4e18, 4e18)));
}

// The character height the measuring canvas takes for a size in points.
int MeasureEm(int size) {
    return std::clamp(RoundInt(size * kMeasurePointsToPixels), 1, gdi::TextService::kMaxEm);
}

// A line advance below one pixel would stack lines on each other and give
// nothing to divide by.
int ClampAdvance(long long advance) {
    return advance < 1 ? 1 : ToInt(advance);
}

// The character height of the canvas's current font in its device pixels.
int FontPixelHeight(gdi::Canvas& canvas) {
    const gdi::TFont& f = canvas.Font();
    if (f.Height < 0) return ToInt(-static_cast<long long>(f.Height));
    if (f.Height == 0 && f.Size > 0) return gdi::MulDiv(f.Size, canvas.PixelsPerInchY(), 72);
    return gdi::MulDiv(canvas.LogicalCharHeight(f), canvas.PixelsPerInchY(), gdi::kMeasureDpi);
}

bool IsLineBreak(char c) {
    return c == '\r' || c == '\n';
}

// Drops a trailing paragraph marker; true when there was one.
bool StripMarker(std::string& line) {
    if (line.empty() || line.back() != frParagraphMarker) return false;
    line.pop_back();
    return true;
}

// Blanks the justification may widen: single-byte blanks only (in CP936 the
// byte 160 starts a double-byte character).
int CountBlanks(std::string_view line) {
    int blanks = 0;
    for (std::size_t pos = 0; pos < line.size();) {
        const std::size_t len = gdi::CharLength(line, pos);
        if (len == 1 && line[pos] == kBlank) ++blanks;
        pos += len;
    }
    return blanks;
}

bool StartsWithBracket(const rtl::TStringList& lines) {
    return lines.Count() == 1 && !lines[0].empty() && lines[0][0] == '[';
}

// Runs the memo's script.
void RunBeforePrintScript(TfrMemoView& memo) {
    const auto& run = frEngineHooks().RunScript;
    if (run && memo.BeforePrintScript.Count() > 0) run(memo, memo.BeforePrintScript);
}

// The report's before-print step on WorkMemo = Memo; true when it changed
// the text, which expansion must then leave alone.
bool FireBeforePrint(TfrMemoView& memo) {
    const auto& fire = frReportLookups().FireBeforePrint;
    if (!fire) return false;
    memo.WorkMemo.Assign(memo.Memo);
    const std::string before = memo.WorkMemo.Text();
    fire(memo.WorkMemo, memo);
    return memo.WorkMemo.Text() != before;
}

void WriteRecord(TfrMemoView& memo, rtl::TStream& stream) {
    stream.WriteByte(memo.TypeCode);
    if (memo.TypeCode == gtAddIn) rtl::frWriteString(stream, memo.ClassName());
    memo.WriteToStream(stream);
}

// Draws one line, or hands it to the export filter.
void OutputLine(TfrMemoView& memo, gdi::Canvas& canvas, int x, int y, const std::string& line,
                uint16_t frameTyp) {
    if (memo.ExportMode) {
        if (const auto& exportLine = frEngineHooks().ExportMemoLine)
            exportLine(memo, memo.OutputRect, x, y, line, frameTyp);
        return;
    }
    unsigned options = gdi::ETO_CLIPPED;
    if (memo.Flags & flRTLReading) options |= gdi::ETO_RTLREADING;
    canvas.ExtTextOut(x, y, options, &memo.OutputRect, line);
}

void PaintLines(TfrMemoView& memo, gdi::Canvas& canvas) {
    const gdi::TRect& r = memo.OutputRect;
    const int advance = ClampAdvance(
        static_cast<long long>(RoundInt(memo.LineSpacing * memo.ZoomY)) + FontPixelHeight(canvas));
    const int count = memo.WorkMemo.Count();
    int alignment = memo.Alignment & frtaHorizontalMask;
    // The designer shows the end of an expression too long for its memo.
    if (!frEngine().OutputMode && StartsWithBracket(memo.WorkMemo)) {
        std::string line = memo.WorkMemo[0];
        StripMarker(line);
        if (canvas.TextWidth(line) > r.Width()) alignment = frtaRight;
    }
    long long y = static_cast<long long>(memo.Top) + memo.GapY;
    memo.LinesShown = 0;
    for (int i = 0; i < count; ++i) {
        if (memo.ClipToRect && r.Bottom < y + advance) break;
        std::string line = memo.WorkMemo[i];
        const bool paragraphEnd = StripMarker(line);
        const long long width = canvas.TextWidth(line);
        const long long room = static_cast<long long>(r.Width()) - 2LL * memo.GapX - width;
        long long x = static_cast<long long>(memo.Left) + memo.GapX;
        bool justified = false;
        switch (alignment) {
        case frtaRight:
            x = static_cast<long long>(memo.Left) + r.Width() - memo.GapX - width - 1;
            break;
        case frtaCenter:
            x += room / 2;
            break;
        case frtaJustify:
            if (!paragraphEnd) {
                const int blanks = CountBlanks(line);
                if (blanks > 0) {
                    canvas.SetTextJustification(ToInt(room), blanks);
                    justified = true;
                }
            }
            break;
        default:
            break;
        }
        // An export filter gets the frame lines that belong to this line of
        // the block: the first keeps the top, the last the bottom.
        uint16_t frameTyp = memo.FrameTyp;
        if (count > 1) {
            if (i > 0) frameTyp &= static_cast<uint16_t>(~frftTop);
            if (i < count - 1) frameTyp &= static_cast<uint16_t>(~frftBottom);
        }
        OutputLine(memo, canvas, ToInt(x), ToInt(y), line, frameTyp);
        if (justified) canvas.SetTextJustification(0, 0);
        ++memo.LinesShown;
        y += advance;
    }
}

void PaintRotatedLines(TfrMemoView& memo, gdi::Canvas& canvas) {
    gdi::TFont font = canvas.Font();
    font.Escapement = kUpwards;
    canvas.SetFont(font);
    const gdi::TRect& r = memo.OutputRect;
    const int advance = ClampAdvance(
        static_cast<long long>(RoundInt(memo.LineSpacing * memo.ZoomX)) + FontPixelHeight(canvas));
    const int alignment = memo.Alignment & frtaHorizontalMask;
    long long x = static_cast<long long>(memo.Left) + memo.GapX;
    memo.LinesShown = 0;
    for (int i = 0; i < memo.WorkMemo.Count(); ++i) {
        std::string line = memo.WorkMemo[i];
        const bool paragraphEnd = StripMarker(line);
        const long long width = canvas.TextWidth(line);
        const long long room = static_cast<long long>(r.Height()) - 2LL * memo.GapY - width;
        long long y = static_cast<long long>(r.Bottom) - memo.GapY;
        bool justified = false;
        switch (alignment) {
        case frtaRight:
            y = width + memo.Top + memo.GapY;
            break;
        case frtaCenter:
            y = static_cast<long long>(r.Bottom) - memo.GapY - room / 2 - 1;
            break;
        case frtaJustify:
            y = static_cast<long long>(r.Bottom) + memo.Top - r.Top - memo.GapY;
            if (!paragraphEnd) {
                const int blanks = CountBlanks(line);
                if (blanks > 0) {
                    canvas.SetTextJustification(ToInt(room), blanks);
                    justified = true;
                }
            }
            break;
        default:
            break;
        }
        OutputLine(memo, canvas, ToInt(x), ToInt(y), line, memo.FrameTyp);
        if (justified) canvas.SetTextJustification(0, 0);
        ++memo.LinesShown;
        x += advance;
    }
}

// Hyphenation sets: the capital vowels, the hard and soft sign of the
// Cyrillic code page, and what ends a word.
bool IsVowel(int c) {
    switch (c) {
    case 168:
    case 192:
    case 197:
    case 200:
    case 206:
    case 211:
    case 219:
    case 221:
    case 222:
    case 223:
        return true;
    default:
        return false;
    }
}
bool IsSign(int c) {
    return c == 218 || c == 220;
}
bool IsDelimiter(int c) {
    return c == ' ' || c == ',' || c == '-' || c == '.';
}

// One entry per character: its byte, or -1 for a double-byte character
// (which is in none of the sets).
void SingleByteCodes(std::string_view text, std::vector<int>& codes) {
    codes.clear();
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t len = gdi::CharLength(text, pos);
        codes.push_back(len == 1 ? static_cast<unsigned char>(text[pos]) : -1);
        pos += len;
    }
}

} // namespace

// --- Hyphenation and wrapping --------------------------------------------------

std::vector<int> FindHyphenPoints(std::string_view word) {
    std::vector<int> codes;
    SingleByteCodes(rtl::AnsiUpperCase(word), codes);
    std::vector<int> points;
    const int n = static_cast<int>(codes.size());
    if (n < 4) return points;
    // c(p) is the 1-based character p.
    const auto c = [&](int p) { return codes[static_cast<std::size_t>(p - 1)]; };
    for (int p = 2; p <= n - 2; ++p) {
        bool allowed;
        if (IsVowel(c(p))) {
            allowed = IsVowel(c(p + 1)) || IsVowel(c(p + 2));
        } else if (IsSign(c(p))) {
            allowed = !IsDelimiter(c(p + 2));
        } else {
            allowed = !IsVowel(c(p + 1)) && !IsSign(c(p + 1)) && IsVowel(c(p + 2));
        }
        if (allowed) points.push_back(p);
    }
    return points;
}

void WrapParagraph(gdi::Canvas& canvas, std::string_view text, int width, bool wordBreak,
                   rtl::TStringList& lines) {
    // Every character's left edge, measured once: the width of any piece is
    // a difference of two of them, so wrapping stays linear in the text.
    static thread_local gdi::TextRun run;
    canvas.TextLayout(text, run);
    const std::size_t n = run.Count();
    const bool hasLineBreak = text.find_first_of("\r\n") != std::string_view::npos;
    if (!hasLineBreak && (n <= 1 || run.Width <= width)) {
        lines.Add(std::string(text) + frParagraphMarker);
        return;
    }
    const auto left = [&](std::size_t i) { return i < n ? run.Positions[i] : run.Width; };
    const auto offset = [&](std::size_t i) {
        return i < n ? static_cast<std::size_t>(run.Offsets[i]) : text.size();
    };
    const auto single = [&](std::size_t i, char c) {
        return offset(i + 1) - offset(i) == 1 && text[offset(i)] == c;
    };
    const auto piece = [&](std::size_t from, std::size_t to) {
        return std::string(text.substr(offset(from), offset(to) - offset(from)));
    };
    const int hyphenWidth = wordBreak ? canvas.TextWidth("-") : 0;

    std::size_t start = 0; // first character of the line being filled
    std::size_t blank = 0; // last blank of that line, when lineHasBlank
    bool lineHasBlank = false;
    std::size_t wordEnd = 0; // first word delimiter at or after i (WordBreak)
    std::size_t i = 0;
    while (i < n) {
        const unsigned char ch = static_cast<unsigned char>(text[offset(i)]);
        const bool singleByte = offset(i + 1) - offset(i) == 1;
        if (singleByte && IsLineBreak(static_cast<char>(ch))) {
            lines.Add(piece(start, i) + frParagraphMarker);
            while (i < n && (single(i, '\r') || single(i, '\n'))) ++i;
            start = i;
            lineHasBlank = false;
            continue;
        }
        if (singleByte && ch == kBlank) {
            blank = i;
            lineHasBlank = true;
            ++i;
            continue;
        }
        if (static_cast<long long>(left(i + 1)) - left(start) <= width) {
            ++i;
            continue;
        }
        // Character i does not fit on the line.
        if (i == start) {
            // Wider than the memo on its own: it still takes a line, whole
            // (the last one ends the paragraph below).
            if (i + 1 == n) break;
            lines.Add(piece(i, i + 1));
            start = ++i;
            lineHasBlank = false;
            continue;
        }
        std::size_t end = i;  // the line ends before this character
        std::size_t next = i; // and the next one starts here
        bool hyphenated = false;
        if (wordBreak) {
            const std::size_t wordStart = lineHasBlank ? blank + 1 : start;
            wordEnd = std::max(wordEnd, i);
            while (wordEnd < n) {
                const std::size_t len = offset(wordEnd + 1) - offset(wordEnd);
                if (len == 1 && IsDelimiter(static_cast<unsigned char>(text[offset(wordEnd)])))
                    break;
                ++wordEnd;
            }
            // Points after character i - 1 cannot help, so the word is looked
            // at up to i + 1 only: each break reads no more than its line.
            const std::size_t lookEnd = std::min(wordEnd, i + 1);
            if (lookEnd > wordStart) {
                const std::vector<int> points = FindHyphenPoints(piece(wordStart, lookEnd));
                for (auto p = points.rbegin(); p != points.rend(); ++p) {
                    const std::size_t at = wordStart + static_cast<std::size_t>(*p);
                    if (at > start && at < i &&
                        static_cast<long long>(left(at)) - left(start) + hyphenWidth <= width) {
                        end = next = at;
                        hyphenated = true;
                        break;
                    }
                }
            }
        }
        if (!hyphenated && lineHasBlank) {
            end = blank;
            next = blank + 1;
        }
        // Blanks alone (a line starting with the blanks before a word that
        // does not fit) make no line: they are dropped as a blank at a
        // break always is.
        std::string line = piece(start, end);
        if (hyphenated) line += '-';
        if (line.find_first_not_of(kBlank) != std::string::npos) lines.Add(line);
        start = next;
        lineHasBlank = false;
        // Character i is looked at again, now on the new line.
    }
    if (start < n) lines.Add(piece(start, n) + frParagraphMarker);
}

// --- The memo's operations ------------------------------------------------------

void PrepareFont(TfrMemoView& memo, gdi::Canvas& canvas) {
    canvas.SetBkMode(gdi::bkTransparent);
    gdi::TFont font = memo.Font;
    // A printer takes the size in points at its own resolution.
    if (!memo.PrinterOutput) {
        const double height = memo.Font.Size * kMeasurePointsToPixels * memo.ZoomY;
        const int em = memo.ZoomY == 1.0 ? RoundInt(height) : TruncInt(height);
        font.Height = -std::clamp(em, 1, gdi::TextService::kMaxEm);
    }
    canvas.SetFont(font);
}

void ExpandMemoText(TfrMemoView& memo) {
    memo.WorkMemo.Clear();
    rtl::TStringList valueLines;
    for (int i = 0; i < memo.Memo.Count(); ++i) {
        std::string line = memo.Memo[i];
        if (!(memo.Flags & flTextOnly)) memo.ExpandTag(line);
        if (line.find_first_of("\r\n") == std::string::npos) {
            memo.WorkMemo.Add(line);
        } else {
            // A value with line breaks continues on lines of its own.
            valueLines.SetText(line);
            memo.WorkMemo.AddStrings(valueLines);
        }
    }
}

void ApplyHighlight(TfrMemoView& memo) {
    if (rtl::Trim(memo.HighlightCondition).empty()) return;
    try {
        if (!frCalculate(memo.HighlightCondition).AsCondition()) return;
    } catch (const std::exception&) {
        return; // a condition that cannot be evaluated does not highlight
    }
    frSetFontStyle(memo.Font, memo.HighlightStyle);
    memo.Font.Color = memo.HighlightFontColor;
    memo.FillColor = memo.HighlightFillColor;
}

void WrapMemoText(TfrMemoView& memo) {
    gdi::Canvas& canvas = frMeasuringCanvas();
    const bool rotated = (memo.Alignment & frtaVertical) != 0;
    const int em = MeasureEm(memo.Font.Size);
    gdi::TFont font = memo.Font;
    font.Height = -em;
    font.Escapement = rotated ? kUpwards : 0;
    canvas.SetFont(font);
    canvas.SetTextCharacterExtra(memo.CharSpacing);
    canvas.SetTextJustification(0, 0);

    rtl::TStringList& lines = frEngine().WrappedLines;
    lines.Clear();
    const int advance = ClampAdvance(static_cast<long long>(memo.LineSpacing) + em);
    const int gap = rotated ? memo.GapX : memo.GapY;
    const int width = ToInt(rotated ? static_cast<long long>(memo.Height) - 2LL * memo.GapY
                                    : static_cast<long long>(memo.Width) - 2LL * memo.GapX);

    if (!frEngine().OutputMode && StartsWithBracket(memo.WorkMemo) &&
        canvas.TextWidth(memo.WorkMemo[0]) > width) {
        // The designer keeps an over-long expression on one line.
        lines.Add(memo.WorkMemo[0] + frParagraphMarker);
    } else {
        const bool wordWrap = (memo.Flags & flWordWrap) != 0;
        const bool wordBreak = (memo.Flags & flWordBreak) != 0;
        for (int i = 0; i < memo.WorkMemo.Count(); ++i) {
            const std::string& line = memo.WorkMemo[i];
            if (memo.PreWrapped) {
                lines.Add(line);
            } else if (wordWrap) {
                WrapParagraph(canvas, line, width, wordBreak, lines);
            } else {
                lines.Add(line + frParagraphMarker);
            }
        }
    }
    memo.TextExtent = ToInt(static_cast<long long>(lines.Count()) * advance + 2LL * gap);
    memo.LineAdvance = advance;
}

void PaintText(TfrMemoView& memo) {
    if (!memo.Canvas) return;
    gdi::Canvas& canvas = *memo.Canvas;
    PrepareFont(memo, canvas);
    canvas.SetTextCharacterExtra(RoundInt(memo.CharSpacing * memo.ZoomX));
    memo.TextExtent = RoundInt(memo.TextExtent * memo.ZoomY);
    const bool rotated = (memo.Alignment & frtaVertical) != 0;
    const int vertical = memo.Alignment & frtaVerticalMask;
    if (vertical != frtaMiddle && vertical != frtaDown) {
        if (rotated) {
            PaintRotatedLines(memo, canvas);
        } else {
            PaintLines(memo, canvas);
        }
        return;
    }
    // The block moves as a whole; the lines are drawn as if top-aligned.
    rtl::ScopedRestore<int> keepLeft(memo.Left);
    rtl::ScopedRestore<int> keepTop(memo.Top);
    rtl::ScopedRestore<int32_t> keepAlignment(memo.Alignment, memo.Alignment & 7);
    const gdi::TRect& r = memo.OutputRect;
    if (rotated) {
        if (vertical == frtaMiddle) {
            memo.Left =
                ToInt(memo.Left + (static_cast<long long>(r.Width()) - memo.TextExtent) / 2);
        } else {
            memo.Left = ToInt(static_cast<long long>(r.Right) - memo.TextExtent);
        }
        PaintRotatedLines(memo, canvas);
    } else {
        // Text split across pages starts at the top of each part.
        if (!memo.ClipToRect) {
            if (vertical == frtaMiddle) {
                memo.Top =
                    ToInt(memo.Top + (static_cast<long long>(r.Height()) - memo.TextExtent) / 2);
            } else {
                memo.Top = ToInt(static_cast<long long>(r.Bottom) - memo.TextExtent - 1);
            }
        }
        PaintLines(memo, canvas);
    }
}

void PaintUnderlines(TfrMemoView& memo) {
    if (!memo.Canvas) return;
    gdi::Canvas& canvas = *memo.Canvas;
    PrepareFont(memo, canvas);
    canvas.SetPen(gdi::TPen{memo.FrameColor, RoundInt(memo.FrameWidth), gdi::psSolid, gdi::pmCopy});
    const int pixelHeight = FontPixelHeight(canvas);
    const long long advance =
        ClampAdvance(static_cast<long long>(RoundInt(memo.LineSpacing * memo.ZoomY)) + pixelHeight);
    const long long count = memo.Height / advance;
    const long long first =
        static_cast<long long>(memo.Top) + memo.GapY + RoundInt(2 * memo.ZoomY) + pixelHeight;
    // Lines below what the device can show are not drawn at all.
    const long long bottom = canvas.ClipBox().Bottom;
    const int right = ToInt(static_cast<long long>(memo.Left) + memo.Width - 1);
    for (long long i = 0; i < count; ++i) {
        const long long y = first + advance * i;
        if (y > bottom) break;
        canvas.MoveTo(memo.Left, ToInt(y));
        canvas.LineTo(right, ToInt(y));
    }
}

int CalcTextWidth(TfrMemoView& memo, const rtl::TStringList& lines) {
    std::string text = lines.Text();
    // Markers are never drawn, so they take no room.
    std::erase(text, frParagraphMarker);
    if (text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0)
        text.resize(text.size() - 2);
    gdi::Canvas& canvas = memo.Canvas ? *memo.Canvas : frMeasuringCanvas();
    PrepareFont(memo, canvas);
    canvas.SetTextCharacterExtra(RoundInt(memo.CharSpacing * memo.ZoomX));
    const int measured = canvas.MultiLineTextExtent(text).cx;
    const double zoom = memo.ZoomX != 0 ? memo.ZoomX : 1.0;
    return RoundInt(measured / zoom + memo.FrameWidth + 2.0 * memo.GapX + 1);
}

int CalcWidthValue(TfrObject* currentObject) {
    if (auto* memo = dynamic_cast<TfrMemoView*>(currentObject))
        return CalcTextWidth(*memo, memo->Memo);
    if (auto* view = dynamic_cast<TfrView*>(currentObject)) return view->Width;
    return 0;
}

void PaintMemo(TfrMemoView& memo, gdi::Canvas& canvas) {
    const bool outputMode = frEngine().OutputMode;
    const bool autoWidth = (memo.Flags & flAutoSize) != 0;
    if (autoWidth && memo.Memo.Count() > 0 && outputMode) {
        memo.Canvas = &canvas;
        const int width = CalcTextWidth(memo, memo.Memo);
        if (memo.Alignment & frtaVertical) {
            memo.Height = width;
        } else {
            // Right-aligned and justified text keeps its right edge.
            if (memo.Alignment & frtaRight) memo.Left += memo.Width - width;
            memo.Width = width;
        }
    }
    memo.BeginPaint(canvas);
    memo.ClipToRect = false;
    memo.WorkMemo.Assign(memo.Memo);
    memo.PreWrapped = false;
    if (memo.WorkMemo.Count() > 0) {
        memo.PreWrapped = memo.WorkMemo.Text().find(frParagraphMarker) != std::string::npos;
        const int last = memo.WorkMemo.Count() - 1;
        if (memo.WorkMemo[last] == std::string(1, frParagraphMarker)) memo.WorkMemo.Delete(last);
        {
            // Lines break where they break at 96 dpi, whatever the zoom.
            rtl::ScopedRestore<double> zoomX(memo.ZoomX, 1.0);
            rtl::ScopedRestore<double> zoomY(memo.ZoomY, 1.0);
            memo.ScaleForOutput();
            if (outputMode && autoWidth) memo.Width += 100;
            WrapMemoText(memo);
        }
        memo.RestoreGeometry();
        memo.WorkMemo.Assign(frEngine().WrappedLines);
    }
    memo.ScaleForOutput();
    if (!memo.ExportMode) {
        memo.PaintFill();
        memo.PaintFrame();
        if (memo.Flags & flUnderlines) PaintUnderlines(memo);
    }
    if (memo.WorkMemo.Count() > 0) PaintText(memo);
    canvas.SetTextCharacterExtra(0);
    memo.RestoreGeometry();
}

int CalcMemoHeight(TfrMemoView& memo) {
    memo.PaintPart = 1;
    memo.BeginPaint(frMeasuringCanvas());
    RunBeforePrintScript(memo);
    if (!memo.Visible) return 0;
    if (!FireBeforePrint(memo)) ExpandMemoText(memo);
    rtl::ScopedRestore<gdi::TFont> keepFont(memo.Font);
    rtl::ScopedRestore<gdi::TColor> keepFill(memo.FillColor);
    ApplyHighlight(memo);
    memo.ScaleForOutput();
    if (memo.WorkMemo.Count() > 0) {
        WrapMemoText(memo);
        memo.WorkMemo.Assign(frEngine().WrappedLines);
    } else {
        // No text needs no room (not the previous record's height).
        memo.TextExtent = 0;
    }
    memo.RestoreGeometry();
    int result = memo.TextExtent;
    if (memo.Flags & flSuppressRepeated) {
        const std::string text = memo.WorkMemo.Text();
        if (text == memo.LastPrintedText) result = 0;
        if (frEngine().ScriptPass) memo.LastPrintedText = text;
    }
    return result;
}

void OutputMemoToPage(TfrMemoView& memo, rtl::TStream& stream) {
    struct PartDone {
        TfrMemoView& memo;
        ~PartDone() { memo.PaintPart = 0; }
    } partDone{memo};

    memo.BeginPaint(frMeasuringCanvas());
    memo.ClipToRect = true;
    bool keepText = false;
    if (memo.PaintPart == 0) {
        RunBeforePrintScript(memo);
        keepText = FireBeforePrint(memo);
        if (!keepText) ExpandMemoText(memo);
    }
    if (!memo.Visible) return;

    rtl::ScopedRestore<gdi::TFont> keepFont(memo.Font);
    rtl::ScopedRestore<gdi::TColor> keepFill(memo.FillColor);
    ApplyHighlight(memo);

    rtl::TStringList& wrapped = frEngine().WrappedLines;
    const bool part = memo.PaintPart == 2;
    if (part) {
        // Draw (measure) what fits; the record keeps those lines, marked as
        // wrapped, and the rest waits for the next part.
        memo.ScaleForOutput();
        PaintText(memo);
        wrapped.Assign(memo.WorkMemo);
        const int shown = std::clamp(memo.LinesShown, 0, memo.WorkMemo.Count());
        while (memo.WorkMemo.Count() > shown) memo.WorkMemo.Delete(memo.WorkMemo.Count() - 1);
        if (memo.WorkMemo.Text().find(frParagraphMarker) == std::string::npos)
            memo.WorkMemo.Add(std::string(1, frParagraphMarker));
        memo.RestoreGeometry();
    }

    {
        // Values in the tag are written unformatted.
        rtl::ScopedRestore<std::string> keepTag(memo.Tag);
        if (memo.Tag.find('[') != std::string::npos) {
            rtl::ScopedRestore<int32_t> unformatted(memo.FormatCode, 0);
            memo.ExpandTag(memo.Tag);
        }
        rtl::ScopedRestore<uint8_t> keepBandAlign(memo.BandAlign);
        // A bottom-aligned memo keeps its place in the band: the band engine
        // moves it only when it splits the band.
        if (memo.BandAlign == baBottom) memo.BandAlign = baNone;
        if (const TfrBandRuntime* band = frEngine().CurrentBand) {
            if (memo.BandAlign == baTop) {
                memo.Top = band->Top();
            } else if (memo.BandAlign == baWidth && frIsCrossBand(band->BandType())) {
                memo.Width = band->Width();
                memo.BandAlign = baNone;
            }
        }
        const bool suppress = (memo.Flags & flSuppressRepeated) != 0;
        const std::string text = suppress ? memo.WorkMemo.Text() : std::string();
        if (!suppress || text != memo.LastPrintedText) {
            WriteRecord(memo, stream);
            if (suppress) memo.LastPrintedText = text;
        }
    }

    if (part) {
        const int shown = std::clamp(memo.LinesShown, 0, wrapped.Count());
        memo.WorkMemo.Clear();
        for (int i = shown; i < wrapped.Count(); ++i) memo.WorkMemo.Add(wrapped[i]);
    }
}

int MeasureMemoMinHeight(TfrMemoView& memo) {
    memo.LineAdvance =
        ClampAdvance(static_cast<long long>(memo.LineSpacing) + MeasureEm(memo.Font.Size));
    return ToInt(static_cast<long long>(RoundInt(2 * memo.FrameWidth)) + memo.LineAdvance +
                 2LL * memo.GapY);
}

int MeasureMemoRemainder(TfrMemoView& memo) {
    memo.LineAdvance =
        ClampAdvance(static_cast<long long>(memo.LineSpacing) + MeasureEm(memo.Font.Size));
    const long long frame = RoundInt(2 * memo.FrameWidth);
    const long long gaps = 2LL * memo.GapY;
    return ToInt(gaps + frame + (memo.Height - frame - gaps) % memo.LineAdvance);
}

void InstallMemoLayout() {
    TfrEngineHooks& hooks = frEngineHooks();
    hooks.PaintMemo = PaintMemo;
    hooks.OutputMemoToPage = OutputMemoToPage;
    hooks.CalcMemoHeight = CalcMemoHeight;
    hooks.MeasureMemoMinHeight = MeasureMemoMinHeight;
    hooks.MeasureMemoRemainder = MeasureMemoRemainder;
}
