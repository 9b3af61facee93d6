// Feeds arbitrary bytes to the projector store through a file on disk, saves the list and
// reloads it: slower than the in-memory target, but it covers the file handling too.
#include "registry/ProjectorStore.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QTemporaryDir dir;
    if (size == 0) {
        return 0;
    }
    const quint32 language = (data[0] & 1) != 0 ? 2052 : 1033;
    const QString path = dir.filePath(QStringLiteral("fuzz.INI"));
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly)) {
            return 0;
        }
        f.write(reinterpret_cast<const char*>(data) + 1, static_cast<qint64>(size - 1));
    }
    ProjectorStore store(path);
    store.setCatalogLanguage(language);
    if (store.load().ok()) {
        if (store.count() > kMaxProjectors) {
            __builtin_trap();
        }
        for (const ProjectorRecord& r : store.projectors()) {
            if (r.name.size() > ProjectorRecord::kMaxName ||
                r.password.size() > ProjectorRecord::kMaxPassword || r.authMark.size() > 1) {
                __builtin_trap();
            }
        }
        const ProjectorList before = store.projectors();
        if (store.saveProjectors(before).ok()) {
            ProjectorStore again(path);
            again.setCatalogLanguage(language);
            // What we wrote must read back as the same list.
            if (!again.load().ok() || again.projectors() != before) {
                __builtin_trap();
            }
        }
    }
    return 0;
}
