#include "workspace/FitToProjector.h"

#include "workspace/ColourQuantiser.h"
#include "workspace/GifWriter.h"
#include "workspace/IndexedImage.h"
#include "workspace/LossyLzw.h"
#include "workspace/PaletteMapper.h"
#include "workspace/PictureOps.h"
#include "workspace/PictureQuality.h"
#include "workspace/RgbBuffer.h"

#include <QSize>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <tuple>

namespace {

using Code = ImagingResult::Code;

constexpr int kQv1Bits = 8;
constexpr int kQuantiserSpeed = 4;
// Palette sizes, largest first; the search walks down while PSNR improves.
constexpr int kColourLadder[] = {256, 128, 64, 32, 16};
// Below the wished minimum, tried only when nothing else fits.
constexpr int kLastResortColours[] = {8, 4, 2};
// Flattening thresholds for noise in flat areas (see smoothFlatAreas), weakest first.
constexpr int kSmoothing[] = {16, 32};
constexpr float kDither[] = {0.25f, 0.5f};
constexpr int kMaxTolerance = 48;
constexpr double kScaleStep = 0.9;
constexpr double kMinScale = 0.2;

struct Setting {
    int smoothing = 0;
    int colours = 256;
    float dither = 0;
    int tolerance = 0;
};

struct Candidate {
    Setting setting;
    double psnr = -1;
    qint64 bytes = 0;
    double estimatedBytes = 0; // of the whole file, also when the size model stopped early
    bool fits = false;
    Palette palette;
    std::vector<quint8> indices;
};

bool better(const Candidate& a, const Candidate& b) {
    if (a.fits != b.fits) {
        return a.fits;
    }
    return a.psnr > b.psnr;
}

// Where a 3x3 neighbourhood varies by at most threshold in every channel, its centre takes the
// neighbourhood's mean. Sensor noise in a dark sky or a smooth wall cannot be coded within the
// byte limit anyway; flattened, it maps onto one palette entry and LZW codes it in long runs,
// while edges and texture, which vary more, stay as they are.
RgbBuffer smoothFlatAreas(const RgbBuffer& in, int threshold) {
    RgbBuffer out = in;
    const int w = in.width();
    const int h = in.height();
    for (int y = 1; y + 1 < h; ++y) {
        for (int x = 1; x + 1 < w; ++x) {
            int lo[3] = {255, 255, 255};
            int hi[3] = {0, 0, 0};
            int sum[3] = {0, 0, 0};
            for (int dy = -1; dy <= 1; ++dy) {
                const quint8* p = in.pixel(x - 1, y + dy);
                for (int i = 0; i < 9; i += 3) {
                    for (int k = 0; k < 3; ++k) {
                        const int v = p[i + k];
                        lo[k] = std::min(lo[k], v);
                        hi[k] = std::max(hi[k], v);
                        sum[k] += v;
                    }
                }
            }
            if (hi[0] - lo[0] <= threshold && hi[1] - lo[1] <= threshold && hi[2] - lo[2] <= threshold) {
                quint8* q = out.data() + (static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)) * 3;
                for (int k = 0; k < 3; ++k) {
                    q[k] = static_cast<quint8>((sum[k] + 4) / 9);
                }
            }
        }
    }
    return out;
}

// The search at one picture size. Quantising is the expensive step, so palettes are kept
// per smoothing, size and dither; the tolerance of the lossy LZW pass is cheap to vary.
class ScaleSearch final {
public:
    ScaleSearch(const RgbBuffer& ref, qint64 maxBytes)
        : m_ref(ref), m_quantiser(ref, kQuantiserSpeed), m_maxBytes(maxBytes) {}

    ImagingResult evaluate(const Setting& s, Candidate& out) {
        ++m_count;
        const Mapped* mapped = nullptr;
        if (ImagingResult r = mappedFor(s, mapped); !r.ok()) {
            return r;
        }
        Candidate c;
        c.setting = s;
        c.palette = mapped->palette;
        c.indices = mapped->indices;
        // The size model is exact, so no candidate is encoded until one has been chosen.
        const LossyLzw::Outcome o = LossyLzw::run(m_ref, c.palette, c.indices, s.tolerance, m_maxBytes);
        c.bytes = o.fileBytes;
        c.estimatedBytes = o.estimatedFileBytes(static_cast<qint64>(c.indices.size()));
        c.fits = o.complete && o.fileBytes <= m_maxBytes;
        c.psnr = PictureQuality::psnrFromSquaredError(o.squaredError, static_cast<quint64>(m_ref.byteSize()));
        out = std::move(c);
        return ImagingResult::success();
    }

    // The least tolerance at which s fits, looked for around guess: PSNR and size both fall
    // as the tolerance grows, the size roughly exponentially, so each step aims at the limit
    // on a log scale from what the steps so far measured. Without a fit, the candidate at the
    // largest tolerance.
    ImagingResult leastLoss(Setting s, int guess, Candidate& out) {
        Candidate fitting;
        Candidate failing;
        int lo = -1;                // largest tolerance known not to fit
        int hi = kMaxTolerance + 1; // smallest tolerance known to fit
        double loBytes = 0;
        double hiBytes = 0;
        const double target = std::log(static_cast<double>(m_maxBytes));
        int t = std::clamp(guess, 0, kMaxTolerance);
        int sameSide = 0; // steps in a row that moved the same end of the bracket
        bool lastFit = false;
        while (hi - lo > 1) {
            s.tolerance = t;
            Candidate c;
            if (ImagingResult r = evaluate(s, c); !r.ok()) {
                return r;
            }
            const double logBytes = std::log(std::max(1.0, c.estimatedBytes));
            sameSide = (m_count > 1 && c.fits == lastFit) ? sameSide + 1 : 0;
            lastFit = c.fits;
            if (c.fits) {
                hi = t;
                hiBytes = logBytes;
                fitting = std::move(c);
            } else {
                lo = t;
                loBytes = logBytes;
                failing = std::move(c);
                if (lo == kMaxTolerance) {
                    break;
                }
            }
            if (hi - lo <= 1) {
                break;
            }
            double next = 0;
            if (lo >= 0 && hi <= kMaxTolerance && sameSide >= 1) {
                // Interpolation creeps when the curve bends; halve the bracket instead.
                next = (lo + hi) / 2.0;
            } else if (lo >= 0 && hi <= kMaxTolerance && loBytes > hiBytes) {
                next = lo + (loBytes - target) / (loBytes - hiBytes) * (hi - lo);
            } else {
                // One side only: extrapolate with the slope last seen.
                next = t + (logBytes - target) / m_slope;
            }
            if (lo >= 0 && hi <= kMaxTolerance) {
                m_slope = std::max(0.005, (loBytes - hiBytes) / (hi - lo));
            }
            // Land next to the limit's side that is not known yet, so the bracket closes.
            t = std::clamp(static_cast<int>(c.fits ? std::floor(next) : std::ceil(next)), lo + 1, hi - 1);
            t = std::clamp(t, 0, kMaxTolerance);
        }
        out = fitting.fits ? std::move(fitting) : std::move(failing);
        return ImagingResult::success();
    }

    [[nodiscard]] int count() const { return m_count; }

private:
    struct Mapped {
        Palette palette;
        std::vector<quint8> indices;
    };
    ImagingResult mappedFor(const Setting& s, const Mapped*& out) {
        const auto key = std::make_tuple(s.smoothing, s.colours, s.dither);
        if (const auto it = m_mapped.find(key); it != m_mapped.end()) {
            out = &it->second;
            return ImagingResult::success();
        }
        // libimagequant makes one palette per size from the picture itself; smoothing and
        // dithering only change how pixels are mapped onto it, which is far cheaper.
        auto palette = m_palettes.find(s.colours);
        if (palette == m_palettes.end()) {
            Palette made;
            if (ImagingResult r = m_quantiser.palette(s.colours, made); !r.ok()) {
                return r;
            }
            palette = m_palettes.emplace(s.colours, std::move(made)).first;
        }
        auto source = m_smoothed.find(s.smoothing);
        if (source == m_smoothed.end()) {
            source = m_smoothed.emplace(s.smoothing, s.smoothing > 0 ? smoothFlatAreas(m_ref, s.smoothing) : m_ref).first;
        }
        Mapped m;
        m.palette = palette->second;
        m.indices = PaletteMapper(m.palette).map(source->second, DitherOption::FloydSteinberg, s.dither);
        out = &m_mapped.emplace(key, std::move(m)).first->second;
        return ImagingResult::success();
    }

    const RgbBuffer& m_ref;
    ColourQuantiser m_quantiser;
    qint64 m_maxBytes;
    std::map<int, Palette> m_palettes;
    std::map<int, RgbBuffer> m_smoothed;
    std::map<std::tuple<int, int, float>, Mapped> m_mapped;
    double m_slope = 0.05; // d log(bytes) / d tolerance, learnt as the search goes
    int m_count = 0;
};

// Coordinate descent: each parameter moves while it pays, starting from the settings that
// lose least (full palette, no smoothing, no dither) and only as far as the limit forces.
ImagingResult searchScale(ScaleSearch& search, Candidate& best) {
    if (ImagingResult r = search.leastLoss(Setting{}, 0, best); !r.ok()) {
        return r;
    }
    if (best.fits && best.setting.tolerance == 0) {
        return ImagingResult::success(); // lossless at 256 colours: nothing can beat it
    }
    auto tryMove = [&](Setting s) -> std::pair<ImagingResult, bool> {
        Candidate c;
        ImagingResult r = search.leastLoss(s, best.setting.tolerance, c);
        if (!r.ok() || !better(c, best)) {
            return {r, false};
        }
        best = std::move(c);
        return {r, true};
    };
    for (const int colours : kColourLadder) {
        if (colours >= best.setting.colours) {
            continue;
        }
        Setting s = best.setting;
        s.colours = colours;
        const auto [r, moved] = tryMove(s);
        if (!r.ok()) {
            return r;
        }
        if (!moved && best.fits) {
            break;
        }
    }
    if (!best.fits) {
        for (const int colours : kLastResortColours) {
            Setting s = best.setting;
            s.colours = colours;
            if (const auto [r, moved] = tryMove(s); !r.ok()) {
                return r;
            }
            if (best.fits) {
                break;
            }
        }
    }
    for (const int smoothing : kSmoothing) {
        Setting s = best.setting;
        s.smoothing = smoothing;
        const auto [r, moved] = tryMove(s);
        if (!r.ok()) {
            return r;
        }
        if (!moved) {
            break;
        }
    }
    for (const float dither : kDither) {
        Setting s = best.setting;
        s.dither = dither;
        const auto [r, moved] = tryMove(s);
        if (!r.ok()) {
            return r;
        }
        if (!moved) {
            break;
        }
    }
    return ImagingResult::success();
}

QSize fittedSize(int width, int height, int maxWidth, int maxHeight, double scale) {
    const double s =
        std::min({1.0, static_cast<double>(maxWidth) / width, static_cast<double>(maxHeight) / height}) * scale;
    if (s >= 1.0) {
        return {width, height};
    }
    const int w = std::clamp(static_cast<int>(std::lround(width * s)), 1, maxWidth);
    const int h = std::clamp(static_cast<int>(std::lround(height * s)), 1, maxHeight);
    return {w, h};
}

} // namespace

FitToProjector::Result FitToProjector::fit(const Picture& picture) { return fit(picture, Options()); }

FitToProjector::Result FitToProjector::fit(const Picture& picture, const Options& options) {
    Result result;
    if (picture.isNull()) {
        result.result = ImagingResult::failure(Code::NoPicture);
        return result;
    }
    if (options.maxWidth < 1 || options.maxHeight < 1 || options.maxBytes < 1) {
        result.result = ImagingResult::failure(Code::BadArgument);
        return result;
    }
    const int minWidth = static_cast<int>(SendableImage::kMinWidth);
    const int minHeight = static_cast<int>(SendableImage::kMinHeight);

    Candidate chosen; // at the largest scale that gives enough colours, else the best seen
    RgbBuffer chosenReference;
    double chosenScale = 1.0;
    for (double scale = 1.0; scale >= kMinScale; scale *= kScaleStep) {
        const QSize size = fittedSize(picture.width(), picture.height(), options.maxWidth, options.maxHeight, scale);
        if (size.width() < minWidth || size.height() < minHeight) {
            break;
        }
        Picture scaled = picture;
        if (size != QSize(picture.width(), picture.height())) {
            if (ImagingResult r = PictureOps::resize(scaled, size.width(), size.height(), PictureOps::kResizeLanczos);
                !r.ok()) {
                result.result = r;
                return result;
            }
        }
        RgbBuffer ref;
        if (ImagingResult r = RgbBuffer::fromPicture(scaled, ref); !r.ok()) {
            result.result = r;
            return result;
        }
        ScaleSearch search(ref, options.maxBytes);
        Candidate best;
        const ImagingResult r = searchScale(search, best);
        result.candidates += search.count();
        if (!r.ok()) {
            result.result = r;
            return result;
        }
        const bool enoughColours = best.setting.colours >= options.minColours;
        if (best.fits && (!chosen.fits || enoughColours)) {
            chosen = std::move(best);
            chosenReference = std::move(ref);
            chosenScale = scale;
        }
        if (chosen.fits && enoughColours) {
            break;
        }
    }
    if (!chosen.fits) {
        result.result = ImagingResult::failure(Code::DoesNotFit);
        return result;
    }
    QByteArray gif;
    if (ImagingResult r = GifWriter::write(chosenReference.width(), chosenReference.height(), chosen.indices,
                                           chosen.palette, kQv1Bits, gif);
        !r.ok()) {
        result.result = r;
        return result;
    }
    if (gif.size() != chosen.bytes) {
        // The size model and giflib disagree: the search's premise is broken, so say so
        // rather than hand out a file whose size nobody checked.
        result.result = ImagingResult::failure(
            Code::EncodeFailed, QStringLiteral("predicted %1 bytes, encoded %2").arg(chosen.bytes).arg(gif.size()));
        return result;
    }
    const IndexedImage indexed(chosenReference.width(), chosenReference.height(), chosen.palette, chosen.indices);
    vips::VImage shown;
    vips::VImage reference;
    if (ImagingResult r = indexed.toRgb().toImage(shown); !r.ok()) {
        result.result = r;
        return result;
    }
    if (ImagingResult r = chosenReference.toImage(reference); !r.ok()) {
        result.result = r;
        return result;
    }
    result.shown = picture.withIndexedPixels(shown, chosen.palette, kQv1Bits);
    result.shown.setLoadedFormat(PictureFormat::Gif, PictureFormats::name(PictureFormat::Gif), kQv1Bits);
    result.reference = picture.withPixels(reference);
    result.bytes = std::move(gif);
    result.colours = chosen.palette.size();
    result.dither = chosen.setting.dither;
    result.runTolerance = chosen.setting.tolerance;
    result.smoothing = chosen.setting.smoothing;
    result.scale = chosenScale;
    result.psnr = chosen.psnr;
    return result;
}
