#include "quorlink/media/jpeg_codec.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

using namespace quorlink::media;

namespace {

// A smooth colour picture (JPEG keeps such pictures close to the original).
std::vector<uint8_t> Gradient(int w, int h, ptrdiff_t stride)
{
    std::vector<uint8_t> rows(static_cast<size_t>(stride) * h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            uint8_t* p = &rows[y * stride + x * 3];
            p[0] = uint8_t(x * 255 / w);  // blue grows to the right
            p[1] = uint8_t(y * 255 / h);  // green grows downwards
            p[2] = 200;
        }
    }
    return rows;
}

int MaxDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b)
{
    int worst = 0;
    for (size_t i = 0; i < a.size(); ++i)
        worst = std::max(worst, std::abs(int(a[i]) - int(b[i])));
    return worst;
}

}  // namespace

TEST(JpegCodec, ColourRoundTripKeepsChannelOrderAndRowOrder)
{
    const int w = 128, h = 160;
    const ptrdiff_t stride = 128 * 3;
    const auto picture = Gradient(w, h, stride);
    std::vector<uint8_t> jpeg;
    ASSERT_TRUE(EncodeJpeg(picture.data(), stride, w, h, JpegPixels::Bgr24, 90, jpeg).ok);

    JpegHeader header;
    ASSERT_TRUE(ReadJpegHeader(jpeg, header).ok);
    EXPECT_EQ(header.width, w);
    EXPECT_EQ(header.height, h);
    EXPECT_EQ(header.components, 3);

    // Top-down.
    std::vector<uint8_t> back(picture.size());
    ASSERT_TRUE(DecodeJpeg(jpeg, JpegPixels::Bgr24, w, h, back.data(), stride).ok);
    EXPECT_LT(MaxDifference(picture, back), 16);

    // Bottom-up (as a DIB keeps its rows): the last row of the buffer is the top.
    std::vector<uint8_t> flipped(picture.size());
    ASSERT_TRUE(DecodeJpeg(jpeg, JpegPixels::Bgr24, w, h, flipped.data() + (h - 1) * stride, -stride).ok);
    EXPECT_LT(std::abs(int(flipped[(h - 1) * stride + 1]) - int(picture[1])), 16);  // green of the top row
    EXPECT_GT(int(flipped[1]), 200);  // green of the bottom row
}

TEST(JpegCodec, GreyPicturesDecodeToGreyOrToEqualChannels)
{
    const int w = 64, h = 48;
    std::vector<uint8_t> grey(w * h);
    for (int i = 0; i < w * h; ++i)
        grey[i] = uint8_t(i % w * 4);
    std::vector<uint8_t> jpeg;
    ASSERT_TRUE(EncodeJpeg(grey.data(), w, w, h, JpegPixels::Grey8, 95, jpeg).ok);
    JpegHeader header;
    ASSERT_TRUE(ReadJpegHeader(jpeg, header).ok);
    EXPECT_EQ(header.components, 1);

    std::vector<uint8_t> back(grey.size());
    ASSERT_TRUE(DecodeJpeg(jpeg, JpegPixels::Grey8, w, h, back.data(), w).ok);
    EXPECT_LT(MaxDifference(grey, back), 8);

    std::vector<uint8_t> bgr(w * h * 3);
    ASSERT_TRUE(DecodeJpeg(jpeg, JpegPixels::Bgr24, w, h, bgr.data(), w * 3).ok);
    for (int i = 0; i < w * h; ++i) {
        EXPECT_EQ(bgr[i * 3], bgr[i * 3 + 1]);
        EXPECT_EQ(bgr[i * 3], bgr[i * 3 + 2]);
    }
}

TEST(JpegCodec, DamagedOrHostileInputIsAClearError)
{
    const auto picture = Gradient(32, 32, 96);
    std::vector<uint8_t> jpeg;
    ASSERT_TRUE(EncodeJpeg(picture.data(), 96, 32, 32, JpegPixels::Bgr24, 80, jpeg).ok);
    JpegHeader h;
    std::vector<uint8_t> rows(96 * 32);

    const std::vector<uint8_t> garbage = {'G', 'I', 'F', '8', '9', 'a', 0, 0};
    EXPECT_FALSE(ReadJpegHeader(garbage, h).ok);
    EXPECT_FALSE(ReadJpegHeader({}, h).ok);
    // Cut inside the header.
    EXPECT_FALSE(ReadJpegHeader(std::span(jpeg).first(20), h).ok);
    // The frame it is decoded into must have the picture's size.
    const JpegResult wrongSize = DecodeJpeg(jpeg, JpegPixels::Bgr24, 31, 32, rows.data(), 96);
    EXPECT_FALSE(wrongSize.ok);
    EXPECT_FALSE(wrongSize.error.empty());

    // A header announcing 65000 x 65000 pixels is refused before decoding.
    std::vector<uint8_t> huge = jpeg;
    for (size_t i = 0; i + 8 < huge.size(); ++i) {
        if (huge[i] == 0xFF && huge[i + 1] == 0xC0) {  // SOF0: length(2) precision(1) height(2) width(2)
            huge[i + 5] = 0xFD, huge[i + 6] = 0xE8, huge[i + 7] = 0xFD, huge[i + 8] = 0xE8;
            break;
        }
    }
    EXPECT_FALSE(ReadJpegHeader(huge, h).ok);
}

TEST(JpegCodec, QualityAndSizeArgumentsAreChecked)
{
    const auto picture = Gradient(8, 8, 24);
    std::vector<uint8_t> out;
    EXPECT_FALSE(EncodeJpeg(picture.data(), 24, 8, 8, JpegPixels::Bgr24, 0, out).ok);
    EXPECT_FALSE(EncodeJpeg(picture.data(), 24, 0, 8, JpegPixels::Bgr24, 75, out).ok);
    EXPECT_FALSE(EncodeJpeg(nullptr, 24, 8, 8, JpegPixels::Bgr24, 75, out).ok);
}
