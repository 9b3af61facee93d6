#pragma once

#include "ProjectorEmulator.h"
#include "protocol/CommandConnection.h"
#include "registry/ProjectorRecord.h"

#include <QString>

#include <memory>
#include <vector>

// Emulated projectors on loopback addresses of their own, port 9716. By default they take
// 127.0.0.2-149, starting at a place of the process's own, and an address another test
// process holds is skipped, so core test processes may run side by side. The window tests,
// which run one at a time, give a range of their own that is tried in order.
class Emulators final {
public:
    Emulators() = default;
    Emulators(quint32 firstHost, quint32 lastHost) : m_next(firstHost), m_last(lastHost) {}
    ~Emulators();
    Emulators(const Emulators&) = delete;
    Emulators& operator=(const Emulators&) = delete;

    // Starts one more emulator with config (its address is chosen here); nullptr on failure.
    ProjectorEmulator* add(EmulatorConfig config = {});
    ProjectorEmulator* at(int i) { return m_list[static_cast<size_t>(i)].get(); }
    [[nodiscard]] int size() const { return static_cast<int>(m_list.size()); }
    void stopAll();

    // A loopback address on which nothing listens (an emulator was started there and
    // stopped again).
    static quint32 silentAddress();
    // An address of this object's range where no emulator was started; it is used up.
    quint32 unusedAddress();

private:
    std::vector<std::unique_ptr<ProjectorEmulator>> m_list;
    quint32 m_next = 0; // 0: the shared core range
    quint32 m_last = 0;
};

// The window tests' own range: 127.0.0.150-199.
constexpr quint32 kWindowTestsFirstHost = 0x7F000096u;
constexpr quint32 kWindowTestsLastHost = 0x7F0000C7u;

// A projector record of the test's own for an emulator or an address: authentication on
// exactly when a password is given.
ProjectorRecord TestProjector(const QString& name, quint32 host, const QString& password = {});

// Short waits for tests: the protocol's own would make failing cases take minutes.
CommandTimeouts FastTimeouts();
CommandContext FastContext();

// Open descriptors of this process.
int OpenDescriptorCount();

// The shipped catalogs of the build, so texts compare as the user would see them.
void UseBuiltCatalog();
