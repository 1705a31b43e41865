// Resizing a grey picture with the Lanczos3 kernel (support radius 3), through pixman's
// separable convolution filter: the printer shrinks its 560 x 30 line pictures onto the
// paper and scales them to the host printer's line size with it.
#pragma once

#include "devices/printer_font.h"

namespace mira::devices {

// sin(pi x)/(pi x) * sin(pi x/3)/(pi x/3) for |x| < 3, else 0.
double lanczos3(double x);

// The picture resized to width x height. Along an axis that shrinks, the kernel is
// stretched by the shrink factor (so every source pixel counts); along one that grows it
// interpolates between source pixels. Edges repeat the border pixels.
GrayImage resizeLanczos3(const GrayImage& src, int width, int height);

}  // namespace mira::devices
