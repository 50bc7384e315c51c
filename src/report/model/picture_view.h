#pragma once
// Picture objects: an image held in the template or taken from a database
// field, drawn stretched, centred or with its aspect kept.

#include "report/model/picture.h"
#include "report/model/view.h"

// Picture flags (after flStretched).
constexpr uint16_t flPictCenter = 2;
constexpr uint16_t flPictRatio = 4;

// Kind of image expected in a database field.
enum TfrBlobType : uint8_t { btBMP, btJPG, btICO, btWMF };

class TfrPictureView : public TfrView {
public:
    TfrPictureView();
    std::string ClassName() const override { return "TfrPictureView"; }

    static const TfrPropertyTable& PropertyTable();
    const TfrPropertyTable& Properties() const override { return PropertyTable(); }
    rtl::TVariant CallMethod(const std::string& name, const rtl::TVariant& a1,
                             const rtl::TVariant& a2, const rtl::TVariant& a3) override;

    void Paint(gdi::Canvas& canvas) override;
    void ReadRecord(rtl::TStream& stream, int version) override;
    void WriteToStream(rtl::TStream& stream) override;
    void LoadFromBlob(const TfrBlobData& field) override;
    void AddPopupItems(TfrPopupMenu& menu) override;
    void OpenEditor() override;

    // Where the image goes inside OutputRect (after ScaleForOutput).
    gdi::TRect ImageTarget() const;

    TfrPicture Picture;
    uint8_t BlobType = btBMP;

private:
    void DrawImage(const gdi::TRect& target);
};
