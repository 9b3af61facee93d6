#pragma once

#include "imaging/ImagingResult.h"
#include "imaging/Palette.h"
#include "imaging/RgbBuffer.h"

#include <map>
#include <memory>
#include <vector>

// Optimised palettes from libimagequant. Palettes are made from a subsample of a large
// picture (the colour statistics barely change, the time does) and kept per size, so trying
// several dither strengths on one palette remaps without quantising again.
class ColourQuantiser final {
public:
    // rgb must outlive the quantiser. speed: libimagequant's 1 (best) to 10 (fastest).
    // samplePixels: pictures above this many pixels are quantised from a regular subsample;
    // 0 quantises from every pixel.
    explicit ColourQuantiser(const RgbBuffer& rgb, int speed = 4, int samplePixels = kSamplePixels);
    ~ColourQuantiser();
    ColourQuantiser(const ColourQuantiser&) = delete;
    ColourQuantiser& operator=(const ColourQuantiser&) = delete;

    // A palette of at most maxColours (2..256) entries and every pixel's index in it, with
    // error diffusion of the given strength (0 = none, 1 = full).
    ImagingResult quantise(int maxColours, float dither, Palette& palette, std::vector<quint8>& indices);

    // Only the palette, for callers that map the pixels themselves.
    ImagingResult palette(int maxColours, Palette& palette);

    // Uses the picture's own colours when it has no more than maxColours of them.
    static ImagingResult quantiseOnce(const RgbBuffer& rgb, int maxColours, float dither, Palette& palette,
                                      std::vector<quint8>& indices);

    // The picture's own colours, in order of first appearance, and every pixel's index in
    // them; false (and nothing written) when it has more than maxColours distinct colours.
    static bool exactColours(const RgbBuffer& rgb, int maxColours, Palette& palette,
                             std::vector<quint8>& indices);

    // Every distinct colour of a picture with its number of pixels.
    struct Bin {
        int r, g, b;
        quint32 count;
    };
    using Histogram = std::vector<Bin>;
    static Histogram histogram(const RgbBuffer& rgb);

    // Refinement passes (Lloyd's): each entry moves to the mean of the pixels nearest to it,
    // which can only lower the error of a mapping without dithering. Stops early once no
    // entry moves. Returns the passes that moved something.
    static int refine(const RgbBuffer& rgb, Palette& palette, int passes);
    static int refine(const Histogram& histogram, Palette& palette, int passes);

    // Pictures above this many pixels are quantised from a regular subsample.
    static constexpr int kSamplePixels = 40000;

private:
    struct State;
    ImagingResult prepare();
    ImagingResult resultFor(int maxColours, struct liq_result*& result);

    const RgbBuffer& m_rgb;
    RgbBuffer m_sample;
    int m_speed;
    int m_samplePixels;
    std::unique_ptr<State> m_state;
};
