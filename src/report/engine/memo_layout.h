#pragma once
// Memo text layout and drawing: bracketed expressions expanded, the
// highlight applied, text wrapped into lines on the 96-dpi measuring canvas,
// lines aligned, justified, rotated and drawn, memos measured and split for
// the band engine, and their records written into prepared pages.
//
// Line breaks are always found on frMeasuringCanvas() with the memo's zoom
// forced to 1, so a prepared page breaks its lines in the same places on
// screen, on any printer and in PDF; devices only scale the drawing.
//
// Rules of our own where the old behaviour could hang or split text:
// - every line takes at least one whole character, so a character wider
//   than the memo, or a width of 0 or less, gives one character per line;
// - lines break between characters only: a GBK lead byte and its trail byte
//   are measured, hyphenated and kept together;
// - a line advance of 0 or less (a large negative LineSpacing) counts as 1.
//
// The functions work on the memo's own fields as the memo's operations do;
// InstallMemoLayout() puts them behind the memo's hooks (frEngineHooks()).

#include "report/model/memo_view.h"

#include <string>
#include <string_view>
#include <vector>

// Puts the memo layout behind frEngineHooks(): PaintMemo, OutputMemoToPage,
// CalcMemoHeight, MeasureMemoMinHeight and MeasureMemoRemainder.
void InstallMemoLayout();

// --- The memo's operations ------------------------------------------------

// Paint: auto width, wrapping (on the measuring canvas), fill, frame,
// underlines and text.
void PaintMemo(TfrMemoView& memo, gdi::Canvas& canvas);
// OutputToPage for the band engine, by the memo's PaintPart: 0 a whole
// output, 1 after CalcMemoHeight prepared the text, 2 the part of the wrapped
// lines that fits into Height (the rest stays for the next part).
void OutputMemoToPage(TfrMemoView& memo, rtl::TStream& stream);
// Height of the memo's text for the current record (PaintPart becomes 1).
int CalcMemoHeight(TfrMemoView& memo);
// Height of one line with gaps and frame.
int MeasureMemoMinHeight(TfrMemoView& memo);
// Space below the last whole line that fits into Height, with gaps and frame.
int MeasureMemoRemainder(TfrMemoView& memo);

// WorkMemo = Memo with every bracketed expression replaced by its display
// text (not with TextOnly); a value holding line breaks gives several lines.
void ExpandMemoText(TfrMemoView& memo);
// Applies the highlight when HighlightCondition holds: font style and colour,
// fill colour. Errors in the condition mean no highlight.
void ApplyHighlight(TfrMemoView& memo);
// Sets the canvas font as the memo draws with it at its zoom.
void PrepareFont(TfrMemoView& memo, gdi::Canvas& canvas);
// Wraps WorkMemo into frEngine().WrappedLines on the measuring canvas; sets
// TextExtent and LineAdvance.
void WrapMemoText(TfrMemoView& memo);
// Draws WorkMemo's lines into OutputRect with the memo's alignment; sets
// LinesShown.
void PaintText(TfrMemoView& memo);
// Ruled lines under every text line the memo's height holds.
void PaintUnderlines(TfrMemoView& memo);
// Width in report units that `lines` need at the memo's font, gaps and frame.
int CalcTextWidth(TfrMemoView& memo, const rtl::TStringList& lines);

// The CALCWIDTH system variable: for a memo the width its text needs, for
// another view its width, else 0.
int CalcWidthValue(TfrObject* currentObject);

// --- Wrapping, for the memo and its tests ---------------------------------

// Appends the lines of one paragraph, each fitting into `width` pixels as
// `canvas` measures with its current font and character extra. Paragraph
// ends (CR, LF, the text's end) carry frParagraphMarker. With `wordBreak`,
// a word that does not fit is hyphenated where FindHyphenPoints allows.
void WrapParagraph(gdi::Canvas& canvas, std::string_view text, int width, bool wordBreak,
                   rtl::TStringList& lines);

// Where `word` may be hyphenated: the 1-based character positions p after
// which a break is allowed, in increasing order. Characters are whole CP936
// characters; the vowel and sign sets are single bytes of the Cyrillic code
// page the rules were made for, so Chinese text has no hyphenation points.
std::vector<int> FindHyphenPoints(std::string_view word);
