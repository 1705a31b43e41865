// Lanczos3 resizing against values computed here from the kernel formula: a one-pixel
// line shrunk by a whole factor, a printed line shrunk onto the paper and scaled up for a
// host printer.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "devices/lanczos.h"

namespace mira::devices {
namespace {

// One axis of a Lanczos3 resize, straight from the definition: output pixel j samples the
// source at its centre (j + 0.5) * s; taps at source pixel centres weigh
// L3(distance / max(s, 1)), normalised to sum 1; the border pixels repeat.
std::vector<double> resizeAxis(const std::vector<double>& in, int outSize) {
    const int n = static_cast<int>(in.size());
    const double s = double(n) / outSize;
    const double stretch = std::max(s, 1.0);
    std::vector<double> out(size_t(outSize), 0.0);
    for (int j = 0; j < outSize; ++j) {
        const double centre = (j + 0.5) * s;
        const int lo = int(std::floor(centre - 3 * stretch)) - 1;
        const int hi = int(std::ceil(centre + 3 * stretch)) + 1;
        double sum = 0, total = 0;
        for (int i = lo; i <= hi; ++i) {
            const double w = lanczos3((i + 0.5 - centre) / stretch);
            sum += w * in[size_t(std::clamp(i, 0, n - 1))];
            total += w;
        }
        out[size_t(j)] = sum / total;
    }
    return out;
}

GrayImage referenceResize(const GrayImage& src, int w, int h) {
    std::vector<std::vector<double>> rows;  // horizontal pass
    for (int y = 0; y < src.height; ++y) {
        std::vector<double> row(size_t(src.width));
        for (int x = 0; x < src.width; ++x) row[size_t(x)] = src.at(x, y);
        rows.push_back(resizeAxis(row, w));
    }
    GrayImage out(w, h, 0);
    for (int x = 0; x < w; ++x) {
        std::vector<double> col(size_t(src.height));
        for (int y = 0; y < src.height; ++y) col[size_t(y)] = rows[size_t(y)][size_t(x)];
        const auto r = resizeAxis(col, h);
        for (int y = 0; y < h; ++y)
            out.at(x, y) = static_cast<uint8_t>(std::clamp(std::lround(r[size_t(y)]), 0L, 255L));
    }
    return out;
}

int maxDifference(const GrayImage& a, const GrayImage& b) {
    EXPECT_EQ(a.width, b.width);
    EXPECT_EQ(a.height, b.height);
    int worst = 0;
    for (size_t i = 0; i < std::min(a.pixels.size(), b.pixels.size()); ++i)
        worst = std::max(worst, std::abs(int(a.pixels[i]) - int(b.pixels[i])));
    return worst;
}

TEST(Lanczos3, KernelValues) {
    EXPECT_DOUBLE_EQ(lanczos3(0), 1.0);
    EXPECT_NEAR(lanczos3(1), 0.0, 1e-12);
    EXPECT_NEAR(lanczos3(0.5), 0.6079271018540267, 1e-12);   // 3 sin(pi/2) sin(pi/6) / (pi/2)^2
    EXPECT_NEAR(lanczos3(-1.5), -0.1350949115231170, 1e-12);  // negative lobe
    EXPECT_NEAR(lanczos3(2.5), 0.0243170840741611, 1e-12);
    EXPECT_EQ(lanczos3(3.0), 0.0);
    EXPECT_EQ(lanczos3(7.0), 0.0);
}

TEST(Lanczos3, OnePixelLineShrunkByThree) {
    // A black column at x = 32 of a white 60 x 4 picture, shrunk to 20 x 4. Output pixel j
    // samples at source centre c = (j + 0.5) * 3 with taps L3((i + 0.5 - c) / 3); only the
    // black pixel differs from white, so the value is 255 (1 - w32 / sum w).
    GrayImage src(60, 4, 255);
    for (int y = 0; y < 4; ++y) src.at(32, y) = 0;
    const GrayImage got = resizeLanczos3(src, 20, 4);

    for (int j = 0; j < 20; ++j) {
        const double c = (j + 0.5) * 3;
        double total = 0;
        for (int i = int(c) - 10; i <= int(c) + 10; ++i) total += lanczos3((i + 0.5 - c) / 3.0);
        const double expected = 255.0 * (1.0 - lanczos3((32.5 - c) / 3.0) / total);
        for (int y = 0; y < 4; ++y)
            EXPECT_NEAR(got.at(j, y), std::clamp(expected, 0.0, 255.0), 1.0) << "pixel " << j;
    }
    // The line lies 1/3 from pixel 10's centre and 2/3 from pixel 11's; pixel 9 sits on
    // the negative lobe and would be whiter than white: clipped to 255.
    EXPECT_LT(got.at(10, 0), got.at(11, 0));
    EXPECT_LT(got.at(11, 0), 255);
    EXPECT_EQ(got.at(9, 0), 255);
    EXPECT_EQ(got.at(0, 0), 255);
}

TEST(Lanczos3, LinePictureOntoThePaperMatchesTheFormula) {
    std::array<int, kPrinterLineChars> codes{};
    for (int i = 0; i < kPrinterLineChars; ++i) codes[size_t(i)] = (i * 7 + 1) % kPrinterCodes;
    const GrayImage line = renderLinePicture(codes);
    // Within one level of rounding; a Lanczos2 kernel in its place is off by 12.
    EXPECT_LE(maxDifference(resizeLanczos3(line, 172, 9), referenceResize(line, 172, 9)), 1);
}

TEST(Lanczos3, LinePictureScaledUpForAHostPrinterMatchesTheFormula) {
    std::array<int, kPrinterLineChars> codes{};
    for (int i = 0; i < kPrinterLineChars; ++i) codes[size_t(i)] = printerCode("PRINTED AT 300 DPI!!"[i]);
    const GrayImage line = renderLinePicture(codes);
    // 300 dpi on A4: line height 45, width 960. pixman multiplies 16-bit fixed-point
    // weights of both axes per tap, which leaves up to 2 levels of rounding on 36 taps; a
    // Lanczos2 kernel in its place is off by 26.
    EXPECT_LE(maxDifference(resizeLanczos3(line, 960, 45), referenceResize(line, 960, 45)), 2);
}

TEST(Lanczos3, EmptyTargetGivesEmptyPicture) {
    const GrayImage got = resizeLanczos3(GrayImage(10, 10, 0), 0, 5);
    EXPECT_EQ(got.width, 0);
    EXPECT_TRUE(got.pixels.empty());
}

}  // namespace
}  // namespace mira::devices
