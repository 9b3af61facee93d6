#pragma once

#include <QtGlobal>

#include <vector>

struct PaletteColour final {
    quint8 r = 0;
    quint8 g = 0;
    quint8 b = 0;

    friend constexpr bool operator==(PaletteColour, PaletteColour) = default;
};

// A colour table of at most 256 entries, as an indexed picture uses it.
class Palette final {
public:
    static constexpr int kMaxColours = 256;

    Palette() = default;
    explicit Palette(std::vector<PaletteColour> colours);

    // The fixed table of a colour depth: black and white (1 bit), four greys (2 bits), the 16
    // standard display colours (4 bits), the 6x6x6 cube plus 40 greys (8 bits).
    static Palette fixed(int bits);
    // Evenly spaced levels per channel: 3-3-2 bits of red, green and blue at 8 bits, 1-2-1 at
    // 4 bits; at 1 and 2 bits a colour grid would be useless, so these are grey steps.
    static Palette uniform(int bits);
    // The 216 colours whose channels are multiples of 51.
    static Palette web();
    // 2^bits evenly spaced greys from black to white.
    static Palette greyscale(int bits);

    [[nodiscard]] int size() const { return static_cast<int>(m_colours.size()); }
    [[nodiscard]] bool isEmpty() const { return m_colours.empty(); }
    [[nodiscard]] const PaletteColour& at(int i) const { return m_colours[static_cast<size_t>(i)]; }
    [[nodiscard]] const std::vector<PaletteColour>& colours() const { return m_colours; }

    // The typical distance from an entry to its nearest neighbour (largest channel
    // difference), the step an ordered dither has to bridge.
    [[nodiscard]] double typicalSpacing() const;

    friend bool operator==(const Palette&, const Palette&) = default;

private:
    std::vector<PaletteColour> m_colours;
};
