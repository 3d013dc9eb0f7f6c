// The small window that shows what the uninstaller is removing.
#pragma once

#include <string>

#include "ui/Form.h"

class TProgressWindow {
public:
    TProgressWindow(const std::string& title, int steps);

    // Shows `what` and moves the bar one step on; lets the window repaint.
    void Step(const std::string& what);

private:
    TForm form_;
    int position_ = 0;
};
