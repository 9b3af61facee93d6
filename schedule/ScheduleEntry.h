#pragma once

#include "registry/Ipv4.h"

#include <QByteArray>
#include <QString>

#include <array>

// One upload of a schedule, laid out byte for byte as the schedule file holds it:
// 536 bytes, integers signed 32-bit little-endian.
struct ScheduleEntry final {
    static constexpr int kSize = 536;
    static constexpr int kTextField = 256;

    enum Status : qint32 { NotRun = 0, Executing = 1, Done = 2, Failed = -1 };

    Ipv4::Octets address{};
    std::array<char, kTextField> imageFile{};
    qint32 saveId = 0;   // store 1..4, or 5..8 for a temporary store
    qint32 interval = 0; // minutes to wait after the upload
    qint32 status = NotRun;
    qint32 temporary = 0;
    qint32 authentication = 0;
    std::array<char, kTextField> password{};

    // Texts up to their zero, or the whole field when a loaded file left it out.
    [[nodiscard]] QString imageFilePath() const;
    [[nodiscard]] QString passwordText() const;
    // The password's bytes as the file holds them, which is what the projector hashes.
    [[nodiscard]] QByteArray passwordBytes() const;
    // Stores text zero-terminated with the rest of the field zero; longer text is cut.
    static void setField(std::array<char, kTextField>& field, const QByteArray& text);

    void writeTo(char* out) const;
    static ScheduleEntry readFrom(const char* in);

    friend bool operator==(const ScheduleEntry&, const ScheduleEntry&) = default;
};
