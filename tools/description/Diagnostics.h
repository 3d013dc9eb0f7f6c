// Errors and warnings about a package description, each pointing at the
// description file and line ("package.toml:12: error: ..."), and the two ways
// their texts show a value.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
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

// `text` in double quotes.
std::string Quoted(std::string_view text);
// `text` in double quotes, cut to 40 characters with "..." when longer.
std::string Preview(std::string_view text);
