#pragma once

// How well a text stands out from its background: the relative luminance of
// an sRGB colour and the contrast ratio of two colours, as the accessibility
// guidelines for the web define them (WCAG 2.1). A ratio of at least 4.5 is
// what ordinary text needs to be readable with reduced sight.

namespace ColourContrast {

// The least contrast ratio of text to its background.
constexpr double kMinimumTextRatio = 4.5;

// 0.0 for black to 1.0 for white; each channel 0..255 (clamped).
double relativeLuminance(int red, int green, int blue);

// (lighter + 0.05) / (darker + 0.05), from 1.0 (the same colour) to 21.0
// (black and white); the order of the two colours does not matter.
double contrastRatio(int red1, int green1, int blue1, int red2, int green2, int blue2);

}  // namespace ColourContrast
