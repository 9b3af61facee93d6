#pragma once

#include "imaging/Palette.h"
#include "imaging/PaletteMapper.h"

enum class PaletteOption {
    Optimised, // libimagequant picks the colours
    Fixed,     // Palette::fixed
    Uniform,   // Palette::uniform
    Web,       // the 216 web colours; 8 bits only
    Greyscale,
    User, // the colours given in userPalette
};

// What the colour-resolution dialog hands over.
struct ColourResolution final {
    int bits = 8; // 1, 2, 4, 8; 24 returns to true colour
    PaletteOption palette = PaletteOption::Optimised;
    DitherOption dither = DitherOption::FloydSteinberg;
    // For Optimised: at most this many colours (0 = 2^bits).
    int colours = 0;
    Palette userPalette;
};
