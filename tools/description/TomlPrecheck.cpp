#include "tools/description/TomlPrecheck.h"

namespace {

bool NonAscii(char c) { return static_cast<unsigned char>(c) >= 0x80; }

class Scanner {
public:
    explicit Scanner(std::string_view text) : text_(text) {
        if (text_.substr(0, 3) == "\xEF\xBB\xBF") at_ = 3;
    }

    TTextProblem Run() {
        while (at_ < text_.size()) {
            if ((Peek() == '"' || Peek() == '\'') && !QuoteOpensString()) {
                // The parser stops at the bad value and examines what follows
                // as bare text: the rest of the line is outside any string.
                while (at_ < text_.size() && Peek() != '\n' && !NonAscii(Peek())) Skip(1);
                if (NonAscii(Peek())) return Here(Kind::NonAscii);
            } else if (StartsWith("\"\"\"")) {
                Skip(3);
                if (!MultiLineBasic()) return Here(Kind::NonAscii);
            } else if (StartsWith("'''")) {
                Skip(3);
                SkipPast("'''");
            } else if (Peek() == '"') {
                Skip(1);
                SingleLine('"', true);
            } else if (Peek() == '\'') {
                Skip(1);
                SingleLine('\'', false);
            } else if (Peek() == '#') {
                while (at_ < text_.size() && Peek() != '\n') Skip(1);
            } else if (NonAscii(Peek())) {
                return Here(Kind::NonAscii);
            } else {
                if (!CountKeyPart(Peek())) return Here(Kind::LongKey);
                Skip(1);
            }
            NoteLastOnLine();
        }
        return {};
    }

private:
    using Kind = TTextProblem::EKind;

    // Keys start a line, a table header or an inline table's entry; dots
    // outside strings there separate their parts. False at the dot too many.
    bool CountKeyPart(char c) {
        if (c == '\n' || c == '[' || c == '{' || c == ',') {
            inKey_ = true;
            keyParts_ = 1;
        } else if (c == '=' || c == ']' || c == '}') {
            inKey_ = false;
        } else if (c == '.' && inKey_) {
            return ++keyParts_ <= kMaxKeyParts;
        }
        return true;
    }

    // Strings start a line (a quoted key, an array's next value) or follow
    // "=", "[", ",", "{" or the "." of a dotted key.
    bool QuoteOpensString() const {
        return lastOnLine_ == '\0' || lastOnLine_ == '=' || lastOnLine_ == '[' || lastOnLine_ == ',' ||
               lastOnLine_ == '{' || lastOnLine_ == '.';
    }
    void NoteLastOnLine() {
        const char last = at_ > 0 ? text_[at_ - 1] : '\0';
        if (last == '\n' || last == '\r')
            lastOnLine_ = '\0';
        else if (last != ' ' && last != '\t')
            lastOnLine_ = last;
    }
    char Peek(std::size_t ahead = 0) const { return at_ + ahead < text_.size() ? text_[at_ + ahead] : '\0'; }
    bool StartsWith(std::string_view s) const { return text_.substr(at_, s.size()) == s; }
    void Skip(std::size_t n) {
        for (; n > 0 && at_ < text_.size(); --n, ++at_) {
            if (text_[at_] == '\n') {
                ++line_;
                lastOnLine_ = '\0';
                lineStart_ = at_ + 1;
            }
        }
    }
    TTextProblem Here(Kind kind) const {
        return {kind, line_, static_cast<std::uint32_t>(at_ - lineStart_ + 1)};
    }
    void SkipPast(std::string_view end) {
        while (at_ < text_.size() && !StartsWith(end)) Skip(1);
        Skip(end.size());
    }
    // A one-line string ends at its quote or, unterminated, at the line's end.
    void SingleLine(char quote, bool escapes) {
        while (at_ < text_.size() && Peek() != quote && Peek() != '\n') Skip(escapes && Peek() == '\\' ? 2 : 1);
        if (Peek() == quote) Skip(1);
    }
    // False, positioned at the byte, for non-ASCII text after a backslash.
    bool MultiLineBasic() {
        while (at_ < text_.size() && !StartsWith("\"\"\"")) {
            if (Peek() != '\\') {
                Skip(1);
                continue;
            }
            Skip(1);
            const bool lineEnding = Peek() == ' ' || Peek() == '\t' || Peek() == '\r' || Peek() == '\n';
            while (Peek() == ' ' || Peek() == '\t' || Peek() == '\r' || Peek() == '\n') Skip(1);
            if (NonAscii(Peek())) return false;
            if (!lineEnding) Skip(1);  // the escaped character
        }
        Skip(3);
        return true;
    }

    std::string_view text_;
    std::size_t at_ = 0;
    std::uint32_t line_ = 1;
    std::size_t lineStart_ = 0;
    char lastOnLine_ = '\0';  // the last character but blanks on this line; NUL: none yet
    bool inKey_ = true;         // where a key may be: a line's start, after "[", "{" or ","
    std::uint32_t keyParts_ = 1;
};

}  // namespace

TTextProblem PrecheckToml(std::string_view text) { return Scanner(text).Run(); }

bool LooksLikeUtf16(std::string_view text) {
    if (text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF")) return true;
    return text.size() >= 2 && (text[0] == '\0') != (text[1] == '\0');
}
