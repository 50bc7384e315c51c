#include "tools/label_templates.h"

#include "platform/gdi/font.h"
#include "platform/rtl/scoped_restore.h"
#include "platform/rtl/stream.h"
#include "platform/text/cp936.h"
#include "report/barcode/barcode.h"
#include "report/barcode/barcode_view.h"
#include "report/model/band_view.h"
#include "report/model/memo_view.h"
#include "report/model/object_registry.h"
#include "report/model/page.h"
#include "report/model/report.h"
#include "report/printer/printer.h"

#include <cmath>
#include <memory>

namespace label_templates {
namespace {

// 2026-01-01: the templates' creation and change date, so that writing them
// again gives the same bytes.
constexpr double kTemplateDate = 46023.0;

// A4 and a custom paper as the printer layer numbers them.
constexpr int kPaperA4 = 9;
constexpr int kPaperCustom = 256;

// A value as long as the sample's barcodes (EAN-13 numbers): the barcode is
// centred on the label for this length.
constexpr const char* kTypicalBarcode = "6949428595757";

// Millimetres to report units at the printer layer's scale, the one a built
// page is printed at (the designer's 3.6 units per millimetre is 0.2 %
// smaller, which adds up to more than half a millimetre down a sheet).
int Mm(double mm) {
    return static_cast<int>(std::lround(mm * kPrinterUnitsPerInch / 25.4));
}

std::string Gbk(const char* utf8) {
    return text::Utf8ToCp936(utf8);
}

std::string Field(const char* name) {
    return std::string("[") + kDataSetName + ".\"" + name + "\"]";
}

TfrPage& NewPage(TfrReport& report, int paper, int widthTenths, int heightTenths) {
    report.ClearTemplate();
    TfrPage& page = report.Pages->Items(report.Pages->Add());
    page.ChangePaper(paper, widthTenths, heightTenths, print::kDefaultBin, 0);
    return page;
}

template <class T> T& Add(TfrPage& page, int typeCode, const char* className = "") {
    auto view = CreateObject(typeCode, className);
    T& typed = dynamic_cast<T&>(*view);
    page.AddObject(std::move(view));
    return typed;
}

// The master data band, walking the main window's data set.
TfrBandView& AddDataBand(TfrPage& page, int top, int height) {
    auto& band = Add<TfrBandView>(page, gtBand);
    band.Name = "MasterData1";
    band.FrameTyp = btMasterData;
    band.FormatText = kDataSetName;
    band.SetBounds(0, top, page.PageWidth(), height);
    return band;
}

void AddName(TfrPage& page, int left, int top, int width, int height) {
    auto& memo = Add<TfrMemoView>(page, gtMemo);
    memo.Name = "LabelName";
    memo.SetBounds(left, top, width, height);
    // Fixed size: a long name wraps inside the label instead of growing it.
    memo.Flags = flWordWrap;
    memo.Alignment = frtaCenter | frtaMiddle;
    memo.FormatCode = '.' | (2 << 8); // not the writing machine's locale
    memo.Font.Name = Gbk("宋体");
    memo.Font.Size = 9;
    memo.Font.CharSet = gdi::GB2312_CHARSET;
    memo.Memo.Add(Field("Title"));
}

int Code128Width(const std::string& value) {
    TfrBarcode encoder;
    encoder.SetTyp(bcCode128B);
    encoder.SetModul(1);
    encoder.SetRatio(2);
    encoder.SetText(value);
    return encoder.Width();
}

// The barcode the main window fills per record. Its own text is the barcode
// field, so a record without a value prints no bars rather than a fixed code.
void AddBarcode(TfrPage& page, int labelLeft, int labelWidth, int top, int height) {
    auto& bar = Add<TfrBarCodeView>(page, gtAddIn, "TfrBarCodeView");
    const int width = Code128Width(kTypicalBarcode);
    bar.Name = "B";
    bar.SetBounds(labelLeft + (labelWidth - width) / 2, top, width, height);
    bar.BarType = bcCode128B;
    bar.ShowText = true;
    bar.Memo.Clear();
    bar.Memo.Add(Field("NUM"));
}

} // namespace

void BuildA4Sheet(TfrReport& report) {
    constexpr int kColumns = 3, kRows = 9;
    TfrPage& page = NewPage(report, kPaperA4, 2100, 2970);
    const int labelWidth = Mm(63.5);
    const int pitch = Mm(63.5 + 2.5);
    const int labelHeight = Mm(29.6);
    const int left = Mm((210.0 - kColumns * 63.5 - (kColumns - 1) * 2.5) / 2);
    // Rows are whole units high: centring the rounded block splits the
    // rounding between the top and the bottom of the sheet.
    const int top = (page.PageHeight() - kRows * labelHeight) / 2;
    page.Margins = {left, top, page.PageWidth() - left - (kColumns - 1) * pitch - labelWidth,
                    page.PageHeight() - top - kRows * labelHeight};

    auto& band = AddDataBand(page, top, labelHeight);
    band.Columns = kColumns;
    band.ColumnWidth = labelWidth;
    band.ColumnGap = pitch - labelWidth;

    const int inset = Mm(2);
    const int nameTop = top + Mm(1.4);
    const int nameHeight = Mm(8.8);
    AddName(page, left + inset, nameTop, labelWidth - 2 * inset, nameHeight);
    const int barTop = nameTop + nameHeight + Mm(0.6);
    AddBarcode(page, left, labelWidth, barTop, top + labelHeight - Mm(1.4) - barTop);

    report.InfoName = Gbk("A4 标签纸 3 × 9，63.5 × 29.6 mm");
}

void BuildThermal60x40(TfrReport& report) {
    TfrPage& page = NewPage(report, kPaperCustom, 600, 400);
    const int margin = Mm(2);
    page.Margins = {margin, margin, margin, margin};

    const int labelHeight = page.PageHeight() - 2 * margin;
    auto& band = AddDataBand(page, margin, labelHeight);
    band.SetFlag(flBandNewPageAfter, true); // one label per page

    const int inset = Mm(1);
    const int width = page.PageWidth() - 2 * margin;
    const int nameTop = margin + inset;
    const int nameHeight = Mm(8.8);
    AddName(page, margin + inset, nameTop, width - 2 * inset, nameHeight);
    const int barTop = nameTop + nameHeight + Mm(1);
    AddBarcode(page, margin, width, barTop, margin + labelHeight - inset - barTop);

    report.InfoName = Gbk("热敏标签 60 × 40 mm，每页一张");
}

const std::vector<TemplateFile>& TemplateFiles() {
    static const std::vector<TemplateFile> files = {
        {"Print.frf", BuildA4Sheet},
        {"templates/thermal-60x40.frf", BuildThermal60x40},
    };
    return files;
}

std::string TemplateBytes(const std::function<void(TfrReport&)>& build) {
    frRegisterBarCodeView();
    InitReportPrinter(nullptr);
    rtl::ScopedRestore<std::function<double()>> clock(frGuiHooks().Now,
                                                      [] { return kTemplateDate; });
    std::string bytes;
    {
        TfrReport report;
        build(report);
        rtl::TMemoryStream stream;
        report.SaveTemplateStream(stream);
        bytes = stream.Bytes();
    }
    SetCurReport(nullptr);
    return bytes;
}

} // namespace label_templates
