#include "wizard/Welcome.h"

#include <shellapi.h>

#include <initializer_list>
#include <memory>
#include <string_view>

#include "system/uCustomModule.h"
#include "wizard/DestinationRules.h"
#include "wizard/PictureResource.h"
#include "wizard/WelcomeLayout.h"

TfrmWelcome* frmWelcome = nullptr;

namespace {

// Never destroyed before the process ends.
std::unique_ptr<TfrmWelcome> gWizard;

constexpr char kCancelQuestion[] =
    "Setup is not complete. If you quit now, the program will not be install. \r\n"
    "You may run the setup program again at the another time to complete installation.\r\n"
    "Exit Setup?";

struct MemberBinding {
    std::string_view name;
    TControl* TfrmWelcome::*member;
};

constexpr MemberBinding kMembers[] = {
    {"pn1", &TfrmWelcome::pn1},
    {"pn2", &TfrmWelcome::pn2},
    {"pn3", &TfrmWelcome::pn3},
    {"pn4", &TfrmWelcome::pn4},
    {"pn5", &TfrmWelcome::pn5},
    {"lblMsg", &TfrmWelcome::lblMsg},
    {"lblMsg2", &TfrmWelcome::lblMsg2},
    {"lblAuthor", &TfrmWelcome::lblAuthor},
    {"lblEmail", &TfrmWelcome::lblEmail},
    {"lblWebsite", &TfrmWelcome::lblWebsite},
    {"btn1Defaul", &TfrmWelcome::btn1Defaul},
    {"lblMsg21", &TfrmWelcome::lblMsg21},
    {"lblMsg22", &TfrmWelcome::lblMsg22},
    {"edtPath", &TfrmWelcome::edtPath},
    {"btn2Defaul", &TfrmWelcome::btn2Defaul},
    {"lblMsg31", &TfrmWelcome::lblMsg31},
    {"Memo1", &TfrmWelcome::Memo1},
    {"btn3Defaul", &TfrmWelcome::btn3Defaul},
    {"lblMsg41", &TfrmWelcome::lblMsg41},
    {"lblMsg42", &TfrmWelcome::lblMsg42},
    {"ProgressBar1", &TfrmWelcome::ProgressBar1},
    {"lblMsg51", &TfrmWelcome::lblMsg51},
    {"lblMsg52", &TfrmWelcome::lblMsg52},
    {"btn5Defaul", &TfrmWelcome::btn5Defaul},
};

struct ClickBinding {
    std::string_view name;
    TNotifyEvent handler;
};

}  // namespace

TfrmWelcome::TfrmWelcome() : TForm("TfrmWelcome", kWizardClientWidth, kWizardClientHeight) {
    for (std::string_view picture : {kSidePicture, kHeaderPicture}) AddPicture(picture, LoadPictureResource(picture));
    Build(WelcomeLayout());
    for (const MemberBinding& binding : kMembers) this->*binding.member = &Find(binding.name);
    progress_.emplace(*lblMsg42, *ProgressBar1);
    const ClickBinding clicks[] = {
        {"btn1Defaul", TNotifyEvent::Bind<&TfrmWelcome::btn1DefaulClick>(this)},
        {"Button2", TNotifyEvent::Bind<&TfrmWelcome::Button2Click>(this)},
        {"Button4", TNotifyEvent::Bind<&TfrmWelcome::Button4Click>(this)},
        {"btn2Defaul", TNotifyEvent::Bind<&TfrmWelcome::btn2DefaulClick>(this)},
        {"Button5", TNotifyEvent::Bind<&TfrmWelcome::Button5Click>(this)},
        {"Button6", TNotifyEvent::Bind<&TfrmWelcome::Button6Click>(this)},
        {"btn3Defaul", TNotifyEvent::Bind<&TfrmWelcome::btn3DefaulClick>(this)},
        {"Button9", TNotifyEvent::Bind<&TfrmWelcome::Button9Click>(this)},
        {"Button10", TNotifyEvent::Bind<&TfrmWelcome::Button10Click>(this)},
        {"Button11", TNotifyEvent::Bind<&TfrmWelcome::Button11Click>(this)},
        {"btn5Defaul", TNotifyEvent::Bind<&TfrmWelcome::btn5DefaulClick>(this)},
        {"lblEmail", TNotifyEvent::Bind<&TfrmWelcome::lblEmailClick>(this)},
        {"lblWebsite", TNotifyEvent::Bind<&TfrmWelcome::lblWebsiteClick>(this)},
    };
    for (const ClickBinding& click : clicks) Find(click.name).OnClick = click.handler;
    OnCloseQuery = TCloseQueryEvent::Bind<&TfrmWelcome::FormCloseQuery>(this);
    OnCreate = TNotifyEvent::Bind<&TfrmWelcome::FormCreate>(this);
    OnCreate(this);
}

void TfrmWelcome::FormCreate(TComponent*) { pn1->BringToFront(); }

void TfrmWelcome::btn1DefaulClick(TComponent*) {
    lblMsg21->SetText("Where should " + AppName() + " be installed");
    lblMsg22->SetText("Setup will install " + AppName() + " into the following folder.");
    edtPath->SetText("C:\\Program Files\\" + AppName());
    btn2Defaul->SetFocus();
    pn2->BringToFront();
}

void TfrmWelcome::Button4Click(TComponent*) {
    const std::string folder = BrowseForFolder("Browse For Folder", edtPath->GetText());
    // Cancelled or blank: the folder box keeps its text.
    if (!IsBlank(folder))
        edtPath->SetText(folder);
}

void TfrmWelcome::Button6Click(TComponent*) {
    pn1->BringToFront();
    btn1Defaul->SetFocus();
}

void TfrmWelcome::btn2DefaulClick(TComponent*) {
    // A folder without a drive or share would be created relative to the
    // current folder, or not at all: refuse it here.
    if (!IsUsableInstallFolder(edtPath->GetText())) {
        ::MessageBoxA(Handle(), kUnusableFolderMessage, GetApplicationTitle().c_str(), MB_ICONEXCLAMATION | MB_OK);
        edtPath->SetFocus();
        return;
    }
    if (!FPack->SetInstallDir(edtPath->GetText())) return;
    lblMsg31->SetText("Setup is now ready to begin installing " + AppName() + " on your computer");
    Memo1->Clear();
    Memo1->AddLine("Destination location:");
    Memo1->AddLine("     " + edtPath->GetText());
    Memo1->AddLine(" ");
    Memo1->AddLine("Start Menu folder:");
    Memo1->AddLine("     " + AppName());
    btn3Defaul->SetFocus();
    pn3->BringToFront();
}

void TfrmWelcome::Button10Click(TComponent*) {
    pn2->BringToFront();
    btn2Defaul->SetFocus();
}

void TfrmWelcome::btn3DefaulClick(TComponent*) {
    lblMsg41->SetText("Please wait while Setup installs " + AppName() + " on your computer.");
    ProgressBar1->SetMax(FPack->GetTotalSteps());
    FPack->SetOnProgress(TProgressEvent::Bind<&TfrmWelcome::DoProgress>(this));
    // On the progress bar no key clicks anything, so a stray Enter or Space
    // while the install runs cannot record a cancel; Cancel stays a Tab, its
    // access key or a click away.
    ProgressBar1->SetFocus();
    pn4->BringToFront();
    {
        // The last item and position are on screen before the finished page
        // or the error box.
        TProgressPainter::TFinalPaint finalPaint(*progress_);
        FPack->Install();  // an error leaves the installing page in front
    }
    lblMsg51->SetText("Completing the " + AppName() + " Setup Wizard");
    lblMsg52->SetText("Setup has finished installing " + AppName() + " on your computer. ");
    btn5Defaul->SetFocus();
    pn5->BringToFront();
    OnCloseQuery = {};  // from now on a close request closes without asking
}

void TfrmWelcome::DoProgress(TVazuravAzoz*, std::int32_t Position, const std::string& Text) {
    progress_->Report(Text, Position);  // lblMsg42's text, then ProgressBar1's position
}

void TfrmWelcome::btn5DefaulClick(TComponent*) { SetModalResult(mrOk); }
void TfrmWelcome::Button2Click(TComponent*) { SetModalResult(mrCancel); }
void TfrmWelcome::Button5Click(TComponent*) { SetModalResult(mrCancel); }
void TfrmWelcome::Button9Click(TComponent*) { SetModalResult(mrCancel); }
void TfrmWelcome::Button11Click(TComponent*) { SetModalResult(mrCancel); }

void TfrmWelcome::FormCloseQuery(TComponent*, bool& CanClose) {
    if (ModalResult() == mrCancel && !ConfirmYesNo(Handle(), kCancelQuestion)) CanClose = false;
}

void TfrmWelcome::lblWebsiteClick(TComponent*) {
    ::ShellExecuteA(Handle(), nullptr, lblWebsite->GetText().c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void TfrmWelcome::lblEmailClick(TComponent*) {
    ::ShellExecuteA(Handle(), "open", ("mailto:" + lblEmail->GetText()).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

bool ShowWizard(TVazuravAzoz& Pack) {
    gWizard = std::make_unique<TfrmWelcome>();
    frmWelcome = gWizard.get();
    frmWelcome->SetCaption("Setup  - " + Pack.GetAppName());
    frmWelcome->lblMsg->SetText("Welcome to " + Pack.GetAppName() + " setup wizard");
    frmWelcome->lblMsg2->SetText("It will install " + Pack.GetAppName() + " on your computer.");
    frmWelcome->FPack = &Pack;
    frmWelcome->lblEmail->SetText(Pack.GetEmail());
    frmWelcome->lblWebsite->SetText(Pack.GetWebsite());
    frmWelcome->lblAuthor->SetText(Pack.GetAuthor());
    return frmWelcome->ShowModal() == mrOk;
}
