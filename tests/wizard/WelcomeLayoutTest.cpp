// The wizard's layout table: consistent as a tree, pages filling the client
// area, and the page structure, sizes and tab order the window's design fixes.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "wizard/WelcomeLayout.h"

using ui::TComponentRow;
using ui::TKind;

namespace {

struct Box {
    int left, top, right, bottom;
};

const TComponentRow* Row(std::string_view name) {
    for (const auto& layoutRow : WelcomeLayout())
        if (layoutRow.Name == name) return &layoutRow;
    return nullptr;
}

// The rectangle in the form's client area.
Box Absolute(const TComponentRow& layoutRow) {
    Box box{layoutRow.Left, layoutRow.Top, layoutRow.Left + layoutRow.Width, layoutRow.Top + layoutRow.Height};
    for (const TComponentRow* p = Row(layoutRow.Parent); p; p = Row(p->Parent)) {
        box.left += p->Left, box.right += p->Left;
        box.top += p->Top, box.bottom += p->Top;
    }
    return box;
}

std::string PageOf(const TComponentRow& layoutRow) {
    const TComponentRow* row = &layoutRow;
    while (!row->Parent.empty()) row = Row(row->Parent);
    return std::string(row->Name);
}

// The focusable controls of a page in the order of the table.
std::vector<std::string> TabOrder(const std::string& page) {
    std::vector<std::string> order;
    for (const auto& layoutRow : WelcomeLayout())
        if ((layoutRow.Kind == TKind::Button || layoutRow.Kind == TKind::Edit || layoutRow.Kind == TKind::Memo) && PageOf(layoutRow) == page)
            order.emplace_back(layoutRow.Name);
    return order;
}

}  // namespace

TEST(WelcomeLayout, IsATreeWithUniqueNamesAndParentsFirst) {
    std::map<std::string, std::size_t> seen;
    const auto layout = WelcomeLayout();
    for (std::size_t i = 0; i < layout.size(); ++i) {
        const auto& layoutRow = layout[i];
        EXPECT_TRUE(seen.emplace(std::string(layoutRow.Name), i).second) << "duplicate " << layoutRow.Name;
        if (layoutRow.Parent.empty()) continue;
        ASSERT_TRUE(seen.count(std::string(layoutRow.Parent))) << layoutRow.Name << " comes before its parent " << layoutRow.Parent;
        EXPECT_EQ(Row(layoutRow.Parent)->Kind, TKind::Panel) << layoutRow.Name << " sits on a non-panel";
    }
}

TEST(WelcomeLayout, FivePagesFillTheClientArea) {
    std::vector<std::string> pages;
    for (const auto& layoutRow : WelcomeLayout()) {
        if (!layoutRow.Parent.empty()) continue;
        pages.emplace_back(layoutRow.Name);
        EXPECT_EQ(layoutRow.Kind, TKind::Panel);
        EXPECT_EQ(layoutRow.Left, 0);
        EXPECT_EQ(layoutRow.Top, 0);
        EXPECT_EQ(layoutRow.Width, 492);
        EXPECT_EQ(layoutRow.Height, 358);
    }
    EXPECT_EQ(pages, (std::vector<std::string>{"pn1", "pn2", "pn3", "pn4", "pn5"}));
}

TEST(WelcomeLayout, EveryComponentStartsInsideItsParent) {
    for (const auto& layoutRow : WelcomeLayout()) {
        if (layoutRow.Parent.empty()) continue;
        const TComponentRow& parent = *Row(layoutRow.Parent);
        EXPECT_GE(layoutRow.Left, 0) << layoutRow.Name;
        EXPECT_GE(layoutRow.Top, 0) << layoutRow.Name;
        EXPECT_LT(layoutRow.Left, parent.Width) << layoutRow.Name;
        EXPECT_LT(layoutRow.Top, parent.Height) << layoutRow.Name;
        if (layoutRow.AutoSize()) continue;
        EXPECT_LE(layoutRow.Left + layoutRow.Width, parent.Width) << layoutRow.Name;
        EXPECT_LE(layoutRow.Top + layoutRow.Height, parent.Height) << layoutRow.Name;
    }
}

TEST(WelcomeLayout, PageAreasStackWithoutGaps) {
    // Picture pages: white area 313, strip 45. Header pages: band 57, body 259, strip 42.
    const std::map<std::string, std::vector<std::pair<std::string, Box>>> areas = {
        {"pn1", {{"Panel1", {0, 0, 492, 313}}, {"Panel2", {0, 313, 492, 358}}}},
        {"pn2", {{"Panel4", {0, 0, 492, 57}}, {"Panel3", {0, 57, 492, 316}}, {"Panel5", {0, 316, 492, 358}}}},
        {"pn3", {{"Panel7", {0, 0, 492, 57}}, {"Panel6", {0, 57, 492, 316}}, {"Panel8", {0, 316, 492, 358}}}},
        {"pn4", {{"Panel9", {0, 0, 492, 57}}, {"Panel12", {0, 57, 492, 316}}, {"Panel13", {0, 316, 492, 358}}}},
        {"pn5", {{"Panel14", {0, 0, 492, 313}}, {"Panel15", {0, 313, 492, 358}}}},
    };
    for (const auto& [page, panels] : areas)
        for (const auto& [name, box] : panels) {
            const TComponentRow* layoutRow = Row(name);
            ASSERT_TRUE(layoutRow) << name;
            EXPECT_EQ(layoutRow->Parent, page) << name;
            const Box actual = Absolute(*layoutRow);
            EXPECT_EQ(std::tie(actual.left, actual.top, actual.right, actual.bottom),
                      std::tie(box.left, box.top, box.right, box.bottom))
                << name;
            const bool white = box.top == 0;
            EXPECT_EQ((layoutRow->Style & ui::sWhite) != 0, white) << name;
        }
}

TEST(WelcomeLayout, HeaderBandsAndBodiesCarryTheirPicturesAndLines) {
    for (const char* band : {"Panel4", "Panel7", "Panel9"}) {
        int pictures = 0;
        for (const auto& layoutRow : WelcomeLayout())
            if (layoutRow.Parent == band && layoutRow.Kind == TKind::Picture) {
                ++pictures;
                EXPECT_EQ(layoutRow.Text, kHeaderPicture);
                EXPECT_EQ(std::tie(layoutRow.Left, layoutRow.Top, layoutRow.Width, layoutRow.Height), std::make_tuple(435, 0, 55, 55));
            }
        EXPECT_EQ(pictures, 1) << band;
    }
    for (const char* body : {"Panel3", "Panel6", "Panel12"}) {
        std::vector<int> rows;
        for (const auto& layoutRow : WelcomeLayout())
            if (layoutRow.Parent == body && layoutRow.Kind == TKind::Bevel) {
                rows.push_back(layoutRow.Top);
                EXPECT_EQ(std::tie(layoutRow.Left, layoutRow.Width, layoutRow.Height), std::make_tuple(0, 492, 2));
            }
        EXPECT_EQ(rows, (std::vector<int>{0, 254})) << body;
    }
    for (const char* side : {"Image1", "Image6"}) {
        const TComponentRow& layoutRow = *Row(side);
        EXPECT_EQ(layoutRow.Text, kSidePicture);
        EXPECT_EQ(std::tie(layoutRow.Left, layoutRow.Top, layoutRow.Width, layoutRow.Height), std::make_tuple(0, 0, 165, 313));
    }
}

TEST(WelcomeLayout, ButtonsAreEqualAndOnlyTheDestinationNextIsDefault) {
    for (const auto& layoutRow : WelcomeLayout()) {
        if (layoutRow.Kind != TKind::Button) continue;
        EXPECT_EQ(layoutRow.Width, 73) << layoutRow.Name;
        EXPECT_EQ(layoutRow.Height, 24) << layoutRow.Name;
        EXPECT_EQ((layoutRow.Style & ui::sDefault) != 0, layoutRow.Name == "btn2Defaul") << layoutRow.Name;
    }
    const Box cancel = Absolute(*Row("Button2")), finish = Absolute(*Row("btn5Defaul"));
    EXPECT_EQ(cancel.left - finish.left, 14);  // Finish sits 14 pixels left of the Cancel buttons
}

TEST(WelcomeLayout, TabOrderPerPage) {
    EXPECT_EQ(TabOrder("pn1"), (std::vector<std::string>{"btn1Defaul", "Button2"}));
    EXPECT_EQ(TabOrder("pn2"), (std::vector<std::string>{"edtPath", "Button4", "btn2Defaul", "Button5", "Button6"}));
    EXPECT_EQ(TabOrder("pn3"), (std::vector<std::string>{"Memo1", "btn3Defaul", "Button9", "Button10"}));
    EXPECT_EQ(TabOrder("pn4"), (std::vector<std::string>{"Button11"}));
    EXPECT_EQ(TabOrder("pn5"), (std::vector<std::string>{"btn5Defaul"}));
}

TEST(WelcomeLayout, FixedTextsKeepTheirExactSpelling) {
    // Typos and doubled blanks are the program's own texts.
    EXPECT_EQ(Row("Label1")->Text, "It's recommanded that  you close all other applications before continuing .");
    EXPECT_EQ(Row("Label2")->Text, "Click Next to continue,or Cancel to exit Setup.");
    EXPECT_EQ(Row("Label4")->Text,
              "To continue, click Next. If you would like to select adifferent folder, click Browse.");
    EXPECT_EQ(Row("Label3")->Text,
              "Click Install to continue with the installation, or click Back if you want to review or change any "
              "setings.");
    EXPECT_EQ(Row("Button4")->Text, "B&rowse...");
    EXPECT_EQ(Row("Button6")->Text, "< &Back");
    // The three captions end before their values begin at x = 248.
    for (const char* caption : {"Label10", "Label12", "s"}) EXPECT_LT(Row(caption)->Left, 248);
}

TEST(WelcomeLayout, LabelsThatWrapHaveASizeAndTheRestSizeThemselves) {
    for (const auto& layoutRow : WelcomeLayout()) {
        if (layoutRow.Kind != TKind::Label) continue;
        if (layoutRow.Style & ui::sWrap)
            EXPECT_TRUE(layoutRow.Width > 0 && layoutRow.Height > 0) << layoutRow.Name;
        else
            EXPECT_TRUE(layoutRow.AutoSize()) << layoutRow.Name;
    }
}
