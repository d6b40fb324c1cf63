// Whether the verdict in the status line keeps its own colour (blue for a
// completed run, red for one that was not) or takes the system's text
// colour. Decided here, without Windows, so that the arithmetic can be
// checked colour by colour.
#pragma once

#include <cstdint>

namespace ui {

struct Rgb {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
};

// How far apart two colours are to the eye, from 1 (the same) to 21 (black
// on white), by their relative luminance on an sRGB screen.
double ContrastRatio(Rgb one, Rgb other);

// A high-contrast theme chose its colours for people who need them, so the
// verdict gives way to its text colour there; and so it does in any scheme
// it would hardly stand out from (below 3 : 1, the least that is read
// without effort), such as one set colour by colour, which not every system
// reports as high contrast.
bool VerdictKeepsItsColour(Rgb verdict, Rgb background, bool highContrast);

}  // namespace ui
