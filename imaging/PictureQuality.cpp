#include "imaging/PictureQuality.h"

#include <cmath>
#include <limits>

double PictureQuality::psnrFromSquaredError(double sumSquaredError, quint64 samples) {
    if (samples == 0) {
        return std::numeric_limits<double>::quiet_NaN();
    }
    if (sumSquaredError <= 0) {
        return std::numeric_limits<double>::infinity();
    }
    const double mse = sumSquaredError / static_cast<double>(samples);
    return 10.0 * std::log10(255.0 * 255.0 / mse);
}

double PictureQuality::psnr(const RgbBuffer& reference, const RgbBuffer& test) {
    if (reference.width() != test.width() || reference.height() != test.height() || reference.isEmpty()) {
        return std::numeric_limits<double>::quiet_NaN();
    }
    const quint8* a = reference.data();
    const quint8* b = test.data();
    quint64 sum = 0;
    for (size_t i = 0; i < reference.byteSize(); ++i) {
        const int d = int(a[i]) - int(b[i]);
        sum += quint64(d * d);
    }
    return psnrFromSquaredError(static_cast<double>(sum), reference.byteSize());
}
