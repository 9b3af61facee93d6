// Feeds arbitrary bytes to the projector CSV import. Whatever a file holds, the plan keeps the
// list's limits, takes no name that hides or reverses text, and what it would import writes
// out as a CSV that reads back as the same list.
#include "common/VisibleText.h"
#include "registry/ProjectorCsv.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const ProjectorCsv::Plan plan = ProjectorCsv::plan(bytes, {});
    if (!plan.readable) {
        return 0;
    }
    if (plan.result.size() > kMaxProjectors || plan.acceptedCount() > plan.rows.size()) {
        __builtin_trap();
    }
    for (const ProjectorRecord& r : plan.result) {
        if (r.name.size() > ProjectorRecord::kMaxName || r.password.size() > ProjectorRecord::kMaxPassword ||
            VisibleText::containsInvisible(r.name)) {
            __builtin_trap();
        }
    }
    const QByteArray written = ProjectorCsv::write(plan.result);
    for (const QStringList& row : ProjectorCsv::splitRows(QString::fromUtf8(written))) {
        for (const QString& cell : row) {
            // Nothing we write starts a spreadsheet formula.
            if (!cell.isEmpty() && (cell.front() == u'=' || cell.front() == u'+' || cell.front() == u'-' ||
                                    cell.front() == u'@' || cell.front() == u'\t' || cell.front() == u'\r')) {
                __builtin_trap();
            }
        }
    }
    const ProjectorCsv::Plan again = ProjectorCsv::plan(written, {});
    if (!again.readable || again.result != plan.result) {
        __builtin_trap();
    }
    return 0;
}
