#pragma once

#include "i18n/CatalogId.h"

#include <functional>

// The gate before the main window: at most three showings of the login dialog.
// Login results: 1 logged in, 2 cancelled, 3 user administration asked, else failed.
class LoginLoop final {
public:
    struct Hooks {
        std::function<int()> showLogin;        // a fresh dialog each time
        std::function<void()> showUserConfig;  // result not used
        std::function<bool()> userToolPresent; // looked for beside the program
        std::function<void(CatalogId)> showStop;
    };

    enum class Outcome { LoggedIn, Cancelled, Refused };

    explicit LoginLoop(Hooks hooks) : m_hooks(std::move(hooks)) {}
    Outcome run();

    static constexpr int kMaxShowings = 3;

private:
    Hooks m_hooks;
};
