#include "report/model/template_gallery.h"
#include "report/model/stream_versions.h"

#include "report/core/process_state.h"

namespace {

constexpr int kGalleryVersion = frStreamVersionCurrent;

} // namespace

TfrTemplateGalleryHeader frReadTemplateGalleryHeader(rtl::TStream& stream) {
    frEngine().Version = kGalleryVersion;
    TfrTemplateGalleryHeader header;
    rtl::frReadMemo(stream, header.Description, kGalleryVersion);
    const int64_t after = stream.ReadInt32();
    const uint8_t hasPicture = stream.ReadByte();
    if (after < stream.Position() || after > stream.Size())
        throw rtl::EReadError("Gallery picture outside the stream");
    header.PagesPosition = after;
    if (hasPicture)
        header.Picture = stream.ReadBytes(after - stream.Position());
    else
        stream.SetPosition(after);
    return header;
}

TfrLoadResult frLoadTemplateGallery(TfrReport& report, rtl::TStream& stream) {
    SetCurReport(&report);
    return report.ReadTemplateBody(stream, false, [](rtl::TStream& s) {
        frReadTemplateGalleryHeader(s);
        frEngine().Version = kGalleryVersion;
    });
}

void frSaveTemplateGallery(TfrReport& report, rtl::TStream& stream,
                           const rtl::TStringList& description, const std::string& picture) {
    frEngine().Version = kGalleryVersion;
    rtl::frWriteMemo(stream, description);
    const int64_t placeholder = stream.Position();
    stream.WriteInt32(0);
    stream.WriteByte(picture.empty() ? 0 : 1);
    stream.WriteBytes(picture);
    const int64_t after = stream.Position();
    stream.SetPosition(placeholder);
    stream.WriteInt32(static_cast<int32_t>(after));
    stream.SetPosition(after);
    SetCurReport(&report);
    report.Pages->SaveToStream(stream);
}

TfrLoadResult frLoadTemplateGalleryFile(TfrReport& report, const std::string& fileName) {
    rtl::TFileStream stream(fileName, rtl::fmOpenRead);
    return frLoadTemplateGallery(report, stream);
}

void frSaveTemplateGalleryFile(TfrReport& report, const std::string& fileName,
                               const rtl::TStringList& description, const std::string& picture) {
    rtl::TFileStream stream(fileName, rtl::fmCreate);
    frSaveTemplateGallery(report, stream, description, picture);
    stream.Flush();
}
