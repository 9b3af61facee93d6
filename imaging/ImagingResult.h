#pragma once

#include "i18n/CatalogId.h"

#include <QString>

// Outcome of an imaging operation. libvips, libimagequant and giflib failures all end up
// here as a code; nothing from those libraries is thrown past the imaging module.
struct ImagingResult final {
    // Negative like every failure of the program, so a message box can show the number.
    enum class Code : int {
        Ok = 0,
        NoPicture = -1,
        CannotOpen = -2,
        EmptyFile = -3,
        UnknownFormat = -4,
        TooManyPixels = -5,
        DecodeFailed = -6,
        BadArgument = -7,
        UnsupportedFormat = -8,
        EncodeFailed = -9,
        WriteFailed = -10,
        NotQv1Name = -11,
        DoesNotFit = -12,
        OutOfMemory = -13,
        Stopped = -14, // the user asked the operation to end
    };

    Code code = Code::Ok;
    QString detail; // the library's own words, for diagnostics

    [[nodiscard]] bool ok() const { return code == Code::Ok; }
    [[nodiscard]] int number() const { return static_cast<int>(code); }
    // The catalog text that tells the user what happened.
    [[nodiscard]] CatalogId messageId() const;
    // A short English name for logs and tests ("TooManyPixels").
    [[nodiscard]] static const char* codeName(Code c);

    static ImagingResult success() { return {}; }
    static ImagingResult failure(Code c, QString why = {}) { return {c, std::move(why)}; }
};
