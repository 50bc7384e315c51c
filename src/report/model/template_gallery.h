#pragma once
// Template-gallery files (".frt"): a description and a preview picture in
// front of a template's pages part, so the gallery can list templates
// without reading them.

#include "platform/rtl/stream.h"
#include "platform/rtl/string_list.h"
#include "report/model/report.h"

#include <string>

struct TfrTemplateGalleryHeader {
    rtl::TStringList Description;
    std::string Picture; // a bitmap file's bytes; empty without a picture
    int64_t PagesPosition = 0;
};

// Reads the description and picture; the stream is left after the picture.
TfrTemplateGalleryHeader frReadTemplateGalleryHeader(rtl::TStream& stream);
// Reads the header, then the template into the report (failures as for
// template files).
TfrLoadResult frLoadTemplateGallery(TfrReport& report, rtl::TStream& stream);
void frSaveTemplateGallery(TfrReport& report, rtl::TStream& stream,
                           const rtl::TStringList& description, const std::string& picture);

TfrLoadResult frLoadTemplateGalleryFile(TfrReport& report, const std::string& fileName);
void frSaveTemplateGalleryFile(TfrReport& report, const std::string& fileName,
                               const rtl::TStringList& description, const std::string& picture);
