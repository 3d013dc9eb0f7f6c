// The layout of the wizard window's five pages as data.
#pragma once

#include "ui/ComponentSpec.h"

inline constexpr int kWizardClientWidth = 492;
inline constexpr int kWizardClientHeight = 358;

// Resource names of the two pictures.
inline constexpr char kSidePicture[] = "SIDEPICTURE";
inline constexpr char kHeaderPicture[] = "HEADERPICTURE";

// Every component of TfrmWelcome: parents first, siblings in tab order.
ui::TLayout WelcomeLayout();
