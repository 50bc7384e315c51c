#pragma once
// Line objects: the frame of a zero-width (vertical) or zero-height
// (horizontal) view.

#include "report/model/view.h"

class TfrLineView : public TfrStretcheable {
public:
    TfrLineView();
    std::string ClassName() const override { return "TfrLineView"; }

    static const TfrPropertyTable& PropertyTable();
    const TfrPropertyTable& Properties() const override { return PropertyTable(); }
    void Paint(gdi::Canvas& canvas) override;
    QRegion CreateClipRegion(bool enlarge) override;

    int CalcHeight() override { return Height; }
    int MeasureMinHeight() override { return 1; }
    int MeasureRemainder() override { return 0; }
};
