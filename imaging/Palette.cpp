#include "imaging/Palette.h"

#include <algorithm>
#include <cstdlib>

namespace {

quint8 level(int i, int levels) {
    return static_cast<quint8>(levels <= 1 ? 0 : (i * 255 + (levels - 1) / 2) / (levels - 1));
}

Palette grid(int rLevels, int gLevels, int bLevels) {
    std::vector<PaletteColour> c;
    c.reserve(static_cast<size_t>(rLevels * gLevels * bLevels));
    for (int r = 0; r < rLevels; ++r) {
        for (int g = 0; g < gLevels; ++g) {
            for (int b = 0; b < bLevels; ++b) {
                c.push_back({level(r, rLevels), level(g, gLevels), level(b, bLevels)});
            }
        }
    }
    return Palette(std::move(c));
}

bool validBits(int bits) {
    return bits == 1 || bits == 2 || bits == 4 || bits == 8;
}

} // namespace

Palette::Palette(std::vector<PaletteColour> colours) : m_colours(std::move(colours)) {
    if (m_colours.size() > kMaxColours) {
        m_colours.resize(kMaxColours);
    }
}

Palette Palette::greyscale(int bits) {
    if (!validBits(bits)) {
        return {};
    }
    const int n = 1 << bits;
    std::vector<PaletteColour> c;
    for (int i = 0; i < n; ++i) {
        const quint8 v = level(i, n);
        c.push_back({v, v, v});
    }
    return Palette(std::move(c));
}

Palette Palette::fixed(int bits) {
    switch (bits) {
    case 1:
    case 2:
        return greyscale(bits);
    case 4: {
        // The sixteen colours every display adapter has shown since the 1980s.
        static const PaletteColour kStandard[16] = {
            {0, 0, 0},     {128, 0, 0},     {0, 128, 0},     {128, 128, 0},   {0, 0, 128}, {128, 0, 128},
            {0, 128, 128}, {192, 192, 192}, {128, 128, 128}, {255, 0, 0},     {0, 255, 0}, {255, 255, 0},
            {0, 0, 255},   {255, 0, 255},   {0, 255, 255},   {255, 255, 255},
        };
        return Palette(std::vector<PaletteColour>(std::begin(kStandard), std::end(kStandard)));
    }
    case 8: {
        std::vector<PaletteColour> c = web().colours();
        // Eight greys in each of the five gaps between the cube's greys, so that neutral
        // tones do not band: 216 + 40 = 256.
        for (int gap = 0; gap < 5; ++gap) {
            for (int j = 1; j <= 8; ++j) {
                const auto v = static_cast<quint8>(51 * gap + (51 * j + 4) / 9);
                c.push_back({v, v, v});
            }
        }
        return Palette(std::move(c));
    }
    default:
        return {};
    }
}

Palette Palette::uniform(int bits) {
    switch (bits) {
    case 1:
    case 2:
        return greyscale(bits);
    case 4:
        return grid(2, 4, 2);
    case 8:
        return grid(8, 8, 4);
    default:
        return {};
    }
}

Palette Palette::web() {
    return grid(6, 6, 6);
}

double Palette::typicalSpacing() const {
    if (m_colours.size() < 2) {
        return 255.0;
    }
    double sum = 0;
    for (size_t i = 0; i < m_colours.size(); ++i) {
        int best = 256;
        for (size_t j = 0; j < m_colours.size(); ++j) {
            if (i == j) {
                continue;
            }
            const PaletteColour a = m_colours[i];
            const PaletteColour b = m_colours[j];
            const int d = std::max({std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b)});
            if (d > 0) {
                best = std::min(best, d);
            }
        }
        sum += best > 255 ? 255 : best;
    }
    return sum / static_cast<double>(m_colours.size());
}
