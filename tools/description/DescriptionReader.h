// The TOML side of a package description: the file read and parsed (with its
// size and character checks), typed access to each table's keys with the
// line of each, ${NAME} substitution, and texts converted into the package's
// fixed fields. Every problem goes to the diagnostics with file and line.
#pragma once

#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "package/RecordHead.h"
#include "tools/description/Diagnostics.h"
#include "tools/description/Toml.h"
#include "tools/platform/CodePage.h"

class TDescriptionReader;

// One table of the description: typed access to its keys, with the line of
// each key for the messages, and a refusal of keys it does not know.
class TEntry {
public:
    // Reports every key of `table` not in `keys` (with a near miss suggested).
    TEntry(TDescriptionReader& reader, const toml::table& table, std::string what,
           std::initializer_list<std::string_view> keys);

    TLocation At() const;
    TLocation At(std::string_view key) const;  // the table's line when the key is absent
    bool Has(std::string_view key) const { return table_.contains(key); }
    // The key's string with ${NAME} replaced; nullopt when absent, or (with
    // an error) when not a string or a name is undefined.
    std::optional<std::string> Text(std::string_view key);
    // As Text, with an error when the key is absent.
    std::optional<std::string> Required(std::string_view key);
    // nullopt when absent, or (with an error) when not true or false.
    std::optional<bool> Flag(std::string_view key);
    const toml::node* Node(std::string_view key) const { return table_.get(key); }
    const std::string& What() const { return what_; }

private:
    TDescriptionReader& reader_;
    const toml::table& table_;
    std::string what_;
};

class TDescriptionReader {
public:
    TDescriptionReader(std::string file, std::map<std::string, std::string> defines, TDiagnostics& diagnostics)
        : file_(std::move(file)), defines_(std::move(defines)), out_(diagnostics) {}

    // Reads and parses the file; nullopt (with an error) when it cannot be
    // read, is too large, holds non-ASCII text outside strings and comments,
    // or is not TOML.
    std::optional<toml::table> Parse();
    // Reports top-level keys other than the tables `singles` ([name]) and the
    // lists of tables `lists` ([[name]]), and those written as the wrong kind.
    void CheckTopLevel(const toml::table& root, std::initializer_list<std::string_view> singles,
                       std::initializer_list<std::string_view> lists);
    // Calls `read` with each table of the list `key` ([[key]]), which may use `keys`.
    template <typename F>
    void ForEach(const toml::table& root, std::string_view key, std::initializer_list<std::string_view> keys, F read) {
        const toml::array* list = root[key].as_array();
        if (!list || !list->is_array_of_tables()) return;
        for (const toml::node& node : *list) {
            TEntry entry(*this, *node.as_table(), "[[" + std::string(key) + "]]", keys);
            read(entry);
        }
    }

    void Error(const TLocation& at, std::string text) { out_.Error(at, std::move(text)); }
    void Warning(const TLocation& at, std::string text) { out_.Warning(at, std::move(text)); }
    TLocation Line(const toml::source_region& region) const { return {file_, region.begin.line}; }
    TLocation Whole() const { return {file_, 0}; }

    // Makes ${name} stand for `value` in the texts read from now on, unless
    // the name is defined already.
    void Define(const std::string& name, const std::string& value) { defines_.emplace(name, value); }
    // `text` with ${NAME} replaced; nullopt with an error at `at` otherwise.
    std::optional<std::string> Substitute(const std::string& text, const TLocation& at);

    // Converts to the package's code page and sets the field; an error names
    // `what` when the text is not UTF-8, has a character the code page lacks,
    // or does not fit (the field is then left as it was).
    template <std::size_t N>
    void Put(RecordHead::TextField<N>& field, const std::string& utf8, const TLocation& at, std::string_view what) {
        const CodePage::TEncoded ansi = CodePage::FromUtf8(codePage_, utf8);
        if (const std::string problem = ConversionProblem(ansi, utf8, N, what); !problem.empty())
            Error(at, problem);
        else
            field.TrySet(ansi.Text);
    }

    // True when `utf8` has a form in the package's code page; an error names
    // `what` otherwise.
    bool InCodePage(const std::string& utf8, const TLocation& at, std::string_view what) {
        const std::string problem = ConversionProblem(CodePage::FromUtf8(codePage_, utf8), utf8, std::string::npos, what);
        if (!problem.empty()) Error(at, problem);
        return problem.empty();
    }

    // The package's code page for the texts Put from now on (default 1252).
    void SetCodePage(unsigned codePage) { codePage_ = codePage; }

private:
    std::string ConversionProblem(const CodePage::TEncoded& ansi, const std::string& utf8, std::size_t width,
                                  std::string_view what) const;

    unsigned codePage_ = CodePage::kDefault;

    std::string file_;
    std::map<std::string, std::string> defines_;
    TDiagnostics& out_;
};

// Replaces each ${NAME} by its definition; "$${" stands for a literal "${".
// Returns false with the reason in `problem` for an undefined name or an
// unclosed "${".
bool SubstituteDefines(const std::string& text, const std::map<std::string, std::string>& defines,
                       std::string& result, std::string& problem);

// "; did you mean "name"?" for a near miss of `word` among `known`; empty
// when there is none.
std::string Suggestion(std::string_view word, const std::vector<std::string_view>& known);
