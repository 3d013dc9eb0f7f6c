// The driver's portable half: splitting script lines into words, reading a
// command's options against its table, and parsing key names such as Alt+F4.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace driver {

// A fault in a command line or script line; the message says what and where.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Splits a line into words. Blanks separate words; '...' and "..." group
// text literally (backslashes stay as they are, for Windows paths), "" inside
// double quotes stands for one ". A line whose first word begins with # is a
// comment and gives no words. Raises UsageError for an unterminated quote.
std::vector<std::string> SplitWords(std::string_view line);

struct OptionRule {
    const char* name;  // without the leading "--"
    bool takesValue;
};

// A command's options as given: values by name, flags as present with "".
class Options {
public:
    bool Has(const std::string& name) const { return values_.count(name) != 0; }
    std::optional<std::string> Get(const std::string& name) const;
    std::string GetOr(const std::string& name, const std::string& fallback) const;
    // Whole-number and duration values; UsageError when malformed.
    std::optional<long long> GetInteger(const std::string& name) const;
    std::optional<double> GetSeconds(const std::string& name) const;
    const std::vector<std::string>& Positional() const { return positional_; }

    void Set(const std::string& name, std::string value) { values_[name] = std::move(value); }
    void AddPositional(std::string value) { positional_.push_back(std::move(value)); }

private:
    std::map<std::string, std::string> values_;
    std::vector<std::string> positional_;
};

// Reads `words` (after the command name) against the accepted options;
// "--name=value" and "--name value" both work. Raises UsageError for an
// unknown option, a missing value or a repeated option.
Options ParseOptions(const std::vector<std::string>& words, const std::vector<OptionRule>& accepted);

// Every wait names the window or the program it means. --any-process leaves
// the program `start` launched, so it wants the window named by --title,
// --title-contains or --hwnd, or its process by --pid: a class in any
// process can be another program's window. Raises UsageError otherwise.
void CheckAnyProcessNamesWindow(const Options& options);

// Parses a number written in decimal or as 0x... hexadecimal.
std::optional<long long> ParseInteger(std::string_view text);

// One key press: a virtual-key code with modifiers held around it.
struct KeyStroke {
    std::uint8_t virtualKey = 0;
    bool ctrl = false;
    bool alt = false;
    bool shift = false;
};

// Parses "Enter", "Escape", "Tab", "Shift+Tab", "Alt+F4", "Alt+N", "Ctrl+A",
// "Space", "F1".."F12", "Up", "a", "7" ... (names are case-insensitive).
// Raises UsageError naming the key it does not know.
KeyStroke ParseKey(std::string_view keyText);

// The text of a control as a user reads it: "&&" gives "&", a single "&"
// (the access-key marker) is dropped.
std::string StripAccessMarker(std::string_view text);

// Quotes a text for the driver's output: "..." with \\, \", \n, \r, \t and
// \xNN for other control bytes.
std::string Quote(std::string_view text);

}  // namespace driver
