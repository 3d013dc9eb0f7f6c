// The setup wizard: the five-page modal window TfrmWelcome.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "package/ZodiDuradad.h"
#include "ui/Form.h"
#include "ui/ProgressPainter.h"

class TfrmWelcome : public TForm {
public:
    // Creates the window without owner from the layout; runs FormCreate.
    TfrmWelcome();

    // Event handlers.
    void FormCreate(TComponent* Sender);
    void btn1DefaulClick(TComponent* Sender);
    void Button4Click(TComponent* Sender);
    void Button6Click(TComponent* Sender);
    void btn2DefaulClick(TComponent* Sender);
    void Button10Click(TComponent* Sender);
    void btn3DefaulClick(TComponent* Sender);
    void btn5DefaulClick(TComponent* Sender);
    void Button2Click(TComponent* Sender);
    void Button5Click(TComponent* Sender);
    void Button9Click(TComponent* Sender);
    void Button11Click(TComponent* Sender);
    void FormCloseQuery(TComponent* Sender, bool& CanClose);
    void lblEmailClick(TComponent* Sender);
    void lblWebsiteClick(TComponent* Sender);
    void DoProgress(TVazuravAzoz* Sender, std::int32_t Position, const std::string& Text);

    // The package object; not owned.
    TVazuravAzoz* FPack = nullptr;

    // The pages and the components the handlers work with; every other one
    // is reachable through Find.
    TControl *pn1, *pn2, *pn3, *pn4, *pn5;
    TControl *lblMsg, *lblMsg2, *lblAuthor, *lblEmail, *lblWebsite, *btn1Defaul;
    TControl *lblMsg21, *lblMsg22, *edtPath, *btn2Defaul;
    TControl *lblMsg31, *Memo1, *btn3Defaul;
    TControl *lblMsg41, *lblMsg42, *ProgressBar1;
    TControl *lblMsg51, *lblMsg52, *btn5Defaul;

private:
    std::string AppName() const { return FPack->GetAppName(); }

    // lblMsg42 and ProgressBar1, drawn at a bounded rate during the install.
    std::optional<TProgressPainter> progress_;
};

// The one wizard window; lives until the process ends.
extern TfrmWelcome* frmWelcome;

// Creates, fills and runs the wizard; true when it was left through Finish.
bool ShowWizard(TVazuravAzoz& Pack);
