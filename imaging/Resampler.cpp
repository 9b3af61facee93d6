#include "imaging/Resampler.h"

#include <algorithm>
#include <cmath>
#include <future>
#include <memory>
#include <numbers>
#include <system_error>
#include <thread>
#include <vector>

namespace {

constexpr double kLobes = 3;

double sinc(double x) {
    if (x == 0) {
        return 1;
    }
    const double px = std::numbers::pi * x;
    return std::sin(px) / px;
}

double lanczos3(double x) {
    return std::abs(x) < kLobes ? sinc(x) * sinc(x / kLobes) : 0;
}

// The taps of one output position along an axis: source index of the first, then weights.
struct Taps {
    std::vector<int> first;
    std::vector<int> count;
    std::vector<float> weights; // count[i] weights for output i, packed
    std::vector<size_t> offset; // where output i's weights start
};

// Pixel centres at half-integers; when shrinking the kernel widens by the factor, so every
// source pixel counts and nothing aliases.
Taps tapsFor(int inSize, int outSize) {
    Taps t;
    const double factor = static_cast<double>(outSize) / inSize;
    const double stretch = std::max(1.0 / factor, 1.0);
    const double support = kLobes * stretch;
    t.first.resize(static_cast<size_t>(outSize));
    t.count.resize(static_cast<size_t>(outSize));
    t.offset.resize(static_cast<size_t>(outSize));
    for (int o = 0; o < outSize; ++o) {
        const double centre = (o + 0.5) / factor;
        const int start = std::max(static_cast<int>(centre - support + 0.5), 0);
        const int stop = std::min(static_cast<int>(centre + support + 0.5), inSize);
        const auto i = static_cast<size_t>(o);
        t.offset[i] = t.weights.size();
        double sum = 0;
        std::vector<double> w;
        for (int j = start; j < stop; ++j) {
            w.push_back(lanczos3((j + 0.5 - centre) / stretch));
            sum += w.back();
        }
        if (w.empty() || sum == 0) {
            // Only at absurd factors; the nearest pixel then stands for the span.
            const int nearest = std::clamp(static_cast<int>(centre), 0, inSize - 1);
            t.first[i] = nearest;
            t.count[i] = 1;
            t.weights.push_back(1.0f);
            continue;
        }
        t.first[i] = start;
        t.count[i] = static_cast<int>(w.size());
        for (const double v : w) {
            t.weights.push_back(static_cast<float>(v / sum));
        }
    }
    return t;
}

// Runs work(begin, end) over [0, n) in a few slices on as many threads.
template <typename Work> void slices(int n, const Work& work) {
    const int count = std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 1, 8);
    if (count == 1 || n < 64) {
        work(0, n);
        return;
    }
    std::vector<std::future<void>> running;
    const int step = (n + count - 1) / count;
    for (int begin = step; begin < n; begin += step) {
        try {
            running.push_back(std::async(std::launch::async, work, begin, std::min(n, begin + step)));
        } catch (const std::system_error&) {
            work(begin, std::min(n, begin + step)); // no thread to be had
        }
    }
    work(0, std::min(n, step));
    for (auto& r : running) {
        r.get();
    }
}

// Rows first, then columns, each pass kept within the channel range as an integer pipeline
// would, so ringing at a hard edge does not add up over the two passes. Colour is weighted by
// coverage, so transparent pixels do not bleed into their neighbours.
vips::VImage lanczos(const vips::VImage& in, int width, int height) {
    using vips::VImage;
    const int bands = in.bands();
    const auto nb = static_cast<size_t>(bands);
    const int inW = in.width();
    const int inH = in.height();
    const VImage mem = in.copy_memory();
    const auto* src = static_cast<const quint8*>(mem.data());

    const Taps h = tapsFor(inW, width);
    const size_t midStride = static_cast<size_t>(width) * nb;
    // Every element is written before it is read.
    const std::unique_ptr<float[]> mid(new float[midStride * static_cast<size_t>(inH)]);
    slices(inH, [&](int begin, int end) {
        std::vector<float> row(static_cast<size_t>(inW) * nb);
        for (int y = begin; y < end; ++y) {
            const quint8* s = src + static_cast<size_t>(y) * static_cast<size_t>(inW) * nb;
            for (size_t i = 0; i < static_cast<size_t>(inW); ++i) {
                const float a = bands == 4 ? s[i * nb + 3] / 255.0f : 1.0f;
                for (size_t b = 0; b < 3; ++b) {
                    row[i * nb + b] = s[i * nb + b] * a;
                }
                if (bands == 4) {
                    row[i * nb + 3] = s[i * nb + 3];
                }
            }
            float* out = mid.get() + static_cast<size_t>(y) * midStride;
            for (int x = 0; x < width; ++x) {
                const auto i = static_cast<size_t>(x);
                const float* w = h.weights.data() + h.offset[i];
                const float* p = row.data() + static_cast<size_t>(h.first[i]) * nb;
                float acc[4] = {0, 0, 0, 0};
                for (int k = 0; k < h.count[i]; ++k, p += nb) {
                    for (size_t b = 0; b < nb; ++b) {
                        acc[b] += w[k] * p[b];
                    }
                }
                for (size_t b = 0; b < nb; ++b) {
                    out[i * nb + b] = std::clamp(acc[b], 0.0f, 255.0f);
                }
            }
        }
    });

    const Taps v = tapsFor(inH, height);
    // The result is written straight into the buffer the image keeps, rather than copied
    // into it afterwards: at the largest sizes a second copy would double the peak memory.
    const size_t size = midStride * static_cast<size_t>(height);
    auto* bytes = static_cast<quint8*>(g_try_malloc(size));
    if (bytes == nullptr) {
        vips_error("resample", "out of memory for %dx%d", width, height);
        throw vips::VError();
    }
    VipsImage* raw = vips_image_new_from_memory(bytes, size, width, height, bands, VIPS_FORMAT_UCHAR);
    if (raw == nullptr) {
        g_free(bytes);
        throw vips::VError();
    }
    g_signal_connect(raw, "postclose", G_CALLBACK(+[](VipsImage*, gpointer data) { g_free(data); }), bytes);
    raw->Type = VIPS_INTERPRETATION_sRGB;
    const VImage result(raw);
    slices(height, [&](int begin, int end) {
        std::vector<float> acc(midStride);
        for (int y = begin; y < end; ++y) {
            const auto i = static_cast<size_t>(y);
            const float* w = v.weights.data() + v.offset[i];
            std::fill(acc.begin(), acc.end(), 0.0f);
            for (int k = 0; k < v.count[i]; ++k) {
                const float* row = mid.get() + static_cast<size_t>(v.first[i] + k) * midStride;
                const float wk = w[k];
                for (size_t j = 0; j < midStride; ++j) {
                    acc[j] += wk * row[j];
                }
            }
            quint8* q = bytes + i * midStride;
            for (size_t j = 0; j < midStride; j += nb) {
                float a = 1.0f;
                if (bands == 4) {
                    const float alpha = std::clamp(acc[j + 3], 0.0f, 255.0f);
                    a = alpha / 255.0f;
                    q[j + 3] = static_cast<quint8>(std::lround(alpha));
                }
                for (size_t b = 0; b < 3; ++b) {
                    const float c = a > 0 ? std::clamp(acc[j + b], 0.0f, 255.0f) / a : 0.0f;
                    q[j + b] = static_cast<quint8>(std::lround(std::min(c, 255.0f)));
                }
            }
        }
    });
    return result;
}

} // namespace

QSize Resampler::fittedSize(int width, int height, int boxWidth, int boxHeight) {
    const double s =
        std::min({1.0, static_cast<double>(boxWidth) / width, static_cast<double>(boxHeight) / height});
    if (s >= 1.0) {
        return {width, height};
    }
    return {std::clamp(static_cast<int>(std::lround(width * s)), 1, boxWidth),
            std::clamp(static_cast<int>(std::lround(height * s)), 1, boxHeight)};
}

vips::VImage Resampler::resample(const vips::VImage& in, int width, int height, VipsKernel kernel) {
    using vips::VImage;
    const bool alpha = in.bands() == 4;
    if (kernel == VIPS_KERNEL_LANCZOS3 && in.format() == VIPS_FORMAT_UCHAR && (in.bands() == 3 || alpha)) {
        return lanczos(in, width, height);
    }
    VImage work = alpha ? in.premultiply() : in;
    work = work.resize(static_cast<double>(width) / in.width(),
                       VImage::option()
                           ->set("vscale", static_cast<double>(height) / in.height())
                           ->set("kernel", kernel)
                           ->set("gap", 0.0));
    if (alpha) {
        work = work.unpremultiply();
    }
    if (work.width() != width || work.height() != height) {
        // Rounding in libvips can leave a pixel more or less.
        work = work.embed(0, 0, width, height, VImage::option()->set("extend", VIPS_EXTEND_COPY));
    }
    return work.cast(VIPS_FORMAT_UCHAR)
        .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
}
