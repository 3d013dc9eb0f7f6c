#include "unattended/RunLog.h"

#include <new>

#include "system/Errors.h"

void TRunLog::Open(const std::string& path) { file_.emplace(TFileStream::Create(path)); }

void TRunLog::Line(std::string_view text) {
    if (!file_) return;
    try {
        std::string line(text);
        line += "\r\n";
        file_->Write(line.data(), line.size());
    } catch (const Exception&) {
        file_.reset();
    }
}

void TRunLog::Error(const std::exception& error) {
    const TErrorDescription described = DescribeError(error);
    Line("Error: " + described.TypeName + ": " + ErrorText::EventBox(described.Message));
}

TErrorDescription DescribeError(const std::exception& error) {
    if (const auto* known = dynamic_cast<const Exception*>(&error)) return {known->TypeName(), known->Message()};
    if (dynamic_cast<const std::bad_alloc*>(&error)) return {"EOutOfMemory", std::string(ErrorText::OutOfMemory)};
    return {"Exception", error.what()};
}
