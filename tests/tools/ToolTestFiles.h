// A scratch folder with a stub and a package description, for the tests of
// the packaging tool.
#pragma once

#include <string>

#include "tests/support/TestFiles.h"
#include "tools/build/PackageBuild.h"

class TDescribedPackage {
public:
    TDescribedPackage();
    // Writes `toml` as package.toml; returns its path.
    std::string Describe(const std::string& toml);
    // Writes a file below the scratch folder, creating its folders.
    void Put(const std::string& relative, const Bytes& bytes);

    TPackagePlan Read(TDiagnostics& diagnostics) const;
    // Reads and expects no error; warnings are allowed.
    TPackagePlan ReadClean() const;

    const TempDir& Dir() const { return dir_; }
    std::string Description() const { return dir_.File("package.toml"); }
    TDescriptionOptions Options;

private:
    TempDir dir_;
};

// "file:line: error: text" of every error, one a line, for failure output.
std::string ErrorsOf(const TDiagnostics& diagnostics);
// True when some diagnostic of that kind is on `line` and contains `part`.
bool Reports(const TDiagnostics& diagnostics, bool error, unsigned line, const std::string& part);
