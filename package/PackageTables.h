// The four tables of a package, and the one list of where a header keeps
// them: each table's name, the header fields for its count and offset, and
// its record size, in the order they are stored (files, folders, shell
// items, registry values). The reader, the writer and makesetup's report
// all walk this list.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "package/RecordHead.h"

// The four tables as the writer takes them.
struct PackageTablesView {
    std::span<const RecordHead::TFileItem> Files;
    std::span<const RecordHead::TDirItem> Dirs;
    std::span<const RecordHead::TShellItem> ShellItems;
    std::span<const RecordHead::TRegItem> RegItems;
};

struct PackageTables {
    std::vector<RecordHead::TFileItem> Files;
    std::vector<RecordHead::TDirItem> Dirs;
    std::vector<RecordHead::TShellItem> ShellItems;
    std::vector<RecordHead::TRegItem> RegItems;

    PackageTablesView View() const { return {Files, Dirs, ShellItems, RegItems}; }
};

struct TTableName {
    std::string_view Name;   // "file table", for messages
    std::string_view Label;  // "Files", for listings
};

// Calls visit(records, count, offset, name) for each table in the order
// stored: `count` and `offset` are the header's fields for it. `Header` is
// TPackHeader, const or not; `Tables` is PackageTables or PackageTablesView.
template <typename Header, typename Tables, typename Visit>
void ForEachTable(Header& header, Tables& tables, Visit&& visit) {
    visit(tables.Files, header.FileCount, header.FileOffset, TTableName{"file table", "Files"});
    visit(tables.Dirs, header.DirCount, header.DirOffset, TTableName{"directory table", "Dirs"});
    visit(tables.ShellItems, header.ShellCount, header.ShellOffset, TTableName{"shell-item table", "ShellItems"});
    visit(tables.RegItems, header.RegCount, header.RegOffset, TTableName{"registry table", "RegItems"});
}

// Where a header places one table.
struct TTableSpan {
    TTableName Name;
    std::int32_t Count = 0;
    std::uint32_t Offset = 0;
    std::size_t RecordSize = 0;

    // Where its records end; a negative count is taken as none.
    std::uint64_t End() const { return Offset + std::uint64_t(Count > 0 ? Count : 0) * RecordSize; }
};

inline std::array<TTableSpan, 4> TableSpans(const RecordHead::TPackHeader& header) {
    std::array<TTableSpan, 4> spans;
    std::size_t i = 0;
    const PackageTablesView none;
    ForEachTable(header, none, [&](const auto& records, const auto& count, const auto& offset, TTableName name) {
        spans[i++] = {name, count.Get(), offset.Get(), sizeof(typename std::decay_t<decltype(records)>::value_type)};
    });
    return spans;
}
