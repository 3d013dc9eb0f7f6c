#include "DriverParse.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>

namespace driver {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string Lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return std::tolower(c); });
    return out;
}

// Key names and their virtual-key codes (the Windows values).
struct NamedKey {
    const char* name;
    std::uint8_t code;
};
constexpr NamedKey kNamedKeys[] = {
    {"enter", 0x0D},    {"return", 0x0D}, {"escape", 0x1B}, {"esc", 0x1B},     {"tab", 0x09},
    {"space", 0x20},    {"backspace", 0x08}, {"delete", 0x2E}, {"del", 0x2E},   {"insert", 0x2D},
    {"home", 0x24},     {"end", 0x23},    {"pageup", 0x21}, {"pagedown", 0x22}, {"left", 0x25},
    {"up", 0x26},       {"right", 0x27},  {"down", 0x28},   {"add", 0x6B},     {"subtract", 0x6D},
    {"multiply", 0x6A},
};

std::optional<std::uint8_t> KeyCode(std::string_view name) {
    const std::string lower = Lower(name);
    for (const NamedKey& key : kNamedKeys)
        if (lower == key.name) return key.code;
    if (lower.size() >= 2 && lower[0] == 'f') {
        const auto number = ParseInteger(lower.substr(1));
        if (number && *number >= 1 && *number <= 24) return static_cast<std::uint8_t>(0x70 + *number - 1);
    }
    if (name.size() == 1) {
        const auto c = static_cast<unsigned char>(std::toupper(static_cast<unsigned char>(name[0])));
        if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return c;
    }
    return std::nullopt;
}

}  // namespace

std::vector<std::string> SplitWords(std::string_view line) {
    std::vector<std::string> words;
    std::size_t i = 0;
    while (true) {
        while (i < line.size() && IsBlank(line[i])) ++i;
        if (i >= line.size()) break;
        if (words.empty() && line[i] == '#') break;
        std::string word;
        while (i < line.size() && !IsBlank(line[i])) {
            const char c = line[i];
            if (c != '"' && c != '\'') {
                word += c;
                ++i;
                continue;
            }
            const std::size_t open = i++;
            while (true) {
                if (i >= line.size())
                    throw UsageError("unterminated " + std::string(1, c) + " quote starting at column " +
                                     std::to_string(open + 1));
                if (line[i] == c) {
                    if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
                        word += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                word += line[i++];
            }
        }
        words.push_back(std::move(word));
    }
    return words;
}

std::optional<std::string> Options::Get(const std::string& name) const {
    const auto found = values_.find(name);
    if (found == values_.end()) return std::nullopt;
    return found->second;
}

std::string Options::GetOr(const std::string& name, const std::string& fallback) const {
    return Get(name).value_or(fallback);
}

std::optional<long long> Options::GetInteger(const std::string& name) const {
    const auto text = Get(name);
    if (!text) return std::nullopt;
    const auto number = ParseInteger(*text);
    if (!number) throw UsageError("--" + name + " wants a number, not \"" + *text + "\"");
    return number;
}

std::optional<double> Options::GetSeconds(const std::string& name) const {
    const auto text = Get(name);
    if (!text) return std::nullopt;
    char* end = nullptr;
    const double seconds = std::strtod(text->c_str(), &end);
    if (text->empty() || *end != '\0' || !(seconds >= 0))
        throw UsageError("--" + name + " wants seconds, not \"" + *text + "\"");
    return seconds;
}

Options ParseOptions(const std::vector<std::string>& words, const std::vector<OptionRule>& accepted) {
    Options options;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (word.size() < 3 || word.compare(0, 2, "--") != 0) {
            options.AddPositional(word);
            continue;
        }
        std::string name = word.substr(2);
        std::optional<std::string> inlineValue;
        if (const auto eq = name.find('='); eq != std::string::npos) {
            inlineValue = name.substr(eq + 1);
            name.resize(eq);
        }
        const auto rule = std::find_if(accepted.begin(), accepted.end(),
                                       [&](const OptionRule& s) { return name == s.name; });
        if (rule == accepted.end()) throw UsageError("unknown option --" + name);
        if (options.Has(name)) throw UsageError("option --" + name + " given twice");
        if (!rule->takesValue) {
            if (inlineValue) throw UsageError("option --" + name + " takes no value");
            options.Set(name, "");
        } else if (inlineValue) {
            options.Set(name, *inlineValue);
        } else {
            if (i + 1 >= words.size()) throw UsageError("option --" + name + " needs a value");
            options.Set(name, words[++i]);
        }
    }
    return options;
}

void CheckAnyProcessNamesWindow(const Options& options) {
    if (!options.Has("any-process")) return;
    for (const char* name : {"title", "title-contains", "hwnd", "pid"})
        if (options.Has(name)) return;
    throw UsageError("--any-process wants the window named (--title, --title-contains, --hwnd) or its process (--pid): "
                     "a class in any process can be another program's window");
}

std::optional<long long> ParseInteger(std::string_view text) {
    if (text.empty()) return std::nullopt;
    const std::string copy(text);
    const bool hex = copy.size() > 2 && copy[0] == '0' && (copy[1] == 'x' || copy[1] == 'X');
    char* end = nullptr;
    const long long value = std::strtoll(copy.c_str() + (hex ? 2 : 0), &end, hex ? 16 : 10);
    if (*end != '\0' || end == copy.c_str() + (hex ? 2 : 0)) return std::nullopt;
    return value;
}

KeyStroke ParseKey(std::string_view keyText) {
    KeyStroke stroke;
    std::string_view rest = keyText;
    while (true) {
        const auto plus = rest.find('+');
        // A lone "+" or a trailing "+" names the key itself, not a modifier.
        if (plus == std::string_view::npos || plus == 0 || plus + 1 == rest.size()) break;
        const std::string modifier = Lower(rest.substr(0, plus));
        if (modifier == "ctrl" || modifier == "control") stroke.ctrl = true;
        else if (modifier == "alt") stroke.alt = true;
        else if (modifier == "shift") stroke.shift = true;
        else throw UsageError("unknown modifier \"" + std::string(rest.substr(0, plus)) + "\" in key \"" +
                              std::string(keyText) + "\"");
        rest = rest.substr(plus + 1);
    }
    const auto code = KeyCode(rest);
    if (!code) throw UsageError("unknown key \"" + std::string(keyText) + "\"");
    stroke.virtualKey = *code;
    return stroke;
}

std::string StripAccessMarker(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '&') {
            out += text[i];
        } else if (i + 1 < text.size() && text[i + 1] == '&') {
            out += '&';
            ++i;
        }
    }
    return out;
}

std::string Quote(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
            case '\\': out += "\\\\"; break;
            case '"': out += "\\\""; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char hex[5];
                    std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned char>(c));
                    out += hex;
                } else {
                    out += c;
                }
        }
    }
    return out + "\"";
}

}  // namespace driver
