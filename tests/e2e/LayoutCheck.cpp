// Compares the wizard's windows, as the driver lists them, with the layout
// table. Built for the build machine; reads the output of `windriver controls`.
//   layout_check ids                          every component's name and control id
//   layout_check page PAGE FILE [NAME=TEXT]... the page in front is PAGE: its
//       components are shown with the class, rectangle and text of the table
//       (or the text given), every other page's components are hidden
// Exit code 0 when everything matches, 1 otherwise, 2 for a usage error.
#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "wizard/WelcomeLayout.h"

namespace {

using ui::TComponentRow;
using ui::TKind;

struct Listed {
    std::string className, text;
    int left = 0, top = 0, right = 0, bottom = 0;
    bool visible = false;
};

const TComponentRow* Row(std::string_view name) {
    for (const auto& layoutRow : WelcomeLayout())
        if (layoutRow.Name == name) return &layoutRow;
    return nullptr;
}

std::string PageOf(const TComponentRow& layoutRow) {
    const TComponentRow* row = &layoutRow;
    while (!row->Parent.empty()) row = Row(row->Parent);
    return std::string(row->Name);
}

// The value of `key="..."` (driver quoting) or `key=word` in a listing line.
bool Field(const std::string& line, const std::string& key, std::string& value) {
    const std::size_t at = line.find(" " + key + "=");
    if (at == std::string::npos) return false;
    std::size_t i = at + key.size() + 2;
    value.clear();
    if (i < line.size() && line[i] == '"') {
        for (++i; i < line.size() && line[i] != '"'; ++i) {
            if (line[i] != '\\' || i + 1 >= line.size()) {
                value += line[i];
                continue;
            }
            const char c = line[++i];
            if (c == 'n') value += '\n';
            else if (c == 'r') value += '\r';
            else if (c == 't') value += '\t';
            else if (c == 'x' && i + 2 < line.size()) value += char(std::stoi(line.substr(i + 1, 2), nullptr, 16)), i += 2;
            else value += c;
        }
        return true;
    }
    const std::size_t end = line.find(' ', i);
    value = line.substr(i, end == std::string::npos ? std::string::npos : end - i);
    return true;
}

// The last listing of each control id in the driver's output.
std::map<int, Listed> ReadListing(const char* path) {
    std::map<int, Listed> listed;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        std::string id, rect, visible;
        Listed item;
        line = " " + line;
        if (!Field(line, "id", id) || !Field(line, "rect", rect) || !Field(line, "class", item.className)) continue;
        Field(line, "text", item.text);
        Field(line, "visible", visible);
        item.visible = visible == "1";
        if (std::sscanf(rect.c_str(), "%d,%d,%d,%d", &item.left, &item.top, &item.right, &item.bottom) != 4) continue;
        listed[std::stoi(id)] = item;
    }
    return listed;
}

const char* ClassOf(TKind kind) {
    switch (kind) {
    case TKind::Panel: return "TPanel";
    case TKind::Label: return "Static";
    case TKind::Edit:
    case TKind::Memo: return "Edit";
    case TKind::Button: return "Button";
    case TKind::ProgressBar: return "msctls_progress32";
    case TKind::Picture:
    case TKind::Bevel: return "TGraphic";
    }
    return "?";
}

// The rectangle in the form's client area.
void Absolute(const TComponentRow& layoutRow, int& left, int& top) {
    left = layoutRow.Left, top = layoutRow.Top;
    for (const TComponentRow* p = Row(layoutRow.Parent); p; p = Row(p->Parent)) left += p->Left, top += p->Top;
}

int CheckPage(const std::string& page, const char* file, const std::map<std::string, std::string>& texts) {
    const std::map<int, Listed> listed = ReadListing(file);
    int faults = 0, shown = 0, covered = 0;
    const auto fault = [&](const TComponentRow& layoutRow, const std::string& what) {
        std::fprintf(stderr, "layout_check: %s: %.*s: %s\n", page.c_str(), int(layoutRow.Name.size()), layoutRow.Name.data(),
                     what.c_str());
        ++faults;
    };
    const auto layout = WelcomeLayout();
    for (std::size_t row = 0; row < layout.size(); ++row) {
        const TComponentRow& layoutRow = layout[row];
        const auto found = listed.find(ui::kFirstControlId + int(row));
        if (found == listed.end()) {
            fault(layoutRow, "not listed");
            continue;
        }
        const Listed& item = found->second;
        if (PageOf(layoutRow) != page) {
            // Covered: its own style may say visible, but a hidden page hides it.
            if (layoutRow.Parent.empty() && item.visible) fault(layoutRow, "page shown while " + page + " is in front");
            ++covered;
            continue;
        }
        ++shown;
        if (!item.visible) fault(layoutRow, "hidden");
        if (item.className != ClassOf(layoutRow.Kind)) fault(layoutRow, "class " + item.className);
        int left, top;
        Absolute(layoutRow, left, top);
        const int width = item.right - item.left, height = item.bottom - item.top;
        char wanted[96], actual[96];
        std::snprintf(actual, sizeof actual, "%d,%d %dx%d", item.left, item.top, width, height);
        if (layoutRow.AutoSize()) {
            // One line of the 8-point font, as wide as its text.
            std::snprintf(wanted, sizeof wanted, "%d,%d auto x 13", left, top);
            if (item.left != left || item.top != top || height != 13 || (width > 0) != !item.text.empty())
                fault(layoutRow, std::string("rect ") + actual + ", wanted " + wanted);
        } else {
            std::snprintf(wanted, sizeof wanted, "%d,%d %dx%d", left, top, layoutRow.Width, layoutRow.Height);
            if (std::string(actual) != wanted) fault(layoutRow, std::string("rect ") + actual + ", wanted " + wanted);
        }
        const auto given = texts.find(std::string(layoutRow.Name));
        const bool hasText = layoutRow.Kind != TKind::Picture && layoutRow.Kind != TKind::Bevel && layoutRow.Kind != TKind::Panel;
        const std::string text = given != texts.end() ? given->second : std::string(layoutRow.Text);
        if (hasText && (given != texts.end() || !layoutRow.Text.empty()) && item.text != text)
            fault(layoutRow, "text \"" + item.text + "\", wanted \"" + text + "\"");
    }
    for (const auto& [name, text] : texts)
        if (!Row(name) || PageOf(*Row(name)) != page) {
            std::fprintf(stderr, "layout_check: %s: %s is not on this page\n", page.c_str(), name.c_str());
            ++faults;
        }
    if (faults == 0) std::printf("layout_check: %s: %d components as laid out, %d covered\n", page.c_str(), shown, covered);
    return faults == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "ids" && argc == 2) {
        const auto layout = WelcomeLayout();
        for (std::size_t row = 0; row < layout.size(); ++row)
            std::printf("%.*s %d\n", int(layout[row].Name.size()), layout[row].Name.data(), ui::kFirstControlId + int(row));
        return 0;
    }
    if (command == "page" && argc >= 4) {
        std::map<std::string, std::string> texts;
        for (int i = 4; i < argc; ++i) {
            const std::string pair = argv[i];
            const std::size_t eq = pair.find('=');
            if (eq == std::string::npos) return 2;
            texts[pair.substr(0, eq)] = pair.substr(eq + 1);
        }
        return CheckPage(argv[2], argv[3], texts);
    }
    std::fprintf(stderr, "usage: layout_check ids | layout_check page PAGE FILE [NAME=TEXT]...\n");
    return 2;
}
