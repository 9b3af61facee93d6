#include "support/Emulators.h"

#include "i18n/CatalogLookup.h"
#include "registry/Ipv4.h"

#include <gtest/gtest.h>

#include <QDir>

#include <atomic>
#include <dirent.h>
#include <unistd.h>

namespace {
std::atomic<quint32> g_next{0};

quint32 nextCandidate() {
    if (g_next.load() == 0) {
        // Test processes started side by side begin at different places.
        g_next.store(static_cast<quint32>(2 + (::getpid() * 7) % 148));
    }
    const quint32 n = g_next.fetch_add(1);
    // 127.0.0.2-149 are the core tests'; the interface tests and fixed silent addresses use the rest.
    return 0x7F000000u | (2 + (n - 2) % 148);
}
} // namespace

Emulators::~Emulators() {
    stopAll();
}

void Emulators::stopAll() {
    for (auto& e : m_list) {
        e->stop();
    }
}

ProjectorEmulator* Emulators::add(EmulatorConfig config) {
    if (m_next != 0) {
        for (; m_next <= m_last; ++m_next) {
            config.address = m_next;
            auto e = std::make_unique<ProjectorEmulator>(config);
            if (e->start()) {
                ++m_next;
                m_list.push_back(std::move(e));
                return m_list.back().get();
            }
        }
        ADD_FAILURE() << "no free loopback address for an emulator";
        return nullptr;
    }
    for (int attempt = 0; attempt < 148; ++attempt) {
        config.address = nextCandidate();
        auto e = std::make_unique<ProjectorEmulator>(config);
        if (e->start()) {
            m_list.push_back(std::move(e));
            return m_list.back().get();
        }
    }
    return nullptr;
}

quint32 Emulators::silentAddress() {
    // No test starts an emulator there, so it stays silent while other tests run alongside.
    return 0x7F0000FAu; // 127.0.0.250
}

quint32 Emulators::unusedAddress() {
    EXPECT_NE(m_next, 0u) << "only a range of the test's own has unused addresses";
    EXPECT_LE(m_next, m_last) << "the range is used up";
    return m_next++;
}

ProjectorRecord TestProjector(const QString& name, quint32 host, const QString& password) {
    ProjectorRecord r;
    r.name = name;
    r.mac = QStringLiteral("00-1a-2b-3c-4d-5e");
    r.address = Ipv4::toOctets(host);
    r.authMark = password.isEmpty() ? QStringLiteral("0") : QStringLiteral("1");
    r.password = password;
    return r;
}

CommandTimeouts FastTimeouts() {
    CommandTimeouts t;
    // Short enough that a test waiting for a time-out is quick, long enough that an emulator
    // slowed down by a loaded machine and the sanitizers still answers in time. A test that
    // wants a late answer delays it well past these.
    t.connectMs = 5000;
    t.greetingMs = 2000;
    t.infoReplyMs = 2000;
    t.statReplyMs = 2000;
    t.cancelReplyMs = 2000;
    t.putReplyWaits = 6;
    t.putWaitStepMs = 300;
    t.sendMs = 10000;
    return t;
}

CommandContext FastContext() {
    CommandContext c;
    c.timeouts = FastTimeouts();
    return c;
}

int OpenDescriptorCount() {
    DIR* dir = ::opendir("/proc/self/fd");
    if (dir == nullptr) {
        return -1;
    }
    int n = 0;
    while (const dirent* e = ::readdir(dir)) {
        if (e->d_name[0] != '.') {
            ++n;
        }
    }
    ::closedir(dir);
    return n - 1; // the listing's own descriptor
}

void UseBuiltCatalog() {
    SetCatalogSearchPathForTesting({QStringLiteral(TESSAVEL_BUILD_DIR)});
    SetSystemLanguageIdForTesting(1033);
    LoadCatalog();
}
