#include "imaging/PaletteMapper.h"

#include <algorithm>
#include <climits>

namespace {

constexpr int kBayer8[8][8] = {
    {0, 32, 8, 40, 2, 34, 10, 42},    {48, 16, 56, 24, 50, 18, 58, 26}, {12, 44, 4, 36, 14, 46, 6, 38},
    {60, 28, 52, 20, 62, 30, 54, 22}, {3, 35, 11, 43, 1, 33, 9, 41},    {51, 19, 59, 27, 49, 17, 57, 25},
    {15, 47, 7, 39, 13, 45, 5, 37},   {63, 31, 55, 23, 61, 29, 53, 21},
};

int clamp255(int v) {
    return std::clamp(v, 0, 255);
}

} // namespace

PaletteMapper::PaletteMapper(const Palette& palette) {
    m_byGreen.reserve(static_cast<size_t>(palette.size()));
    for (int i = 0; i < palette.size(); ++i) {
        const PaletteColour c = palette.at(i);
        m_byGreen.push_back({c.r, c.g, c.b, i});
    }
    std::stable_sort(m_byGreen.begin(), m_byGreen.end(),
                     [](const Entry& a, const Entry& b) { return a.g < b.g; });
    m_spacing = palette.typicalSpacing();
    m_rank.resize(m_byGreen.size());
    for (size_t i = 0; i < m_byGreen.size(); ++i) {
        m_rank[static_cast<size_t>(m_byGreen[i].index)] = static_cast<int>(i);
    }
}

int PaletteMapper::nearest(int r, int g, int b) const {
    if (m_byGreen.empty()) {
        return 0;
    }
    return search(r, g, b, INT_MAX, 0);
}

int PaletteMapper::nearest(int r, int g, int b, int hint) const {
    if (m_byGreen.empty()) {
        return 0;
    }
    if (hint < 0 || static_cast<size_t>(hint) >= m_rank.size()) {
        return search(r, g, b, INT_MAX, 0);
    }
    const Entry& e = m_byGreen[static_cast<size_t>(m_rank[static_cast<size_t>(hint)])];
    const int d = (e.r - r) * (e.r - r) + (e.g - g) * (e.g - g) + (e.b - b) * (e.b - b);
    // The bound d + 1 lets an entry at the same distance with a lower index still win.
    return search(r, g, b, d + 1, hint);
}

int PaletteMapper::search(int r, int g, int b, int best, int bestIndex) const {
    // Walk outwards from the entries of about the same green; once the green difference
    // alone exceeds the best distance, nothing further out can win.
    const auto start = std::lower_bound(m_byGreen.begin(), m_byGreen.end(), g,
                                        [](const Entry& e, int value) { return e.g < value; });
    auto consider = [&](const Entry& e) {
        const int dr = e.r - r;
        const int dg = e.g - g;
        const int db = e.b - b;
        const int d = dr * dr + dg * dg + db * db;
        if (d < best || (d == best && e.index < bestIndex)) {
            best = d;
            bestIndex = e.index;
        }
    };
    auto up = start;
    auto down = start;
    bool goUp = true;
    bool goDown = true;
    while (goUp || goDown) {
        if (goUp) {
            if (up == m_byGreen.end() || (up->g - g) * (up->g - g) > best) {
                goUp = false;
            } else {
                consider(*up++);
            }
        }
        if (goDown) {
            if (down == m_byGreen.begin() || ((down - 1)->g - g) * ((down - 1)->g - g) > best) {
                goDown = false;
            } else {
                consider(*--down);
            }
        }
    }
    return bestIndex;
}

std::vector<quint8> PaletteMapper::map(const RgbBuffer& rgb, DitherOption dither, float strength) const {
    const int w = rgb.width();
    const int h = rgb.height();
    std::vector<quint8> out(static_cast<size_t>(w) * static_cast<size_t>(h));
    if (m_byGreen.empty()) {
        return out;
    }
    // Palette colours by index, for the error terms.
    std::vector<Entry> byIndex(m_byGreen.size());
    for (const Entry& e : m_byGreen) {
        byIndex[static_cast<size_t>(e.index)] = e;
    }
    if (dither == DitherOption::FloydSteinberg && strength > 0) {
        // Errors in 1/16 units (scaled by strength, in 1/256) for this row and the next, with
        // a guard column either side.
        const int scale = static_cast<int>(std::clamp(strength, 0.0f, 1.0f) * 256.0f + 0.5f);
        std::vector<int> cur(static_cast<size_t>(w + 2) * 3, 0);
        std::vector<int> next(static_cast<size_t>(w + 2) * 3, 0);
        for (int y = 0; y < h; ++y) {
            std::fill(next.begin(), next.end(), 0);
            for (int x = 0; x < w; ++x) {
                const quint8* p = rgb.pixel(x, y);
                int* e = &cur[static_cast<size_t>(x + 1) * 3];
                const int r = clamp255(p[0] + e[0] / 16);
                const int g = clamp255(p[1] + e[1] / 16);
                const int b = clamp255(p[2] + e[2] / 16);
                const int idx = nearest(r, g, b);
                out[static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)] =
                    static_cast<quint8>(idx);
                const Entry& c = byIndex[static_cast<size_t>(idx)];
                const int err[3] = {(r - c.r) * scale / 256, (g - c.g) * scale / 256,
                                    (b - c.b) * scale / 256};
                for (int k = 0; k < 3; ++k) {
                    cur[static_cast<size_t>(x + 2) * 3 + k] += err[k] * 7;
                    next[static_cast<size_t>(x) * 3 + k] += err[k] * 3;
                    next[static_cast<size_t>(x + 1) * 3 + k] += err[k] * 5;
                    next[static_cast<size_t>(x + 2) * 3 + k] += err[k];
                }
            }
            std::swap(cur, next);
        }
        return out;
    }
    const double amplitude =
        dither == DitherOption::Ordered ? m_spacing * std::clamp(strength, 0.0f, 1.0f) : 0.0;
    if (amplitude == 0.0) {
        // Colours repeat a lot within a picture, so answers are kept in a small
        // direct-mapped cache keyed by the whole colour (exact, unlike a coarser grid).
        constexpr quint32 kCacheSize = 1u << 14;
        constexpr quint32 kEmpty = 0xFFFFFFFFu;
        std::vector<quint32> keys(kCacheSize, kEmpty);
        std::vector<quint8> answers(kCacheSize, 0);
        const quint8* p = rgb.data();
        for (quint8& index : out) {
            const quint32 colour = (quint32{p[0]} << 16) | (quint32{p[1]} << 8) | p[2];
            const quint32 slot = (colour * 2654435761u) >> (32 - 14);
            if (keys[slot] != colour) {
                keys[slot] = colour;
                answers[slot] = static_cast<quint8>(nearest(p[0], p[1], p[2]));
            }
            index = answers[slot];
            p += 3;
        }
        return out;
    }
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const quint8* p = rgb.pixel(x, y);
            // Threshold in (-1/2, 1/2) of one palette step.
            const int offset =
                amplitude > 0 ? static_cast<int>(((kBayer8[y & 7][x & 7] + 0.5) / 64.0 - 0.5) * amplitude)
                              : 0;
            out[static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)] =
                static_cast<quint8>(
                    nearest(clamp255(p[0] + offset), clamp255(p[1] + offset), clamp255(p[2] + offset)));
        }
    }
    return out;
}
