// Drives one velmoranth.exe from outside, as a user would, for the end-to-end
// tests and ./run, with posted messages and window queries.
// Each command line (an argument, or else a line of standard input) gets one
// answer line, "ok [value]" or "error <reason>", in which \r \n \t \\ stand for
// their characters. Tokens are split at blanks unless "quoted" (taken as they stand).
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Args = std::vector<std::string>;
using Result = std::pair<bool, std::string>;  // ok, and the value or the reason

HANDLE program;
DWORD programId, waitMs = 30000;  // a bound that only matters when something fails
bool startedHere;  // then the program ends with the driver
HWND mainWindow;
const std::string kEscaped = "\r\n\t\\", kLetters = "rnt\\";  // characters of answers and their escape letters

Result ok(const std::string& value = "") { return {true, value}; }

// Why a command fails is thrown, and run() answers it.
template <class T> T need(T found, const char* reason) { return found ? found : throw std::string(reason); }

std::string escape(std::string text)
{
    for (std::size_t i = 0; (i = text.find_first_of(kEscaped, i)) != std::string::npos; i += 2)
        text.replace(i, 1, std::string{'\\', kLetters[kEscaped.find(text[i])]});
    return text;
}

Args tokenize(const std::string& line)
{
    const char* blanks = " \t\r\n";
    Args tokens;
    for (std::size_t i = 0; (i = line.find_first_not_of(blanks, i)) != std::string::npos; ++i) {
        bool quoted = line[i] == '"';
        std::size_t end = std::min(quoted ? line.find('"', i + 1) : line.find_first_of(blanks, i), line.size());
        tokens.push_back(line.substr(i + quoted, end - i - quoted));
        i = end;
    }
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

// The program's main window, or a dialog or message box by its caption (of any program until one is known).
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
HWND control(HWND parent, const std::string& id) { return need(GetDlgItem(parent, number(id)), "no such control"); }

// With a time-out: under Wine a message to a window that is destroyed before
// it reads it (a control of a closing box) is never answered.
LRESULT sendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    DWORD_PTR answer = 0;
    need(SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL, 5000, &answer), "no answer");
    return static_cast<LRESULT>(answer);
}

Result textOf(HWND window)
{
    char text[4096] = {};
    sendMessage(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return ok(text);
}

// Waits for the main window of the program started here, or else of any program.
Result attach(const Args&)
{
    need(poll([] { return (mainWindow = programWindow("Velmoranth", "Velmoranth", false)) != nullptr; }),
         "no main window");
    GetWindowThreadProcessId(mainWindow, &programId);
    if (!program)
        program = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, programId);
    return ok(std::to_string(programId));
}

// <exe> <folder>, as Windows paths.
Result start(const Args& args)
{
    std::string commandLine = "\"" + args[1] + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    need(CreateProcessA(args[1].c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, args[2].c_str(),
                        &startup, &info), "CreateProcess failed");
    CloseHandle(info.hThread);
    program = info.hProcess;
    programId = info.dwProcessId;
    startedHere = true;
    return attach(args);
}

Result waitExit(const Args&)
{
    DWORD code = 0;
    need(WaitForSingleObject(need(program, "no program"), waitMs) == WAIT_OBJECT_0, "still running");
    GetExitCodeProcess(program, &code);
    return ok(std::to_string(code));
}

Result post(HWND window, long long message, long long wParam, long long lParam)
{
    need(PostMessageA(window, static_cast<UINT>(message), wParam, lParam), "post failed");
    return ok();
}

Result press(HWND window, const std::string& button)
{
    const char* names[] = {"", "ok", "cancel", "abort", "retry", "ignore", "yes", "no"};  // IDOK to IDNO
    int named = static_cast<int>(std::find(names, names + 8, button) - names);
    int id = named < 8 ? named : static_cast<int>(number(button));
    return post(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(window, id)));
}

// A digit for each main window control: its check state, or 1 when it is enabled.
Result states(const Args& args, bool checks)
{
    std::string out;
    for (auto id = args.begin() + 1; id != args.end(); ++id)
        out += std::to_string(checks ? sendMessage(control(mainOne(), *id), BM_GETCHECK, 0, 0)
                                     : IsWindowEnabled(control(mainOne(), *id)));
    return ok(out);
}

// <caption> <list id>: how many rows the list view has.
Result rows(const Args& args)
{
    return ok(std::to_string(sendMessage(control(dialog(args[1]), args[2]), LVM_GETITEMCOUNT, 0, 0)));
}

// <caption> <id> <text>
Result setText(const Args& args)
{
    sendMessage(control(dialog(args[1]), args[2]), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(args[3].c_str()));
    return ok();
}

Result run(const Args& args);

// <expected> <command...>: until the command answers the expected value, escaped as in answers.
Result waitFor(const Args& args)
{
    Result got;
    return poll([&] { return (got = run(Args(args.begin() + 2, args.end()))).first && escape(got.second) == args[1]; })
               ? got : Result{false, "timed out; last: " + std::string(got.first ? "ok " : "error ") + got.second};
}

const struct Command {
    const char* name;
    std::size_t arguments;  // at least
    Result (*run)(const Args&);
} kCommands[] = {
    {"start", 2, start},
    {"attach", 0, attach},
    {"wait-exit", 0, waitExit},
    {"timeout", 1, [](const Args& a) { waitMs = static_cast<DWORD>(number(a[1])); return ok(); }},  // <ms> of waits
    {"wait", 2, waitFor},
    {"post-command", 1, [](const Args& a) { return post(mainOne(), WM_COMMAND, number(a[1]), 0); }},  // <id>
    {"post", 3, [](const Args& a) { return post(mainOne(), number(a[1]), number(a[2]), number(a[3])); }},
    {"status", 0, [](const Args&) { return textOf(statusBar()); }},  // its first part
    {"visible", 0, [](const Args&) { return ok(IsWindowVisible(mainOne()) ? "1" : "0"); }},
    {"checked", 1, [](const Args& a) { return states(a, true); }},  // <id...>
    {"enabled", 1, [](const Args& a) { return states(a, false); }},  // <id...>
    {"click", 1, [](const Args& a) { sendMessage(control(mainOne(), a[1]), BM_CLICK, 0, 0); return states(a, true); }},
    {"text", 2, [](const Args& a) { return textOf(control(dialog(a[1]), a[2])); }},  // <caption> <id>
    {"shown", 1, [](const Args& a) { return ok(programWindow("#32770", a[1], true) ? "1" : "0"); }},  // <caption>
    {"box", 1, [](const Args& a) { return textOf(control(dialog(a[1]), "0xFFFF")); }},  // <caption>: the message
    {"press", 2, [](const Args& a) { return press(dialog(a[1]), a[2]); }},  // <caption> <ok|cancel|yes|no|id>
    {"set-text", 3, setText},
    {"rows", 2, rows},
};

Result run(const Args& args)
{
    auto command = std::find_if(std::begin(kCommands), std::end(kCommands),
                                [&](const Command& c) { return args[0] == c.name; });
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
        Args args = tokenize(argc > 1 ? argv[i] : line);
        if (args.empty())
            continue;
        Result result = run(args);
        std::printf("%s%s%s\n", result.first ? "ok" : "error", result.second.empty() ? "" : " ",
                    escape(result.second).c_str());
    }
    if (startedHere && TerminateProcess(program, 1))
        WaitForSingleObject(program, waitMs);
    return 0;
}
