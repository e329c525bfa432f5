#ifndef DIAGNOSTIC_SETTINGS_H
#define DIAGNOSTIC_SETTINGS_H

#include <array>
#include <string>

#include "DiagnosticLog.h"

/// What one value of VORANDEL_TURNTABLE_LOG asks for (the grammar is at
/// DiagnosticLog).
struct DiagnosticSettings {
    /// The level of each category, by DiagnosticLog::Category.
    std::array<DiagnosticLog::Level, DiagnosticLog::CATEGORY_COUNT> levels;
    /// The file to append to; empty: standard error.
    std::string path;
    /// Empty for a well-formed value; else what is wrong, and every level is
    /// Off.
    std::string fault;

    /// `fallbackPath` is the path used when the value names none.
    static DiagnosticSettings parse(const std::string& value, const std::string& fallbackPath);

    bool anyOn() const;
};

#endif  // DIAGNOSTIC_SETTINGS_H
