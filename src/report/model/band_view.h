#pragma once
// Band objects: the designer's stand-in for a band of the report. The band
// type lives in FrameTyp (bands have no frame) and the data source or group
// condition in FormatText.

#include "report/model/view.h"

enum TfrBandType {
    btReportTitle,
    btReportSummary,
    btPageHeader,
    btPageFooter,
    btMasterHeader,
    btMasterData,
    btMasterFooter,
    btDetailHeader,
    btDetailData,
    btDetailFooter,
    btSubDetailHeader,
    btSubDetailData,
    btSubDetailFooter,
    btOverlay,
    btColumnHeader,
    btColumnFooter,
    btGroupHeader,
    btGroupFooter,
    btCrossHeader,
    btCrossData,
    btCrossFooter,
    btChild,
    btNone
};

// Band flags (after flStretched).
constexpr uint16_t flBandNewPageAfter = 2;
constexpr uint16_t flBandPrintIfSubsetEmpty = 4;
constexpr uint16_t flBandBreaked = 8;
constexpr uint16_t flBandOnFirstPage = 16;
constexpr uint16_t flBandOnLastPage = 32;
constexpr uint16_t flBandRepeatHeader = 64;
constexpr uint16_t flBandPrintChildIfInvisible = 128;

// The name shown for a band type (CP936); empty outside 0..22.
std::string frBandName(int bandType);

// Cross-tab bands run down the page instead of across it.
constexpr bool frIsCrossBand(int bandType) {
    return bandType >= btCrossHeader && bandType <= btCrossFooter;
}

class TfrBandView : public TfrView {
public:
    TfrBandView();
    std::string ClassName() const override { return "TfrBandView"; }

    static const TfrPropertyTable& PropertyTable();
    const TfrPropertyTable& Properties() const override { return PropertyTable(); }
    rtl::TVariant CallMethod(const std::string& name, const rtl::TVariant& a1,
                             const rtl::TVariant& a2, const rtl::TVariant& a3) override;

    void Paint(gdi::Canvas& canvas) override;
    void ReadRecord(rtl::TStream& stream, int version) override;
    void WriteToStream(rtl::TStream& stream) override;
    void AddPopupItems(TfrPopupMenu& menu) override;
    QRegion CreateClipRegion(bool enlarge) override;

    int BandType() const { return FrameTyp; }

    std::string ChildBand;
    std::string Master;
    int32_t Columns = 1;
    int32_t ColumnWidth = 200;
    int32_t ColumnGap = 20;
    int32_t NewColumnAfter = 1;

protected:
    bool HasFrameProperties() const override { return false; }

private:
    // The page this band is on: its own, or the designer's.
    TfrViewPage* Page() const;
    // Names of the page's other band objects of the given types, ";"-separated.
    std::string BandNames(std::initializer_list<int> types) const;
    bool InOutput() const;
    // The title tab beside or above the band.
    gdi::TRect TitleTab() const;

    int tabWidth_ = 100;
};
