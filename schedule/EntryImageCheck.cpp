#include "schedule/EntryImageCheck.h"

#include "imaging/SendableImage.h"

#include <QFile>
#include <QtEndian>

namespace {
constexpr qsizetype kHeaderBytes = 10; // signature, version, width, height
}

EntryImageCheck::HeaderSize EntryImageCheck::gifHeaderSize(const QByteArray& leadingBytes) {
    if (leadingBytes.size() < kHeaderBytes ||
        (!leadingBytes.startsWith("GIF87a") && !leadingBytes.startsWith("GIF89a"))) {
        return {};
    }
    const auto* p = reinterpret_cast<const uchar*>(leadingBytes.constData());
    return {qFromLittleEndian<quint16>(p + 6), qFromLittleEndian<quint16>(p + 8)};
}

EntryImageCheck::HeaderSize EntryImageCheck::gifHeaderSize(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return gifHeaderSize(file.read(kHeaderBytes));
}

bool EntryImageCheck::isSchedulable(const QString& path, int& reason) {
    const HeaderSize size = gifHeaderSize(path);
    if (size.width == 0 && size.height == 0) {
        // No picture size to check: an empty, oversized or misnamed file is told so first,
        // since that says more than a size the file does not have; the rest fail on the size.
        if (!IsSendableImage(path, SendableImage::kMinWidth, SendableImage::kMinHeight, reason)) {
            return false;
        }
        reason = SendableImage::BadPictureSize;
        return false;
    }
    return IsSendableImage(path, size.width, size.height, reason);
}
