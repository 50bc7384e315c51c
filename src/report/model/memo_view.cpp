#include "report/model/memo_view.h"

#include "platform/rtl/scoped_restore.h"
#include "platform/rtl/sysutils.h"
#include "report/core/process_state.h"
#include "report/core/resource_strings.h"
#include "report/core/string_ids.h"
#include "report/model/stream_versions.h"

using rtl::TVariant;

TfrMemoView::TfrMemoView() {
    TypeCode = gtMemo;
    Font.Name = "Arial";
    Font.Size = 10;
    Font.Color = gdi::clBlack;
    Font.CharSet = frEngine().DefaultCharset;
    BaseName = "Memo";
    Flags = flStretched | flWordWrap;
}

const TfrPropertyTable& TfrMemoView::PropertyTable() {
    static const TfrPropertyTable table = [] {
        using MemoView = TfrMemoView;
        TfrPropertyTableBuilder<MemoView> t(TfrStretcheable::PropertyTable());
        AddFontEntries(t, &MemoView::Font);
        // The font, display format and highlight are edited through their
        // editors only.
        t.Add("Font", frdtHasEditor)
            .NotNamed()
            .Editor(HookEditor(&TfrDesignerEditorHooks::EditFontHook));
        t.Field("Alignment", 0, &MemoView::Alignment);
        t.Add("DisplayFormat", frdtHasEditor).NotNamed().Editor([](MemoView& m) {
            m.EditDisplayFormat();
        });
        t.Add("Highlight", frdtHasEditor)
            .NotNamed()
            .Editor(HookEditor(&TfrDesignerEditorHooks::EditHighlightHook));
        t.Field("LineSpacing", frdtInteger, &MemoView::LineSpacing);
        t.Field("CharSpacing", frdtInteger, &MemoView::CharSpacing);
        t.List("GapX", "GapX", frdtInteger);
        t.List("GapY", "GapY", frdtInteger);
        t.List("Stretched", "Stretched", frdtBoolean);
        t.FlagBit("WordWrap", frdtBoolean, flWordWrap);
        t.FlagBit("WordBreak", frdtBoolean, flWordBreak);
        t.FlagBit("AutoWidth", frdtBoolean, flAutoSize);
        t.FlagBit("TextOnly", frdtBoolean, flTextOnly);
        t.FlagBit("Suppress", frdtBoolean, flSuppressRepeated);
        t.FlagBit("HideZeros", frdtBoolean, flHideZeros);
        // Read-only.
        t.Add("Lines.Count", 0, [](MemoView& m) { return TVariant(m.Memo.Count()); });
        t.FlagBit("Underlines", frdtBoolean, flUnderlines);
        t.FlagBit("RTLReading", frdtBoolean, flRTLReading);
        return t.Build();
    }();
    return table;
}

TVariant TfrMemoView::CallMethod(const std::string& name, const TVariant& a1, const TVariant& a2,
                                 const TVariant& a3) {
    TVariant result = TfrStretcheable::CallMethod(name, a1, a2, a3);
    if (result.IsNull()) result = CallListMethod(Memo, "LINES", name, a1, a2, a3);
    return result;
}

void TfrMemoView::Paint(gdi::Canvas& canvas) {
    if (const auto& paint = frEngineHooks().PaintMemo) {
        paint(*this, canvas);
        return;
    }
    BeginPaint(canvas);
    ScaleForOutput();
    PaintFill();
    PaintFrame();
    RestoreGeometry();
}

void TfrMemoView::OutputToPage(rtl::TStream& stream) {
    if (const auto& output = frEngineHooks().OutputMemoToPage) {
        output(*this, stream);
        return;
    }
    TfrView::OutputToPage(stream);
}

void TfrMemoView::ExportToFilter() {
    TfrView::ExportToFilter();
    rtl::ScopedRestore<bool> exporting(ExportMode, true);
    Paint(frMeasuringCanvas());
}

int TfrMemoView::CalcHeight() {
    if (!frEngineHooks().CalcMemoHeight) throw EfrNoMemoLayout();
    return frEngineHooks().CalcMemoHeight(*this);
}

int TfrMemoView::MeasureMinHeight() {
    if (!frEngineHooks().MeasureMemoMinHeight) throw EfrNoMemoLayout();
    return frEngineHooks().MeasureMemoMinHeight(*this);
}

int TfrMemoView::MeasureRemainder() {
    if (!frEngineHooks().MeasureMemoRemainder) throw EfrNoMemoLayout();
    return frEngineHooks().MeasureMemoRemainder(*this);
}

void TfrMemoView::ReadRecord(rtl::TStream& stream, int v) {
    TfrStretcheable::ReadRecord(stream, v);
    Font.Name = rtl::frReadString(stream, v);
    Font.Size = stream.ReadInt32();
    Font.Height = 0;
    frSetFontStyle(Font, stream.ReadUInt16());
    Font.Color = stream.ReadUInt32();
    Alignment = stream.ReadInt32();
    const int charset = stream.ReadUInt16();
    Font.CharSet = v < frStreamVersionNames ? frEngine().DefaultCharset : charset;
    if (!PreparedMode) {
        HighlightStyle = stream.ReadUInt16();
        HighlightFontColor = stream.ReadUInt32();
        HighlightFillColor = stream.ReadUInt32();
        HighlightCondition = rtl::frReadString(stream, v);
    }
    if (v >= frStreamVersionRecordVersions) {
        LineSpacing = stream.ReadInt32();
        CharSpacing = stream.ReadInt32();
    }
    // The oldest templates always wrapped their text.
    if (v == frStreamVersionOldest) Flags |= flWordWrap;
}

void TfrMemoView::WriteToStream(rtl::TStream& stream) {
    TfrStretcheable::WriteToStream(stream);
    rtl::frWriteString(stream, Font.Name);
    stream.WriteInt32(Font.Size);
    stream.WriteUInt16(static_cast<uint16_t>(frGetFontStyle(Font)));
    stream.WriteUInt32(Font.Color);
    stream.WriteInt32(Alignment);
    stream.WriteUInt16(static_cast<uint16_t>(Font.CharSet));
    if (!PreparedMode) {
        stream.WriteUInt16(HighlightStyle);
        stream.WriteUInt32(HighlightFontColor);
        stream.WriteUInt32(HighlightFillColor);
        rtl::frWriteString(stream, HighlightCondition);
    }
    stream.WriteInt32(LineSpacing);
    stream.WriteInt32(CharSpacing);
}

void TfrMemoView::EditDisplayFormat() {
    TfrDesignerEditorHooks& d = DesignerEditorHooks();
    if (!d.EditFormatHook) return;
    if (d.RecordEditUndo) d.RecordEditUndo();
    int code = FormatCode;
    std::string text = FormatText;
    if (!d.EditFormatHook(code, text)) return;
    if (d.SelectedObjects) {
        for (TfrView* v : d.SelectedObjects()) {
            if (v && !(v->Restrictions & frrfDontModify)) {
                v->FormatCode = code;
                v->FormatText = text;
            }
        }
    }
    if (d.RefreshSelection) d.RefreshSelection();
}

void TfrMemoView::OpenEditor() {
    if (DesignerEditorHooks().EditMemoHook) DesignerEditorHooks().EditMemoHook(*this);
}

void TfrMemoView::AddPopupItems(TfrPopupMenu& menu) {
    TfrPopupItem format;
    format.Caption = LoadResourceString(frsMemoFormat);
    format.OnClick = [this] { EditDisplayFormat(); };
    menu.push_back(format);

    TfrPopupItem font;
    font.Caption = LoadResourceString(frsMemoFont);
    font.OnClick = EditorFor(&TfrDesignerEditorHooks::EditFontHook);
    menu.push_back(font);

    TfrPopupItem clear;
    clear.Caption = LoadResourceString(frsMemoClear);
    clear.OnClick = [] {
        TfrDesignerEditorHooks& d = DesignerEditorHooks();
        if (d.RecordEditUndo) d.RecordEditUndo();
        if (d.SelectedObjects) {
            for (TfrView* v : d.SelectedObjects()) {
                if (v && !(v->Restrictions & frrfDontEditContents)) {
                    v->Memo.Clear();
                    v->BeforePrintScript.Clear();
                }
            }
        }
        if (d.RefreshSelection) d.RefreshSelection();
    };
    menu.push_back(clear);

    TfrStretcheable::AddPopupItems(menu);
    menu.push_back(FlagItem(LoadResourceString(frsWordWrap), flWordWrap));
    const std::string wordBreak = LoadResourceString(frsWordBreak);
    if (!wordBreak.empty()) menu.push_back(FlagItem(wordBreak, flWordBreak));
    menu.push_back(FlagItem(LoadResourceString(frsAutoSize), flAutoSize));
    menu.push_back(FlagItem(LoadResourceString(frsTextOnly), flTextOnly));
    menu.push_back(FlagItem(LoadResourceString(frsSuppress), flSuppressRepeated));
    menu.push_back(FlagItem(LoadResourceString(frsHideZeros), flHideZeros));
    menu.push_back(FlagItem(LoadResourceString(frsUnderlines), flUnderlines));
}
