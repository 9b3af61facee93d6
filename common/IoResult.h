#pragma once

#include <QString>

// Outcome of reading or writing one of the program's own files.
struct IoResult final {
    enum class Code {
        Ok,
        OpenFailed,
        ReadFailed,
        WriteFailed,
        TooLarge,
        Truncated,
        BadContent,
    };

    Code code = Code::Ok;
    QString detail; // the platform's error text, for the message shown to the user

    [[nodiscard]] bool ok() const { return code == Code::Ok; }
    static IoResult success() { return {}; }
    static IoResult failure(Code c, QString why) { return {c, std::move(why)}; }
};
