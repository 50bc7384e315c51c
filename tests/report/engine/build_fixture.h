#pragma once
// Templates made in code, the rows they walk, and the built pages read back
// from their streams: what the report-build tests and the benchmark share.
//
// Rows answer "DataSetName.Field" through the report's OnGetValue; system
// variables (PAGE#, TOTALPAGES, LINE#, CURRENT#...) and aggregates come from
// the value side. A tiny script runner stands in for the report's script
// language: one statement per line through the value side's report
// functions and assignments.

#include "platform/gdi/gui_app.h"
#include "platform/rtl/sysutils.h"
#include "platform/text/cp936.h"
#include "report/core/process_state.h"
#include "report/engine/component_registry.h"
#include "report/engine/dataset.h"
#include "report/engine/expression_evaluator.h"
#include "report/engine/memo_layout.h"
#include "report/engine/prepared_pages.h"
#include "report/engine/report_functions.h"
#include "report/engine/report_values.h"
#include "report/engine/run_band.h"
#include "report/model/band_view.h"
#include "report/model/memo_view.h"
#include "report/model/object_registry.h"
#include "report/model/report.h"

#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace buildtest {

using Record = std::map<std::string, std::string>; // field (upper case) -> text

// Rows of a report data set. A detail data set takes the rows that belong
// to its parent's current record each time it starts from the first one.
class Rows : public TfrDataset {
public:
    explicit Rows(std::string name) : TfrDataset(std::move(name)) {}

    void First() override {
        if (Parent) {
            const auto at = static_cast<size_t>(Parent->RecordNumber);
            Data = at < ByParent.size() ? ByParent[at] : std::vector<Record>{};
        }
        TfrDataset::First();
    }
    bool Eof() override { return RecordNumber >= static_cast<int>(Data.size()); }

    // A database cursor stays on its last record at the end; so do these.
    std::string Field(const std::string& upperName) const {
        if (Data.empty()) return {};
        const int at = std::clamp(RecordNumber, 0, static_cast<int>(Data.size()) - 1);
        const Record& r = Data[static_cast<size_t>(at)];
        const auto it = r.find(upperName);
        return it == r.end() ? std::string() : it->second;
    }

    std::vector<Record> Data;
    Rows* Parent = nullptr;
    std::vector<std::vector<Record>> ByParent;
};

inline std::string Upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

class BuildFixture : public ::testing::Test {
public:
    static void SetUpTestSuite() { gdi_test::EnsureGuiApplication(); }

    void SetUp() override {
        InstallExpressionEvaluator();
        InstallMemoLayout();
        frGuiHooks().Now = [] { return 45000.5; };
        frGuiHooks().ShowError = [this](const std::string& text, const std::string& caption) {
            errors.push_back(text::Cp936ToUtf8(caption) + ": " + text::Cp936ToUtf8(text));
        };
        form.AddComponent("frReport1", &report);
        report.ShowProgress = false;
        report.OnGetValue = [this](const std::string& name, rtl::TVariant& value) {
            Resolve(name, value);
        };
    }
    void TearDown() override {
        SetCurReport(nullptr);
    }

    // A one-field record.
    static Record R(const std::string& field, const std::string& value) {
        return Record{{Upper(field), value}};
    }
    static Record R2(const std::string& f1, const std::string& v1, const std::string& f2,
                     const std::string& v2) {
        return Record{{Upper(f1), v1}, {Upper(f2), v2}};
    }

    // --- Data ------------------------------------------------------------
    Rows& AddRows(const std::string& name, std::vector<Record> records) {
        auto rows = std::make_unique<Rows>(name);
        rows->Data = std::move(records);
        Rows& r = *rows;
        form.AddComponent(name, static_cast<TfrDataset*>(rows.get()));
        data[Upper(name)] = std::move(rows);
        return r;
    }
    Rows& AddDetailRows(const std::string& name, Rows& parent,
                        std::vector<std::vector<Record>> byParent) {
        Rows& r = AddRows(name, {});
        r.Parent = &parent;
        r.ByParent = std::move(byParent);
        return r;
    }

    // Data-set fields ("Cust.Name"); everything else is the value side's.
    void Resolve(const std::string& name, rtl::TVariant& value) {
        const std::string upper = Upper(name);
        if (upper == "BAD") throw std::runtime_error("no value for BAD");
        const size_t dot = upper.find('.');
        if (dot == std::string::npos) return;
        const auto it = data.find(upper.substr(0, dot));
        if (it != data.end()) value = rtl::TVariant(it->second->Field(upper.substr(dot + 1)));
    }

    // --- Template --------------------------------------------------------
    // A page of `width` x `height` report units on the whole sheet (18
    // units are 5 mm, so 360 units are 100 mm).
    TfrPage& AddPage(int width = 360, int height = 360) {
        const int i = report.Pages->Add();
        TfrPage& page = report.Pages->Items(i);
        page.ChangePaper(256, width * 50 / 18, height * 50 / 18, frDefaultPaperBin, 0);
        page.UseMargins = false;
        return page;
    }
    TfrBandView& AddBand(TfrPage& page, int type, const std::string& name, int top, int height,
                         const std::string& source = {}, uint16_t flags = 0) {
        auto& band = static_cast<TfrBandView&>(page.AddObject(CreateObject(gtBand, "")));
        band.FrameTyp = static_cast<uint16_t>(type);
        band.Name = name;
        band.SetBounds(0, top, page.PageWidth(), height);
        band.FormatText = source;
        band.Flags = static_cast<uint16_t>(flBandOnFirstPage | flBandOnLastPage | flags);
        return band;
    }
    TfrMemoView& AddMemo(TfrPage& page, const std::string& name, int left, int top, int width,
                         int height, const std::string& textUtf8) {
        auto& memo = static_cast<TfrMemoView&>(page.AddObject(CreateObject(gtMemo, "")));
        memo.Name = name;
        memo.SetBounds(left, top, width, height);
        memo.Memo.SetText(text::Utf8ToCp936(textUtf8));
        memo.Font.Name = text::Utf8ToCp936("宋体");
        memo.Font.Size = 10;
        memo.Flags = 0;
        return memo;
    }

    // --- Built pages -----------------------------------------------------
    // Per built page: "Name@Left,Top:text", text lines joined by "|".
    std::vector<std::vector<std::string>> Pages() {
        std::vector<std::vector<std::string>> pages;
        TfrEMFPages& built = *report.PreparedPages;
        for (int i = 0; i < built.Count(); ++i) {
            built.MaterializePage(i);
            std::vector<std::string> objects;
            for (const auto& v : built.PageAt(i).Page->Objects) {
                std::string text;
                for (int k = 0; k < v->Memo.Count(); ++k) {
                    std::string line = v->Memo[k];
                    std::erase(line, frParagraphMarker);
                    if (line.empty() && k + 1 == v->Memo.Count()) continue;
                    text += (k ? "|" : "") + line;
                }
                objects.push_back(v->Name + "@" + std::to_string(v->Left) + "," +
                                  std::to_string(v->Top) + ":" + text::Cp936ToUtf8(text));
            }
            built.PageAt(i).Page.reset();
            pages.push_back(std::move(objects));
        }
        return pages;
    }

    TfrReport report;
    TfrComponentContainer form{"Form1", TfrContainerKind::Form};
    std::map<std::string, std::unique_ptr<Rows>> data;
    std::vector<std::string> errors;
};

} // namespace buildtest
