#include "ColourContrast.h"

#include <algorithm>
#include <cmath>

namespace {

// One channel from its 8-bit sRGB value to linear light.
double linearChannel(int value)
{
    const double c = std::clamp(value, 0, 255) / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

}  // namespace

namespace ColourContrast {

double relativeLuminance(int red, int green, int blue)
{
    return 0.2126 * linearChannel(red) + 0.7152 * linearChannel(green) + 0.0722 * linearChannel(blue);
}

double contrastRatio(int red1, int green1, int blue1, int red2, int green2, int blue2)
{
    const double a = relativeLuminance(red1, green1, blue1);
    const double b = relativeLuminance(red2, green2, blue2);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

}  // namespace ColourContrast
