// The layout of the wizard window's five pages as data.
#pragma once

#include <string_view>

#include "ui/ComponentRow.h"

inline constexpr int kWizardClientWidth = 492;
inline constexpr int kWizardClientHeight = 358;

// Resource names of the two pictures.
inline constexpr std::string_view kSidePicture = "SIDEPICTURE";
inline constexpr std::string_view kHeaderPicture = "HEADERPICTURE";

// Every component of TfrmWelcome: parents first, siblings in tab order.
ui::TLayout WelcomeLayout();
