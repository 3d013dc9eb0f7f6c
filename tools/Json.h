// A small JSON writer for `list --json`: objects, arrays, strings (escaped,
// UTF-8) and unsigned or signed numbers, laid out two spaces per level.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class TJsonWriter {
public:
    TJsonWriter& BeginObject(std::string_view key = {});
    TJsonWriter& EndObject();
    TJsonWriter& BeginArray(std::string_view key = {});
    TJsonWriter& EndArray();
    TJsonWriter& String(std::string_view key, std::string_view utf8);
    TJsonWriter& Number(std::string_view key, std::int64_t value);

    const std::string& Text() const { return out_; }
    static std::string Quote(std::string_view utf8);

private:
    void Item(std::string_view key);
    void Close(char bracket);

    std::string out_;
    std::vector<bool> hasItems_;  // one per open object or array
};
