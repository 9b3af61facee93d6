#include "workspace/ColourQuantiser.h"

#include <libimagequant.h>

#ifdef Q_OS_UNIX
#include <dlfcn.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

ImagingResult liqFailure(liq_error e, const char* step) {
    const auto code = e == LIQ_OUT_OF_MEMORY ? ImagingResult::Code::OutOfMemory : ImagingResult::Code::EncodeFailed;
    return ImagingResult::failure(code, QStringLiteral("libimagequant %1 failed (%2)").arg(QLatin1String(step)).arg(e));
}

// libimagequant reads rows through this, so no second full-size RGBA copy is made.
void rowCallback(liq_color rowOut[], int row, int width, void* user) {
    const auto* rgb = static_cast<const RgbBuffer*>(user);
    const quint8* p = rgb->pixel(0, row);
    for (int x = 0; x < width; ++x, p += 3) {
        rowOut[x] = liq_color{p[0], p[1], p[2], 255};
    }
}

liq_image* imageOf(liq_attr* attr, const RgbBuffer& rgb) {
    return liq_image_create_custom(attr, rowCallback, const_cast<RgbBuffer*>(&rgb), rgb.width(), rgb.height(), 0);
}

Palette toPalette(const liq_palette* pal) {
    std::vector<PaletteColour> colours;
    colours.reserve(pal->count);
    for (unsigned i = 0; i < pal->count; ++i) {
        colours.push_back({pal->entries[i].r, pal->entries[i].g, pal->entries[i].b});
    }
    return Palette(std::move(colours));
}

// libimagequant spreads its loops over OpenMP threads whose idle ones spin. On a machine
// that is busy anyway (a desktop, or a fit running beside other work) that costs more time
// than it saves, so its parallel regions run on the calling thread. The OpenMP runtime is
// already loaded with libimagequant; it is looked up rather than linked, so a build without
// OpenMP still works.
void runOpenMpOnThisThreadOnly() {
#ifdef Q_OS_UNIX
    using SetThreads = void (*)(int);
    static const auto setThreads = reinterpret_cast<SetThreads>(dlsym(RTLD_DEFAULT, "omp_set_num_threads"));
    if (setThreads != nullptr) {
        setThreads(1); // per calling thread
    }
#endif
}

// Every step-th pixel of every step-th row.
RgbBuffer subsample(const RgbBuffer& rgb, int step) {
    RgbBuffer out((rgb.width() + step - 1) / step, (rgb.height() + step - 1) / step);
    quint8* q = out.data();
    for (int y = 0; y < rgb.height(); y += step) {
        for (int x = 0; x < rgb.width(); x += step) {
            std::memcpy(q, rgb.pixel(x, y), 3);
            q += 3;
        }
    }
    return out;
}

} // namespace

struct ColourQuantiser::State {
    liq_attr* attr = nullptr;
    liq_image* full = nullptr;   // remapped
    liq_image* sample = nullptr; // quantised; the full image when no subsample is needed
    std::map<int, liq_result*> results;

    ~State() {
        for (auto& [colours, result] : results) {
            liq_result_destroy(result);
        }
        if (sample != nullptr && sample != full) {
            liq_image_destroy(sample);
        }
        if (full != nullptr) {
            liq_image_destroy(full);
        }
        if (attr != nullptr) {
            liq_attr_destroy(attr);
        }
    }
};

ColourQuantiser::ColourQuantiser(const RgbBuffer& rgb, int speed) : m_rgb(rgb), m_speed(std::clamp(speed, 1, 10)) {}

ColourQuantiser::~ColourQuantiser() = default;

ImagingResult ColourQuantiser::prepare() {
    if (m_state) {
        return ImagingResult::success();
    }
    if (m_rgb.isEmpty()) {
        return ImagingResult::failure(ImagingResult::Code::NoPicture);
    }
    auto state = std::make_unique<State>();
    state->attr = liq_attr_create();
    if (state->attr == nullptr) {
        return ImagingResult::failure(ImagingResult::Code::OutOfMemory);
    }
    if (const liq_error e = liq_set_speed(state->attr, m_speed); e != LIQ_OK) {
        return liqFailure(e, "speed");
    }
    state->full = imageOf(state->attr, m_rgb);
    if (state->full == nullptr) {
        return ImagingResult::failure(ImagingResult::Code::EncodeFailed, QStringLiteral("libimagequant refused the image"));
    }
    const double pixels = double(m_rgb.width()) * double(m_rgb.height());
    if (pixels > kSamplePixels) {
        m_sample = subsample(m_rgb, static_cast<int>(std::ceil(std::sqrt(pixels / kSamplePixels))));
        state->sample = imageOf(state->attr, m_sample);
        if (state->sample == nullptr) {
            return ImagingResult::failure(ImagingResult::Code::EncodeFailed,
                                          QStringLiteral("libimagequant refused the sample"));
        }
    } else {
        state->sample = state->full;
    }
    m_state = std::move(state);
    return ImagingResult::success();
}

ImagingResult ColourQuantiser::resultFor(int maxColours, liq_result*& result) {
    if (maxColours < 2 || maxColours > Palette::kMaxColours) {
        return ImagingResult::failure(ImagingResult::Code::BadArgument, QStringLiteral("palette size %1").arg(maxColours));
    }
    if (ImagingResult r = prepare(); !r.ok()) {
        return r;
    }
    if (const auto it = m_state->results.find(maxColours); it != m_state->results.end()) {
        result = it->second;
        return ImagingResult::success();
    }
    if (const liq_error e = liq_set_max_colors(m_state->attr, maxColours); e != LIQ_OK) {
        return liqFailure(e, "palette size");
    }
    runOpenMpOnThisThreadOnly();
    if (const liq_error e = liq_image_quantize(m_state->sample, m_state->attr, &result); e != LIQ_OK) {
        return liqFailure(e, "quantisation");
    }
    m_state->results[maxColours] = result;
    return ImagingResult::success();
}

ImagingResult ColourQuantiser::quantise(int maxColours, float dither, Palette& palette, std::vector<quint8>& indices) {
    liq_result* result = nullptr;
    if (ImagingResult r = resultFor(maxColours, result); !r.ok()) {
        return r;
    }
    liq_set_dithering_level(result, std::clamp(dither, 0.0f, 1.0f));
    runOpenMpOnThisThreadOnly();
    std::vector<quint8> out(static_cast<size_t>(m_rgb.width()) * static_cast<size_t>(m_rgb.height()));
    if (const liq_error e = liq_write_remapped_image(result, m_state->full, out.data(), out.size()); e != LIQ_OK) {
        return liqFailure(e, "remapping");
    }
    // Remapping refines the palette, so it is read afterwards.
    palette = toPalette(liq_get_palette(result));
    indices = std::move(out);
    return ImagingResult::success();
}

ImagingResult ColourQuantiser::palette(int maxColours, Palette& palette) {
    liq_result* result = nullptr;
    if (ImagingResult r = resultFor(maxColours, result); !r.ok()) {
        return r;
    }
    palette = toPalette(liq_get_palette(result));
    return ImagingResult::success();
}

ImagingResult ColourQuantiser::quantiseOnce(const RgbBuffer& rgb, int maxColours, float dither, Palette& palette,
                                            std::vector<quint8>& indices) {
    ColourQuantiser q(rgb);
    return q.quantise(maxColours, dither, palette, indices);
}
