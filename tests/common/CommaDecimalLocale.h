#pragma once

#include <clocale>
#include <string>

// Switches the C library's number conversions to a locale whose decimal mark
// is a comma (as a French desktop session has) and restores them after.
class CommaDecimalLocale {
public:
    CommaDecimalLocale() {
        if (const char* current = std::setlocale(LC_NUMERIC, nullptr))
            m_previous = current;
        m_active = std::setlocale(LC_NUMERIC, "fr_FR.UTF-8") != nullptr;
    }
    ~CommaDecimalLocale() { std::setlocale(LC_NUMERIC, m_previous.c_str()); }
    CommaDecimalLocale(const CommaDecimalLocale&) = delete;
    CommaDecimalLocale& operator=(const CommaDecimalLocale&) = delete;

    // False when the locale is not installed (./kest generates it).
    bool active() const { return m_active; }

private:
    std::string m_previous = "C";
    bool m_active = false;
};
