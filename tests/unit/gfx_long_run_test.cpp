// A long run of every primitive: under the sanitizer build the leak checker
// sees anything a primitive loses; here the caches must stay bounded.
#include <string>

#include "gfx_test_util.h"

namespace tessel {
namespace {

TEST(GfxLongRun, PrimitivesFontsAndImagesStayBounded) {
    GfxState g;
    createBackBuffer(g, 320, 200);
    const std::string image = std::string(TESSEL_TEST_DATA) + "/fixtures/images/v24.bmp";
    for (int i = 0; i < 3000; ++i) {
        setForeground(g, colourValue(i, i * 3, i * 7));
        setBackground(g, colourValue(i * 5, i, 0));
        pset(g, i % 320, i % 200);
        line(g, -i, i, 400 - i, 300 - i);
        drawTo(g, i % 350, (i * 7) % 230);
        rect(g, i % 300, i % 180, 40 - i % 80, 30);
        circle(g, i % 320, i % 200, i % 70);
        if (i % 50 == 0) setFont(g, 10 + i % 23, 0, i % 100 == 0 ? 700 : 400, "Consolas");
        drawText(g, i % 300, i % 190, "Long run \x80\xE9");
        if (i % 10 == 0) showImage(g, loadImage(g, image, 0, 0, 0, 16), i % 300, i % 190, 8, 4);
        if (i % 500 == 0) clearTo(g, colourValue(255, 255, 255));
    }
    EXPECT_LE(g.fonts.size(), 8u);
    EXPECT_EQ(g.images.size(), 300u);
    EXPECT_EQ(g.imageFiles.size(), 1u);  // one decoded copy behind all 300 handles
    EXPECT_EQ(g.images.front().get(), g.images.back().get());
}

}  // namespace
}  // namespace tessel
