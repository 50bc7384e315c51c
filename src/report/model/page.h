#pragma once
// Template pages: a report page (paper, margins, columns, bands and objects)
// or a dialog page (a form shown before the report is built), and the
// report's ordered list of them with their part of the template stream.

#include "platform/gdi/colors.h"
#include "platform/rtl/stream.h"
#include "platform/rtl/string_list.h"
#include "report/core/process_state.h"
#include "report/model/object.h"
#include "report/model/view.h"
#include "report/printer/printer.h"

#include <memory>
#include <string>
#include <vector>

class TfrReport;

enum TfrPageType : uint8_t { ptReport = 0, ptDialog = 1 };

// Dialog page border styles and positions as stored.
constexpr uint8_t frbsSizeable = 2;
constexpr uint8_t frbsDialog = 3;
constexpr uint8_t frpoDesigned = 0;
constexpr uint8_t frpoScreenCenter = 4;

// PaperBin of a page that asked for the printer's default source.
constexpr int32_t frDefaultPaperBin = 0xFFFF;

class TfrPage : public TfrObject, public TfrViewPage {
public:
    TfrPage(int paperSize, int width, int height, int bin, int orientation);
    ~TfrPage() override;

    std::string ClassName() const override { return "TfrPage"; }

    static const TfrPropertyTable& PropertyTable();
    const TfrPropertyTable& Properties() const override { return PropertyTable(); }

    // Selects the paper on the printer layer and reads its page back; a
    // paper the printer refuses falls back to a custom size.
    void ChangePaper(int paperSize, int width, int height, int bin, int orientation);

    // Limits in report units.
    int LeftLimit() const override;
    int TopLimit() const;
    int RightLimit() const override;
    int BottomLimit() const;
    int PageWidth() const override { return PrinterInfo.PageWidth; }
    int PageHeight() const override { return PrinterInfo.PageHeight; }

    int ObjectCount() const override { return static_cast<int>(Objects.size()); }
    TfrView* ObjectAt(int index) const override { return Objects.at(index).get(); }
    // Appends and takes ownership; the view learns its page.
    TfrView& AddObject(std::unique_ptr<TfrView> view);
    TfrView* FindObject(const std::string& name) const;
    int FindObjectById(int32_t id) const;
    void DeleteObject(int index);
    void ClearObjects() { Objects.clear(); }

    // Compiles and runs the page script through the installed interpreter.
    void RunPageScript();

    // The page record of the template stream (after its 255 marker).
    void LoadFromStream(rtl::TStream& stream);
    void SaveToStream(rtl::TStream& stream);

    int32_t PaperSize = 0;
    int32_t PaperWidth = 0, PaperHeight = 0;
    gdi::TRect Margins{0, 0, 0, 0};
    uint8_t Orientation = 0;
    int32_t PaperBin = frDefaultPaperBin;
    bool PrintToPrevPage = false;
    bool UseMargins = true;
    PrinterPageInfo PrinterInfo;
    int32_t Columns = 1, ColumnWidth = 0, ColumnGap = 0;
    uint8_t PageType = ptReport;
    std::vector<std::unique_ptr<TfrView>> Objects;
    std::string Name;
    uint8_t BorderStyle = frbsDialog;
    std::string Caption = "Form";
    gdi::TColor Color = gdi::clBtnFace;
    int32_t Left = 220, Top = 120, Width = 380, Height = 300;
    uint8_t Position = frpoScreenCenter;
    rtl::TStringList PageScript;
    bool Visible = true;

    // The band engine's page-footer height while building (output mode);
    // unset, the page's page-footer band object stands for it.
    std::function<int()> PageFooterHeight;

private:
    int FooterHeight() const;
    void EditScript();
};

class TfrPages {
public:
    explicit TfrPages(TfrReport& report) : Report(report) {}

    int Count() const { return static_cast<int>(items_.size()); }
    TfrPage& Items(int index) const { return *items_.at(index); }
    TfrPage& operator[](int index) const { return Items(index); }
    void Clear() { items_.clear(); }
    // A new report page on the default paper; returns its index.
    int Add();
    void Delete(int index);
    void Move(int from, int to);
    // Hands the pages over without freeing them (the report's page swap).
    std::vector<std::unique_ptr<TfrPage>> Release() { return std::move(items_); }
    void Adopt(std::vector<std::unique_ptr<TfrPage>> pages) { items_ = std::move(pages); }

    void LoadFromStream(rtl::TStream& stream);
    void SaveToStream(rtl::TStream& stream);

    // Paints every object aligned inside its band once, so the alignment applies.
    void ApplyAlignments(gdi::Canvas& scratch);

    TfrReport& Report;

private:
    void ReadObjectRecord(rtl::TStream& stream, uint8_t kind, std::vector<std::string>& missing,
                          class TfrLoadNames& names);
    std::string FreePageName() const;

    std::vector<std::unique_ptr<TfrPage>> items_;
};
