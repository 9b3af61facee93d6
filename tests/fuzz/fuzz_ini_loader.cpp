// Feeds arbitrary bytes to the projector list parser in memory, writes the list back into
// the same text and parses that again: the list must come back unchanged.
#include "registry/ProjectorIni.h"

#include <cstddef>
#include <cstdint>

namespace {

void checkLimits(const ProjectorList& list) {
    if (list.size() > kMaxProjectors) {
        __builtin_trap();
    }
    for (const ProjectorRecord& r : list) {
        if (r.name.size() > ProjectorRecord::kMaxName || r.mac.size() > ProjectorRecord::kMaxMac ||
            r.password.size() > ProjectorRecord::kMaxPassword || r.authMark.size() > 1) {
            __builtin_trap();
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    // The first byte picks the code page that a file which is not UTF-8 is read in.
    const TextCodec::Encoding legacy =
        (data[0] & 1) != 0 ? TextCodec::Encoding::Gbk : TextCodec::Encoding::Windows1252;
    const QByteArrayView text(reinterpret_cast<const char*>(data) + 1, static_cast<qsizetype>(size - 1));

    const ProjectorIni::Parsed parsed = ProjectorIni::parse(text, legacy);
    if (!parsed.ok) {
        return 0;
    }
    checkLimits(parsed.list);
    const ProjectorIni::Rendered out = ProjectorIni::render(text, legacy, &parsed.list, nullptr);
    if (!out.ok) {
        __builtin_trap();
    }
    const ProjectorIni::Parsed again = ProjectorIni::parse(out.bytes, legacy);
    if (!again.ok || again.list != parsed.list) {
        __builtin_trap();
    }
    return 0;
}
