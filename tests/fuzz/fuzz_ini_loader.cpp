// Feeds arbitrary bytes to the projector list loader and saves the result back.
#include "registry/ProjectorStore.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("fuzz.INI"));
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly)) {
            return 0;
        }
        f.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    }
    ProjectorStore store(path);
    if (store.load().ok()) {
        if (store.count() > kMaxProjectors) {
            __builtin_trap();
        }
        for (const ProjectorRecord& r : store.projectors()) {
            if (r.name.size() > ProjectorRecord::kMaxName || r.password.size() > ProjectorRecord::kMaxPassword ||
                r.authMark.size() > 1) {
                __builtin_trap();
            }
        }
        const ProjectorList before = store.projectors();
        if (store.saveProjectors(before).ok()) {
            ProjectorStore again(path);
            // What we wrote must read back as the same list.
            if (!again.load().ok() || again.count() != static_cast<int>(before.size())) {
                __builtin_trap();
            }
        }
    }
    return 0;
}
