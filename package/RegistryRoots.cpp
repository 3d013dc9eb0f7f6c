#include "package/RegistryRoots.h"

namespace RegistryRoots {

namespace {

// Registry names compare without regard to ASCII case.
bool SameAscii(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto fold = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
        if (fold(a[i]) != fold(b[i])) return false;
    }
    return true;
}

}  // namespace

std::uint32_t ByName(std::string_view name) {
    for (const TRoot& root : kRoots)
        if (SameAscii(name, root.Short) || SameAscii(name, root.Long)) return root.Value;
    return 0;
}

std::string_view NameOf(std::uint32_t value) {
    for (const TRoot& root : kRoots)
        if (root.Value == value) return root.Long;
    return {};
}

}  // namespace RegistryRoots
