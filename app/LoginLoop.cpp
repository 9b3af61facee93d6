#include "app/LoginLoop.h"

#include "i18n/CatalogIds.h"

LoginLoop::Outcome LoginLoop::run() {
    int failures = 0;
    int result = m_hooks.showLogin();
    while (true) {
        if (result == 1) {
            return Outcome::LoggedIn;
        }
        if (result == 2) {
            return Outcome::Cancelled;
        }
        if (result == 3) {
            if (!m_hooks.userToolPresent()) {
                m_hooks.showStop(msg::UserToolMissing);
                return Outcome::Refused;
            }
            m_hooks.showUserConfig();
        }
        // Asking for user administration uses up a showing like a failed attempt.
        if (++failures >= kMaxShowings) {
            m_hooks.showStop(msg::LoginFailedThreeTimes);
            return Outcome::Refused;
        }
        result = m_hooks.showLogin();
    }
}
