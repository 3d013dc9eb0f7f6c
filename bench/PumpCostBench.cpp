// What a progress report costs beside the work it reports, per call, in one
// run: the message pump after an item (the empty PeekMessage loop, the cheap
// tests that tell whether anything is queued, and the pump that asks first),
// the label's text handed to the painter, one drawing of the label and the
// bar, and whole steps; one file written and removed (the engine's and the
// removal's own work per item) is the yardstick:
//   pump_cost_bench [CALLS]
// Prints one line per candidate: microseconds per call and the ratio to the
// file's cost; rounds alternate the candidates, the best round of each counts.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "bench/BenchClock.h"
#include "system/Errors.h"
#include "ui/Application.h"
#include "ui/Form.h"
#include "ui/ProgressPainter.h"

namespace {

using namespace ui;
using enum ui::TKind;

constexpr TComponentRow kLayout[] = {
    {"lblAction", Label, "", 12, 30, 376, 28, "", sWrap},
    {"pbProgress", ProgressBar, "", 12, 62, 376, 17, ""},
};
constexpr int kRounds = 5;

struct Candidate {
    const char* name;
    std::function<void(int)> call;  // the i-th call
    double best = 1e30;             // seconds per call
};

// A form like the uninstaller's window, shown, with nothing queued.
class TBenchWindow {
public:
    TBenchWindow() : form_("TBenchPump", 400, 92) {
        form_.Build(kLayout);
        form_.Find("pbProgress").SetMax(1 << 30);
        painter_.emplace(form_.Find("lblAction"), form_.Find("pbProgress"));
        ::ShowWindow(form_.Handle(), SW_SHOWNORMAL);
        ::UpdateWindow(form_.Handle());
        TApplication::Current()->ProcessMessages();
    }
    TProgressPainter& Painter() { return *painter_; }

private:
    TForm form_;
    std::optional<TProgressPainter> painter_;
};

std::string FileName(const std::string& folder, int i) { return folder + "\\item" + std::to_string(i % 64) + ".dat"; }

void WriteAndRemove(const std::string& path) {
    static const std::vector<char> data(4096, 'x');
    const HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    ::WriteFile(file, data.data(), static_cast<DWORD>(data.size()), &written, nullptr);
    ::CloseHandle(file);
    ::DeleteFileA(path.c_str());
}

double TimePerCall(const Candidate& candidate, int calls) {
    const double start = Seconds();
    for (int i = 0; i < calls; ++i) candidate.call(i);
    return (Seconds() - start) / calls;
}

}  // namespace

int main(int argc, char** argv) {
    const int calls = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2000;
    try {
        TApplication application;
        TBenchWindow window;
        char temp[MAX_PATH];
        ::GetTempPathA(MAX_PATH, temp);
        const std::string folder = std::string(temp) + "pump_cost_bench";
        ::CreateDirectoryA(folder.c_str(), nullptr);
        const std::string longPath = folder + "\\data\\folder042\\some file name of a usual length.txt";

        std::vector<Candidate> candidates = {
            {"file written (4 KiB) and removed", [&](int i) { WriteAndRemove(FileName(folder, i)); }},
            {"empty PeekMessage loop (ProcessMessages)", [&](int) { application.ProcessMessages(); }},
            {"ProcessMessagesAfterItem, nothing queued", [&](int) { application.ProcessMessagesAfterItem(); }},
            {"GetQueueStatus(QS_ALLINPUT)", [](int) { ::GetQueueStatus(QS_ALLINPUT); }},
            {"GetInputState", [](int) { ::GetInputState(); }},
            {"MsgWaitForMultipleObjects(0, QS_ALLINPUT)",
             [](int) { ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 0, QS_ALLINPUT); }},
            {"GetTickCount", [](int) { ::GetTickCount(); }},
            {"label text built", [&](int) { volatile auto n = ("Copy file " + longPath).size(); (void)n; }},
            {"painter Report (text built, drawn at its rate)",
             [&](int i) { window.Painter().Report("Copy file " + longPath, i); }},
            {"drawing: label and bar set and drawn", [&](int i) {
                 window.Painter().Report("Copy file " + longPath + std::to_string(i), i);
                 window.Painter().PaintNow();
             }},
            {"drawing, then the PeekMessage loop", [&](int i) {
                 window.Painter().Report("Copy file " + longPath + std::to_string(i), i);
                 window.Painter().PaintNow();
                 application.ProcessMessages();
             }},
            {"step: file, Report, PeekMessage loop", [&](int i) {
                 WriteAndRemove(FileName(folder, i));
                 window.Painter().Report("Copy file " + longPath, i);
                 application.ProcessMessages();
             }},
            {"step: file, Report, ProcessMessagesAfterItem", [&](int i) {
                 WriteAndRemove(FileName(folder, i));
                 window.Painter().Report("Copy file " + longPath, i);
                 application.ProcessMessagesAfterItem();
             }},
        };
        for (int round = 0; round < kRounds; ++round)
            for (Candidate& candidate : candidates) {
                application.ProcessMessages();
                candidate.best = std::min(candidate.best, TimePerCall(candidate, calls));
            }
        ::RemoveDirectoryA(folder.c_str());

        const double yardstick = candidates.front().best;
        std::printf("%-48s %12s %14s\n", "per call (best of 5 rounds)", "microseconds", "ratio to file");
        for (const Candidate& candidate : candidates)
            std::printf("%-48s %12.2f %14.3f\n", candidate.name, candidate.best * 1e6, candidate.best / yardstick);
    } catch (const Exception& error) {
        std::fprintf(stderr, "pump_cost_bench: %s: %s\n", error.TypeName(), error.Message().c_str());
        return 1;
    }
    return 0;
}
