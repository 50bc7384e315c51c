#include "model_test_support.h"

#include "platform/gdi/recording_canvas.h"
#include "platform/text/cp936.h"
#include "report/model/band_view.h"
#include "report/model/line_view.h"
#include "report/model/picture_view.h"
#include "report/model/sub_report_view.h"

#include <gmock/gmock.h>

using namespace model_test;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

namespace {

// Captions in UTF-8, "-" for a separator, "[x]" for a checked item.
std::vector<std::string> Captions(const TfrPopupMenu& menu) {
    std::vector<std::string> out;
    for (const TfrPopupItem& i : menu) {
        if (i.Separator) {
            out.push_back("-");
        } else {
            out.push_back((i.Checked ? "[x]" : "") + text::Cp936ToUtf8(i.Caption));
        }
    }
    return out;
}

const TfrPopupItem& Item(const TfrPopupMenu& menu, const char* utf8) {
    for (const TfrPopupItem& i : menu)
        if (i.Caption == text::L(utf8)) return i;
    throw std::runtime_error(std::string("no item ") + utf8);
}

class Popup : public ModelTest {
protected:
    void SetUp() override {
        ModelTest::SetUp();
        TfrDesignerEditorHooks& d = DesignerEditorHooks();
        d.RecordEditUndo = [this] { log.push_back("undo"); };
        d.RefreshSelection = [this] { log.push_back("refresh"); };
        d.SelectedObjects = [this] { return selection; };
    }
    std::vector<TfrView*> selection;
    std::vector<std::string> log;
};

} // namespace

TEST_F(Popup, MemoItemsToggleTheirBitOnTheModifiableSelection) {
    TfrMemoView a, b, locked;
    locked.Restrictions = frrfDontModify;
    selection = {&a, &b, &locked};
    TfrPopupMenu menu;
    a.AddPopupItems(menu);
    EXPECT_THAT(Captions(menu),
                ElementsAre("变量格式...", "字体...", "清除内容", "-", "[x]伸展", "[x]自动折行",
                            "自动大小", "只能是文本", "压缩重复值", "隐藏零值", "下划线"));
    Item(menu, "自动大小").OnClick();
    EXPECT_EQ(a.Flags, flStretched | flWordWrap | flAutoSize);
    EXPECT_EQ(b.Flags, flStretched | flWordWrap | flAutoSize);
    EXPECT_EQ(locked.Flags, flStretched | flWordWrap);
    Item(menu, "伸展").OnClick(); // checked: switches it off
    EXPECT_EQ(b.Flags, flWordWrap | flAutoSize);
    EXPECT_THAT(log, ElementsAre("undo", "refresh", "undo", "refresh"));
}

TEST_F(Popup, ClearingContentsSparesProtectedObjects) {
    TfrMemoView a, kept;
    a.Memo.SetText("x");
    a.BeforePrintScript.SetText("y");
    kept.Memo.SetText("x");
    kept.Restrictions = frrfDontEditContents;
    selection = {&a, &kept};
    TfrPopupMenu menu;
    a.AddPopupItems(menu);
    Item(menu, "清除内容").OnClick();
    EXPECT_EQ(a.Memo.Count() + a.BeforePrintScript.Count(), 0);
    EXPECT_EQ(kept.Memo.Count(), 1);
}

TEST_F(Popup, DisplayFormatGoesToTheSelection) {
    TfrMemoView a, b, locked;
    locked.Restrictions = frrfDontModify;
    selection = {&a, &b, &locked};
    int shown = 0;
    DesignerEditorHooks().EditFormatHook = [&](int& code, std::string& text) {
        ++shown;
        EXPECT_EQ(code, 0x22E);
        code = 0x01000000;
        text = "yyyy-mm-dd";
        return true;
    };
    a.FindProperty("DisplayFormat")->Editor();
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(b.FormatCode, 0x01000000);
    EXPECT_EQ(b.FormatText, "yyyy-mm-dd");
    EXPECT_EQ(locked.FormatText, "");

    DesignerEditorHooks().EditFormatHook = [](int& code, std::string&) {
        code = 5;
        return false; // cancelled
    };
    TfrPopupMenu menu;
    a.AddPopupItems(menu);
    Item(menu, "变量格式...").OnClick();
    EXPECT_EQ(a.FormatCode, 0x01000000);
}

TEST_F(Popup, BandItemsDependOnTheType) {
    struct Case {
        int type;
        std::vector<std::string> captions;
    };
    const Case cases[] = {
        {btPageFooter, {"-", "[x]在第一页", "[x]在最后一页"}},
        {btOverlay, {"打印子Band不可见"}},
        {btCrossData, {"打印子Band不可见"}},
        {btPageHeader, {"-", "伸展", "[x]在第一页", "打印子Band不可见"}},
        {btMasterData, {"-", "伸展", "强迫换页", "为空时打印", "分隔", "打印子Band不可见"}},
        {btGroupHeader, {"-", "伸展", "强迫换页", "分隔", "显示所有页", "打印子Band不可见"}},
        {btCrossHeader, {"-", "伸展", "显示所有页", "打印子Band不可见"}},
    };
    for (const Case& c : cases) {
        TfrBandView band;
        band.FrameTyp = static_cast<uint16_t>(c.type);
        band.Flags = flBandOnFirstPage | flBandOnLastPage;
        TfrPopupMenu menu;
        band.AddPopupItems(menu);
        EXPECT_THAT(Captions(menu), ElementsAreArray(c.captions)) << c.type;
    }
}

TEST_F(Popup, PictureAndSubReportItems) {
    TfrPictureView pict;
    TfrPopupMenu menu;
    pict.AddPopupItems(menu);
    EXPECT_THAT(Captions(menu), ElementsAre("-", "[x]伸展", "图片中心化", "[x]保持纵横比"));
    EXPECT_TRUE(menu.back().Enabled);

    pict.Flags = flPictRatio; // not stretched
    menu.clear();
    pict.AddPopupItems(menu);
    EXPECT_FALSE(menu.back().Enabled);
    EXPECT_FALSE(menu.back().Checked);

    TfrSubReportView sub;
    menu.clear();
    sub.AddPopupItems(menu);
    EXPECT_TRUE(menu.empty());
}

TEST_F(Popup, EditorsOpenThroughTheDesignerHooks) {
    std::vector<std::string> opened;
    DesignerEditorHooks().EditMemoHook = [&](TfrView& v) { opened.push_back("memo " + v.Name); };
    DesignerEditorHooks().EditPictureHook = [&](TfrView& v) { opened.push_back("pict " + v.Name); };
    TfrMemoView memo;
    memo.Name = "Memo1";
    TfrPictureView pict;
    pict.Name = "Picture1";
    TfrLineView line;
    memo.OpenEditor();
    pict.OpenEditor();
    line.OpenEditor();
    EXPECT_THAT(opened, ElementsAre("memo Memo1", "pict Picture1"));
}

// ---------------------------------------------------------------------------
// The control base, with a stand-in for the window control.

namespace {

class TestControl : public TfrControl {
public:
    void PaintControl() override { log.push_back("paint " + std::to_string(Left)); }
    void SetControlVisible(bool v) override { log.push_back(v ? "show" : "hide"); }
    void SetControlSize(int w, int h) override {
        log.push_back("size " + std::to_string(w) + "x" + std::to_string(h));
    }
    std::vector<std::string> log;
};

} // namespace

TEST_F(Popup, ControlsOfferTheirShortTableAndDriveTheirWindowControl) {
    TestControl c;
    EXPECT_EQ(c.TypeCode, gtAddIn);
    EXPECT_EQ(c.FillColor, gdi::clBtnFace);
    std::vector<std::string> names;
    for (const auto& p : c.PropList()) names.push_back(p->Name);
    EXPECT_THAT(names,
                ElementsAre("Name", "Left", "Top", "Width", "Height", "Visible", "Restrictions"));
    c.WriteProperty("Visible", false);
    c.SetBounds(7, 8, 90, 20);
    gdi::RecordingCanvas canvas;
    c.Paint(canvas);
    EXPECT_THAT(c.log, ElementsAre("hide", "size 90x20", "paint 7"));
    EXPECT_EQ(frEngine().CurrentObject, &c);
}
