#include "report/model/page.h"
#include "report/model/stream_versions.h"

#include "platform/print/paper_sizes.h"
#include "platform/rtl/scoped_restore.h"
#include "platform/rtl/sysutils.h"
#include "report/core/resource_strings.h"
#include "report/model/object_registry.h"
#include "report/model/report.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

namespace {

// Record markers of the pages part.
constexpr uint8_t kPageRecord = 255;
constexpr uint8_t kDictionaryRecord = 254;
constexpr uint8_t kExtensionRecord = 253;
constexpr uint8_t kEndRecord = 252;
constexpr uint8_t kLastObjectKind = 10;

// The printer name that stands for the virtual printer.
const std::string kVirtualPrinterMark = "\x01";
constexpr int kVirtualPrinterName = 55007;

// The end of a record as stored; it must lie ahead and inside the stream, so
// reading always moves forward and ends.
int64_t ReadEndPosition(rtl::TStream& stream) {
    const int64_t end = stream.ReadInt32();
    if (end < stream.Position() || end > stream.Size())
        throw rtl::EReadError("Record end outside the stream");
    return end;
}

} // namespace

// Names given while loading. Older templates store no names: each object
// gets its kind's base name and the first number not yet taken, counted
// here so that a template with many objects loads in linear time.
class TfrLoadNames {
public:
    void Add(const std::string& name) { taken_.insert(rtl::UpperCase(name)); }
    // Base + the first free number from 1 to 10000; numbers only get taken,
    // so the search goes on from the last one found.
    std::string Free(const std::string& base) {
        int& n = next_[rtl::UpperCase(base)];
        for (n = std::max(n, 1); n <= 10000; ++n) {
            std::string candidate = base + std::to_string(n);
            if (!taken_.count(rtl::UpperCase(candidate))) return candidate;
        }
        return {};
    }

private:
    std::unordered_set<std::string> taken_;
    std::unordered_map<std::string, int> next_;
};

int TfrPages::Add() {
    auto page = std::make_unique<TfrPage>(DefaultPaperSize, 0, 0, print::kDefaultBin, 0);
    page->Name = FreePageName();
    items_.push_back(std::move(page));
    return Count() - 1;
}

void TfrPages::Delete(int index) {
    if (index < 0 || index >= Count()) return;
    items_.erase(items_.begin() + index);
}

void TfrPages::Move(int from, int to) {
    if (from < 0 || from >= Count() || to < 0 || to >= Count() || from == to) return;
    std::unique_ptr<TfrPage> page = std::move(items_[from]);
    items_.erase(items_.begin() + from);
    items_.insert(items_.begin() + to, std::move(page));
}

std::string TfrPages::FreePageName() const {
    for (int n = 1; n <= 10000; ++n) {
        const std::string candidate = "Page" + std::to_string(n);
        const bool taken = std::any_of(items_.begin(), items_.end(), [&](const auto& p) {
            return rtl::SameText(p->Name, candidate);
        });
        if (!taken) return candidate;
    }
    return {};
}

void TfrPages::ApplyAlignments(gdi::Canvas& scratch) {
    for (const auto& page : items_)
        for (const auto& view : page->Objects)
            if (view->BandAlign != baNone) view->Paint(scratch);
}

void TfrPages::LoadFromStream(rtl::TStream& stream) {
    const int v = frEngine().Version;
    Report.ClearTemplate();
    Report.KeepCurrentPrinter = stream.ReadWordBool();
    Report.DoublePass = stream.ReadWordBool();
    std::string printer = rtl::frReadString(stream, v);
    if (printer == kVirtualPrinterMark) printer = LoadResourceString(kVirtualPrinterName);
    Report.SelectReportPrinter(printer);

    // While loading, the objects' own name search (which starts from 1 for
    // each object) finds nothing; the loader names them instead.
    rtl::ScopedRestore<std::function<TfrView*(const std::string&)>> quietNameSearch(
        frReportLookups().FindObject, [](const std::string&) -> TfrView* { return nullptr; });
    TfrLoadNames pageNames, objectNames;
    std::vector<std::string> missing;
    while (stream.Remaining() > 0) {
        const uint8_t record = stream.ReadByte();
        if (record == kPageRecord) {
            items_.push_back(
                std::make_unique<TfrPage>(DefaultPaperSize, 0, 0, print::kDefaultBin, 0));
            TfrPage& page = *items_.back();
            page.LoadFromStream(stream);
            if (v < frStreamVersionRecordVersions) page.Name = pageNames.Free("Page");
            pageNames.Add(page.Name);
        } else if (record == kDictionaryRecord) {
            Report.Dictionary->LoadFromStream(stream);
        } else if (record == kExtensionRecord) {
            if (frEngineHooks().ReadExtension) frEngineHooks().ReadExtension(stream);
            stream.ReadByte();
            break;
        } else if (record == kEndRecord) {
            break;
        } else if (record <= kLastObjectKind) {
            ReadObjectRecord(stream, record, missing, objectNames);
        } else {
            throw rtl::EReadError("Unknown record " + std::to_string(record));
        }
    }
    if (!missing.empty()) {
        std::string list;
        for (const std::string& n : missing) list += n + "\r";
        throw EClassNotFound(list);
    }
}

void TfrPages::ReadObjectRecord(rtl::TStream& stream, uint8_t kind,
                                std::vector<std::string>& missing, TfrLoadNames& names) {
    const int v = frEngine().Version;
    int typ = kind;
    std::string className;
    bool framedMemo = false;
    if (kind == gtAddIn) {
        className = rtl::frReadString(stream, v);
        const std::string upper = rtl::UpperCase(className);
        if (upper == "TFRBDELOOKUPCONTROL" || upper == "TFRIBXLOOKUPCONTROL") {
            className = "TfrDBLookupControl";
        } else if (upper == "TFRFRAMEDMEMOVIEW") {
            typ = gtMemo;
            framedMemo = true;
        }
    }
    const int pageIndex = stream.ReadByte();

    std::unique_ptr<TfrView> made;
    try {
        made = CreateObject(typ, className);
    } catch (const EClassNotFound&) {
        // Each missing class is named once, however many records use it.
        if (std::find(missing.begin(), missing.end(), className) == missing.end())
            missing.push_back(className);
    } catch (const std::exception&) {
        // A registered kind that cannot be made: its record is skipped.
    }
    if (made && pageIndex >= Count()) made.reset();
    const int64_t end = v >= frStreamVersionRecordVersions ? ReadEndPosition(stream) : -1;
    if (!made) {
        // Records of older versions cannot be skipped: go on where we are.
        if (end >= 0) stream.SetPosition(end);
        return;
    }

    TfrView& view = Items(pageIndex).AddObject(std::move(made));
    view.PreparedMode = false;
    try {
        view.ReadFromStream(stream);
        if (framedMemo) stream.Skip(8);
        if (v < frStreamVersionNames) view.Name = names.Free(view.BaseName);
        names.Add(view.Name);
        view.WriteProperty("Name", rtl::TVariant(view.Name));
    } catch (const rtl::EReadError&) {
        // Without an end position a short record is a short stream.
        if (end < 0) throw;
    } catch (const std::exception&) {
        // The object keeps what was read; reading goes on after the record.
    }
    if (end >= 0) stream.SetPosition(end);
}

void TfrPages::SaveToStream(rtl::TStream& stream) {
    TfrPrinter& printer = ReportPrinter();
    stream.WriteWordBool(Report.KeepCurrentPrinter);
    stream.WriteWordBool(Report.DoublePass);
    if (printer.IsVirtual() || printer.PrinterIndex < 0 ||
        printer.PrinterIndex >= printer.PrinterNames.Count())
        rtl::frWriteString(stream, kVirtualPrinterMark);
    else
        rtl::frWriteString(stream, printer.PrinterNames[printer.PrinterIndex]);
    for (const auto& page : items_) {
        stream.WriteByte(kPageRecord);
        page->SaveToStream(stream);
    }
    for (int p = 0; p < Count(); ++p) {
        // The page index is one byte: a later page's objects cannot be stored.
        if (p > 255 && items_[p]->ObjectCount() > 0)
            throw rtl::EWriteError("Objects on page " + std::to_string(p + 1) +
                                   " cannot be stored: at most 256 pages hold objects");
        for (const auto& view : items_[p]->Objects) {
            stream.WriteByte(view->TypeCode);
            if (view->TypeCode == gtAddIn) rtl::frWriteString(stream, view->ClassName());
            stream.WriteByte(static_cast<uint8_t>(p));
            const int64_t placeholder = stream.Position();
            stream.WriteInt32(0);
            view->PreparedMode = false;
            view->WriteToStream(stream);
            const int64_t end = stream.Position();
            if (end > INT32_MAX) throw rtl::EWriteError("Template beyond 2 GB");
            stream.SetPosition(placeholder);
            stream.WriteInt32(static_cast<int32_t>(end));
            stream.Seek(0, rtl::TSeekOrigin::soEnd);
        }
    }
    stream.WriteByte(kDictionaryRecord);
    Report.Dictionary->SaveToStream(stream);
    if (frEngineHooks().WriteExtension) {
        stream.WriteByte(kExtensionRecord);
        frEngineHooks().WriteExtension(stream);
    }
}
