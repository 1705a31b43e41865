#include "lanczos.h"

#include <pixman.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace mira::devices {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kSupport = 3.0;
// Filter phases: a shrinking axis is off by at most 1/128 pixel with 2^6, below what an
// 8-bit result shows (more phases of its wide kernel cost more to build than the resize).
// A growing axis samples steep edges between pixels and takes 2^8 of its six taps.
constexpr int kShrinkSubsampleBits = 6;
constexpr int kGrowSubsampleBits = 8;

struct ImageDeleter {
    void operator()(pixman_image_t* p) const { pixman_image_unref(p); }
};
using PixmanImage = std::unique_ptr<pixman_image_t, ImageDeleter>;

// pixman wants rows on 4-byte boundaries.
int strideFor(int width) { return (width + 3) & ~3; }

}  // namespace

double lanczos3(double x) {
    x = std::abs(x);
    if (x < 1e-12) return 1.0;
    if (x >= kSupport) return 0.0;
    const double px = kPi * x;
    return kSupport * std::sin(px) * std::sin(px / kSupport) / (px * px);
}

GrayImage resizeLanczos3(const GrayImage& src, int width, int height) {
    if (width <= 0 || height <= 0 || src.width <= 0 || src.height <= 0) return GrayImage{};
    GrayImage out(width, height, 255);

    const int srcStride = strideFor(src.width);
    const int dstStride = strideFor(width);
    std::vector<uint32_t> srcBits(size_t(srcStride) * size_t(src.height) / 4);
    std::vector<uint32_t> dstBits(size_t(dstStride) * size_t(height) / 4);
    auto* srcBytes = reinterpret_cast<uint8_t*>(srcBits.data());
    for (int y = 0; y < src.height; ++y)
        std::memcpy(srcBytes + size_t(y) * size_t(srcStride), &src.pixels[size_t(y) * size_t(src.width)],
                    size_t(src.width));

    PixmanImage in(pixman_image_create_bits(PIXMAN_a8, src.width, src.height, srcBits.data(), srcStride));
    PixmanImage dst(pixman_image_create_bits(PIXMAN_a8, width, height, dstBits.data(), dstStride));
    if (!in || !dst) return out;

    const double sx = double(src.width) / width;
    const double sy = double(src.height) / height;
    pixman_transform_t t;
    pixman_transform_init_scale(&t, pixman_double_to_fixed(sx), pixman_double_to_fixed(sy));
    pixman_image_set_transform(in.get(), &t);
    pixman_image_set_repeat(in.get(), PIXMAN_REPEAT_PAD);

    // Shrinking: the kernel is the sampling filter, stretched by the factor. Growing: it
    // reconstructs between source pixels at its own width.
    const bool shrinkX = sx > 1.0, shrinkY = sy > 1.0;
    int n = 0;
    pixman_fixed_t* params = pixman_filter_create_separable_convolution(
        &n, pixman_double_to_fixed(shrinkX ? sx : 1.0), pixman_double_to_fixed(shrinkY ? sy : 1.0),
        shrinkX ? PIXMAN_KERNEL_IMPULSE : PIXMAN_KERNEL_LANCZOS3,
        shrinkY ? PIXMAN_KERNEL_IMPULSE : PIXMAN_KERNEL_LANCZOS3,
        shrinkX ? PIXMAN_KERNEL_LANCZOS3 : PIXMAN_KERNEL_IMPULSE,
        shrinkY ? PIXMAN_KERNEL_LANCZOS3 : PIXMAN_KERNEL_IMPULSE,
        shrinkX ? kShrinkSubsampleBits : kGrowSubsampleBits, shrinkY ? kShrinkSubsampleBits : kGrowSubsampleBits);
    if (!params) return out;
    const bool set = pixman_image_set_filter(in.get(), PIXMAN_FILTER_SEPARABLE_CONVOLUTION, params, n);
    std::free(params);
    if (!set) return out;

    pixman_image_composite32(PIXMAN_OP_SRC, in.get(), nullptr, dst.get(), 0, 0, 0, 0, 0, 0, width, height);

    const auto* dstBytes = reinterpret_cast<const uint8_t*>(dstBits.data());
    for (int y = 0; y < height; ++y)
        std::memcpy(&out.pixels[size_t(y) * size_t(width)], dstBytes + size_t(y) * size_t(dstStride),
                    size_t(width));
    return out;
}

}  // namespace mira::devices
