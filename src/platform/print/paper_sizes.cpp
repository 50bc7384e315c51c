#include "platform/print/paper_sizes.h"

#include <cstdlib>

namespace print {

int PaperCodeForSize(int width, int height) {
    int best = kCustomPaper;
    int bestDistance = 2 * kSizeTolerance + 1;
    for (const WindowsPaper& p : kWindowsPapers) {
        if (p.code == kCustomPaper) continue;
        const int dw = std::abs(p.width - width);
        const int dh = std::abs(p.height - height);
        if (dw > kSizeTolerance || dh > kSizeTolerance) continue;
        if (dw + dh < bestDistance) {
            best = p.code;
            bestDistance = dw + dh;
        }
    }
    return best;
}

const WindowsPaper* FindWindowsPaper(int code) {
    if (code == kCustomPaper) return nullptr;
    for (const WindowsPaper& p : kWindowsPapers)
        if (p.code == code) return &p;
    return nullptr;
}

} // namespace print
