// Drawing state: the back buffer, colours, font, pen position and images.
#pragma once

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/heartbeat.h"
#include "font/font.h"
#include "codec/image_io.h"
#include "pixels/pixel_buffer.h"
#include "pixels/raster.h"

namespace tessel {

// A font kept for reuse, so a script that switches fonts every frame does not
// reopen and re-render its glyphs each time.
struct CachedFont {
    std::string face;            // face name as the script gave it
    int height = 0;              // SETFONT arguments the font was opened with
    int width = 0;
    int weight = 0;
    std::shared_ptr<Font> font;  // never null
};

// A decoded image file, shared by every LOADIMG of the same file and size
// while the file stays unchanged on disk.
struct CachedImage {
    int64_t mtimeNs = 0;                     // file modification time when loaded
    int64_t fileSize = 0;                    // file size when loaded
    std::shared_ptr<const ImageData> image;  // the decoded, scaled pixels; null: it failed
};

// Where a run reads its image files: the disk, or a debugger's record of
// what an earlier run of the same script read, so that a run brought back
// to an earlier stop reads what it read then.
class ImageSource {
   public:
    virtual ~ImageSource() = default;
    // The file's modification time and size; false when it is no regular file.
    virtual bool identify(const std::string& path, int64_t& mtimeNs, int64_t& size) = 0;
    // The whole file; false, with the reason, when it cannot be read.
    virtual bool read(const std::string& path, std::vector<uint8_t>& bytes, std::string* error) = 0;
};

struct GfxState {
    int width = 0;                  // back buffer size, fixed at creation
    int height = 0;
    FrameBuffer pixels;             // 0xAARRGGBB, row-major
    // Rows drawn on since the buffer was last presented (changedTop <=
    // y < changedBottom, not clipped to the buffer): a window that keeps
    // the presented frame copies only these.
    int64_t changedTop = INT64_MAX;
    int64_t changedBottom = INT64_MIN;

    uint32_t foreground = 0;        // FCOLOR value (r + 256g + 65536b): points, lines, outlines, text
    uint32_t background = 0;        // BCOLOR value: fill of RECT and CIRCLE
    int32_t penX = 0;               // pen position: set by PLOT and DRAW, read by DRAW
    int32_t penY = 0;

    std::shared_ptr<Font> font;      // current text font; null only when no font exists at all
    std::vector<CachedFont> fonts;   // recently used fonts, most recent first
    // Fonts selected but not opened yet, oldest first. Opening a font costs
    // milliseconds, so it waits until text is drawn; then the newest request
    // that opens becomes the current font, as if each had been opened in turn.
    std::vector<CachedFont> pendingFonts;

    // Handle of the image the last SHOWIMG or SHOWIMGT with a pointer
    // variable drew (0 before the first); drawn again by one without.
    int32_t shownImage = 0;

    // Loaded images; handle h names images[h - 1]. Images live until the end.
    std::vector<std::shared_ptr<const ImageData>> images;
    std::map<std::string, CachedImage> imageFiles;  // "width x height path" -> decoded file
    int64_t imageBytes = 0;                  // pixels of every decoded image, in bytes
    int64_t imageBudget = int64_t(1) << 30;  // what all images together may take
    Heartbeat* heartbeat = nullptr;          // beaten while an image is decoded and scaled
    ImageSource* imageSource = nullptr;      // null: image files are read from the disk

    PixelView view() const { return PixelView{pixels.data(), width, height}; }
};

// The back buffer to draw in rows top <= y < bottom (any size, clipped
// later): every drawing goes through here, so that the rows it may change
// are known when the buffer is next presented.
inline Canvas drawRows(GfxState& g, int64_t top, int64_t bottom) {
    g.changedTop = std::min(g.changedTop, top);
    g.changedBottom = std::max(g.changedBottom, bottom);
    return Canvas{g.pixels.data(), g.width, g.height};
}

// The rows drawn on since the last call, within the buffer; none are from
// then on.
RowSpan takeChangedRows(GfxState& g);

// Creates the white back buffer of the given size, selects the default font
// and resets colours and pen position.
void createBackBuffer(GfxState& gfx, int width, int height);

}  // namespace tessel
