#pragma once

#include "imaging/Palette.h"
#include "imaging/RgbBuffer.h"

#include <vector>

enum class DitherOption {
    None,
    FloydSteinberg,
    Ordered,
};

// Maps colours onto a fixed palette: the nearest entry (in RGB, ties to the lower index),
// optionally with error diffusion or an 8x8 ordered dither.
class PaletteMapper final {
public:
    explicit PaletteMapper(const Palette& palette);

    [[nodiscard]] int nearest(int r, int g, int b) const;
    // The same answer, found faster when hint (an index into the palette) is close already.
    [[nodiscard]] int nearest(int r, int g, int b, int hint) const;
    // One palette index per pixel, row by row. strength scales the diffused error (0..1).
    [[nodiscard]] std::vector<quint8> map(const RgbBuffer& rgb, DitherOption dither,
                                          float strength = 1.0f) const;

private:
    struct Entry {
        int r, g, b;
        int index;
    };
    [[nodiscard]] int search(int r, int g, int b, int best, int bestIndex) const;

    std::vector<Entry> m_byGreen; // sorted by green, so a search can stop early
    std::vector<int> m_rank;      // where each palette index sits in m_byGreen
    double m_spacing = 255.0;
};
