// Errors and warnings about a package description, each pointing at the
// description file and line ("package.toml:12: error: ...").
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct TLocation {
    std::string File;
    std::uint32_t Line = 0;  // 0: the file as a whole
};

struct TDiagnostic {
    bool IsError = true;
    TLocation Where;
    std::string Text;

    std::string Format() const;
};

class TDiagnostics {
public:
    void Error(const TLocation& where, std::string text) { items_.push_back({true, where, std::move(text)}); }
    void Warning(const TLocation& where, std::string text) { items_.push_back({false, where, std::move(text)}); }
    bool HasErrors() const;
    const std::vector<TDiagnostic>& Items() const { return items_; }

private:
    std::vector<TDiagnostic> items_;
};
