#include "ui/StatusContrast.h"

#include <algorithm>
#include <cmath>

namespace ui {

namespace {

// 0 for black to 1 for white.
double Luminance(Rgb colour) {
    const auto linear = [](std::uint8_t channel) {
        const double c = channel / 255.0;
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(colour.red) + 0.7152 * linear(colour.green) +
           0.0722 * linear(colour.blue);
}

}  // namespace

double ContrastRatio(Rgb one, Rgb other) {
    const double lighter = std::max(Luminance(one), Luminance(other));
    const double darker = std::min(Luminance(one), Luminance(other));
    return (lighter + 0.05) / (darker + 0.05);
}

bool VerdictKeepsItsColour(Rgb verdict, Rgb background, bool highContrast) {
    return !highContrast && ContrastRatio(verdict, background) >= 3.0;
}

}  // namespace ui
