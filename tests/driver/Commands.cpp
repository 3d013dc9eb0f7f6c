#include "Commands.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <optional>

#include "Capture.h"
#include "Input.h"
#include "Picker.h"
#include "WindowFind.h"

namespace driver {

namespace {

using Handler = void (*)(Context&, const Options&);

struct Command {
    const char* name;
    const char* synopsis;
    std::vector<OptionRule> options;
    Handler handler;
    const char* help;
};

// Option groups shared by many commands.
const std::vector<OptionRule> kWindowOptions = {
    {"title", true},  {"title-contains", true}, {"class", true},   {"pid", true},
    {"hwnd", true},   {"hidden", false},        {"any-process", false}, {"timeout", true},
};
const std::vector<OptionRule> kControlOptions = {
    {"id", true}, {"text", true}, {"control-class", true}, {"index", true}, {"control", true},
};

std::vector<OptionRule> Join(std::initializer_list<std::vector<OptionRule>> groups) {
    std::vector<OptionRule> all;
    for (const auto& group : groups) all.insert(all.end(), group.begin(), group.end());
    return all;
}

void Print(const std::string& line) {
    std::fputs((line + "\n").c_str(), stdout);
    std::fflush(stdout);
}

std::string Flag(bool value) { return value ? "1" : "0"; }

std::string RectText(const RECT& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
           std::to_string(r.bottom);
}

HWND AsHandle(long long value) { return reinterpret_cast<HWND>(static_cast<UINT_PTR>(value)); }

double TimeoutOf(const Context& context, const Options& options) {
    return options.GetSeconds("timeout").value_or(context.timeout);
}

std::string Seconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%g s", seconds);
    return text;
}

// ---- resolving windows and controls --------------------------------------

// A wait for a window of a kind (a class, a message box) keeps to the program
// that was started or attached: in any process it can be another window. A
// listing shows what there is and may look everywhere.
enum class Search { Wait, Listing };

WindowSelector SelectorFrom(const Context& context, const Options& options, const WindowSelector& fallback,
                            Search search = Search::Wait) {
    WindowSelector s;
    if (auto v = options.GetInteger("hwnd")) s.handle = AsHandle(*v);
    s.title = options.Get("title");
    s.titleContains = options.Get("title-contains");
    s.className = options.Get("class");
    if (auto v = options.GetInteger("pid")) s.processId = static_cast<DWORD>(*v);
    if (s.Empty()) {
        if (!fallback.Empty()) s = fallback;
        else if (context.current && ::IsWindow(*context.current)) s.handle = *context.current;
    }
    s.includeHidden = options.Has("hidden");
    const bool anyProcess = options.Has("any-process") || options.Has("pid") || s.handle;
    if (!anyProcess && context.processId) s.programId = context.processId;
    if (search == Search::Wait && s.NamesOnlyAKind())
        throw UsageError("no program was started or attached, so " + s.Describe() +
                         " can be any program's: name the window (--title, --hwnd) or its process (--pid)");
    return s;
}

bool NamesWindow(const Options& options) {
    for (const char* name : {"title", "title-contains", "class", "pid", "hwnd"})
        if (options.Has(name)) return true;
    return false;
}

// What a wait for a window to go means: the window named, or else the one the
// last step used, even when it has gone already.
WindowSelector GoneSelector(const Context& context, const Options& options) {
    if (NamesWindow(options)) return SelectorFrom(context, options, {});
    if (!context.current)
        throw UsageError("wants a window: name it, or use it in a step before (a wait for nothing cannot fail)");
    WindowSelector s;
    s.handle = *context.current;
    s.includeHidden = options.Has("hidden");
    return s;
}

ControlSelector ControlFrom(const Options& options) {
    ControlSelector s;
    if (auto v = options.GetInteger("control")) s.handle = AsHandle(*v);
    if (auto v = options.GetInteger("id")) s.id = static_cast<int>(*v);
    s.text = options.Get("text");
    s.className = options.Get("control-class");
    if (auto v = options.GetInteger("index")) s.index = static_cast<int>(*v);
    return s;
}

struct Target {
    HWND top = nullptr;
    HWND control = nullptr;  // null when no control was asked for
    HWND Subject() const { return control ? control : top; }
};

// One look, no waiting: the window and, when asked for, the control.
bool TryResolve(const WindowSelector& window, const ControlSelector& control, Target& target) {
    target = {};
    const std::vector<HWND> found = FindTopWindows(window);
    if (found.empty()) return false;
    target.top = found.front();
    if (control.Empty()) return true;
    target.control = FindControl(target.top, control);
    return target.control != nullptr;
}

enum class ControlUse { None, Optional, Required };

Target Resolve(Context& context, const Options& options, ControlUse use, const WindowSelector& fallback = {}) {
    const WindowSelector window = SelectorFrom(context, options, fallback);
    const ControlSelector control = use == ControlUse::None ? ControlSelector{} : ControlFrom(options);
    if (use == ControlUse::Required && control.Empty())
        throw UsageError("name the control: --id, --text, --control-class or --control");
    Target target;
    const double timeout = TimeoutOf(context, options);
    if (!WaitUntil(timeout, [&] { return TryResolve(window, control, target); })) {
        if (!target.top) throw CommandFailed("no " + window.Describe() + " within " + Seconds(timeout));
        throw CommandFailed("no " + control.Describe() + " in window " + HandleText(target.top) + " within " +
                            Seconds(timeout));
    }
    context.current = target.top;
    return target;
}

// Polls `holds` (the target resolved afresh each time) until it is true or
// the time-out passes; then fails with `describe()` of the last state seen.
// A `quick` holds (a style bit, no message to the program) is also asked of
// the target last resolved between polls, so the wait ends soon after the
// change.
void Expect(Context& context, const Options& options, ControlUse use, const WindowSelector& fallback,
            const std::function<bool(const Target&)>& holds, const std::function<std::string(const Target&)>& describe,
            bool quick = false) {
    const WindowSelector window = SelectorFrom(context, options, fallback);
    const ControlSelector control = use == ControlUse::None ? ControlSelector{} : ControlFrom(options);
    if (use == ControlUse::Required && control.Empty())
        throw UsageError("name the control: --id, --text, --control-class or --control");
    Target target;
    bool resolved = false;
    const double timeout = TimeoutOf(context, options);
    const auto fresh = [&] {
        resolved = TryResolve(window, control, target);
        return resolved && holds(target);
    };
    const auto same = [&] { return resolved && ::IsWindow(target.Subject()) && holds(target); };
    const bool met = quick ? WaitUntil(timeout, fresh, same) : WaitUntil(timeout, fresh);
    if (resolved) context.current = target.top;
    if (met) return;
    if (!target.top) throw CommandFailed("no " + window.Describe() + " within " + Seconds(timeout));
    if (!resolved)
        throw CommandFailed("no " + control.Describe() + " in window " + HandleText(target.top) + " within " +
                            Seconds(timeout));
    throw CommandFailed(describe(target) + " (waited " + Seconds(timeout) + ")");
}

std::string Who(const Target& t) {
    return (t.control ? "control " : "window ") + HandleText(t.Subject());
}

Delivery DeliveryOf(const Options& options) { return options.Has("post") ? Delivery::Posted : Delivery::Real; }

// ---- message boxes and pickers ----------------------------------------------

const WindowSelector kDialogWindow = [] {
    WindowSelector s;
    s.className = "#32770";
    return s;
}();
const WindowSelector kPickerWindow = [] {
    WindowSelector s = kDialogWindow;
    s.hasControlClass = "SysTreeView32";
    return s;
}();

bool IsIconStatic(HWND control) {
    return ClassOf(control) == "Static" && (::GetWindowLongA(control, GWL_STYLE) & SS_TYPEMASK) == SS_ICON;
}

struct BoxContent {
    std::string title, text, icon;
    std::vector<std::string> buttons;
};

// `iconWait`: read the icon, waiting up to that long for it to be painted.
BoxContent ReadBox(HWND box, std::optional<double> iconWait) {
    BoxContent content{TitleOf(box), {}, "none", {}};
    for (HWND child : Descendants(box)) {
        if (!::IsWindowVisible(child)) continue;
        const std::string cls = ClassOf(child);
        if (IsIconStatic(child)) {
            if (iconWait) content.icon = RecogniseIcon(child, *iconWait);
        } else if (cls == "Static") {
            const std::string text = WindowText(child);
            if (!text.empty()) content.text += (content.text.empty() ? "" : "\n") + text;
        } else if (cls == "Button") {
            content.buttons.push_back(StripAccessMarker(WindowText(child)));
        }
    }
    return content;
}

std::string JoinList(const std::vector<std::string>& items) {
    std::string out;
    for (const std::string& item : items) out += (out.empty() ? "" : ",") + item;
    return out;
}

HWND TreeOf(HWND picker) {
    for (HWND child : Descendants(picker))
        if (ClassOf(child) == "SysTreeView32") return child;
    throw CommandFailed("window " + HandleText(picker) + " has no tree view");
}

// The picker shows itself before it has filled its tree (and may select
// the starting folder later still), so its commands wait for the items.
void WaitForTreeItems(RemoteTree& tree, double timeout, HWND picker) {
    if (!WaitUntil(timeout, [&] { return !tree.Children(nullptr).empty(); }))
        throw CommandFailed("the picker " + HandleText(picker) + " shows no folders after " + Seconds(timeout));
}

HWND ButtonById(HWND top, int id) {
    ControlSelector s;
    s.id = id;
    s.className = "Button";
    HWND button = FindControl(top, s);
    if (!button) throw CommandFailed("window " + HandleText(top) + " has no button with id " + std::to_string(id));
    return button;
}

void PrintTree(RemoteTree& tree, HTREEITEM parent, int depth, int expandTo) {
    for (HTREEITEM item : tree.Children(parent)) {
        if (depth < expandTo) tree.Expand(item);
        const bool expanded = tree.IsExpanded(item);
        Print(std::string(static_cast<std::size_t>(depth) * 2, ' ') + Quote(tree.Label(item)) +
              (expanded ? " expanded" : "") + (tree.Selected() == item ? " selected" : ""));
        if (expanded) PrintTree(tree, item, depth + 1, expandTo);
    }
}

// ---- the handlers -----------------------------------------------------------

void OnHelp(Context&, const Options& o) { PrintHelp(o.Positional().empty() ? "" : o.Positional()[0]); }

void OnEcho(Context&, const Options& o) {
    std::string line;
    for (const std::string& word : o.Positional()) line += (line.empty() ? "" : " ") + word;
    Print(line);
}

void OnSleep(Context&, const Options& o) {
    if (o.Positional().size() != 1) throw UsageError("sleep wants the number of seconds");
    Options seconds;
    seconds.Set("seconds", o.Positional()[0]);
    ::Sleep(static_cast<DWORD>(*seconds.GetSeconds("seconds") * 1000));
}

void OnClock(Context&, const Options&) {
    LARGE_INTEGER frequency, now;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&now);
    char text[48];
    std::snprintf(text, sizeof text, "clock=%.4f", double(now.QuadPart) / double(frequency.QuadPart));
    Print(text);
}

void OnSetTimeout(Context& c, const Options& o) {
    if (o.Positional().size() != 1) throw UsageError("set-timeout wants the number of seconds");
    Options seconds;
    seconds.Set("seconds", o.Positional()[0]);
    c.timeout = *seconds.GetSeconds("seconds");
}

std::string QuoteArgument(const std::string& argument) {
    if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos) return argument;
    std::string out = "\"";
    for (char ch : argument) out += ch == '"' ? std::string("\\\"") : std::string(1, ch);
    return out + "\"";
}

void OnStart(Context& c, const Options& o) {
    if (o.Positional().empty()) throw UsageError("start wants the program to run");
    std::string commandLine;
    for (const std::string& word : o.Positional()) commandLine += (commandLine.empty() ? "" : " ") + QuoteArgument(word);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    const auto cwd = o.Get("cwd");
    if (!::CreateProcessA(o.Positional()[0].c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          cwd ? cwd->c_str() : nullptr, &startup, &info))
        throw CommandFailed("cannot start " + o.Positional()[0] + " (error " + std::to_string(::GetLastError()) + ")");
    ::CloseHandle(info.hThread);
    c.process.reset(info.hProcess);
    c.processId = info.dwProcessId;
    c.current.reset();
    Print("pid=" + std::to_string(info.dwProcessId));
}

// A program started by another one (a working copy, a second instance) is
// waited for through the process behind its window.
void OnAttach(Context& c, const Options& o) {
    const Target t = Resolve(c, o, ControlUse::None);
    const DWORD pid = ProcessOf(t.top);
    UniqueKernelHandle process(::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_TERMINATE, FALSE, pid));
    if (!process) throw CommandFailed("cannot open process " + std::to_string(pid) + " (error " + std::to_string(::GetLastError()) + ")");
    c.process = std::move(process);
    c.processId = pid;
    Print("pid=" + std::to_string(pid));
}

DWORD WaitExit(Context& c, const Options& o) {
    if (!c.process) throw CommandFailed("no program was started");
    const double timeout = TimeoutOf(c, o);
    if (::WaitForSingleObject(c.process.get(), static_cast<DWORD>(timeout * 1000)) != WAIT_OBJECT_0)
        throw CommandFailed("process " + std::to_string(c.processId) + " still runs after " + Seconds(timeout));
    DWORD code = 0;
    ::GetExitCodeProcess(c.process.get(), &code);
    return code;
}

void OnWaitExit(Context& c, const Options& o) { Print("exit-code=" + std::to_string(WaitExit(c, o))); }

void OnExpectExitCode(Context& c, const Options& o) {
    if (o.Positional().size() != 1) throw UsageError("expect-exit-code wants the expected code");
    const auto wanted = ParseInteger(o.Positional()[0]);
    if (!wanted) throw UsageError("expect-exit-code wants a number");
    const DWORD code = WaitExit(c, o);
    if (code != static_cast<DWORD>(*wanted))
        throw CommandFailed("exit code is " + std::to_string(code) + ", wanted " + std::to_string(*wanted));
}

void OnKill(Context& c, const Options&) {
    if (!c.process) throw CommandFailed("no program was started");
    ::TerminateProcess(c.process.get(), 255);
    ::WaitForSingleObject(c.process.get(), 5000);
}

void OnListWindows(Context& c, const Options& o) {
    WindowSelector s = SelectorFrom(c, o, {}, Search::Listing);
    if (!o.Has("hwnd") && c.current && s.handle == *c.current) s.handle.reset();  // list all, not the last one
    for (HWND window : FindTopWindows(s)) {
        RECT rect{};
        ::GetWindowRect(window, &rect);
        Print("hwnd=" + HandleText(window) + " pid=" + std::to_string(ProcessOf(window)) + " class=" +
              Quote(ClassOf(window)) + " title=" + Quote(TitleOf(window)) + " visible=" +
              Flag(::IsWindowVisible(window)) + " enabled=" + Flag(::IsWindowEnabled(window)) + " rect=" +
              RectText(rect) + " owner=" + HandleText(::GetWindow(window, GW_OWNER)));
    }
}

void OnWaitWindow(Context& c, const Options& o) {
    const Target t = Resolve(c, o, ControlUse::None);
    Print("hwnd=" + HandleText(t.top) + " pid=" + std::to_string(ProcessOf(t.top)) + " class=" + Quote(ClassOf(t.top)) +
          " title=" + Quote(TitleOf(t.top)));
}

void WaitGone(const WindowSelector& s, double timeout) {
    if (!WaitUntil(timeout, [&] { return FindTopWindows(s).empty(); }))
        throw CommandFailed(s.Describe() + " is still there after " + Seconds(timeout));
}

void OnWaitGone(Context& c, const Options& o) { WaitGone(GoneSelector(c, o), TimeoutOf(c, o)); }

// No time proves that a window will not come; an event does. Without
// --until-exit the script has shown one already (the program's next state),
// so none must be left now; with it, none may appear until the program ends.
void OnExpectNoWindow(Context& c, const Options& o) {
    const WindowSelector s = GoneSelector(c, o);
    const double timeout = TimeoutOf(c, o);
    if (!o.Has("until-exit")) return WaitGone(s, timeout);
    if (!c.process) throw UsageError("--until-exit wants a program: start or attach one");
    std::vector<HWND> found;
    const bool ended = WaitUntil(timeout, [&] {
        // The end is read first: a window still there after it was there at it.
        const bool gone = ::WaitForSingleObject(c.process.get(), 0) == WAIT_OBJECT_0;
        found = FindTopWindows(s);
        return gone || !found.empty();
    });
    if (!found.empty())
        throw CommandFailed(s.Describe() + " appeared: " + HandleText(found.front()) + " " +
                            Quote(TitleOf(found.front())));
    if (!ended) throw CommandFailed("process " + std::to_string(c.processId) + " still runs after " + Seconds(timeout));
}

void OnControls(Context& c, const Options& o) {
    const Target t = Resolve(c, o, ControlUse::None);
    const HWND focus = FocusOf(t.top);
    for (HWND child : Descendants(t.top))
        Print("hwnd=" + HandleText(child) + " id=" + std::to_string(::GetDlgCtrlID(child)) + " class=" +
              Quote(ClassOf(child)) + " text=" + Quote(WindowText(child)) + " rect=" +
              RectText(RectInClientOf(t.top, child)) + " visible=" + Flag(::IsWindowVisible(child)) + " enabled=" +
              Flag(::IsWindowEnabled(child)) + " focus=" + Flag(child == focus));
}

void OnGetText(Context& c, const Options& o) { Print(WindowText(Resolve(c, o, ControlUse::Optional).Subject())); }

void OnSetText(Context& c, const Options& o) {
    const auto value = o.Get("value");
    if (!value) throw UsageError("set-text wants --value");
    const Target t = Resolve(c, o, ControlUse::Optional);
    if (!SetWindowTextTo(t.Subject(), *value)) throw CommandFailed(Who(t) + " did not take the text");
}

Options WithTextFromPositional(const Options& o) {
    Options copy = o;
    if (!o.Positional().empty()) {
        if (o.Has("text")) throw UsageError("give the control's text once");
        copy.Set("text", o.Positional()[0]);
    }
    return copy;
}

void OnClick(Context& c, const Options& given) {
    const Options o = WithTextFromPositional(given);
    const Target t = Resolve(c, o, ControlUse::Required);
    if (!::IsWindowEnabled(t.control)) throw CommandFailed(Who(t) + " is disabled");
    if (o.Has("mouse")) ClickByMouse(t.top, t.control);
    else ClickByMessage(t.control);
}

void OnKeys(Context& c, const Options& o) {
    if (o.Positional().empty()) throw UsageError("keys wants at least one key, such as Enter or Alt+F4");
    std::vector<KeyStroke> keys;
    for (const std::string& word : o.Positional()) keys.push_back(ParseKey(word));
    PressKeys(Resolve(c, o, ControlUse::None).top, keys, DeliveryOf(o));
}

void OnType(Context& c, const Options& o) {
    if (o.Positional().size() != 1) throw UsageError("type wants one text (quote it)");
    TypeText(Resolve(c, o, ControlUse::None).top, o.Positional()[0], DeliveryOf(o));
}

void OnClose(Context& c, const Options& o) {
    ::PostMessageA(Resolve(c, o, ControlUse::None).top, WM_SYSCOMMAND, SC_CLOSE, 0);
}

// MSG [WPARAM [LPARAM]] as numbers (decimal or 0x...); pointers cannot cross processes.
struct MessageWords {
    UINT message;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};
MessageWords MessageFrom(const Options& o, const char* command) {
    const auto& words = o.Positional();
    if (words.empty() || words.size() > 3) throw UsageError(std::string(command) + " wants MSG [WPARAM [LPARAM]]");
    long long values[3] = {0, 0, 0};
    for (std::size_t i = 0; i < words.size(); ++i) {
        const auto value = ParseInteger(words[i]);
        if (!value) throw UsageError(std::string(command) + " wants numbers, not \"" + words[i] + "\"");
        values[i] = *value;
    }
    return {static_cast<UINT>(values[0]), static_cast<WPARAM>(values[1]), static_cast<LPARAM>(values[2])};
}

void OnSendMessage(Context& c, const Options& o) {
    const MessageWords m = MessageFrom(o, "send-message");
    const Target t = Resolve(c, o, ControlUse::Optional);
    const auto timeout = static_cast<UINT>(TimeoutOf(c, o) * 1000);
    DWORD_PTR result = 0;
    if (!::SendMessageTimeoutA(t.Subject(), m.message, m.wParam, m.lParam, SMTO_ABORTIFHUNG, timeout, &result))
        throw CommandFailed(Who(t) + " did not answer message " + std::to_string(m.message));
    const auto value = static_cast<long long>(static_cast<LRESULT>(result));
    Print("result=" + std::to_string(value));
    if (const auto wanted = o.GetInteger("expect"); wanted && *wanted != value)
        throw CommandFailed(Who(t) + " answered " + std::to_string(value) + ", wanted " + std::to_string(*wanted));
}

void OnPostMessage(Context& c, const Options& o) {
    const MessageWords m = MessageFrom(o, "post-message");
    const Target t = Resolve(c, o, ControlUse::Optional);
    if (!::PostMessageA(t.Subject(), m.message, m.wParam, m.lParam))
        throw CommandFailed("cannot post to " + Who(t));
}

void OnActivate(Context& c, const Options& o) {
    const Target t = Resolve(c, o, ControlUse::None);
    if (!BringToFront(t.top, TimeoutOf(c, o))) throw CommandFailed(Who(t) + " did not come to the front");
}

// What the screen shows of the target now.
Image Picture(const Target& t) {
    RECT rect{};
    ::GetWindowRect(t.Subject(), &rect);
    return CaptureScreen(rect);
}

bool SamePicture(const Image& a, const Image& b) {
    return a.width == b.width && a.height == b.height && a.pixels == b.pixels;
}

// The picture once two looks 100 ms apart agree: a window's drawing reaches
// the screen a moment after it is made.
Image SteadyPicture(const std::function<Image()>& look, double timeout, const std::string& what) {
    Image last = look(), now;
    const bool steady = WaitUntil(timeout, [&] {
        ::Sleep(100);
        now = look();
        if (SamePicture(now, last)) return true;
        last = now;
        return false;
    });
    if (!steady) throw CommandFailed("the picture of " + what + " did not settle within " + Seconds(timeout));
    return now;
}
Image SteadyPicture(const Target& t, double timeout) {
    return SteadyPicture([&] { return Picture(t); }, timeout, Who(t));
}

// A picture that a test looks at shows the window as drawn, not half way.
void OnScreenshot(Context& c, const Options& o) {
    const auto out = o.Get("out");
    if (!out) throw UsageError("screenshot wants --out FILE.bmp");
    RECT rect{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    std::string what = "the screen";
    if (!o.Has("screen") || NamesWindow(o) || !ControlFrom(o).Empty()) {
        const Target t = Resolve(c, o, ControlUse::Optional);
        if (!o.Has("screen")) {
            what = Who(t);
            if (o.Has("client")) {
                ::GetClientRect(t.Subject(), &rect);
                ::MapWindowPoints(t.Subject(), HWND_DESKTOP, reinterpret_cast<POINT*>(&rect), 2);
            } else {
                ::GetWindowRect(t.Subject(), &rect);
            }
        }
    }
    const Image image = SteadyPicture([&] { return CaptureScreen(rect); }, TimeoutOf(c, o), what);
    SaveBitmap(image, *out);
    Print("saved " + *out + " " + std::to_string(image.width) + "x" + std::to_string(image.height));
}

std::size_t PixelsApart(const Image& a, const Image& b) {
    if (a.width != b.width || a.height != b.height) return std::max(a.pixels.size(), b.pixels.size());
    std::size_t apart = 0;
    for (std::size_t i = 0; i < a.pixels.size(); ++i) apart += a.pixels[i] != b.pixels[i];
    return apart;
}

void OnExpectRepaints(Context& c, const Options& o) {
    const long long wanted = o.GetInteger("count").value_or(1);
    if (wanted < 1) throw UsageError("expect-repaints wants --count of 1 or more");
    const Target t = Resolve(c, o, ControlUse::Optional);
    const double timeout = TimeoutOf(c, o);
    Image last = Picture(t);
    long long changes = 0;
    // Looks every 50 ms: a display that draws at a bounded rate shows a new
    // picture at most every few looks.
    const bool met = WaitUntil(timeout, [&] {
        Image now = Picture(t);
        if (!SamePicture(now, last)) {
            ++changes;
            last = std::move(now);
        }
        return changes >= wanted;
    });
    Print("changes=" + std::to_string(changes));
    if (!met)
        throw CommandFailed("what the screen shows of " + Who(t) + " changed " + std::to_string(changes) +
                            " time(s) in " + Seconds(timeout) + ", wanted " + std::to_string(wanted));
}

void OnExpectDrawn(Context& c, const Options& o) {
    const Target t = Resolve(c, o, ControlUse::Optional);
    const double timeout = TimeoutOf(c, o);
    const Image shown = SteadyPicture(t, timeout);
    // The window paints itself and its children afresh from what they hold.
    ::RedrawWindow(t.Subject(), nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    const Image repainted = SteadyPicture(t, timeout);
    const std::size_t apart = PixelsApart(shown, repainted);
    Print("pixels-apart=" + std::to_string(apart));
    if (apart != 0)
        throw CommandFailed("the screen showed an older picture of " + Who(t) + ": " + std::to_string(apart) +
                            " pixels differ from its repainting");
}

void OnMsgbox(Context& c, const Options& o) {
    const Target t = Resolve(c, o, ControlUse::None, kDialogWindow);
    const BoxContent box = ReadBox(t.top, TimeoutOf(c, o));
    Print("title=" + Quote(box.title));
    Print("text=" + Quote(box.text));
    Print("icon=" + box.icon);
    Print("buttons=" + Quote(JoinList(box.buttons)));
}

void OnMsgboxPress(Context& c, const Options& given) {
    if (given.Positional().size() != 1) throw UsageError("msgbox-press wants the button's text or id");
    Options o = given;
    if (const auto id = ParseInteger(given.Positional()[0])) o.Set("id", std::to_string(*id));
    else o.Set("text", given.Positional()[0]);
    o.Set("control-class", "Button");
    const Target t = Resolve(c, o, ControlUse::Required, kDialogWindow);
    if (o.Has("mouse")) ClickByMouse(t.top, t.control);
    else ClickByMessage(t.control);
    // Every button of a message box closes it; until it has, a search for
    // the next box would find this one again.
    const double timeout = TimeoutOf(c, o);
    if (!WaitUntil(timeout, [&] { return !::IsWindow(t.top) || !::IsWindowVisible(t.top); }))
        throw CommandFailed("message box " + HandleText(t.top) + " is still there " + Seconds(timeout) +
                            " after its button was pressed");
}

void OnExpectMsgbox(Context& c, const Options& o) {
    const bool wantIcon = o.Has("icon");
    Expect(c, o, ControlUse::None, kDialogWindow,
           [&](const Target& t) {
               const BoxContent box = ReadBox(t.top, wantIcon ? std::optional<double>(0) : std::nullopt);
               return (!o.Has("text") || box.text == *o.Get("text")) && (!o.Has("title") || box.title == *o.Get("title")) &&
                      (!o.Has("buttons") || JoinList(box.buttons) == *o.Get("buttons")) &&
                      (!wantIcon || box.icon == *o.Get("icon"));
           },
           [&](const Target& t) {
               const BoxContent box = ReadBox(t.top, wantIcon ? std::optional<double>(0) : std::nullopt);
               return "message box " + HandleText(t.top) + " shows title=" + Quote(box.title) + " text=" +
                      Quote(box.text) + " buttons=" + Quote(JoinList(box.buttons)) +
                      (wantIcon ? " icon=" + box.icon : "");
           });
}

void OnPicker(Context& c, const Options& o) {
    const Target t = Resolve(c, o, ControlUse::None, kPickerWindow);
    RemoteTree tree(TreeOf(t.top));
    WaitForTreeItems(tree, TimeoutOf(c, o), t.top);
    const BoxContent box = ReadBox(t.top, std::nullopt);
    const HTREEITEM selected = tree.Selected();
    Print("title=" + Quote(box.title));
    Print("prompt=" + Quote(box.text));
    Print("selected=" + Quote(selected ? tree.LabelPath(selected) : ""));
    Print("ok-enabled=" + Flag(::IsWindowEnabled(ButtonById(t.top, IDOK))));
}

void OnPickerTree(Context& c, const Options& o) {
    const Target t = Resolve(c, o, ControlUse::None, kPickerWindow);
    RemoteTree tree(TreeOf(t.top));
    WaitForTreeItems(tree, TimeoutOf(c, o), t.top);
    PrintTree(tree, nullptr, 0, static_cast<int>(o.GetInteger("depth").value_or(0)));
}

void OnPickerSelect(Context& c, const Options& o) {
    if (o.Positional().size() != 1) throw UsageError("picker-select wants one path of labels, such as C:\\windows");
    const Target t = Resolve(c, o, ControlUse::None, kPickerWindow);
    RemoteTree tree(TreeOf(t.top));
    std::string missing;
    HTREEITEM item = nullptr;
    const double timeout = TimeoutOf(c, o);
    // Each try expands what the last one left unfilled, so the path shows
    // up as soon as the picker has listed the folders on the way to it.
    if (!WaitUntil(timeout, [&] { return (item = tree.FindPath(o.Positional()[0], missing)) != nullptr; }))
        throw CommandFailed("the picker shows no folder \"" + missing + "\" on the way to " + o.Positional()[0] +
                            " after " + Seconds(timeout));
    if (!tree.Select(item)) throw CommandFailed("the picker did not select " + o.Positional()[0]);
    Print("selected=" + Quote(tree.LabelPath(item)));
}

void PressPickerButton(Context& c, const Options& o, int id) {
    const Target t = Resolve(c, o, ControlUse::None, kPickerWindow);
    const HWND button = ButtonById(t.top, id);
    if (!WaitUntil(TimeoutOf(c, o), [button] { return ::IsWindowEnabled(button) != FALSE; }))
        throw CommandFailed("the picker's button " + std::to_string(id) + " stays disabled");
    if (o.Has("mouse")) ClickByMouse(t.top, button);
    else ClickByMessage(button);
}

void OnPickerOk(Context& c, const Options& o) { PressPickerButton(c, o, IDOK); }
void OnPickerCancel(Context& c, const Options& o) { PressPickerButton(c, o, IDCANCEL); }

void OnExpectWindow(Context& c, const Options& o) { Resolve(c, o, ControlUse::None); }

void OnExpectText(Context& c, const Options& o) {
    const auto equals = o.Get("equals"), contains = o.Get("contains"), starts = o.Get("starts-with");
    if (!equals && !contains && !starts) throw UsageError("expect-text wants --equals, --contains or --starts-with");
    Expect(c, o, ControlUse::Optional, {},
           [&](const Target& t) {
               const std::string text = WindowText(t.Subject());
               return (!equals || text == *equals) && (!contains || text.find(*contains) != std::string::npos) &&
                      (!starts || text.rfind(*starts, 0) == 0);
           },
           [&](const Target& t) {
               return Who(t) + " shows " + Quote(WindowText(t.Subject())) + ", wanted " +
                      (equals ? Quote(*equals) : contains ? "one containing " + Quote(*contains)
                                                          : "one starting with " + Quote(*starts));
           });
}

void OnExpectEnabled(Context& c, const Options& o) {
    Expect(c, o, ControlUse::Optional, {}, [](const Target& t) { return ::IsWindowEnabled(t.Subject()) != FALSE; },
           [](const Target& t) { return Who(t) + " is disabled, wanted enabled"; }, true);
}
void OnExpectDisabled(Context& c, const Options& o) {
    Expect(c, o, ControlUse::Optional, {}, [](const Target& t) { return ::IsWindowEnabled(t.Subject()) == FALSE; },
           [](const Target& t) { return Who(t) + " is enabled, wanted disabled"; }, true);
}
void OnExpectVisible(Context& c, const Options& o) {
    Options all = o;
    all.Set("hidden", "");  // the window itself may be what is still hidden
    Expect(c, all, ControlUse::Optional, {}, [](const Target& t) { return ::IsWindowVisible(t.Subject()) != FALSE; },
           [](const Target& t) { return Who(t) + " is hidden, wanted visible"; }, true);
}
void OnExpectHidden(Context& c, const Options& o) {
    Options all = o;
    all.Set("hidden", "");
    Expect(c, all, ControlUse::Optional, {}, [](const Target& t) { return ::IsWindowVisible(t.Subject()) == FALSE; },
           [](const Target& t) { return Who(t) + " is visible, wanted hidden"; }, true);
}

void OnExpectFocus(Context& c, const Options& o) {
    Expect(c, o, ControlUse::Required, {}, [](const Target& t) { return FocusOf(t.top) == t.control; },
           [](const Target& t) {
               const HWND focus = FocusOf(t.top);
               return "the focus is on " + (focus ? HandleText(focus) + " (id " + std::to_string(::GetDlgCtrlID(focus)) +
                                                        ", " + Quote(WindowText(focus)) + ")"
                                                  : std::string("nothing")) +
                      ", wanted " + HandleText(t.control);
           });
}

void ExpectFile(Context& c, const Options& o, bool wanted) {
    if (o.Positional().size() != 1) throw UsageError("wants one file name");
    const std::string& path = o.Positional()[0];
    const double timeout = TimeoutOf(c, o);
    if (!WaitUntil(timeout, [&] { return (::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) == wanted; }))
        throw CommandFailed(path + (wanted ? " does not exist" : " still exists") + " after " + Seconds(timeout));
}
void OnExpectFile(Context& c, const Options& o) { ExpectFile(c, o, true); }
void OnExpectNoFile(Context& c, const Options& o) { ExpectFile(c, o, false); }

const std::vector<OptionRule> kNone;
const std::vector<OptionRule> kTimeout = {{"timeout", true}};
const std::vector<OptionRule> kDelivery = {{"post", false}};
const std::vector<OptionRule> kMouse = {{"mouse", false}};

const std::vector<Command>& Commands() {
    static const std::vector<Command> commands = {
        {"help", "help [COMMAND]", kNone, OnHelp, "Lists the commands, or the options of one."},
        {"echo", "echo TEXT...", kNone, OnEcho, "Prints its words."},
        {"sleep", "sleep SECONDS", kNone, OnSleep, "Waits."},
        {"clock", "clock", kNone, OnClock,
         "Prints clock=SECONDS, a steady clock: the difference of two is the time between them."},
        {"set-timeout", "set-timeout SECONDS", kNone, OnSetTimeout,
         "Sets the time-out of the following waits (default 60 s)."},
        {"start", "start PROGRAM [ARG...] [--cwd DIR]", {{"cwd", true}}, OnStart,
         "Starts a program; later window searches keep to its process unless --any-process."},
        {"attach", "attach [WINDOW]", kWindowOptions, OnAttach,
         "Takes the process that owns the window as the program wait-exit, expect-exit-code and kill work on."},
        {"wait-exit", "wait-exit [--timeout S]", kTimeout, OnWaitExit, "Waits for the started program to end; prints exit-code=N."},
        {"expect-exit-code", "expect-exit-code N [--timeout S]", kTimeout, OnExpectExitCode,
         "Waits for the started program to end with exit code N."},
        {"kill", "kill", kNone, OnKill, "Ends the started program."},
        {"list-windows", "list-windows [WINDOW]", kWindowOptions, OnListWindows, "Lists matching top-level windows."},
        {"wait-window", "wait-window [WINDOW]", kWindowOptions, OnWaitWindow,
         "Waits for a matching window, prints it and makes it the current window."},
        {"find-window", "find-window [WINDOW]", kWindowOptions, OnWaitWindow, "The same as wait-window."},
        {"wait-gone", "wait-gone [WINDOW]", kWindowOptions, OnWaitGone,
         "Waits until no window matches; without WINDOW, until the window the last step used has gone."},
        {"controls", "controls [WINDOW]", kWindowOptions, OnControls,
         "Lists every control: id, class, text, rectangle in the window's client area, visible, enabled, focus."},
        {"get-text", "get-text [WINDOW] [CONTROL]", Join({kWindowOptions, kControlOptions}), OnGetText,
         "Prints the text of the window or control."},
        {"set-text", "set-text [WINDOW] [CONTROL] --value TEXT", Join({kWindowOptions, kControlOptions, {{"value", true}}}),
         OnSetText, "Sets the text (WM_SETTEXT)."},
        {"click", "click [WINDOW] (TEXT | CONTROL) [--mouse]", Join({kWindowOptions, kControlOptions, kMouse}), OnClick,
         "Clicks a button: BM_CLICK, or a real mouse click with --mouse."},
        {"keys", "keys [WINDOW] KEY... [--post]", Join({kWindowOptions, kDelivery}), OnKeys,
         "Presses keys (Enter, Escape, Tab, Shift+Tab, Alt+F4, Alt+N, Space, F1, Up, a ...)."},
        {"type", "type [WINDOW] TEXT [--post]", Join({kWindowOptions, kDelivery}), OnType,
         "Types characters into the control with the focus."},
        {"close", "close [WINDOW]", kWindowOptions, OnClose, "Asks the window to close (WM_SYSCOMMAND SC_CLOSE)."},
        {"activate", "activate [WINDOW]", kWindowOptions, OnActivate, "Brings the window to the front."},
        {"send-message", "send-message [WINDOW] [CONTROL] MSG [WPARAM [LPARAM]] [--expect N]",
         Join({kWindowOptions, kControlOptions, {{"expect", true}}}), OnSendMessage,
         "Sends a message (numbers only) and prints result=N; --expect fails on another result."},
        {"post-message", "post-message [WINDOW] [CONTROL] MSG [WPARAM [LPARAM]]",
         Join({kWindowOptions, kControlOptions}), OnPostMessage, "Posts a message (numbers only)."},
        {"screenshot", "screenshot [WINDOW] [CONTROL] --out FILE.bmp [--client] [--screen]",
         Join({kWindowOptions, kControlOptions, {{"out", true}, {"client", false}, {"screen", false}}}), OnScreenshot,
         "Saves what the screen shows of the window or control (--client: its client area) or of the whole screen, "
         "once the picture is steady."},
        {"expect-repaints", "expect-repaints [WINDOW] [CONTROL] --count N [--timeout S]",
         Join({kWindowOptions, kControlOptions, {{"count", true}}}), OnExpectRepaints,
         "Expects what the screen shows of the window or control to change N times (looking every 50 ms)."},
        {"expect-drawn", "expect-drawn [WINDOW] [CONTROL] [--timeout S]", Join({kWindowOptions, kControlOptions}),
         OnExpectDrawn,
         "Expects the screen to show the latest state: the steady picture equals the one after a forced repaint."},
        {"msgbox", "msgbox [WINDOW]", kWindowOptions, OnMsgbox,
         "Prints a message box's title, text, icon and buttons."},
        {"msgbox-press", "msgbox-press BUTTON [WINDOW] [--mouse]", Join({kWindowOptions, kMouse}), OnMsgboxPress,
         "Presses a message box's button, named by its text (Yes) or id (6), and waits until the box has gone."},
        {"expect-msgbox", "expect-msgbox [WINDOW] [--text T] [--title T] [--buttons Yes,No] [--icon question]",
         Join({kWindowOptions, {{"text", true}, {"title", true}, {"buttons", true}, {"icon", true}}}), OnExpectMsgbox,
         "Expects a message box showing all that is given."},
        {"picker", "picker [WINDOW]", kWindowOptions, OnPicker,
         "Prints the folder picker's title, prompt, selected item and whether OK is enabled."},
        {"picker-tree", "picker-tree [WINDOW] [--depth N]", Join({kWindowOptions, {{"depth", true}}}), OnPickerTree,
         "Prints the picker's tree as far as it is expanded (or expands it N levels)."},
        {"picker-select", "picker-select PATH [WINDOW]", kWindowOptions, OnPickerSelect,
         "Expands the picker's tree along PATH (labels joined by \\, such as C:\\windows) and selects its end."},
        {"picker-ok", "picker-ok [WINDOW] [--mouse]", Join({kWindowOptions, kMouse}), OnPickerOk, "Presses the picker's OK."},
        {"picker-cancel", "picker-cancel [WINDOW] [--mouse]", Join({kWindowOptions, kMouse}), OnPickerCancel,
         "Presses the picker's Cancel."},
        {"expect-window", "expect-window [WINDOW]", kWindowOptions, OnExpectWindow, "Expects a matching window."},
        {"expect-no-window", "expect-no-window [WINDOW] [--until-exit]", Join({kWindowOptions, {{"until-exit", false}}}),
         OnExpectNoWindow,
         "Expects no matching window (waiting for those there to go); with --until-exit, none to appear until the "
         "program ends."},
        {"expect-text", "expect-text [WINDOW] [CONTROL] (--equals T | --contains T | --starts-with T)",
         Join({kWindowOptions, kControlOptions, {{"equals", true}, {"contains", true}, {"starts-with", true}}}),
         OnExpectText, "Expects the window's or control's text."},
        {"expect-enabled", "expect-enabled [WINDOW] [CONTROL]", Join({kWindowOptions, kControlOptions}), OnExpectEnabled,
         "Expects the window or control to be enabled."},
        {"expect-disabled", "expect-disabled [WINDOW] [CONTROL]", Join({kWindowOptions, kControlOptions}),
         OnExpectDisabled, "Expects the window or control to be disabled."},
        {"expect-visible", "expect-visible [WINDOW] [CONTROL]", Join({kWindowOptions, kControlOptions}), OnExpectVisible,
         "Expects the window or control to be visible."},
        {"expect-hidden", "expect-hidden [WINDOW] [CONTROL]", Join({kWindowOptions, kControlOptions}), OnExpectHidden,
         "Expects the window or control to be hidden."},
        {"expect-focus", "expect-focus [WINDOW] CONTROL", Join({kWindowOptions, kControlOptions}), OnExpectFocus,
         "Expects the control to have the keyboard focus."},
        {"expect-file", "expect-file PATH [--timeout S]", kTimeout, OnExpectFile, "Expects the file or folder to exist."},
        {"expect-no-file", "expect-no-file PATH [--timeout S]", kTimeout, OnExpectNoFile,
         "Expects the file or folder not to exist."},
    };
    return commands;
}

const Command* FindCommand(const std::string& name) {
    for (const Command& command : Commands())
        if (name == command.name) return &command;
    return nullptr;
}

// The command and its options, or UsageError: what a line says is checked
// before anything runs.
const Command& Parse(const std::vector<std::string>& words, Options& options) {
    if (words.empty()) throw UsageError("no command");
    if (words[0] == "script" || words[0] == "serve")
        throw UsageError(words[0] + " runs only from the command line, not inside a script");
    const Command* command = FindCommand(words[0]);
    if (!command) throw UsageError("unknown command \"" + words[0] + "\" (windriver help lists them)");
    options = ParseOptions({words.begin() + 1, words.end()}, command->options);
    if (command->handler != OnListWindows) CheckAnyProcessNamesWindow(options);
    return *command;
}

}  // namespace

void RunCommand(Context& context, const std::vector<std::string>& words) {
    Options options;
    const Command& command = Parse(words, options);
    command.handler(context, options);
}

namespace {
// A failed script leaves nothing running behind it.
int EndStartedProgram(Context& context, int exitCode) {
    if (context.endProgramOnFailure && context.process && ::WaitForSingleObject(context.process.get(), 0) == WAIT_TIMEOUT) {
        ::TerminateProcess(context.process.get(), 255);
        ::WaitForSingleObject(context.process.get(), 5000);
    }
    return exitCode;
}
}  // namespace

int RunScript(Context& context, const std::string& path) {
    std::ifstream file(path);
    if (!file) {
        std::fprintf(stderr, "windriver: cannot read script %s\n", path.c_str());
        return 2;
    }
    context.inScript = true;
    // A script that cannot be right says so before it starts anything.
    std::vector<std::vector<std::string>> lines;
    for (std::string line; std::getline(file, line);) {
        std::vector<std::string> words;
        try {
            words = SplitWords(line);
            if (!words.empty()) {
                Options options;
                Parse(words, options);
            }
        } catch (const UsageError& e) {
            std::fprintf(stderr, "windriver: %s:%d: %s: %s\n", path.c_str(), static_cast<int>(lines.size() + 1),
                         words.empty() ? "" : words[0].c_str(), e.what());
            return 2;
        }
        lines.push_back(std::move(words));
    }
    for (std::size_t index = 0; index < lines.size(); ++index) {
        const std::vector<std::string>& words = lines[index];
        const auto number = static_cast<int>(index + 1);
        if (words.empty()) continue;
        try {
            RunCommand(context, words);
        } catch (const UsageError& e) {
            std::fprintf(stderr, "windriver: %s:%d: %s: %s\n", path.c_str(), number, words.empty() ? "" : words[0].c_str(), e.what());
            return EndStartedProgram(context, 2);
        } catch (const CommandFailed& e) {
            std::fprintf(stderr, "windriver: %s:%d: %s: %s\n", path.c_str(), number, words[0].c_str(), e.what());
            return EndStartedProgram(context, 1);
        }
    }
    return 0;
}

void PrintHelp(const std::string& name) {
    if (name.empty()) {
        Print("usage: windriver COMMAND [OPTIONS]   or   windriver script FILE   or   windriver serve FOLDER");
        Print("WINDOW: --title T --title-contains T --class C --pid N --hwnd H --hidden --any-process --timeout S");
        Print("CONTROL: --id N --text T --control-class C --index N --control H");
        for (const Command& command : Commands()) Print("  " + std::string(command.synopsis));
        return;
    }
    const Command* command = FindCommand(name);
    if (!command) throw UsageError("unknown command \"" + name + "\"");
    Print(std::string(command->synopsis) + "\n  " + command->help);
    std::string options;
    for (const OptionRule& option : command->options)
        options += std::string(options.empty() ? "  options:" : "") + " --" + option.name + (option.takesValue ? " V" : "");
    if (!options.empty()) Print(options);
}

}  // namespace driver
