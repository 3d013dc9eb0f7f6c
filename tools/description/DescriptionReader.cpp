#include "tools/description/DescriptionReader.h"

#include <algorithm>
#include <vector>

#include "system/Errors.h"
#include "system/FileStream.h"
#include "tools/description/PackagePaths.h"
#include "tools/description/TomlPrecheck.h"
#include "tools/platform/Platform.h"

namespace {

constexpr std::uint64_t kMaxDescriptionSize = 16u << 20;

std::size_t EditDistance(std::string_view a, std::string_view b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// The characters of line `line` (from 1) of `text`, without its line break.
std::size_t LineLength(std::string_view text, std::uint32_t line) {
    for (std::uint32_t n = 1; n < line; ++n) {
        const std::size_t end = text.find('\n');
        if (end == std::string_view::npos) return 0;
        text.remove_prefix(end + 1);
    }
    text = text.substr(0, text.find('\n'));
    if (text.ends_with('\r')) text.remove_suffix(1);
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

// The parser's "Error while parsing SCOPE: TEXT" in this tool's words: a
// string that meets its line's end or the file's is an unterminated string.
std::string ParseErrorText(const toml::parse_error& e, std::string_view content) {
    std::string_view text = e.description();
    constexpr std::string_view prefix = "Error while parsing ";
    if (!text.starts_with(prefix)) return std::string(text);
    text.remove_prefix(prefix.size());
    const std::size_t colon = text.find(": ");
    const std::string_view scope = text.substr(0, colon);
    const bool atLineEnd = e.source().begin.column == LineLength(content, e.source().begin.line) + 1;
    if (scope.ends_with("string") && (atLineEnd || text.ends_with("end-of-file")))
        return "unterminated string: a quote is not closed on this line";
    return "while parsing " + std::string(text);
}

}  // namespace

std::string Suggestion(std::string_view word, const std::vector<std::string_view>& known) {
    for (const auto k : known)
        // Two edits cannot bridge a greater difference in length, and a word of
        // megabytes would take seconds to compare.
        if (word.size() <= k.size() + 2 && EditDistance(PackagePaths::Folded(word), PackagePaths::Folded(k)) <= 2)
            return "; did you mean " + Quoted(k) + "?";
    return {};
}

TEntry::TEntry(TDescriptionReader& reader, const toml::table& table, std::string what,
               std::initializer_list<std::string_view> keys)
    : reader_(reader), table_(table), what_(std::move(what)) {
    for (const auto& [key, node] : table_) {
        if (std::find(keys.begin(), keys.end(), key.str()) != keys.end()) continue;
        reader_.Error(reader_.Line(key.source()), "unknown key " + Preview(key.str()) + " in " + what_ +
                                                      Suggestion(key.str(), keys));
    }
}

TLocation TEntry::At() const { return reader_.Line(table_.source()); }

TLocation TEntry::At(std::string_view key) const {
    const toml::node* node = table_.get(key);
    return node ? reader_.Line(node->source()) : At();
}

std::optional<std::string> TEntry::Text(std::string_view key) {
    const toml::node* node = table_.get(key);
    if (!node) return std::nullopt;
    if (!node->is_string()) {
        reader_.Error(At(key), Quoted(key) + " in " + what_ + " must be a string");
        return std::nullopt;
    }
    return reader_.Substitute(**node->as_string(), At(key));
}

std::optional<std::string> TEntry::Required(std::string_view key) {
    if (!Has(key)) {
        reader_.Error(At(), what_ + " needs " + Quoted(key));
        return std::nullopt;
    }
    return Text(key);
}

std::optional<bool> TEntry::Flag(std::string_view key) {
    const toml::node* node = table_.get(key);
    if (!node) return std::nullopt;
    if (!node->is_boolean()) {
        reader_.Error(At(key), Quoted(key) + " in " + what_ + " must be true or false");
        return std::nullopt;
    }
    return **node->as_boolean();
}

std::optional<std::string> TDescriptionReader::Substitute(const std::string& text, const TLocation& at) {
    std::string result, problem;
    if (SubstituteDefines(text, defines_, result, problem)) return result;
    Error(at, problem);
    return std::nullopt;
}

std::optional<toml::table> TDescriptionReader::Parse() {
    std::string content;
    try {
        TFileStream stream = TFileStream::OpenRead(Platform::ToNative(file_));
        const std::uint64_t size = stream.Size();
        if (size > kMaxDescriptionSize) {
            Error(Whole(), "the description is " + std::to_string(size) + " bytes, more than a description can be");
            return std::nullopt;
        }
        content.resize(static_cast<std::size_t>(size));
        stream.ReadExact(content.data(), content.size());
    } catch (const Exception& e) {
        Error(Whole(), e.Message());
        return std::nullopt;
    }
    if (LooksLikeUtf16(content)) {
        Error({file_, 1}, "the description is UTF-16 text; save it as UTF-8");
        return std::nullopt;
    }
    if (const TTextProblem problem = PrecheckToml(content); problem.Line != 0) {
        const std::string column = std::to_string(problem.Column);
        Error({file_, problem.Line},
              problem.Kind == TTextProblem::EKind::LongKey
                  ? "a key of more than " + std::to_string(kMaxKeyParts) + " dotted parts (at column " + column + ")"
                  : "non-ASCII text at column " + column + " outside a quoted string or a comment");
        return std::nullopt;
    }
    try {
        return toml::parse(content, file_);
    } catch (const toml::parse_error& e) {
        Error(Line(e.source()), ParseErrorText(e, content));
        return std::nullopt;
    }
}

void TDescriptionReader::CheckTopLevel(const toml::table& root, std::initializer_list<std::string_view> singles,
                                       std::initializer_list<std::string_view> lists) {
    for (const auto& [key, node] : root) {
        const std::string_view name = key.str();
        if (std::find(singles.begin(), singles.end(), name) != singles.end()) {
            if (!node.is_table())
                Error(Line(key.source()), Quoted(name) + " must be a table: write [" + std::string(name) + "]");
        } else if (std::find(lists.begin(), lists.end(), name) != lists.end()) {
            if (!node.is_array_of_tables())
                Error(Line(key.source()), Quoted(name) + " must be a list of tables: write [[" + std::string(name) + "]]");
        } else {
            std::vector<std::string_view> known{singles};
            known.insert(known.end(), lists.begin(), lists.end());
            Error(Line(key.source()), "unknown table " + Preview(name) + Suggestion(name, known));
        }
    }
}

std::string TDescriptionReader::ConversionProblem(const CodePage::TEncoded& ansi, const std::string& utf8,
                                                  std::size_t width, std::string_view what) const {
    if (ansi.InvalidUtf8) return std::string(what) + " is not valid UTF-8";
    if (ansi.Bad)
        return std::string(what) + " " + Preview(utf8) + " contains " + CodePage::CodePointName(*ansi.Bad) +
               ", which the package's code page (" + CodePage::Name(codePage_) + ") does not have";
    if (ansi.Text.size() > width)
        return std::string(what) + " is " + std::to_string(ansi.Text.size()) +
               " characters long; its field holds at most " + std::to_string(width) + ": " + Preview(utf8);
    return {};
}

bool SubstituteDefines(const std::string& text, const std::map<std::string, std::string>& defines,
                       std::string& result, std::string& problem) {
    result.clear();
    for (std::size_t at = 0; at < text.size();) {
        if (text.compare(at, 3, "$${") == 0) {
            result += "${";
            at += 3;
        } else if (text.compare(at, 2, "${") == 0) {
            const std::size_t close = text.find('}', at + 2);
            if (close == std::string::npos) {
                problem = "unclosed \"${\" in " + Preview(text) + " (write \"$${\" for a literal \"${\")";
                return false;
            }
            const std::string name = text.substr(at + 2, close - at - 2);
            const auto found = defines.find(name);
            if (found == defines.end()) {
                problem = "${" + name + "} is not defined: give --define " + (name.empty() ? "NAME" : name) + "=VALUE";
                return false;
            }
            result += found->second;
            at = close + 1;
        } else {
            result += text[at++];
        }
    }
    return true;
}
