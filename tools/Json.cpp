#include "tools/Json.h"

#include <cstdio>

std::string TJsonWriter::Quote(std::string_view utf8) {
    std::string q = "\"";
    for (const char ch : utf8) {
        switch (ch) {
            case '"': q += "\\\""; break;
            case '\\': q += "\\\\"; break;
            case '\n': q += "\\n"; break;
            case '\r': q += "\\r"; break;
            case '\t': q += "\\t"; break;
            default:
                if (static_cast<unsigned char>(ch) < 0x20) {
                    char buffer[8];
                    std::snprintf(buffer, sizeof buffer, "\\u%04x", static_cast<unsigned>(ch));
                    q += buffer;
                } else {
                    q += ch;
                }
        }
    }
    return q + "\"";
}

void TJsonWriter::Item(std::string_view key) {
    if (!hasItems_.empty()) {
        if (hasItems_.back()) out_ += ',';
        hasItems_.back() = true;
        out_ += '\n';
        out_.append(hasItems_.size() * 2, ' ');
    }
    if (!key.empty()) out_ += Quote(key) + ": ";
}

void TJsonWriter::Close(char bracket) {
    const bool hadItems = hasItems_.back();
    hasItems_.pop_back();
    if (hadItems) {
        out_ += '\n';
        out_.append(hasItems_.size() * 2, ' ');
    }
    out_ += bracket;
    if (hasItems_.empty()) out_ += '\n';
}

TJsonWriter& TJsonWriter::BeginObject(std::string_view key) {
    Item(key);
    out_ += '{';
    hasItems_.push_back(false);
    return *this;
}

TJsonWriter& TJsonWriter::EndObject() {
    Close('}');
    return *this;
}

TJsonWriter& TJsonWriter::BeginArray(std::string_view key) {
    Item(key);
    out_ += '[';
    hasItems_.push_back(false);
    return *this;
}

TJsonWriter& TJsonWriter::EndArray() {
    Close(']');
    return *this;
}

TJsonWriter& TJsonWriter::String(std::string_view key, std::string_view utf8) {
    Item(key);
    out_ += Quote(utf8);
    return *this;
}

TJsonWriter& TJsonWriter::Number(std::string_view key, std::int64_t value) {
    Item(key);
    out_ += std::to_string(value);
    return *this;
}
