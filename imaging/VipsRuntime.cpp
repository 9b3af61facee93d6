#include "imaging/VipsRuntime.h"

#include <QByteArray>
#include <QtGlobal>

#include <vips/vips8>

#include <mutex>

namespace {

bool g_ready = false;

// Corrupt input makes libvips log a warning per failed tile; the failure itself comes back
// as an error code, so the console stays quiet.
void dropWarning(const gchar*, GLogLevelFlags, const gchar*, gpointer) {}

void setDefault(const char* name, const char* value) {
    if (!qEnvironmentVariableIsSet(name)) {
        qputenv(name, value);
    }
}

} // namespace

bool VipsRuntime::ensure() {
    static std::once_flag once;
    std::call_once(once, [] {
        // ImageMagick decodes a whole file while libvips reads its header, before our pixel
        // limit can be checked, so it gets its own limits. They are read at its start-up.
        setDefault("MAGICK_WIDTH_LIMIT", "32768");
        setDefault("MAGICK_HEIGHT_LIMIT", "32768");
        setDefault("MAGICK_AREA_LIMIT", "100MP");
        setDefault("MAGICK_DISK_LIMIT", "1GiB");
        // Past these, its pixel cache goes to disk instead of memory.
        setDefault("MAGICK_MEMORY_LIMIT", "64MiB");
        setDefault("MAGICK_MAP_LIMIT", "64MiB");
        if (VIPS_INIT("tessavel") != 0) {
            vips_error_clear();
            return;
        }
        g_log_set_handler("VIPS", G_LOG_LEVEL_WARNING, dropWarning, nullptr);
        // Pictures are materialised after every step, so a large operation cache would only
        // keep dead pixels alive.
        vips_cache_set_max(50);
        vips_cache_set_max_mem(64 * 1024 * 1024);
        vips_cache_set_max_files(8);
        g_ready = true;
    });
    return g_ready;
}

QString VipsRuntime::takeError() {
    QString text = QString::fromUtf8(vips_error_buffer()).trimmed();
    vips_error_clear();
    return text;
}
