#include "wizard/WelcomeLayout.h"

namespace {

using namespace ui;
using enum ui::TKind;

constexpr int W = kWizardClientWidth;
constexpr int H = kWizardClientHeight;

// Picture pages: a white area above a 45-pixel button strip. Header pages: a
// 57-pixel white band, a 259-pixel body and a 42-pixel button strip.
constexpr int kWhiteArea = 313, kPictureStrip = H - kWhiteArea;
constexpr int kBand = 57, kBody = 259, kHeaderStrip = H - kBand - kBody;
constexpr int kButtonWidth = 73, kButtonHeight = 24;

// Texts composed from the package's name are set at run time; they start empty.
constexpr TComponentRow kLayout[] = {
    // Welcome page.
    {"pn1", Panel, "", 0, 0, W, H, "", sNone},
    {"Panel1", Panel, "pn1", 0, 0, W, kWhiteArea, "", sWhite},
    {"Image1", Picture, "Panel1", 0, 0, 165, 313, kSidePicture},
    {"lblMsg", Label, "Panel1", 176, 24, 305, 65, "", sWrap | sLarge},
    {"lblMsg2", Label, "Panel1", 176, 88, 297, 31, "", sWrap},
    {"Label1", Label, "Panel1", 176, 128, 297, 38,
     "It's recommanded that  you close all other applications before continuing .", sWrap},
    {"Label2", Label, "Panel1", 176, 168, 297, 38, "Click Next to continue,or Cancel to exit Setup.", sWrap},
    {"Label10", Label, "Panel1", 200, 216, 0, 0, "Author:"},
    {"lblAuthor", Label, "Panel1", 248, 216, 0, 0, "", sBlue},
    {"Label12", Label, "Panel1", 206, 235, 0, 0, "Email:"},
    {"lblEmail", Label, "Panel1", 248, 235, 0, 0, "", sLink},
    {"s", Label, "Panel1", 192, 256, 0, 0, "Website:"},
    {"lblWebsite", Label, "Panel1", 248, 256, 0, 0, "", sLink},
    {"Panel2", Panel, "pn1", 0, kWhiteArea, W, kPictureStrip, ""},
    {"btn1Defaul", Button, "Panel2", 324, 12, kButtonWidth, kButtonHeight, "&Next >"},
    {"Button2", Button, "Panel2", 410, 12, kButtonWidth, kButtonHeight, "&Cancel"},

    // Destination page.
    {"pn2", Panel, "", 0, 0, W, H, ""},
    {"Panel4", Panel, "pn2", 0, 0, W, kBand, "", sWhite},
    {"Image3", Picture, "Panel4", 435, 0, 55, 55, kHeaderPicture},
    {"Label6", Label, "Panel4", 24, 8, 0, 0, "Select Destination Location", sBold},
    {"lblMsg21", Label, "Panel4", 40, 24, 0, 0, ""},
    {"Panel3", Panel, "pn2", 0, kBand, W, kBody, ""},
    {"Bevel1", Bevel, "Panel3", 0, 0, W, 2, ""},
    {"Bevel2", Bevel, "Panel3", 0, 254, W, 2, ""},
    {"lblMsg22", Label, "Panel3", 40, 32, 0, 0, ""},
    {"Label4", Label, "Panel3", 40, 62, 0, 0,
     "To continue, click Next. If you would like to select adifferent folder, click Browse."},
    {"edtPath", Edit, "Panel3", 40, 86, 329, 21, ""},
    {"Button4", Button, "Panel3", 380, 84, kButtonWidth, kButtonHeight, "B&rowse..."},
    {"Panel5", Panel, "pn2", 0, kBand + kBody, W, kHeaderStrip, ""},
    {"btn2Defaul", Button, "Panel5", 324, 8, kButtonWidth, kButtonHeight, "&Next >", sDefault},
    {"Button5", Button, "Panel5", 410, 8, kButtonWidth, kButtonHeight, "&Cancel"},
    {"Button6", Button, "Panel5", 251, 8, kButtonWidth, kButtonHeight, "< &Back"},

    // Ready page.
    {"pn3", Panel, "", 0, 0, W, H, ""},
    {"Panel7", Panel, "pn3", 0, 0, W, kBand, "", sWhite},
    {"Image5", Picture, "Panel7", 435, 0, 55, 55, kHeaderPicture},
    {"lblMsg31", Label, "Panel7", 24, 8, 0, 0, "", sBold},
    {"Panel6", Panel, "pn3", 0, kBand, W, kBody, ""},
    {"Bevel3", Bevel, "Panel6", 0, 0, W, 2, ""},
    {"Bevel4", Bevel, "Panel6", 0, 254, W, 2, ""},
    {"Label3", Label, "Panel6", 40, 16, 384, 26,
     "Click Install to continue with the installation, or click Back if you want to review or change any setings.",
     sWrap},
    {"Memo1", Memo, "Panel6", 40, 48, 409, 185, ""},
    {"Panel8", Panel, "pn3", 0, kBand + kBody, W, kHeaderStrip, ""},
    {"btn3Defaul", Button, "Panel8", 324, 8, kButtonWidth, kButtonHeight, "&Install"},
    {"Button9", Button, "Panel8", 410, 8, kButtonWidth, kButtonHeight, "&Cancel"},
    {"Button10", Button, "Panel8", 251, 8, kButtonWidth, kButtonHeight, "< &Back"},

    // Installing page.
    {"pn4", Panel, "", 0, 0, W, H, ""},
    {"Panel9", Panel, "pn4", 0, 0, W, kBand, "", sWhite},
    {"Image4", Picture, "Panel9", 435, 0, 55, 55, kHeaderPicture},
    {"lblMsg411", Label, "Panel9", 24, 8, 0, 0, "Installing", sBold},
    {"lblMsg41", Label, "Panel9", 40, 24, 0, 0, ""},
    {"Panel12", Panel, "pn4", 0, kBand, W, kBody, ""},
    {"Bevel5", Bevel, "Panel12", 0, 0, W, 2, ""},
    {"Bevel6", Bevel, "Panel12", 0, 254, W, 2, ""},
    {"Label8", Label, "Panel12", 40, 24, 0, 0, "Extracting files..."},
    {"lblMsg42", Label, "Panel12", 42, 41, 0, 0, ""},
    {"ProgressBar1", ProgressBar, "Panel12", 41, 60, 409, 18, ""},
    {"Panel13", Panel, "pn4", 0, kBand + kBody, W, kHeaderStrip, ""},
    {"Button11", Button, "Panel13", 410, 8, kButtonWidth, kButtonHeight, "&Cancel"},

    // Finished page.
    {"pn5", Panel, "", 0, 0, W, H, ""},
    {"Panel14", Panel, "pn5", 0, 0, W, kWhiteArea, "", sWhite},
    {"Image6", Picture, "Panel14", 0, 0, 165, 313, kSidePicture},
    {"lblMsg51", Label, "Panel14", 192, 24, 293, 65, "", sWrap | sLarge},
    {"lblMsg52", Label, "Panel14", 192, 88, 285, 73, "", sWrap},
    {"Label14", Label, "Panel14", 192, 168, 285, 38, "Click Finish to exit Setup.", sWrap},
    {"Panel15", Panel, "pn5", 0, kWhiteArea, W, kPictureStrip, ""},
    {"btn5Defaul", Button, "Panel15", 396, 12, kButtonWidth, kButtonHeight, "&Finish"},
};

}  // namespace

ui::TLayout WelcomeLayout() { return kLayout; }
