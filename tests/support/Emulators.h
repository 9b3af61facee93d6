#pragma once

#include "ProjectorEmulator.h"
#include "protocol/CommandConnection.h"

#include <QString>

#include <memory>
#include <vector>

// Emulated projectors on loopback addresses of their own (127.0.0.2 and up), port 9716.
// An address another test process holds is skipped, so test processes may run side by side.
class Emulators final {
public:
    Emulators() = default;
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

private:
    std::vector<std::unique_ptr<ProjectorEmulator>> m_list;
};

// Short waits for tests: the protocol's own would make failing cases take minutes.
CommandTimeouts FastTimeouts();
CommandContext FastContext();

// Open descriptors of this process.
int OpenDescriptorCount();

// The shipped catalogs of the build, so texts compare as the user would see them.
void UseBuiltCatalog();
