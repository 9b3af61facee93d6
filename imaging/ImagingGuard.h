#pragma once

#include "imaging/ImagingResult.h"
#include "imaging/VipsRuntime.h"

#include <vips/vips8>

#include <new>

// Runs body, which returns an ImagingResult, and turns whatever libvips or the allocator
// throws into a result: a libvips error becomes failureCode, so the caller chooses what a
// library failure means at that point (a load reports DecodeFailed, a save EncodeFailed).
template <typename Body> ImagingResult guardImaging(ImagingResult::Code failureCode, Body&& body) {
    if (!VipsRuntime::ensure()) {
        return ImagingResult::failure(ImagingResult::Code::OutOfMemory,
                                      QStringLiteral("libvips did not start"));
    }
    try {
        return body();
    } catch (const vips::VError& e) {
        QString why = QString::fromUtf8(e.what()).trimmed();
        vips_error_clear();
        return ImagingResult::failure(failureCode, why);
    } catch (const std::bad_alloc&) {
        vips_error_clear();
        return ImagingResult::failure(ImagingResult::Code::OutOfMemory);
    }
}
