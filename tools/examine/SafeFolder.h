// Writing below a folder that a package's names must not leave. Every folder
// level is opened relative to the one above it, never through a link or
// junction, and held open while the file below it is written; the file is
// written to a temporary name and renamed over its target, so an existing
// link at the target is replaced, not followed.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tools/platform/ToolErrors.h"

class TSafeFolder {
public:
    using TSink = std::function<void(const void* data, std::size_t size)>;
    using TFill = std::function<void(const TSink& write)>;

    // Opens `root` (UTF-8), creating it when missing. Raises ESafeFolder.
    explicit TSafeFolder(const std::string& root);
    ~TSafeFolder();
    TSafeFolder(const TSafeFolder&) = delete;
    TSafeFolder& operator=(const TSafeFolder&) = delete;

    // Creates `folders` (one name each, UTF-8) below the root as needed and
    // writes the file `name` there with what `fill` produces, replacing an
    // existing file. Raises ESafeFolder with the reason (a link or a file in
    // the way, a system error); exceptions of `fill` pass through after the
    // temporary file is removed.
    void WriteFile(const std::vector<std::string>& folders, const std::string& name, const TFill& fill);

private:
    struct TImpl;
    std::unique_ptr<TImpl> impl_;
};
