#include "report/model/memo_view.h"

#include "platform/rtl/sysutils.h"
#include "report/core/process_state.h"
#include "report/core/resource_strings.h"
#include "report/core/string_ids.h"

using rtl::TVariant;

namespace {

struct FlagName {
    const char* name;
    uint16_t bit;
};

const FlagName kMemoFlags[] = {{"WORDWRAP", flWordWrap},         {"WORDBREAK", flWordBreak},
                               {"AUTOWIDTH", flAutoSize},        {"TEXTONLY", flTextOnly},
                               {"SUPPRESS", flSuppressRepeated}, {"HIDEZEROS", flHideZeros},
                               {"UNDERLINES", flUnderlines},     {"RTLREADING", flRTLReading}};

} // namespace

TfrMemoView::TfrMemoView() {
    TypeCode = gtMemo;
    Font.Name = "Arial";
    Font.Size = 10;
    Font.Color = gdi::clBlack;
    Font.CharSet = frEngine().DefaultCharset;
    BaseName = "Memo";
    Flags = flStretched | flWordWrap;
}

void TfrMemoView::RegisterProperties() {
    TfrView::RegisterProperties();
    AddProperty("Font.Name", 0);
    AddProperty("Font.Size", 0);
    AddProperty("Font.Style", 0);
    AddProperty("Font.Color", 0);
    AddProperty("Font", frdtHasEditor, EditorFor(&TfrDesignerEditorHooks::EditFontHook));
    AddProperty("Alignment", 0);
    AddProperty("DisplayFormat", frdtHasEditor, [this] { EditDisplayFormat(); });
    AddProperty("Highlight", frdtHasEditor, EditorFor(&TfrDesignerEditorHooks::EditHighlightHook));
    for (const char* n : {"LineSpacing", "CharSpacing", "GapX", "GapY"})
        AddProperty(n, frdtInteger);
    for (const char* n :
         {"Stretched", "WordWrap", "WordBreak", "AutoWidth", "TextOnly", "Suppress", "HideZeros"})
        AddProperty(n, frdtBoolean);
    AddProperty("Lines.Count", 0);
    AddProperty("Underlines", frdtBoolean);
    AddProperty("RTLReading", frdtBoolean);
}

void TfrMemoView::WriteProperty(const std::string& name, const TVariant& value) {
    TfrStretcheable::WriteProperty(name, value);
    const std::string n = rtl::UpperCase(name);
    if (WriteFontProperty(Font, n, value)) return;
    if (n == "ALIGNMENT") {
        Alignment = value.AsInteger();
    } else if (n == "LINESPACING") {
        LineSpacing = value.AsInteger();
    } else if (n == "CHARSPACING") {
        CharSpacing = value.AsInteger();
    } else {
        for (const FlagName& f : kMemoFlags) {
            if (n == f.name) {
                SetFlag(f.bit, value.AsBoolean());
                return;
            }
        }
    }
}

TVariant TfrMemoView::ReadProperty(const std::string& name) {
    TVariant result = TfrStretcheable::ReadProperty(name);
    if (!result.IsNull()) return result;
    const std::string n = rtl::UpperCase(name);
    result = ReadFontProperty(Font, n);
    if (!result.IsNull()) return result;
    if (n == "ALIGNMENT") return TVariant(Alignment);
    if (n == "LINESPACING") return TVariant(LineSpacing);
    if (n == "CHARSPACING") return TVariant(CharSpacing);
    if (n == "LINES.COUNT") return TVariant(Memo.Count());
    for (const FlagName& f : kMemoFlags)
        if (n == f.name) return TVariant((Flags & f.bit) != 0);
    return TVariant::Null();
}

TVariant TfrMemoView::CallMethod(const std::string& name, const TVariant& a1, const TVariant& a2,
                                 const TVariant& a3) {
    TVariant result = TfrStretcheable::CallMethod(name, a1, a2, a3);
    if (result.IsNull()) result = CallListMethod(Memo, "LINES", name, a1, a2, a3);
    return result;
}

void TfrMemoView::Paint(gdi::Canvas& canvas) {
    BeginPaint(canvas);
    ScaleForOutput();
    PaintFill();
    if (frEngineHooks().DrawMemoText) frEngineHooks().DrawMemoText(*this);
    PaintFrame();
    RestoreGeometry();
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

void TfrMemoView::ReadFromStream(rtl::TStream& stream) {
    TfrStretcheable::ReadFromStream(stream);
    const int v = frEngine().Version;
    Font.Name = rtl::frReadString(stream, v);
    Font.Size = stream.ReadInt32();
    Font.Height = 0;
    frSetFontStyle(Font, stream.ReadUInt16());
    Font.Color = stream.ReadUInt32();
    Alignment = stream.ReadInt32();
    const int charset = stream.ReadUInt16();
    Font.CharSet = v < 23 ? frEngine().DefaultCharset : charset;
    if (!PreparedMode) {
        HighlightStyle = stream.ReadUInt16();
        HighlightFontColor = stream.ReadUInt32();
        HighlightFillColor = stream.ReadUInt32();
        HighlightCondition = rtl::frReadString(stream, v);
    }
    if (v > 23) {
        LineSpacing = stream.ReadInt32();
        CharSpacing = stream.ReadInt32();
    }
    // The oldest templates always wrapped their text.
    if (v == 21) Flags |= flWordWrap;
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
