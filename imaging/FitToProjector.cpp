#include "imaging/FitToProjector.h"

#include "imaging/ColourQuantiser.h"
#include "imaging/GifWriter.h"
#include "imaging/IndexedImage.h"
#include "imaging/LossyLzw.h"
#include "imaging/PaletteMapper.h"
#include "imaging/PictureOps.h"
#include "imaging/PictureQuality.h"
#include "imaging/Resampler.h"
#include "imaging/RgbBuffer.h"

#include <QSize>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <tuple>

namespace {

using Code = ImagingResult::Code;

constexpr int kQv1Bits = 8;
// The quantiser's slowest, best setting. It reads a subsample of a photograph, whose colours
// it would otherwise spend seconds on; refinement over every pixel then corrects the palette.
// Where the picture fits with room to spare, it reads every pixel (see searchScale).
constexpr int kQuantiserSpeed = 1;
constexpr int kRefinePasses = 8;
constexpr int kWholePictureColours = 60000;
// Palette sizes, largest first; the search walks down while PSNR improves.
constexpr int kColourLadder[] = {256, 128, 64, 32, 16};
// Below the wished minimum, tried only when nothing else fits.
constexpr int kLastResortColours[] = {8, 4, 2};
// Flattening threshold for noise in flat areas (see smoothFlatAreas).
constexpr int kSmoothing = 24;
// Error diffusion mostly costs PSNR and LZW runs; a light touch sometimes pays, and where the
// limit leaves room a stronger one is tried too.
constexpr float kDithers[] = {0.25f, 0.5f, 1.0f};
// The search's tolerance counts in steps of 1/kToleranceSteps of a channel level: whole levels
// are too coarse near the limit, where one step can leave a tenth of the budget unused. What
// a step still leaves is taken up by coding part of the picture one step lower (lowerFrom).
constexpr int kToleranceSteps = 4;
// Tries at placing where the lower step takes over.
constexpr int kSplitSteps = 6;
constexpr int kMaxDitheredTolerance = 6 * kToleranceSteps;
constexpr int kMaxTolerance = 48 * kToleranceSteps;
constexpr double kMinScale = 0.2;
constexpr int kScaleSteps = 5;

struct Setting {
    int smoothing = 0;
    int colours = 256;
    float dither = 0;
    int tolerance = 0;
    LossyLzw::Strategy strategy = LossyLzw::Strategy::LongestMatch;
    qint64 lowerFrom = -1; // from this pixel on, one tolerance step less; -1: nowhere
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
                quint8* q = out.data() +
                            (static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)) * 3;
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
    ScaleSearch(const RgbBuffer& ref, qint64 maxBytes, const std::atomic<bool>* stop)
        : m_ref(ref), m_quantiser(std::make_unique<ColourQuantiser>(ref, kQuantiserSpeed)),
          m_maxBytes(maxBytes), m_stop(stop) {
        std::vector<quint8> unused;
        m_hasExact = ColourQuantiser::exactColours(ref, Palette::kMaxColours, m_exact, unused);
        if (!m_hasExact) {
            m_histogram = ColourQuantiser::histogram(ref);
            // Few distinct colours (screenshots, graphics) cost the quantiser little however
            // many pixels carry them, and a subsample would miss the small details.
            if (static_cast<qint64>(m_histogram.size()) <= kWholePictureColours) {
                m_quantiser = std::make_unique<ColourQuantiser>(ref, kQuantiserSpeed, 0);
                m_whole = true;
            }
        }
    }

    // The picture's own colours, when it has no more than a palette holds.
    [[nodiscard]] bool hasExactColours() const { return m_hasExact; }

    // From now on palettes are made from every pixel rather than a subsample; false when
    // they were already. Candidates already handed out keep their own copies.
    bool quantiseWholePicture() {
        const std::lock_guard quantiserLock(m_quantiserMutex);
        const std::lock_guard cacheLock(m_cacheMutex);
        if (m_whole) {
            return false;
        }
        m_quantiser = std::make_unique<ColourQuantiser>(m_ref, kQuantiserSpeed, 0);
        m_whole = true;
        m_palettes.clear();
        m_mapped.clear();
        return true;
    }

    ImagingResult evaluate(const Setting& s, Candidate& out) {
        // Every search step passes here, so a stop is seen within one candidate.
        if (m_stop != nullptr && m_stop->load(std::memory_order_relaxed)) {
            return ImagingResult::failure(Code::Stopped);
        }
        m_count.fetch_add(1, std::memory_order_relaxed);
        const Mapped* mapped = nullptr;
        if (ImagingResult r = mappedFor(s, mapped); !r.ok()) {
            return r;
        }
        Candidate c;
        c.setting = s;
        c.palette = mapped->palette;
        c.indices = mapped->indices;
        // The size model is exact, so no candidate is encoded until one has been chosen.
        const bool split = s.lowerFrom >= 0 && s.tolerance > 0;
        const LossyLzw::Outcome o = LossyLzw::run(
            m_ref, c.palette, c.indices, static_cast<double>(s.tolerance) / kToleranceSteps, m_maxBytes,
            s.strategy, split ? static_cast<double>(s.tolerance - 1) / kToleranceSteps : -1,
            split ? s.lowerFrom : 0);
        c.bytes = o.fileBytes;
        c.estimatedBytes = o.estimatedFileBytes(static_cast<qint64>(c.indices.size()));
        c.fits = o.complete && o.fileBytes <= m_maxBytes;
        c.psnr = PictureQuality::psnrFromSquaredError(o.squaredError, static_cast<quint64>(m_ref.byteSize()));
        out = std::move(c);
        return ImagingResult::success();
    }

    // The least tolerance at which s fits, looked for around guess: PSNR and size both fall
    // as the tolerance t grows, and log(size) is close to linear in log(t + 1), so each step
    // aims at the limit on those scales from what the steps so far measured. knownFailing is
    // a tolerance already known not to fit, with its (estimated) size. Without a fit, the
    // candidate at the largest tolerance.
    ImagingResult leastLoss(Setting s, int guess, Candidate& out, int knownFailing = -1,
                            double failingBytes = 0) {
        auto u = [](int t) { return std::log(t + 1.0); };
        Candidate fitting;
        Candidate failing;
        int lo = knownFailing;      // largest tolerance known not to fit
        int hi = kMaxTolerance + 1; // smallest tolerance known to fit
        double loBytes = knownFailing >= 0 ? std::log(std::max(1.0, failingBytes)) : 0;
        double hiBytes = 0;
        const double target = std::log(static_cast<double>(m_maxBytes));
        int previous = knownFailing; // the step before, for a secant
        double previousBytes = loBytes;
        int sameSide = 0; // steps in a row that moved the same end of the bracket
        bool lastFit = false;
        int t = std::clamp(guess, lo + 1, kMaxTolerance);
        for (bool firstStep = true; hi - lo > 1; firstStep = false) {
            s.tolerance = t;
            Candidate c;
            if (ImagingResult r = evaluate(s, c); !r.ok()) {
                return r;
            }
            const bool fits = c.fits;
            const double logBytes = std::log(std::max(1.0, c.estimatedBytes));
            sameSide = (!firstStep && fits == lastFit) ? sameSide + 1 : 0;
            lastFit = fits;
            if (fits) {
                hi = t;
                hiBytes = logBytes;
                fitting = std::move(c);
            } else {
                lo = t;
                loBytes = logBytes;
                failing = std::move(c);
            }
            double slope = 0.55; // -d log(size) / d log(t + 1) of typical photographs
            if (previous >= 0 && previous != t && previousBytes != logBytes) {
                slope = std::max(0.05, (previousBytes - logBytes) / (u(t) - u(previous)));
            }
            previous = t;
            previousBytes = logBytes;
            if (hi - lo <= 1 || lo >= kMaxTolerance) {
                break;
            }
            double next = 0;
            const bool bracketed = lo >= 0 && hi <= kMaxTolerance;
            if (bracketed && sameSide >= 1) {
                // Interpolation creeps when the curve bends; halve instead.
                next = std::exp((u(lo) + u(hi)) / 2) - 1;
            } else if (bracketed && loBytes > hiBytes) {
                next = std::exp(u(lo) + (loBytes - target) / (loBytes - hiBytes) * (u(hi) - u(lo))) - 1;
            } else {
                next = std::exp(u(t) + (logBytes - target) / slope) - 1;
            }
            // Land on the side of the limit that is not known yet, so the bracket closes.
            next = std::clamp(next, -1.0, kMaxTolerance + 1.0);
            t = static_cast<int>(fits ? std::floor(next) : std::ceil(next));
            t = std::clamp(std::clamp(t, lo + 1, hi - 1), 0, kMaxTolerance);
        }
        out = fitting.fits ? std::move(fitting) : std::move(failing);
        return ImagingResult::success();
    }

    [[nodiscard]] int count() const { return m_count.load(); }

private:
    struct Mapped {
        Palette palette;
        std::vector<quint8> indices;
    };
    // Thread-safe: two settings may be searched at once. The caches are locked only to look
    // up and insert; nodes of a std::map stay put, so what is handed out stays valid.
    ImagingResult mappedFor(const Setting& s, const Mapped*& out) {
        const auto key = std::make_tuple(s.smoothing, s.colours, s.dither);
        {
            const std::lock_guard lock(m_cacheMutex);
            if (const auto it = m_mapped.find(key); it != m_mapped.end()) {
                out = &it->second;
                return ImagingResult::success();
            }
        }
        // libimagequant makes one palette per size from the picture itself; smoothing and
        // dithering only change how pixels are mapped onto it, which is far cheaper.
        Palette palette;
        if (ImagingResult r = paletteFor(s.colours, palette); !r.ok()) {
            return r;
        }
        const RgbBuffer* source = &m_ref;
        if (s.smoothing > 0) {
            source = &smoothedFor(s.smoothing);
        }
        Mapped m;
        m.indices = PaletteMapper(palette).map(*source, DitherOption::FloydSteinberg, s.dither);
        m.palette = std::move(palette);
        const std::lock_guard lock(m_cacheMutex);
        out = &m_mapped.emplace(key, std::move(m)).first->second; // the first one in wins
        return ImagingResult::success();
    }

    ImagingResult paletteFor(int colours, Palette& out) {
        if (m_hasExact && colours >= m_exact.size()) {
            out = m_exact; // every pixel keeps its colour
            return ImagingResult::success();
        }
        const std::lock_guard lock(m_quantiserMutex); // libimagequant's state is not shared
        auto it = m_palettes.find(colours);
        if (it == m_palettes.end()) {
            Palette made;
            if (ImagingResult r = m_quantiser->palette(colours, made); !r.ok()) {
                return r;
            }
            // The quantiser's palette is made for its own remapping; moved to the means of
            // the pixels our mapping gives each entry, it loses less.
            ColourQuantiser::refine(m_histogram, made, kRefinePasses);
            it = m_palettes.emplace(colours, std::move(made)).first;
        }
        out = it->second;
        return ImagingResult::success();
    }

    const RgbBuffer& smoothedFor(int threshold) {
        {
            const std::lock_guard lock(m_cacheMutex);
            if (const auto it = m_smoothed.find(threshold); it != m_smoothed.end()) {
                return it->second;
            }
        }
        RgbBuffer made = smoothFlatAreas(m_ref, threshold);
        const std::lock_guard lock(m_cacheMutex);
        return m_smoothed.emplace(threshold, std::move(made)).first->second;
    }

    const RgbBuffer& m_ref;
    std::unique_ptr<ColourQuantiser> m_quantiser;
    qint64 m_maxBytes;
    std::map<int, Palette> m_palettes;
    std::map<int, RgbBuffer> m_smoothed;
    std::map<std::tuple<int, int, float>, Mapped> m_mapped;
    std::mutex m_cacheMutex;
    std::mutex m_quantiserMutex;
    std::atomic<int> m_count{0};
    const std::atomic<bool>* m_stop;
    Palette m_exact;
    bool m_hasExact = false;
    bool m_whole = false;                   // palettes from every pixel
    ColourQuantiser::Histogram m_histogram; // of a picture with more colours than a palette
};

struct Searched {
    ImagingResult result;
    Candidate candidate;
};

// leastLoss for a and, when given, b at the same time. The search below is greedy, so b is
// where a step from a would lead next; on two cores it costs no waiting.
std::pair<Searched, Searched> searchBoth(ScaleSearch& search, const Setting& a,
                                         const std::optional<Setting>& b, int guess,
                                         const Candidate* failingA = nullptr) {
    Searched first;
    Searched second;
    std::future<void> other;
    if (b) {
        try {
            other = std::async(std::launch::async,
                               [&] { second.result = search.leastLoss(*b, guess, second.candidate); });
        } catch (const std::system_error&) {
            second.result = search.leastLoss(*b, guess, second.candidate); // no thread to be had
        }
    }
    first.result = failingA != nullptr
                       ? search.leastLoss(a, guess, first.candidate, failingA->setting.tolerance,
                                          failingA->estimatedBytes)
                       : search.leastLoss(a, guess, first.candidate);
    if (other.valid()) {
        other.get();
    }
    return {std::move(first), std::move(second)};
}

// The chosen tolerance fits and one step less does not; between the two the size can jump by
// several per cent (on a screenshot, whole groups of pixels come within reach at once). The
// step less from pixel lowerFrom on puts the file anywhere in between: the least lowerFrom
// that fits is looked for, the size being close to linear in it.
ImagingResult spendTheRest(ScaleSearch& search, qint64 maxBytes, Candidate& best) {
    if (!best.fits || best.setting.tolerance <= 0) {
        return ImagingResult::success();
    }
    const auto pixels = static_cast<qint64>(best.indices.size());
    qint64 lo = 0;      // lower tolerance from here on: known not to fit
    qint64 hi = pixels; // known to fit: best itself
    double loBytes = 0;
    double hiBytes = static_cast<double>(best.bytes);
    bool loKnown = false;
    // Within a thousandth of the limit there is nothing left worth a run.
    const double closeEnough = static_cast<double>(maxBytes) * 0.999;
    for (int i = 0; i < kSplitSteps && hi - lo > pixels / 1024 + 1 && hiBytes < closeEnough; ++i) {
        qint64 at = lo;
        if (loKnown && loBytes > hiBytes) {
            // Aim just inside the limit, where the fitting side is.
            const double f =
                (loBytes - (closeEnough + static_cast<double>(maxBytes)) / 2) / (loBytes - hiBytes);
            at = lo + static_cast<qint64>(std::ceil(f * static_cast<double>(hi - lo)));
            at = std::clamp(at, lo + 1, hi - 1);
        } else if (loKnown) {
            at = lo + (hi - lo) / 2;
        }
        Setting s = best.setting;
        s.lowerFrom = at;
        Candidate c;
        if (ImagingResult r = search.evaluate(s, c); !r.ok()) {
            return r;
        }
        if (c.fits) {
            hi = at;
            hiBytes = static_cast<double>(c.bytes);
            if (better(c, best)) {
                best = std::move(c);
            }
        } else {
            if (at == 0 && loKnown) {
                break;
            }
            lo = at;
            loBytes = c.estimatedBytes;
            loKnown = true;
        }
    }
    return ImagingResult::success();
}

// Coordinate descent: each parameter moves while it pays, starting from the settings that
// lose least (full palette, no smoothing, no dither) and only as far as the limit forces.
ImagingResult searchScale(ScaleSearch& search, qint64 maxBytes, Candidate& best) {
    if (ImagingResult r = search.evaluate(Setting{}, best); !r.ok()) {
        return r;
    }
    if (best.fits) {
        if (search.hasExactColours()) {
            return ImagingResult::success(); // every pixel keeps its colour: nothing beats it
        }
        // Room to spare: a palette from every pixel, no lossy LZW, and a dither only where
        // it fits as it is and scores better.
        if (search.quantiseWholePicture()) {
            Candidate whole;
            if (ImagingResult r = search.evaluate(Setting{}, whole); !r.ok()) {
                return r;
            }
            if (better(whole, best)) {
                best = std::move(whole);
            }
        }
        for (const float d : kDithers) {
            Setting dither = best.setting;
            dither.dither = d;
            Candidate c;
            if (ImagingResult r = search.evaluate(dither, c); !r.ok()) {
                return r;
            }
            if (!better(c, best)) {
                break;
            }
            best = std::move(c);
        }
        return ImagingResult::success();
    }
    // A first tolerance from how far over the limit the lossless encoding is.
    const int firstGuess = std::clamp(
        static_cast<int>(
            kToleranceSteps *
            (std::exp(std::log(std::max(1.0, best.estimatedBytes) / static_cast<double>(maxBytes)) / 0.55) -
             1)),
        1, kMaxTolerance);
    // Takes the better of a pair; true when the second one (the step further on) won.
    auto step = [&](const std::pair<Searched, Searched>& pair,
                    bool hasSecond) -> std::pair<ImagingResult, bool> {
        for (const Searched* s : {&pair.first, &pair.second}) {
            if (!s->result.ok()) {
                return {s->result, false};
            }
        }
        bool secondWon = false;
        if (better(pair.first.candidate, best)) {
            best = pair.first.candidate;
        }
        if (hasSecond && better(pair.second.candidate, best)) {
            best = pair.second.candidate;
            secondWon = true;
        }
        return {ImagingResult::success(), secondWon};
    };
    auto guess = [&] { return best.fits ? best.setting.tolerance : firstGuess; };
    const Candidate lossless = best;

    for (size_t i = 0; i < std::size(kColourLadder); i += 2) {
        Setting a = best.setting;
        a.colours = kColourLadder[i];
        std::optional<Setting> b;
        if (i + 1 < std::size(kColourLadder)) {
            b = best.setting;
            b->colours = kColourLadder[i + 1];
        }
        const auto [r, furtherWon] =
            step(searchBoth(search, a, b, guess(), i == 0 ? &lossless : nullptr), b.has_value());
        if (!r.ok()) {
            return r;
        }
        if (!furtherWon && best.fits) {
            break;
        }
    }
    if (!best.fits) {
        for (const int colours : kLastResortColours) {
            Setting a = best.setting;
            a.colours = colours;
            if (const auto [r, moved] = step(searchBoth(search, a, std::nullopt, kMaxTolerance), false);
                !r.ok()) {
                return r;
            }
            if (best.fits) {
                break;
            }
        }
        if (!best.fits) {
            return ImagingResult::success();
        }
    }
    // Smoothing and the lightest dither each move one parameter away from the same point, so
    // on two cores they are searched side by side. Where the lossy pass already moves pixels
    // far, it undoes what a dither adds; stronger dithering is tried only while a lighter one
    // paid.
    Setting smooth = best.setting;
    smooth.smoothing = kSmoothing;
    std::optional<Setting> lightDither;
    if (best.setting.tolerance <= kMaxDitheredTolerance) {
        lightDither = best.setting;
        lightDither->dither = kDithers[0];
    }
    if (const auto [r, moved] =
            step(searchBoth(search, smooth, lightDither, guess()), lightDither.has_value());
        !r.ok()) {
        return r;
    }
    for (size_t i = 1; i < std::size(kDithers) && best.setting.dither == kDithers[i - 1]; ++i) {
        if (best.setting.tolerance > kMaxDitheredTolerance) {
            break;
        }
        Setting dither = best.setting;
        dither.dither = kDithers[i];
        if (const auto [r, moved] = step(searchBoth(search, dither, std::nullopt, guess()), false); !r.ok()) {
            return r;
        }
    }
    // The longest matches suit photographs; pictures of flat areas and sharp edges can lose
    // less the other way.
    if (best.fits && best.setting.tolerance > 0) {
        Setting other = best.setting;
        other.strategy = LossyLzw::Strategy::NearestPath;
        if (const auto [r, moved] = step(searchBoth(search, other, std::nullopt, guess()), false); !r.ok()) {
            return r;
        }
    }
    return spendTheRest(search, maxBytes, best);
}

} // namespace

FitToProjector::Result FitToProjector::fit(const Picture& picture) {
    return fit(picture, Options());
}

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

    // The projector shows no transparency, so the picture goes onto white before it is scaled:
    // scaling colour and coverage apart and mixing afterwards rounds twice at every soft edge.
    Picture opaque = picture;
    if (picture.hasAlpha()) {
        RgbBuffer flat;
        vips::VImage flatImage;
        ImagingResult r = RgbBuffer::fromPicture(picture, flat);
        if (r.ok()) {
            r = flat.toImage(flatImage);
        }
        if (!r.ok()) {
            result.result = r;
            return result;
        }
        opaque = picture.withPixels(flatImage);
    }
    const QSize base =
        Resampler::fittedSize(picture.width(), picture.height(), options.maxWidth, options.maxHeight);
    Candidate chosen; // at the largest scale that gives enough colours, else the best seen
    RgbBuffer chosenReference;
    double chosenScale = 0;
    bool chosenHasEnough = false;
    // Searches the picture scaled to base * scale; false when that is too small to send.
    auto tryScale = [&](double scale, bool& enough) -> std::optional<ImagingResult> {
        enough = false;
        const QSize size(std::max(1, static_cast<int>(std::lround(base.width() * scale))),
                         std::max(1, static_cast<int>(std::lround(base.height() * scale))));
        if (size.width() < minWidth || size.height() < minHeight) {
            return std::nullopt;
        }
        if (options.stop != nullptr && options.stop->load(std::memory_order_relaxed)) {
            return ImagingResult::failure(Code::Stopped);
        }
        Picture scaled = opaque;
        if (size != QSize(picture.width(), picture.height())) {
            if (ImagingResult r =
                    PictureOps::resize(scaled, size.width(), size.height(), PictureOps::kResizeLanczos);
                !r.ok()) {
                return r;
            }
        }
        RgbBuffer ref;
        if (ImagingResult r = RgbBuffer::fromPicture(scaled, ref); !r.ok()) {
            return r;
        }
        ScaleSearch search(ref, options.maxBytes, options.stop);
        Candidate best;
        const ImagingResult r = searchScale(search, options.maxBytes, best);
        result.candidates += search.count();
        if (!r.ok()) {
            return r;
        }
        enough = best.fits && best.setting.colours >= options.minColours;
        // Enough colours beats too few; between equals, the larger picture wins.
        const bool take =
            best.fits && (!chosen.fits || (enough && (!chosenHasEnough || scale > chosenScale)) ||
                          (!enough && !chosenHasEnough && scale > chosenScale));
        if (take) {
            chosen = std::move(best);
            chosenReference = std::move(ref);
            chosenScale = scale;
            chosenHasEnough = enough;
        }
        return ImagingResult::success();
    };

    bool enough = false;
    if (auto r = tryScale(1.0, enough); r && !r->ok()) {
        result.result = *r;
        return result;
    }
    if (!enough) {
        // Only now a smaller picture: the largest scale that gives enough colours, by
        // bisection (a smaller picture never needs more bytes).
        double lo = kMinScale;
        double hi = 1.0;
        for (int i = 0; i < kScaleSteps && hi - lo > 0.01; ++i) {
            const double mid = (lo + hi) / 2;
            const auto r = tryScale(mid, enough);
            if (r && !r->ok()) {
                result.result = *r;
                return result;
            }
            // Too small to send counts as too small: only larger scales are of use.
            (!r || enough ? lo : hi) = mid;
        }
        if (!chosenHasEnough) {
            if (auto r = tryScale(kMinScale, enough); r && !r->ok()) {
                result.result = *r;
                return result;
            }
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
            Code::EncodeFailed,
            QStringLiteral("predicted %1 bytes, encoded %2").arg(chosen.bytes).arg(gif.size()));
        return result;
    }
    const IndexedImage indexed(chosenReference.width(), chosenReference.height(), chosen.palette,
                               chosen.indices);
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
    result.runTolerance = (chosen.setting.tolerance + kToleranceSteps - 1) / kToleranceSteps;
    result.smoothing = chosen.setting.smoothing;
    result.scale = chosenScale;
    result.psnr = chosen.psnr;
    return result;
}
