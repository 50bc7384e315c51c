#pragma once
// A recorded picture: the calls made on a RecordingCanvas and the frame size
// they were drawn for. Playing it onto a canvas (Canvas::StretchDraw) scales
// the frame onto the target rectangle, pens, fonts and clips included.

#include "platform/gdi/geometry.h"

#include <functional>
#include <string>
#include <vector>

namespace gdi {

class Canvas;

struct CanvasRecord {
    std::string Call; // readable form, e.g. FillRect(0,0,10,5) brush{$0000FF,bsSolid}
    std::string Text; // the CP936 text of a text output, else empty
    TRect Bounds;     // the area the call may paint; empty for state changes
    std::function<void(Canvas&)> Play;
};

class Metafile {
public:
    Metafile() = default;
    // `dpi` is the resolution the picture was recorded at: its font heights
    // are pixels of that resolution.
    Metafile(int width, int height, std::vector<CanvasRecord> records, int dpi = 96)
        : width_(width), height_(height), dpi_(dpi > 0 ? dpi : 96), records_(std::move(records)) {}

    int Width() const { return width_; }
    int Height() const { return height_; }
    int Dpi() const { return dpi_; }
    bool IsEmpty() const { return records_.empty(); }
    const std::vector<CanvasRecord>& Records() const { return records_; }

    // Replays the calls in the canvas's current mapping, without scaling.
    void PlayOn(Canvas& canvas) const {
        for (const CanvasRecord& record : records_) record.Play(canvas);
    }

private:
    int width_ = 0;
    int height_ = 0;
    int dpi_ = 96;
    std::vector<CanvasRecord> records_;
};

} // namespace gdi
