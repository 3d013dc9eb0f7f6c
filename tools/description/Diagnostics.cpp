#include "tools/description/Diagnostics.h"

#include <algorithm>

std::string TDiagnostic::Format() const {
    std::string text = Where.File;
    if (Where.Line > 0) text += ":" + std::to_string(Where.Line);
    return text + (IsError ? ": error: " : ": warning: ") + Text;
}

bool TDiagnostics::HasErrors() const {
    return std::any_of(items_.begin(), items_.end(), [](const TDiagnostic& d) { return d.IsError; });
}

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

std::string Preview(std::string_view text) {
    return text.size() <= 40 ? Quoted(text) : Quoted(std::string(text.substr(0, 37)) + "...");
}
