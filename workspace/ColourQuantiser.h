#pragma once

#include "workspace/ImagingResult.h"
#include "workspace/Palette.h"
#include "workspace/RgbBuffer.h"

#include <map>
#include <memory>
#include <vector>

// Optimised palettes from libimagequant. Palettes are made from a subsample of a large
// picture (the colour statistics barely change, the time does) and kept per size, so trying
// several dither strengths on one palette remaps without quantising again.
class ColourQuantiser final {
public:
    // rgb must outlive the quantiser. speed: libimagequant's 1 (best) to 10 (fastest).
    explicit ColourQuantiser(const RgbBuffer& rgb, int speed = 4);
    ~ColourQuantiser();
    ColourQuantiser(const ColourQuantiser&) = delete;
    ColourQuantiser& operator=(const ColourQuantiser&) = delete;

    // A palette of at most maxColours (2..256) entries and every pixel's index in it, with
    // error diffusion of the given strength (0 = none, 1 = full).
    ImagingResult quantise(int maxColours, float dither, Palette& palette, std::vector<quint8>& indices);

    // Only the palette, for callers that map the pixels themselves.
    ImagingResult palette(int maxColours, Palette& palette);

    static ImagingResult quantiseOnce(const RgbBuffer& rgb, int maxColours, float dither, Palette& palette,
                                      std::vector<quint8>& indices);

    // Pictures above this many pixels are quantised from a regular subsample.
    static constexpr int kSamplePixels = 40000;

private:
    struct State;
    ImagingResult prepare();
    ImagingResult resultFor(int maxColours, struct liq_result*& result);

    const RgbBuffer& m_rgb;
    RgbBuffer m_sample;
    int m_speed;
    std::unique_ptr<State> m_state;
};
