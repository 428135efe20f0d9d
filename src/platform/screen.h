// What the main window shows: the last presented frame with the visible edit
// controls over it, composed as the controls come and change.
#pragma once

#include <cstddef>

#include "pixels/pixel_buffer.h"
#include "pixels/raster.h"
#include "platform/edit_controls.h"

namespace tessel {

class Font;

class Screen {
   public:
    // A window of width x height, white; `keep`: its frames are kept (none
    // are without it, and nothing is shown).
    void open(int width, int height, bool keep);
    int width() const { return width_; }
    int height() const { return height_; }
    bool opened() const { return width_ > 0 && height_ > 0; }
    // Takes a frame of the window's size (others are ignored) that differs
    // from the one taken before in the rows `changed` at most.
    void setFrame(PixelView frame, RowSpan changed);
    // The frame with the controls over it, each in the order made. Built up
    // as controls come: only those made since the last call are drawn (a
    // control's scroll follows its caret as it is drawn).
    const FrameBuffer& compose(EditControls& edits, const Font* font);
    // Control `index` changed: where it is drawn already, its region is
    // composed again.
    void changed(EditControls& edits, size_t index, const Font* font);

   private:
    void recomposeRegion(EditControls& edits, PixelRect r, const Font* font);

    int width_ = 0, height_ = 0;
    FrameBuffer frame_;   // last presented frame: what a repaint shows
    FrameBuffer screen_;  // frame_ with the edit controls over it
    // Valid, screen_ holds frame_ with the first drawn_ controls over it; a
    // new frame invalidates it.
    bool valid_ = false;
    size_t drawn_ = 0;
    FrameBuffer scratch_;  // a region of the screen being composed again
};

}  // namespace tessel
