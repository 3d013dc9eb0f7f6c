#include "tests/tools/ToolTestFiles.h"

#include <gtest/gtest.h>

TDescribedPackage::TDescribedPackage() {
    Bytes stub = TextBytes("MZ");
    const Bytes body = PatternBytes(3000, 7);
    stub.insert(stub.end(), body.begin(), body.end());
    WriteFileBytes(dir_.Path() / "stub.exe", stub);
    Options.Stub = dir_.File("stub.exe");
}

std::string TDescribedPackage::Describe(const std::string& toml) {
    WriteFileBytes(dir_.Path() / "package.toml", TextBytes(toml));
    return Description();
}

void TDescribedPackage::Put(const std::string& relative, const Bytes& bytes) {
    const auto path = dir_.Path() / relative;
    std::filesystem::create_directories(path.parent_path());
    WriteFileBytes(path, bytes);
}

TPackagePlan TDescribedPackage::Read(TDiagnostics& diagnostics) const {
    return PlanPackage(Description(), Options, diagnostics);
}

TPackagePlan TDescribedPackage::ReadClean() const {
    TDiagnostics diagnostics;
    TPackagePlan plan = Read(diagnostics);
    EXPECT_FALSE(diagnostics.HasErrors()) << ErrorsOf(diagnostics);
    return plan;
}

std::string ErrorsOf(const TDiagnostics& diagnostics) {
    std::string text;
    for (const TDiagnostic& d : diagnostics.Items()) text += d.Format() + "\n";
    return text;
}

bool Reports(const TDiagnostics& diagnostics, bool error, unsigned line, const std::string& part) {
    for (const TDiagnostic& d : diagnostics.Items())
        if (d.IsError == error && d.Where.Line == line && d.Text.find(part) != std::string::npos) return true;
    return false;
}
