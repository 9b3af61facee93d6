#include "imaging/ImagingResult.h"

#include "i18n/CatalogIds.h"

CatalogId ImagingResult::messageId() const {
    switch (code) {
    case Code::Ok:
        return msg::ImagingOk;
    case Code::NoPicture:
        return msg::ImagingNoPicture;
    case Code::CannotOpen:
        return msg::ImagingCannotOpen;
    case Code::EmptyFile:
        return msg::ImagingEmptyFile;
    case Code::UnknownFormat:
        return msg::ImagingUnknownFormat;
    case Code::TooManyPixels:
        return msg::ImagingTooManyPixels;
    case Code::DecodeFailed:
        return msg::ImagingDecodeFailed;
    case Code::BadArgument:
        return msg::ImagingBadArgument;
    case Code::UnsupportedFormat:
        return msg::ImagingUnsupportedFormat;
    case Code::EncodeFailed:
        return msg::ImagingEncodeFailed;
    case Code::WriteFailed:
        return msg::ImagingWriteFailed;
    case Code::NotQv1Name:
        return msg::ImagingNotQv1Name;
    case Code::DoesNotFit:
        return msg::ImagingDoesNotFit;
    case Code::OutOfMemory:
        return msg::ImagingOutOfMemory;
    case Code::Stopped:
        return msg::ImagingStopped;
    }
    return msg::ImagingDecodeFailed;
}

const char* ImagingResult::codeName(Code c) {
    switch (c) {
    case Code::Ok:
        return "Ok";
    case Code::NoPicture:
        return "NoPicture";
    case Code::CannotOpen:
        return "CannotOpen";
    case Code::EmptyFile:
        return "EmptyFile";
    case Code::UnknownFormat:
        return "UnknownFormat";
    case Code::TooManyPixels:
        return "TooManyPixels";
    case Code::DecodeFailed:
        return "DecodeFailed";
    case Code::BadArgument:
        return "BadArgument";
    case Code::UnsupportedFormat:
        return "UnsupportedFormat";
    case Code::EncodeFailed:
        return "EncodeFailed";
    case Code::WriteFailed:
        return "WriteFailed";
    case Code::NotQv1Name:
        return "NotQv1Name";
    case Code::DoesNotFit:
        return "DoesNotFit";
    case Code::OutOfMemory:
        return "OutOfMemory";
    case Code::Stopped:
        return "Stopped";
    }
    return "?";
}
