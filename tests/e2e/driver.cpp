// Drives a running velmoranth.exe from outside as a user would, for the end-to-end tests and ./run: posted messages,
// window queries. Each command line (an argument, or else a line of standard input) gets one answer line, "ok [value]"
// or "error <reason>"; a text up to its first line break. Tokens are split at blanks unless "quoted" (taken as is).
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iomanip>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Args = std::vector<std::string>;
using Result = std::pair<bool, std::string>;  // ok, and the value or the reason

HANDLE program;
DWORD programId, waitMs = 30000;  // a bound that only matters when something fails
HWND mainWindow;

Result ok(const std::string& value = "") { return {true, value}; }

// Why a command fails is thrown, and run() answers it.
template <class T> T need(T found, const char* reason) { return found ? found : throw std::string(reason); }

Args tokenize(const std::string& line)
{
    std::istringstream in(line);
    Args tokens;
    for (std::string token; in >> std::quoted(token, '"', '\0');)  // no escapes: Windows paths keep their backslashes
        tokens.push_back(token);
    return tokens;
}

long long number(const std::string& text) { return std::strtoll(text.c_str(), nullptr, 0); }

template <class Condition> bool poll(Condition done)
{
    for (DWORD start = GetTickCount(); !done(); Sleep(20))
        if (GetTickCount() - start >= waitMs)
            return false;
    return true;
}

// The main window, or a dialog or message box by its caption, of the attached program (of any before that).
HWND programWindow(const char* className, const std::string& caption, bool visibleOnly)
{
    for (HWND w = nullptr; (w = FindWindowExA(nullptr, w, className, caption.c_str()));) {
        DWORD owner = 0;
        GetWindowThreadProcessId(w, &owner);
        if ((owner == programId || programId == 0) && (!visibleOnly || IsWindowVisible(w)))
            return w;
    }
    return nullptr;
}

HWND dialog(const std::string& caption) { return need(programWindow("#32770", caption, true), "no dialog"); }
HWND mainOne() { return need(IsWindow(mainWindow) ? mainWindow : nullptr, "no main window"); }
HWND statusBar() { return need(FindWindowExA(mainOne(), nullptr, STATUSCLASSNAMEA, nullptr), "no status bar"); }
// A control by its id: a child of `parent`, else any window within it (a dialog's pages); null when there is none.
HWND descendant(HWND parent, long long id)
{
    std::pair<long long, HWND> search{id, GetDlgItem(parent, static_cast<int>(id))};
    if (search.second)
        return search.second;
    EnumChildWindows(parent, [](HWND w, LPARAM p) {
        auto& s = *reinterpret_cast<std::pair<long long, HWND>*>(p);
        return GetWindowLongPtrA(w, GWLP_ID) == s.first ? (s.second = w, FALSE) : TRUE;
    }, reinterpret_cast<LPARAM>(&search));
    return search.second;
}

HWND control(HWND parent, const std::string& id) { return need(descendant(parent, number(id)), "no such control"); }

// With a time-out: under Wine a message to a window destroyed before it reads it (a closing box's) is never answered.
LRESULT sendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    DWORD_PTR answer = 0;
    need(SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL, 5000, &answer), "no answer");
    return static_cast<LRESULT>(answer);
}

Result query(HWND control, UINT message) { return ok(std::to_string(sendMessage(control, message, 0, 0))); }

Result textOf(HWND window)
{
    char text[4096] = {};
    sendMessage(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return ok(std::string(text, std::strcspn(text, "\r\n")));
}

Result post(HWND window, long long message, long long wParam, long long lParam)
{
    need(PostMessageA(window, static_cast<UINT>(message), wParam, lParam), "post failed");
    return ok();
}

Result run(const Args& args);

// Each command's name, the fewest arguments it takes and what it does.
const struct { const char* name; std::size_t arguments; Result (*run)(const Args&); } kCommands[] = {
    {"attach", 0, [](const Args&) {  // waits for the main window and for the program to come to its message loop
         programId = 0;  // a program started again after the last one ended
         need(poll([] { return (mainWindow = programWindow("Velmoranth", "Velmoranth", false)) != nullptr; }),
              "no main window");
         GetWindowThreadProcessId(mainWindow, &programId);
         program = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, programId);
         WaitForInputIdle(program, waitMs);  // the window is found while the program is still making it
         return ok(std::to_string(programId)); }},
    {"wait-exit", 0, [](const Args&) {  // answers the exit code
         DWORD code = 0;
         need(WaitForSingleObject(program, waitMs) == WAIT_OBJECT_0, "still running");
         GetExitCodeProcess(program, &code);
         return ok(std::to_string(code)); }},
    {"copies", 0, [](const Args&) {  // how many main windows of the program there are, of all its processes
         int count = 0;
         for (HWND w = nullptr; (w = FindWindowExA(nullptr, w, "Velmoranth", nullptr)); ++count) {}
         return ok(std::to_string(count)); }},
    {"hold", 1, [](const Args& a) {  // <path>: kept open until the driver ends, with a share mode forbidding delete
         return ok(std::to_string(CreateFileA(a[1].c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                              OPEN_EXISTING, 0, nullptr) != INVALID_HANDLE_VALUE)); }},
    {"squat", 1, [](const Args& a) {  // <name>: a mutex made and owned until the driver ends
         return ok(std::to_string(CreateMutexA(nullptr, TRUE, a[1].c_str()) && GetLastError() == 0)); }},
    {"timeout", 1, [](const Args& a) { waitMs = static_cast<DWORD>(number(a[1])); return ok(); }},  // <ms> of waits
    {"wait", 2, [](const Args& a) {  // <expected> <command...>: until the command answers the expected value
         Result got;
         if (poll([&] { return (got = run(Args(a.begin() + 2, a.end()))).first && got.second == a[1]; }))
             return got;
         return Result{false, "timed out; last: " + std::string(got.first ? "ok " : "error ") + got.second}; }},
    {"post-command", 1, [](const Args& a) { return post(mainOne(), WM_COMMAND, number(a[1]), 0); }},  // <id>
    {"post", 3, [](const Args& a) { return post(mainOne(), number(a[1]), number(a[2]), number(a[3])); }},
    {"click", 1, [](const Args& a) {  // <id> [<caption>]: a button of the main window or of a dialog
         return post(control(a.size() > 2 ? dialog(a[2]) : mainOne(), a[1]), BM_CLICK, 0, 0); }},
    {"status", 0, [](const Args&) { return textOf(statusBar()); }},  // its first part
    {"visible", 0, [](const Args& a) {  // [<caption> <id>]: the main window, or a dialog's control
         return ok(IsWindowVisible(a.size() > 2 ? control(dialog(a[1]), a[2]) : mainOne()) ? "1" : "0"); }},
    {"checked", 1, [](const Args& a) { return query(control(mainOne(), a[1]), BM_GETCHECK); }},  // <id>
    {"text", 2, [](const Args& a) { return textOf(control(dialog(a[1]), a[2])); }},  // <caption> <id>
    {"shown", 1, [](const Args& a) { return ok(programWindow("#32770", a[1], true) ? "1" : "0"); }},  // <caption>
    {"box", 1, [](const Args& a) { return textOf(control(dialog(a[1]), "0xFFFF")); }},  // <caption>: the message
    {"press", 2, [](const Args& a) {  // <caption> <ok|cancel|yes|no|id>: to the control's dialog or page, else the dialog
         const char* names[] = {"", "ok", "cancel", "abort", "retry", "ignore", "yes", "no"};  // IDOK to IDNO
         long long named = std::find(names, names + 8, a[2]) - names, id = named < 8 ? named : number(a[2]);
         HWND box = dialog(a[1]), found = descendant(box, id);
         return post(found ? GetParent(found) : box, WM_COMMAND, id, 0); }},
    // <caption> <index>: the tab control's arrow keys, as a user's; the tabs tell the dialog in its own process
    {"page", 2, [](const Args& a) {
         HWND tabs = need(FindWindowExA(dialog(a[1]), nullptr, WC_TABCONTROLA, nullptr), "no tabs");
         for (LRESULT at, i = 0; (at = sendMessage(tabs, TCM_GETCURSEL, 0, 0)) != number(a[2]) && i < 16; ++i)
             sendMessage(tabs, WM_KEYDOWN, at < number(a[2]) ? VK_RIGHT : VK_LEFT, 0);
         return query(tabs, TCM_GETCURSEL); }},
    {"set-text", 3, [](const Args& a) {  // <caption> <id> <text>
         sendMessage(control(dialog(a[1]), a[2]), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(a[3].c_str()));
         return ok(); }},
    // <count>, by hand: a null message every 25 ms; the longest wait for an answer, in ms, but the first (dear in Wine)
    {"worst-answer", 1, [](const Args& a) {
         DWORD worst = 0;
         for (long long i = 0; i <= number(a[1]); ++i, Sleep(25)) {
             DWORD start = GetTickCount();  // in steps of 1 ms under Wine
             sendMessage(mainOne(), WM_NULL, 0, 0);
             worst = i ? std::max(worst, GetTickCount() - start) : 0;
         }
         return ok(std::to_string(worst)); }},
    {"rows", 2, [](const Args& a) { return query(control(dialog(a[1]), a[2]), LVM_GETITEMCOUNT); }},  // <caption> <id>
};

Result run(const Args& args)
{
    auto command = std::find_if(std::begin(kCommands), std::end(kCommands),
                                [&](const auto& c) { return !args.empty() && args[0] == c.name; });
    try {
        need(command != std::end(kCommands), "unknown command");
        need(args.size() > command->arguments, "too few arguments");
        return command->run(args);
    } catch (const std::string& reason) {
        return {false, reason};
    }
}

} // namespace

int main(int argc, char** argv)
{
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    char line[8192];
    for (int i = 1; argc > 1 ? i < argc : std::fgets(line, sizeof line, stdin) != nullptr; ++i) {
        Result result = run(tokenize(argc > 1 ? argv[i] : line));
        std::printf("%s%s%s\n", result.first ? "ok" : "error", result.second.empty() ? "" : " ", result.second.c_str());
    }
}
