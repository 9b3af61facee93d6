#include "imaging/ColourQuantiser.h"

#include "imaging/PaletteMapper.h"

#include <libimagequant.h>

#ifdef Q_OS_UNIX
#include <dlfcn.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <tuple>

namespace {

ImagingResult liqFailure(liq_error e, const char* step) {
    const auto code =
        e == LIQ_OUT_OF_MEMORY ? ImagingResult::Code::OutOfMemory : ImagingResult::Code::EncodeFailed;
    return ImagingResult::failure(
        code, QStringLiteral("libimagequant %1 failed (%2)").arg(QLatin1String(step)).arg(e));
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
    return liq_image_create_custom(attr, rowCallback, const_cast<RgbBuffer*>(&rgb), rgb.width(), rgb.height(),
                                   0);
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

quint32 packed(const quint8* p) {
    return (quint32{p[0]} << 16) | (quint32{p[1]} << 8) | p[2];
}

// Open addressing over packed colours; capacity a power of two, at most half full.
class ColourTable final {
public:
    explicit ColourTable(size_t expected) {
        size_t capacity = 64;
        while (capacity < expected * 2) {
            capacity *= 2;
        }
        m_keys.assign(capacity, kEmpty);
        m_values.assign(capacity, 0);
        m_mask = capacity - 1;
    }
    // The slot of colour, claimed when new (isNew then true).
    size_t slot(quint32 colour, bool& isNew) {
        for (size_t s = (colour * 2654435761u) & m_mask;; s = (s + 1) & m_mask) {
            if (m_keys[s] == colour) {
                isNew = false;
                return s;
            }
            if (m_keys[s] == kEmpty) {
                m_keys[s] = colour;
                isNew = true;
                return s;
            }
        }
    }
    quint32& value(size_t slot) { return m_values[slot]; }
    [[nodiscard]] size_t capacity() const { return m_keys.size(); }
    [[nodiscard]] bool used(size_t slot) const { return m_keys[slot] != kEmpty; }
    [[nodiscard]] quint32 key(size_t slot) const { return m_keys[slot]; }

private:
    static constexpr quint32 kEmpty = 0xFFFFFFFFu; // no 24-bit colour
    std::vector<quint32> m_keys;
    std::vector<quint32> m_values;
    size_t m_mask = 0;
};

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

ColourQuantiser::ColourQuantiser(const RgbBuffer& rgb, int speed, int samplePixels)
    : m_rgb(rgb), m_speed(std::clamp(speed, 1, 10)), m_samplePixels(std::max(0, samplePixels)) {}

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
        return ImagingResult::failure(ImagingResult::Code::EncodeFailed,
                                      QStringLiteral("libimagequant refused the image"));
    }
    const double pixels = double(m_rgb.width()) * double(m_rgb.height());
    if (m_samplePixels > 0 && pixels > m_samplePixels) {
        m_sample = subsample(m_rgb, static_cast<int>(std::ceil(std::sqrt(pixels / m_samplePixels))));
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
        return ImagingResult::failure(ImagingResult::Code::BadArgument,
                                      QStringLiteral("palette size %1").arg(maxColours));
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

ImagingResult ColourQuantiser::quantise(int maxColours, float dither, Palette& palette,
                                        std::vector<quint8>& indices) {
    liq_result* result = nullptr;
    if (ImagingResult r = resultFor(maxColours, result); !r.ok()) {
        return r;
    }
    liq_set_dithering_level(result, std::clamp(dither, 0.0f, 1.0f));
    runOpenMpOnThisThreadOnly();
    std::vector<quint8> out(static_cast<size_t>(m_rgb.width()) * static_cast<size_t>(m_rgb.height()));
    if (const liq_error e = liq_write_remapped_image(result, m_state->full, out.data(), out.size());
        e != LIQ_OK) {
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

ImagingResult ColourQuantiser::quantiseOnce(const RgbBuffer& rgb, int maxColours, float dither,
                                            Palette& palette, std::vector<quint8>& indices) {
    if (exactColours(rgb, maxColours, palette, indices)) {
        return ImagingResult::success();
    }
    ColourQuantiser q(rgb);
    return q.quantise(maxColours, dither, palette, indices);
}

bool ColourQuantiser::exactColours(const RgbBuffer& rgb, int maxColours, Palette& palette,
                                   std::vector<quint8>& indices) {
    maxColours = std::clamp(maxColours, 1, Palette::kMaxColours);
    ColourTable table(static_cast<size_t>(maxColours) + 1);
    std::vector<PaletteColour> colours;
    std::vector<quint8> out(static_cast<size_t>(rgb.width()) * static_cast<size_t>(rgb.height()));
    const quint8* p = rgb.data();
    quint32 last = 0xFFFFFFFFu; // runs of one colour are common; skip the lookup for them
    quint8 lastIndex = 0;
    for (quint8& index : out) {
        const quint32 colour = packed(p);
        if (colour != last) {
            bool isNew = false;
            const size_t s = table.slot(colour, isNew);
            if (isNew) {
                if (static_cast<int>(colours.size()) == maxColours) {
                    return false;
                }
                table.value(s) = static_cast<quint32>(colours.size());
                colours.push_back({p[0], p[1], p[2]});
            }
            last = colour;
            lastIndex = static_cast<quint8>(table.value(s));
        }
        index = lastIndex;
        p += 3;
    }
    if (colours.empty()) {
        return false;
    }
    palette = Palette(std::move(colours));
    indices = std::move(out);
    return true;
}

ColourQuantiser::Histogram ColourQuantiser::histogram(const RgbBuffer& rgb) {
    const size_t pixels = static_cast<size_t>(rgb.width()) * static_cast<size_t>(rgb.height());
    ColourTable table(pixels);
    const quint8* p = rgb.data();
    for (size_t i = 0; i < pixels; ++i, p += 3) {
        bool isNew = false;
        ++table.value(table.slot(packed(p), isNew));
    }
    Histogram bins;
    for (size_t s = 0; s < table.capacity(); ++s) {
        if (table.used(s)) {
            const quint32 k = table.key(s);
            bins.push_back({int(k >> 16), int((k >> 8) & 0xFF), int(k & 0xFF), table.value(s)});
        }
    }
    // In colour order, so neighbouring bins have neighbouring answers.
    std::sort(bins.begin(), bins.end(),
              [](const Bin& a, const Bin& b) { return std::tie(a.g, a.r, a.b) < std::tie(b.g, b.r, b.b); });
    return bins;
}

int ColourQuantiser::refine(const RgbBuffer& rgb, Palette& palette, int passes) {
    if (rgb.isEmpty()) {
        return 0;
    }
    return refine(histogram(rgb), palette, passes);
}

int ColourQuantiser::refine(const Histogram& bins, Palette& palette, int passes) {
    if (bins.empty() || palette.isEmpty() || passes < 1) {
        return 0;
    }
    // Each colour's entry of the pass before: entries move little, so it is a close start.
    std::vector<int> previous(bins.size(), -1);
    int moved = 0;
    for (int pass = 0; pass < passes; ++pass) {
        const PaletteMapper mapper(palette);
        std::vector<double> sums(static_cast<size_t>(palette.size()) * 4, 0.0);
        int last = -1;
        for (size_t i = 0; i < bins.size(); ++i) {
            const Bin& bin = bins[i];
            const int index = mapper.nearest(bin.r, bin.g, bin.b, previous[i] >= 0 ? previous[i] : last);
            previous[i] = index;
            last = index;
            double* s = &sums[static_cast<size_t>(index) * 4];
            s[0] += double(bin.r) * bin.count;
            s[1] += double(bin.g) * bin.count;
            s[2] += double(bin.b) * bin.count;
            s[3] += bin.count;
        }
        std::vector<PaletteColour> colours = palette.colours();
        bool changed = false;
        for (size_t i = 0; i < colours.size(); ++i) {
            const double* s = &sums[i * 4];
            if (s[3] <= 0) {
                continue; // nobody's nearest: it stays, harmless
            }
            const PaletteColour c{static_cast<quint8>(std::lround(s[0] / s[3])),
                                  static_cast<quint8>(std::lround(s[1] / s[3])),
                                  static_cast<quint8>(std::lround(s[2] / s[3]))};
            if (!(c == colours[i])) {
                colours[i] = c;
                changed = true;
            }
        }
        if (!changed) {
            break;
        }
        palette = Palette(std::move(colours));
        ++moved;
    }
    return moved;
}
