#include "platform/screen.h"

#include <algorithm>

#include "platform/edit_model.h"

namespace tessel {

void Screen::open(int width, int height, bool keep) {
    width_ = width;
    height_ = height;
    if (keep) frame_.assign(static_cast<size_t>(width) * height, 0xFFFFFFFFu);
    valid_ = false;
}

void Screen::setFrame(PixelView f, RowSpan changed) {
    if (!f.pixels || f.width != width_ || f.height != height_ || frame_.empty()) return;
    // A frame is about 2 MB: a script that shows many frames a second, each
    // changed in a few rows, is not made to copy it whole every time.
    const size_t first = static_cast<size_t>(std::clamp(changed.first, 0, height_));
    const size_t last = static_cast<size_t>(std::clamp(changed.last, 0, height_));
    if (first >= last) return;
    const size_t w = static_cast<size_t>(width_);
    std::copy(f.pixels + first * w, f.pixels + last * w,
              frame_.begin() + static_cast<ptrdiff_t>(first * w));
    valid_ = false;
}

const FrameBuffer& Screen::compose(EditControls& edits, const Font* font) {
    if (edits.visibleCount() == 0) {  // the common case: no copy
        valid_ = false;
        return frame_;
    }
    if (!valid_) {
        screen_ = frame_;
        drawn_ = 0;
        valid_ = true;
    }
    // Controls made since the last composition lie on top of all others.
    for (; drawn_ < edits.size(); ++drawn_) {
        edits[drawn_].draw(Canvas{screen_.data(), width_, height_}, font, edits.focused(drawn_));
    }
    return screen_;
}

void Screen::changed(EditControls& edits, size_t index, const Font* font) {
    if (valid_ && index < drawn_) recomposeRegion(edits, edits[index].bounds(font), font);
}

void Screen::recomposeRegion(EditControls& edits, PixelRect r, const Font* font) {
    // Only this region changes: the frame under it, then every drawn control
    // that reaches into it, oldest first, drawn into a buffer of the region's
    // size so nothing outside it is touched.
    r.x0 = std::max(r.x0, 0);
    r.y0 = std::max(r.y0, 0);
    r.x1 = std::min(r.x1, width_);
    r.y1 = std::min(r.y1, height_);
    if (r.empty()) return;
    const int w = r.x1 - r.x0, h = r.y1 - r.y0;
    scratch_.resize(static_cast<size_t>(w) * h);
    for (int row = 0; row < h; ++row) {
        const uint32_t* from = frame_.data() + static_cast<size_t>(r.y0 + row) * width_ + r.x0;
        std::copy(from, from + w, scratch_.data() + static_cast<size_t>(row) * w);
    }
    for (size_t i = 0; i < drawn_; ++i) {
        if (!edits[i].bounds(font).intersects(r)) continue;
        edits[i].draw(Canvas{scratch_.data(), w, h}, font, edits.focused(i), r.x0, r.y0);
    }
    for (int row = 0; row < h; ++row) {
        const uint32_t* from = scratch_.data() + static_cast<size_t>(row) * w;
        std::copy(from, from + w, screen_.data() + static_cast<size_t>(r.y0 + row) * width_ + r.x0);
    }
}

}  // namespace tessel
