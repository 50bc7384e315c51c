#include "report/model/report.h"
#include "report/model/stream_versions.h"

#include "platform/rtl/scoped_restore.h"
#include "platform/rtl/sysutils.h"
#include "platform/text/cp936.h"
#include "report/core/resource_strings.h"
#include "report/core/string_ids.h"
#include "report/model/object_registry.h"

#include <QDateTime>
#include <QFileInfo>

namespace {

constexpr uint8_t kEndMarker = 252;
constexpr uint8_t kGeneratorVersion = 88;

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

} // namespace

std::string frPasswordToHex(const std::string& password) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string hex;
    hex.reserve(password.size() * 2);
    for (unsigned char c : password) {
        hex += kDigits[c >> 4];
        hex += kDigits[c & 15];
    }
    return hex;
}

std::string frPasswordFromHex(const std::string& hex) {
    if (hex.size() % 2 != 0) throw rtl::EReadError("Password of odd length");
    std::string password;
    password.reserve(hex.size() / 2);
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const int hi = HexDigit(hex[i]);
        const int lo = HexDigit(hex[i + 1]);
        if (hi < 0 || lo < 0) throw rtl::EReadError("Password is not hexadecimal");
        password += static_cast<char>(hi * 16 + lo);
    }
    return password;
}

void SetCurReport(TfrReport* report) {
    frSetCurrentReportPointer(report);
    TfrReportLookups& s = frReportLookups();
    if (!report) {
        s.FindObject = nullptr;
        s.FindPage = nullptr;
        s.FireBeforePrint = nullptr;
        return;
    }
    s.FindObject = [](const std::string& name) -> TfrView* {
        return CurReport() ? CurReport()->FindObject(name) : nullptr;
    };
    s.FindPage = [](int pageNumber) -> TfrObject* {
        TfrReport* r = CurReport();
        if (!r || pageNumber < 1 || pageNumber > r->Pages->Count()) return nullptr;
        return &r->Pages->Items(pageNumber - 1);
    };
    s.FireBeforePrint = [](rtl::TStringList& memo, TfrView& view) {
        if (CurReport()) CurReport()->FireBeforePrint(memo, view);
    };
}

TfrReport::TfrReport()
    : Pages(std::make_unique<TfrPages>(*this)), PreparedPages(frNewPreparedPages(*this)),
      Dictionary(std::make_unique<TfrDataDictionary>()) {
    ClearInfo();
}

TfrReport::~TfrReport() {
    if (CurReport() == this) SetCurReport(nullptr);
}

void TfrReport::ShowError(const std::string& text) {
    if (frGuiHooks().ShowError) frGuiHooks().ShowError(text, LoadResourceString(frsErrorCaption));
}

bool TfrReport::LoadTemplateFile(const std::string& fileName) {
    const QFileInfo info(text::Cp936ToQString(fileName));
    if (!info.exists() || !info.isFile()) return false;
    std::unique_ptr<rtl::TFileStream> stream;
    try {
        stream =
            std::make_unique<rtl::TFileStream>(fileName, rtl::fmOpenRead | rtl::fmShareDenyWrite);
    } catch (const rtl::EStreamError&) {
        // A file we may not read is as good as absent: nothing changes.
        return false;
    }
    const TfrLoadResult result = LoadTemplateStream(*stream);
    stream.reset();
    // A template that could not be read is not that file any more: saving
    // must not overwrite it with the empty page.
    if (result == TfrLoadResult::FormatError || result == TfrLoadResult::PasswordRejected)
        FileName = kUntitledFileName;
    else if (result != TfrLoadResult::Unsupported)
        FileName = fileName;
    return true;
}

void TfrReport::SaveTemplateFile(const std::string& fileName) {
    rtl::TFileStream stream(fileName, rtl::fmCreate);
    SaveTemplateStream(stream);
    stream.Flush();
}

void TfrReport::ExportXmlTemplateFile(const std::string& fileName) {
    std::string name = fileName;
    const std::size_t slash = name.find_last_of('/');
    const std::size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) name.erase(dot);
    name += ".fr3";
    rtl::TFileStream stream(name, rtl::fmCreate);
    rtl::ScopedRestore<bool> xmlExport(XmlExport, true);
    SaveTemplateStream(stream);
    stream.Flush();
}

void TfrReport::ResetToEmptyPage() {
    Pages->Clear();
    Dictionary->Clear();
    Pages->Add();
}

TfrLoadResult TfrReport::LoadTemplateStream(rtl::TStream& stream) {
    TfrEngineState& engine = frEngine();
    engine.OutputMode = false;
    ReportPrinter(); // pages measure against it
    SetCurReport(this);
    if (stream.Remaining() <= 0) return TfrLoadResult::Empty;

    const int64_t start = stream.Position();
    int version = stream.ReadByte();
    if (version < frStreamVersionOldest) {
        // No version byte: the oldest layout starts right away.
        version = frStreamVersionOldest;
        stream.SetPosition(start);
    }
    if (version > frStreamVersionCurrent) {
        ShowError(LoadResourceString(frsUnsupportedFormat));
        return TfrLoadResult::Unsupported;
    }
    engine.Version = version;
    engine.LoadError = false;
    engine.LoadErrorMessage.clear();

    std::string missing;
    const TfrLoadResult body = ReadTemplateParts(stream, true, {}, missing);
    if (body != TfrLoadResult::Loaded && body != TfrLoadResult::MissingComponents) return body;

    // A template kept in memory (the form's own copy) is trusted as it is. A
    // template from a file asks first, also when parts of it could not be
    // made: a refused password loads nothing and names nothing.
    if (InfoProtected != 0 && !dynamic_cast<rtl::TMemoryStream*>(&stream)) {
        std::string typed;
        const bool confirmed = frGuiHooks().AskPassword && frGuiHooks().AskPassword(typed);
        if (!confirmed || typed != InfoPassword) {
            ClearInfo();
            FileName = kUntitledFileName;
            ResetToEmptyPage();
            return TfrLoadResult::PasswordRejected;
        }
    }
    if (body == TfrLoadResult::MissingComponents) ShowError(NonPluggedComponentsMessage(missing));
    return body;
}

TfrLoadResult TfrReport::ReadTemplateBody(rtl::TStream& stream, bool withInfo,
                                          const std::function<void(rtl::TStream&)>& header) {
    std::string missing;
    const TfrLoadResult result = ReadTemplateParts(stream, withInfo, header, missing);
    if (result == TfrLoadResult::MissingComponents) ShowError(NonPluggedComponentsMessage(missing));
    return result;
}

TfrLoadResult TfrReport::ReadTemplateParts(rtl::TStream& stream, bool withInfo,
                                           const std::function<void(rtl::TStream&)>& header,
                                           std::string& missing) {
    try {
        if (header) header(stream);
        try {
            Pages->LoadFromStream(stream);
        } catch (const EClassNotFound& e) {
            missing = e.what();
        }
        if (withInfo && stream.Remaining() > 0) {
            try {
                // Read also after unknown classes: it says whether to ask for a password.
                ReadInfo(stream);
            } catch (const rtl::EStreamError&) {
                // After records that could not be skipped the rest may be
                // anything: such a template loads as before, without its
                // information. Otherwise the file is unreadable.
                if (missing.empty()) throw;
                ClearInfo();
            }
        } else {
            ClearInfo();
        }
    } catch (const rtl::EStreamError&) {
        // Stream and format failures only: anything else (no memory, a
        // missing engine part) is not the file's fault and propagates.
        ShowError(LoadResourceString(frsUnsupportedFormat));
        ResetToEmptyPage();
        return TfrLoadResult::FormatError;
    }
    return missing.empty() ? TfrLoadResult::Loaded : TfrLoadResult::MissingComponents;
}

void TfrReport::SaveTemplateStream(rtl::TStream& stream) {
    SetCurReport(this);
    if (XmlExport) {
        if (!DesignerEditorHooks().WriteXmlTemplate)
            throw std::runtime_error("No XML template writer is installed");
        DesignerEditorHooks().WriteXmlTemplate(*this, stream);
        return;
    }
    frEngine().Version = frStreamVersionCurrent;
    stream.WriteByte(frStreamVersionCurrent);
    Pages->SaveToStream(stream);
    stream.WriteByte(kEndMarker);
    GeneratorVersion = kGeneratorVersion;
    InfoChanged = frNow();
    WriteInfo(stream);
}

void TfrReport::ReadInfo(rtl::TStream& stream) {
    InfoComment = rtl::frReadWordString(stream);
    InfoName = rtl::frReadWordString(stream);
    InfoAuthor = rtl::frReadWordString(stream);
    InfoVersionMajor = rtl::frReadWordString(stream);
    InfoVersionMinor = rtl::frReadWordString(stream);
    InfoVersionRelease = rtl::frReadWordString(stream);
    InfoVersionBuild = rtl::frReadWordString(stream);
    InfoPassword = frPasswordFromHex(rtl::frReadWordString(stream));
    GeneratorVersion = stream.ReadByte();
    InfoProtected = stream.ReadByte();
    InfoCreated = stream.ReadDouble();
    InfoChanged = stream.ReadDouble();
}

void TfrReport::WriteInfo(rtl::TStream& stream) {
    rtl::frWriteWordString(stream, InfoComment);
    rtl::frWriteWordString(stream, InfoName);
    rtl::frWriteWordString(stream, InfoAuthor);
    rtl::frWriteWordString(stream, InfoVersionMajor);
    rtl::frWriteWordString(stream, InfoVersionMinor);
    rtl::frWriteWordString(stream, InfoVersionRelease);
    rtl::frWriteWordString(stream, InfoVersionBuild);
    rtl::frWriteWordString(stream, frPasswordToHex(InfoPassword));
    stream.WriteByte(GeneratorVersion);
    stream.WriteByte(InfoProtected);
    stream.WriteDouble(InfoCreated);
    stream.WriteDouble(InfoChanged);
}

void TfrReport::ClearTemplate() {
    Pages->Clear();
    Dictionary->Clear();
    if (frEngineHooks().ClearExtension) frEngineHooks().ClearExtension();
    DoublePass = false;
    ClearInfo();
}

void TfrReport::ClearInfo() {
    InfoComment.clear();
    InfoName.clear();
    InfoAuthor.clear();
    InfoVersionMajor.clear();
    InfoVersionMinor.clear();
    InfoVersionRelease.clear();
    InfoVersionBuild.clear();
    InfoPassword.clear();
    InfoCreated = InfoChanged = frNow();
    InfoProtected = 0;
    GeneratorVersion = kGeneratorVersion;
}

void TfrReport::SelectReportPrinter(const std::string& printerName) {
    if (!KeepCurrentPrinter) {
        TfrPrinter& printer = ReportPrinter();
        const int index = printer.PrinterNames.IndexOf(printerName);
        if (index >= 0) {
            try {
                printer.SelectPrinter(index);
            } catch (const std::exception&) {
                // A printer that went away keeps the current one.
            }
        }
    }
    StoredPrinterName = printerName;
}

bool TfrReport::ChangePrinter(int oldIndex, int newIndex) {
    TfrPrinter& printer = ReportPrinter();
    auto reapply = [this, &printer] {
        StoredPrinterName = printer.PrinterNames[printer.PrinterIndex];
        printer.PaperSize = -1;
        for (int i = 0; i < Pages->Count(); ++i) {
            TfrPage& p = Pages->Items(i);
            p.ChangePaper(p.PaperSize, p.PaperWidth, p.PaperHeight, p.PaperBin, p.Orientation);
        }
    };
    try {
        printer.SelectPrinter(newIndex);
        reapply();
        return true;
    } catch (const std::exception&) {
        if (frGuiHooks().ShowError)
            frGuiHooks().ShowError(LoadResourceString(frsPrinterError),
                                   LoadResourceString(frsErrorCaption));
        try {
            printer.SelectPrinter(oldIndex);
        } catch (const std::exception&) {
            printer.SelectPrinter(printer.VirtualPrinterIndex);
        }
        reapply();
        return false;
    }
}

TfrView* TfrReport::FindObject(const std::string& name) const {
    for (int i = 0; i < Pages->Count(); ++i)
        if (TfrView* v = Pages->Items(i).FindObject(name)) return v;
    return nullptr;
}

void TfrReport::FireBeforePrint(rtl::TStringList& memo, TfrView& view) {
    TfrBlobData field;
    if (frEngineHooks().ReadBoundBlob && frEngineHooks().ReadBoundBlob(view, field))
        view.LoadFromBlob(field);
    if (OnBeforePrint) OnBeforePrint(memo, view);
}

void TfrReport::ReportProgress(int n) {
    if (OnProgress) {
        OnProgress(n);
        return;
    }
    if (ShowProgress && frGuiHooks().SetProgressText) {
        std::string text = ProgressBaseText + " " + std::to_string(n);
        if ((DoublePass && FinalPass) || ExportFilterActive)
            text += " " + LoadResourceString(frsProgressOf) + " " + std::to_string(TotalPages);
        frGuiHooks().SetProgressText(text);
    }
    if (frGuiHooks().ProcessMessages) frGuiHooks().ProcessMessages();
}

void TfrReport::WriteReportForm(rtl::TStream& stream) {
    stream.WriteInt32(frStreamVersionCurrent);
    if (!StoreInDFM) return;
    rtl::TMemoryStream tmpl;
    SaveTemplateStream(tmpl);
    stream.WriteInt32(static_cast<int32_t>(tmpl.Size()));
    stream.WriteBytes(tmpl.Bytes());
}

void TfrReport::ReadReportForm(rtl::TStream& stream) {
    stream.ReadInt32(); // the format version; every stored copy reads the same way
    if (!StoreInDFM) return;
    const int32_t length = stream.ReadInt32();
    if (length < 0 || length > stream.Remaining())
        throw rtl::EReadError("Stored template longer than its property");
    formStream_ = std::make_unique<rtl::TMemoryStream>();
    formStream_->WriteBytes(stream.ReadBytes(length));
    formStream_->SetPosition(0);
}

void TfrReport::Loaded() {
    if (!formStream_) return;
    std::unique_ptr<rtl::TMemoryStream> buffer = std::move(formStream_);
    LoadTemplateStream(*buffer);
}

void TfrReport::PreviewPreparedReport() {
    if (const auto& preview = frGuiHooks().ShowPreparedReport) preview(*this);
}

int TfrReport::OpenDesigner() {
    SelectReportPrinter(StoredPrinterName);
    if (Pages->Count() == 0) Pages->Add();
    SetCurReport(this);
    if (!DesignerEditorHooks().ShowDesigner) return 2;
    return DesignerEditorHooks().ShowDesigner(*this);
}
