#include "ads/fullscreen/GADIntrinsicImages.h"

#include <gtest/gtest.h>

#include "platform/Image.h"

namespace {

struct Artwork {
  std::shared_ptr<const platform::Image> (*get)();
  std::uint32_t pixels;
};

TEST(GADIntrinsicImagesTest, EachPieceIsAnEightBitRGBAPNGDrawnForScaleTwoAndKept) {
  for (const Artwork& art : {Artwork{&GADIntrinsicImages::closeButton, 50},
                             Artwork{&GADIntrinsicImages::browserForwardButton, 54},
                             Artwork{&GADIntrinsicImages::browserBackButton, 54}}) {
    auto image = art.get();
    ASSERT_TRUE(image);
    EXPECT_EQ(image->pixelWidth(), art.pixels);
    EXPECT_EQ(image->pixelHeight(), art.pixels);
    EXPECT_EQ(image->size().width, art.pixels / 2.0);
    const auto& png = image->pngBytes();
    EXPECT_EQ(png[24], 8);  // bit depth
    EXPECT_EQ(png[25], 6);  // colour type: RGBA
    EXPECT_EQ(png[28], 0);  // not interlaced
    EXPECT_EQ(art.get(), image);  // decoded once
  }
  EXPECT_NE(GADIntrinsicImages::browserBackButton()->pngBytes(), GADIntrinsicImages::browserForwardButton()->pngBytes());
}

TEST(GADIntrinsicImagesTest, TextThatIsNotBase64PNGGivesNoImage) {
  EXPECT_FALSE(GADIntrinsicImages::createImageFromEncoding("not base64!"));
  EXPECT_FALSE(GADIntrinsicImages::createImageFromEncoding("aGVsbG8="));  // "hello"
}

}  // namespace
