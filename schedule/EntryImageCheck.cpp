#include "schedule/EntryImageCheck.h"

#include "workspace/SendableImage.h"

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
    // A file without a readable header has no picture size, so it fails on the size unless
    // it cannot be opened at all; IsSendableImage keeps the order of the checks.
    const HeaderSize size = gifHeaderSize(path);
    return IsSendableImage(path, size.width, size.height, reason);
}
