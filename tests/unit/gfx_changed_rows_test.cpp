// A window that keeps the presented frame copies only the rows drawn on
// since the last present: every drawing statement must name all the rows it
// changes, or the window goes on showing stale pixels there. Each statement
// is drawn at random places (near and across the edges, and far outside)
// and the rows that really changed are compared with the rows it named.
#include <memory>
#include <random>
#include <string>

#include "gfx_test_util.h"
#include "platform/window_core.h"

namespace tessel {
namespace {

using namespace testing_gfx;

constexpr int kW = 64, kH = 48;

// A buffer whose pixels are all different from what the statements draw.
GfxState patterned() {
    GfxState g = smallBuffer(kW, kH);
    for (size_t i = 0; i < g.pixels.size(); ++i)
        g.pixels[i] = 0xFF000000u | static_cast<uint32_t>(i * 40503u + 7);
    g.foreground = colourValue(255, 0, 0);
    g.background = colourValue(0, 0, 255);
    return g;
}

// The rows where `before` and `after` differ: {first, last), empty when none.
RowSpan rowsThatDiffer(const GfxState& before, const GfxState& after) {
    RowSpan d{kH, 0};
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
            if (at(before, x, y) != at(after, x, y)) {
                d.first = std::min(d.first, y);
                d.last = std::max(d.last, y + 1);
            }
    return d;
}

// Draws `statement` at 300 random places and checks every change lies in
// the rows it named.
template <class Draw>
void expectChangesInNamedRows(const char* name, Draw statement, GfxState g = patterned()) {
    std::mt19937 rng(12345);
    std::uniform_int_distribution<int> near(-20, kW + 20), far(-100000, 100000);
    int drawnSomething = 0;
    for (int i = 0; i < 300; ++i) {
        auto pick = [&] { return i % 10 == 9 ? far(rng) : near(rng); };
        GfxState before = g;
        takeChangedRows(g);
        statement(g, pick(), pick(), pick(), pick());
        RowSpan named = takeChangedRows(g), changed = rowsThatDiffer(before, g);
        if (changed.empty()) continue;
        ++drawnSomething;
        ASSERT_LE(named.first, changed.first) << name << ", case " << i;
        ASSERT_GE(named.last, changed.last) << name << ", case " << i;
        // The next case draws over the pattern again.
        g.pixels = before.pixels;
    }
    EXPECT_GT(drawnSomething, 30) << name << " drew too rarely to tell";
}

TEST(GfxChangedRows, EveryDrawingStatementNamesTheRowsItChanges) {
    expectChangesInNamedRows("PSET", [](GfxState& g, int x, int y, int, int) { pset(g, x, y); });
    expectChangesInNamedRows(
        "LINE", [](GfxState& g, int x0, int y0, int x1, int y1) { line(g, x0, y0, x1, y1); });
    expectChangesInNamedRows("DRAW", [](GfxState& g, int x0, int y0, int x1, int y1) {
        plot(g, x0, y0);
        drawTo(g, x1, y1);
    });
    expectChangesInNamedRows(
        "RECT", [](GfxState& g, int x, int y, int w, int h) { rect(g, x, y, w - 32, h - 32); });
    expectChangesInNamedRows(
        "CIRCLE", [](GfxState& g, int x, int y, int r, int) { circle(g, x, y, r / 2 - 16); });
    expectChangesInNamedRows("WCOLOR",
                             [](GfxState& g, int x, int, int, int) { clearTo(g, uint32_t(x)); });

    GfxState withImage = patterned();
    auto image = std::make_shared<ImageData>();
    image->width = 20;
    image->height = 15;
    for (int i = 0; i < 20 * 15; ++i) image->pixels.push_back(i % 7 ? 0xFF00FF00u : 0xFF000000u);
    withImage.images.push_back(image);
    expectChangesInNamedRows(
        "SHOWIMG", [](GfxState& g, int x, int y, int w, int h) { showImage(g, 1, x, y, w, h); },
        withImage);
}

TEST(GfxChangedRows, TextNamesTheRowsOfItsCell) {
    GfxState g = patterned();
    setFont(g, kDefaultFontHeight, kDefaultFontWidth, 0, kDefaultFontFace);
    if (!currentFont(g)) GTEST_SKIP() << "no font to draw with";
    expectChangesInNamedRows(
        "PRINT", [](GfxState& gs, int x, int y, int, int) { drawText(gs, x, y, "Wg\xC9|_@"); }, g);
}

// A backend that keeps a copy of what it was last shown.
class CopyingWindow final : public NativeWindow {
   public:
    explicit CopyingWindow(std::vector<uint32_t>* shown) : shown_(shown) {}
    bool open(std::string_view, int, int) override { return true; }
    void present(PixelView frame) override {
        shown_->assign(frame.pixels,
                       frame.pixels + static_cast<size_t>(frame.width) * frame.height);
    }
    void pollEvents(NativeInput&, int) override {}
    bool showBox(std::string_view, PixelView) override { return false; }
    void hideBox() override {}

   private:
    std::vector<uint32_t>* shown_;
};

// Frames presented with the rows drawn on since the last one: the window
// shows each frame whole, also when a present comes with no row changed.
TEST(GfxChangedRows, AWindowShowsEachFramePresentedWithItsChangedRows) {
    std::vector<uint32_t> shown;
    PlatformConfig cfg;
    cfg.drive = Drive::Unattended;
    WindowCore core(std::make_unique<CopyingWindow>(&shown), std::move(cfg));
    core.createMainWindow("t", kW, kH, [](const Message&) {});
    GfxState g;
    createBackBuffer(g, kW, kH);
    core.present(g.view(), takeChangedRows(g));
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> coord(-10, kW + 10);
    for (int frame = 0; frame < 200; ++frame) {
        switch (frame % 4) {
            case 0: pset(g, coord(rng), coord(rng)); break;
            case 1: line(g, coord(rng), coord(rng), coord(rng), coord(rng)); break;
            case 2: circle(g, coord(rng), coord(rng), coord(rng) / 4); break;
            default: break;  // presented again unchanged
        }
        g.foreground = static_cast<uint32_t>(rng());
        g.background = static_cast<uint32_t>(rng());
        core.present(g.view(), takeChangedRows(g));
        ASSERT_EQ(shown.size(), g.pixels.size());
        ASSERT_TRUE(std::equal(shown.begin(), shown.end(), g.pixels.begin())) << "frame " << frame;
    }
}

}  // namespace
}  // namespace tessel
