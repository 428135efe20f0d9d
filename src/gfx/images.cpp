// LOADIMG, SHOWIMG and SHOWIMGT: the image table and the transparent copy.

#include <algorithm>
#include <climits>

#include "gfx/draw.h"
#include "codec/image_decode.h"
#include "codec/image_files.h"
#include "pixels/raster.h"

namespace tessel {

namespace {

constexpr int32_t kImageBitmap = 0;      // image type: a bitmap
constexpr int32_t kLoadFromFile = 16;    // load flag: the name is a file
constexpr int32_t kMaxImageSide = 32767;

// Nearest-neighbour scaling to w x h.
ImageData scaled(const ImageData& src, int w, int h, Heartbeat* heartbeat) {
    ImageData out;
    out.width = w;
    out.height = h;
    out.pixels.resize(size_t(w) * h);
    for (int y = 0; y < h; ++y) {
        beatAtSteps(heartbeat, uint64_t(y));
        const uint32_t* row = src.pixels.data() + (int64_t(y) * src.height / h) * src.width;
        uint32_t* dst = out.pixels.data() + size_t(y) * w;
        for (int x = 0; x < w; ++x) dst[x] = row[int64_t(x) * src.width / w];
    }
    return out;
}

bool sizeAllowed(int64_t w, int64_t h) {
    return w > 0 && h > 0 && w <= kMaxImageSide && h <= kMaxImageSide &&
           w * h <= kMaxImagePixels;
}

// Decodes the file and scales it; null when it cannot be read or the size
// asked for is unusable. A width or height of 0 keeps the file's own.
std::shared_ptr<const ImageData> decode(GfxState& g, const std::string& path, int32_t width, int32_t height) {
    Heartbeat* heartbeat = g.heartbeat;
    auto image = std::make_shared<ImageData>();
    if (g.imageSource) {
        std::vector<uint8_t> bytes;
        if (!g.imageSource->read(path, bytes, nullptr) ||
            !decodeImage(bytes, *image, nullptr, kMaxImagePixels, heartbeat))
            return nullptr;
    } else if (!decodeImageFile(path, *image, nullptr, heartbeat)) {
        return nullptr;
    }
    int64_t w = width ? width : image->width, h = height ? height : image->height;
    if (!sizeAllowed(w, h)) return nullptr;
    if (w != image->width || h != image->height)
        *image = scaled(*image, static_cast<int>(w), static_cast<int>(h), heartbeat);
    return image;
}

// What looking up an image gives: the image, or none (the file cannot be
// loaded), or none because it would take the images past their budget.
struct ImageLookup {
    std::shared_ptr<const ImageData> image;
    bool overBudget = false;
};

// A regular file's modification time and size, from the run's image source.
bool identifyImageFile(GfxState& g, const std::string& path, int64_t& mtimeNs, int64_t& size) {
    if (g.imageSource) return g.imageSource->identify(path, mtimeNs, size);
    return imageFileIdentity(path, mtimeNs, size);
}

// The decoded image for a file and size, shared while the file is unchanged;
// a file that failed is remembered too, so it is not read and decoded again.
ImageLookup imageFor(GfxState& g, const std::string& path, int32_t width, int32_t height) {
    int64_t mtime = 0, size = 0;
    if (!identifyImageFile(g, path, mtime, size)) return {};
    std::string key = std::to_string(width) + "x" + std::to_string(height) + " " + path;
    auto known = g.imageFiles.find(key);
    if (known != g.imageFiles.end() && known->second.mtimeNs == mtime && known->second.fileSize == size)
        return {known->second.image};
    std::shared_ptr<const ImageData> image = decode(g, path, width, height);
    if (image) {
        // Every decoded image counts against the one budget all images share.
        int64_t bytes = int64_t(image->pixels.size()) * int64_t(sizeof(uint32_t));
        if (g.imageBytes + bytes > g.imageBudget) return {nullptr, true};
        g.imageBytes += bytes;
    }
    g.imageFiles[key] = CachedImage{mtime, size, image};
    return {image};
}

}  // namespace

int32_t loadImage(GfxState& g, const std::string& path, int32_t type, int32_t width,
                  int32_t height, int32_t flags) {
    if (type != kImageBitmap || !(flags & kLoadFromFile)) return 0;
    if (width < 0 || height < 0 || path.find('\0') != std::string::npos) return 0;
    if (g.images.size() >= size_t(INT32_MAX)) return 0;
    ImageLookup found = imageFor(g, path, width, height);
    if (found.overBudget) return kImageMemoryExhausted;
    if (!found.image) return 0;
    g.images.push_back(std::move(found.image));
    return static_cast<int32_t>(g.images.size());
}

void showImage(GfxState& g, int32_t handle, int32_t x, int32_t y, int32_t w, int32_t h) {
    if (handle < 1 || size_t(handle) > g.images.size()) return;
    const ImageData& img = *g.images[size_t(handle) - 1];
    // The source rectangle is the image's top-left w x h; what lies outside
    // the image or the buffer is left out.
    int64_t srcW = std::min<int64_t>(w, img.width), srcH = std::min<int64_t>(h, img.height);
    int64_t x0 = std::max<int64_t>(0, -int64_t(x)), y0 = std::max<int64_t>(0, -int64_t(y));
    int64_t x1 = std::min<int64_t>(srcW, int64_t(g.width) - x);
    int64_t y1 = std::min<int64_t>(srcH, int64_t(g.height) - y);
    const Canvas target = drawRows(g, y + y0, y + y1);
    for (int64_t row = y0; row < y1; ++row) {
        const uint32_t* src = img.pixels.data() + row * img.width;
        uint32_t* dst = target.pixels + (y + row) * target.width + x;
        for (int64_t col = x0; col < x1; ++col)
            if (src[col] & 0xFFFFFFu) dst[col] = src[col] | 0xFF000000u;  // black is transparent
    }
}

}  // namespace tessel
