// A small console program that drives one velmoranth.exe from outside, the
// way a user would, for the end-to-end tests and the ./run script.
//
// It reads commands, one per line, from its arguments (each argument is one
// line) or else from standard input, and answers each with one line:
// "ok [value]" or "error <reason>". Values are escaped (\r \n \t \\ \xNN), so
// one answer is always one line. Tokens are separated by blanks; "double
// quotes" group a token; inside quotes \" and \\ stand for " and \.
//
// It uses only what crosses process boundaries: posted and sent messages that
// carry no pointers, WM_GETTEXT (marshalled by the system), window queries,
// and, for messages whose answers need a buffer in the program, memory lent
// inside the program's process (VirtualAllocEx / ReadProcessMemory).
//
// Commands (ids and numbers are decimal or 0x hex):
//   start <exe> <folder> [show]   start the program in <folder> with show command [show]
//                                 (default: none given); its main window is waited for
//   attach                        take the program whose main window exists already
//   post-command <id>             post WM_COMMAND <id> to the main window
//   post <msg> <wparam> <lparam>  post any message to the main window
//   send <msg> <wparam> <lparam>  send it (5 s time-out) and print the result
//   post-registered <name> [w l]  post a message registered by name
//   char <code>                   post WM_CHAR to the main window
//   click <id>                    press child <id> as a mouse click would (BM_CLICK)
//   keys <combo>                  make the main window the foreground window and type <combo>
//                                 as real input (SendInput), e.g. alt+x, ctrl+l, esc, f1
//   tray <mouse-message> [icon-id]   post message 2024 (names: lbuttondblclk, rbuttondown, ...)
//   status [part]                 status bar text of part 0 (default) or <part>
//   text [id]                     window text of the main window or of child <id>
//   checked <id> | enabled <id>   state of child <id>: 0 or 1
//   visible | iconic              state of the main window: 0 or 1
//   rect [id]                     outer rectangle of the main window (screen) or of child <id>
//                                 (client coordinates of the main window): x y width height
//   client                        client rectangle size of the main window: width height
//   style <id> | exstyle [id]     child details
//   children                      every child: class id x y w h "text", in creation order
//   box <caption>                 text of the open message box with that caption
//   owner <caption>               "main" when that box or dialog is owned by the main window
//   press <caption> <button>      press a button of that box or dialog (ok cancel yes no or an id)
//   dialog-text <caption> <id>    text of control <id> in the dialog with that caption
//   dialog-set-text <caption> <id> <text>   set it (WM_SETTEXT)
//   dialog-checked <caption> <id> check state of a control in that dialog
//   windows                       every visible top-level window of the program: class "caption"
//   dialog-put-text <caption> <id> <escaped text>   WM_SETTEXT with \r \n \t \\ \xNN decoded
//   dialog-shown <caption>        1 when a dialog or box with that caption is shown, else 0
//   dialog-type <caption> <id> <escaped text>   post one WM_CHAR per character, as typing does
//   dialog-send <caption> <id> <msg> <wparam> <lparam>   send a message to a control, print the result
//   dialog-enabled <caption> <id> enabled state of a control in that dialog: 0 or 1
//   dialog-check <caption> <id> <0|1>   set the check state of a check box
//   dialog-select <caption> <id> <index>   select a list entry, then send CBN_CLOSEUP
//   dialog-selected <caption> <id> selected index of a list (-1: none)
//   dialog-rows <caption> <id>    row count of a list view
//   dialog-row <caption> <id> <row>   texts of a list view row, columns joined by tabs
//   file-dialog <caption> <path>  type <path> into an open or save dialog and press its OK
//   menu-open                     1 when a popup menu of the program is shown, else 0
//   menu-key <vk>                 post a key press to the open popup menu
//   menu-char <code>              post a typed character (a mnemonic) to the open popup menu
//   snap <file.bmp> [caption]     write the main window's (or that dialog's) picture on the screen as a BMP
//   timeout <ms>                  time-out of the wait commands (default 5000)
//   wait <expected> <command...>  repeat <command> until its value is <expected>
//   wait-gone <command...>        repeat <command> until it answers with an error
//   sleep <ms>                    pause
//   exited                        "ok <exit code>" once the program has ended, else "ok running"
//   wait-exit                     wait for the program's end and print its exit code
//   kill                          terminate the program (only the one this driver started)
//   quit                          end the driver
// A program started here is tied to the driver: it is terminated when the
// driver ends, however the driver ends.
#include <windows.h>
#include <commctrl.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace {

const char kMainClass[] = "Velmoranth";
const UINT kTrayMessage = WM_USER + 1000;
const UINT kTrayIconId = 1008;

struct Program {
    HANDLE process = nullptr;
    DWORD processId = 0;
    HWND window = nullptr;
    HANDLE job = nullptr;
    bool started = false;
};

Program program;
DWORD waitTimeoutMs = 5000;

using Args = std::vector<std::string>;
struct Result {
    bool ok;
    std::string value;
};

Result ok(const std::string& value = "")
{
    return {true, value};
}

Result fail(const std::string& reason)
{
    return {false, reason};
}

std::string escape(const std::string& text)
{
    std::string out;
    for (unsigned char c : text) {
        switch (c) {
        case '\r': out += "\\r"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        case '\\': out += "\\\\"; break;
        default:
            if (c < 32 || c >= 127) {
                char hex[8];
                std::snprintf(hex, sizeof hex, "\\x%02X", c);
                out += hex;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out;
}

Args tokenize(const std::string& line)
{
    Args tokens;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r' || line[i] == '\n'))
            ++i;
        if (i >= line.size())
            break;
        std::string token;
        if (line[i] == '"') {
            ++i;
            while (i < line.size() && line[i] != '"') {
                if (line[i] == '\\' && i + 1 < line.size() && (line[i + 1] == '"' || line[i + 1] == '\\'))
                    ++i;
                token += line[i++];
            }
            ++i;
        } else {
            while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' && line[i] != '\n')
                token += line[i++];
        }
        tokens.push_back(token);
    }
    return tokens;
}

long long number(const std::string& text)
{
    return std::strtoll(text.c_str(), nullptr, 0);
}

// Unix paths (as the tests pass them under Wine) become paths on drive Z:.
std::string windowsPath(const std::string& path)
{
    std::string out = path;
    if (!out.empty() && out[0] == '/')
        out = "Z:" + out;
    for (char& c : out) {
        if (c == '/')
            c = '\\';
    }
    return out;
}

struct WindowSearch {
    DWORD processId;
    const char* className;  // null: any
    const char* caption;    // null: any
    bool visibleOnly;
    std::vector<HWND> found;
};

BOOL CALLBACK collectWindow(HWND window, LPARAM param)
{
    WindowSearch& search = *reinterpret_cast<WindowSearch*>(param);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (search.processId && processId != search.processId)
        return TRUE;
    if (search.visibleOnly && !IsWindowVisible(window))
        return TRUE;
    char text[512];
    if (search.className) {
        GetClassNameA(window, text, sizeof text);
        if (std::strcmp(text, search.className) != 0)
            return TRUE;
    }
    if (search.caption) {
        GetWindowTextA(window, text, sizeof text);
        if (std::strcmp(text, search.caption) != 0)
            return TRUE;
    }
    search.found.push_back(window);
    return TRUE;
}

std::vector<HWND> topLevelWindows(DWORD processId, const char* className, const char* caption, bool visibleOnly)
{
    WindowSearch search{processId, className, caption, visibleOnly, {}};
    EnumWindows(collectWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND findMainWindow()
{
    std::vector<HWND> windows = topLevelWindows(program.processId, kMainClass, nullptr, false);
    return windows.empty() ? nullptr : windows.front();
}

// A message box or dialog of the program, by caption.
HWND findDialog(const std::string& caption)
{
    std::vector<HWND> windows = topLevelWindows(program.processId, "#32770", caption.c_str(), true);
    return windows.empty() ? nullptr : windows.front();
}

std::string windowText(HWND window)
{
    char text[4096];
    LRESULT length = SendMessageA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    if (length < 0)
        length = 0;
    return std::string(text, static_cast<std::size_t>(length));
}

std::string className(HWND window)
{
    char text[256];
    GetClassNameA(window, text, sizeof text);
    return text;
}

bool haveProgram()
{
    return program.window && IsWindow(program.window);
}

HWND child(const std::string& id)
{
    return GetDlgItem(program.window, static_cast<int>(number(id)));
}

// For messages that write their answer through a pointer: the buffer has to
// live in the program's own address space.
class RemoteBuffer {
public:
    explicit RemoteBuffer(std::size_t size) : size_(size)
    {
        if (program.process)
            address_ = VirtualAllocEx(program.process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    }
    ~RemoteBuffer()
    {
        if (address_)
            VirtualFreeEx(program.process, address_, 0, MEM_RELEASE);
    }
    RemoteBuffer(const RemoteBuffer&) = delete;
    RemoteBuffer& operator=(const RemoteBuffer&) = delete;

    bool valid() const { return address_ != nullptr; }
    LPARAM address() const { return reinterpret_cast<LPARAM>(address_); }
    bool write(const void* data, std::size_t length)
    {
        SIZE_T written = 0;
        return WriteProcessMemory(program.process, address_, data, length, &written) && written == length;
    }
    std::string read(std::size_t length)
    {
        if (length > size_)
            length = size_;
        std::string data(length, '\0');
        SIZE_T got = 0;
        if (!ReadProcessMemory(program.process, address_, &data[0], length, &got))
            return "";
        data.resize(got);
        return data;
    }

private:
    std::size_t size_;
    void* address_ = nullptr;
};

void tieToDriver(HANDLE process)
{
    program.job = CreateJobObjectA(nullptr, nullptr);
    if (!program.job)
        return;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(program.job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
    AssignProcessToJobObject(program.job, process);
}

bool waitFor(const std::function<bool()>& condition)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (condition())
            return true;
        if (GetTickCount() - start >= waitTimeoutMs)
            return false;
        Sleep(20);
    }
}

void forgetProgram()
{
    if (program.process)
        CloseHandle(program.process);
    if (program.job)
        CloseHandle(program.job);
    program = Program{};
}

Result startProgram(const Args& args)
{
    if (args.size() < 3)
        return fail("usage: start <exe> <folder>");
    if (program.started && program.process && WaitForSingleObject(program.process, 0) == WAIT_TIMEOUT)
        return fail("a program is running already");
    forgetProgram();
    std::string exe = windowsPath(args[1]);
    std::string folder = windowsPath(args[2]);
    std::string commandLine = "\"" + exe + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    if (args.size() > 3) {
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = static_cast<WORD>(number(args[3]));
    }
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                        folder.c_str(), &startup, &info))
        return fail("CreateProcess failed: " + std::to_string(GetLastError()));
    tieToDriver(info.hProcess);
    ResumeThread(info.hThread);
    CloseHandle(info.hThread);
    program.process = info.hProcess;
    program.processId = info.dwProcessId;
    program.started = true;
    // The window exists from the start of its creation; the program is ready
    // once its creation is over and it waits for input.
    WaitForInputIdle(program.process, waitTimeoutMs);
    if (!waitFor([] {
            program.window = findMainWindow();
            return program.window != nullptr || WaitForSingleObject(program.process, 0) == WAIT_OBJECT_0;
        }) ||
        !program.window)
        return fail("no main window");
    return ok(std::to_string(program.processId));
}

Result attachProgram(const Args&)
{
    forgetProgram();
    HWND window = nullptr;
    if (!waitFor([&] { return (window = FindWindowA(kMainClass, nullptr)) != nullptr; }))
        return fail("no main window");
    program.window = window;
    GetWindowThreadProcessId(window, &program.processId);
    program.process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_VM_OPERATION | PROCESS_VM_READ |
                                      PROCESS_VM_WRITE,
                                  FALSE, program.processId);
    return ok(std::to_string(program.processId));
}

Result exitState()
{
    if (!program.process)
        return fail("no program");
    if (WaitForSingleObject(program.process, 0) == WAIT_TIMEOUT)
        return ok("running");
    DWORD code = 0;
    GetExitCodeProcess(program.process, &code);
    return ok(std::to_string(code));
}

Result waitExit(const Args&)
{
    if (!program.process)
        return fail("no program");
    if (WaitForSingleObject(program.process, waitTimeoutMs) != WAIT_OBJECT_0)
        return fail("still running");
    return exitState();
}

Result killProgram(const Args&)
{
    if (!program.started || !program.process)
        return fail("no program started here");
    if (WaitForSingleObject(program.process, 0) == WAIT_TIMEOUT) {
        TerminateProcess(program.process, 1);
        WaitForSingleObject(program.process, waitTimeoutMs);
    }
    return ok();
}

Result postToMain(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!haveProgram())
        return fail("no main window");
    if (!PostMessageA(program.window, message, wParam, lParam))
        return fail("post failed");
    return ok();
}

Result postCommand(const Args& args)
{
    if (args.size() < 2)
        return fail("usage: post-command <id>");
    return postToMain(WM_COMMAND, static_cast<WPARAM>(number(args[1])), 0);
}

Result postMessage(const Args& args)
{
    if (args.size() < 4)
        return fail("usage: post <msg> <wparam> <lparam>");
    return postToMain(static_cast<UINT>(number(args[1])), static_cast<WPARAM>(number(args[2])),
                      static_cast<LPARAM>(number(args[3])));
}

Result sendMessage(const Args& args)
{
    if (args.size() < 4)
        return fail("usage: send <msg> <wparam> <lparam>");
    if (!haveProgram())
        return fail("no main window");
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(program.window, static_cast<UINT>(number(args[1])), static_cast<WPARAM>(number(args[2])),
                             static_cast<LPARAM>(number(args[3])), SMTO_NORMAL, 5000, &result))
        return fail("no answer");
    return ok(std::to_string(static_cast<long long>(result)));
}

Result postRegistered(const Args& args)
{
    if (args.size() < 2)
        return fail("usage: post-registered <name> [wparam lparam]");
    UINT message = RegisterWindowMessageA(args[1].c_str());
    WPARAM wParam = args.size() > 2 ? static_cast<WPARAM>(number(args[2])) : 0;
    LPARAM lParam = args.size() > 3 ? static_cast<LPARAM>(number(args[3])) : 0;
    return postToMain(message, wParam, lParam);
}

// Keyboard messages as the message loop would fetch them for the window.

Result postChar(const Args& args)
{
    if (args.size() < 2)
        return fail("usage: char <code>");
    return postToMain(WM_CHAR, static_cast<WPARAM>(number(args[1])), 1);
}

Result click(const Args& args)
{
    if (args.size() < 2)
        return fail("usage: click <id>");
    if (!haveProgram())
        return fail("no main window");
    HWND control = child(args[1]);
    if (!control)
        return fail("no such control");
    DWORD_PTR result = 0;
    SendMessageTimeoutA(control, BM_CLICK, 0, 0, SMTO_NORMAL, 1000, &result);
    return ok();
}

WORD virtualKey(const std::string& name)
{
    static const std::map<std::string, WORD> names = {
        {"ctrl", VK_CONTROL}, {"alt", VK_MENU}, {"shift", VK_SHIFT}, {"esc", VK_ESCAPE}, {"enter", VK_RETURN},
        {"tab", VK_TAB},      {"f1", VK_F1},    {"f2", VK_F2},       {"space", VK_SPACE}};
    auto named = names.find(name);
    if (named != names.end())
        return named->second;
    if (name.size() == 1 && std::isalnum(static_cast<unsigned char>(name[0])))
        return static_cast<WORD>(std::toupper(static_cast<unsigned char>(name[0])));
    return 0;
}

INPUT keyInput(WORD key, bool up)
{
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(key, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return input;
}

Result typeKeys(const Args& args)
{
    if (args.size() < 2)
        return fail("usage: keys <combo>");
    if (!haveProgram())
        return fail("no main window");
    std::vector<WORD> keys;
    std::string combo = args[1];
    for (std::size_t start = 0; start <= combo.size();) {
        std::size_t end = combo.find('+', start);
        if (end == std::string::npos)
            end = combo.size();
        WORD key = virtualKey(combo.substr(start, end - start));
        if (!key)
            return fail("unknown key in " + combo);
        keys.push_back(key);
        start = end + 1;
    }
    SetForegroundWindow(program.window);
    if (!waitFor([] { return GetForegroundWindow() == program.window; }))
        return fail("the main window is not in the foreground");
    std::vector<INPUT> inputs;
    for (WORD key : keys)
        inputs.push_back(keyInput(key, false));
    for (auto key = keys.rbegin(); key != keys.rend(); ++key)
        inputs.push_back(keyInput(*key, true));
    if (SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)) != inputs.size())
        return fail("input refused");
    return ok();
}

Result postTray(const Args& args)
{
    static const std::map<std::string, UINT> names = {
        {"mousemove", WM_MOUSEMOVE},         {"lbuttondown", WM_LBUTTONDOWN},
        {"lbuttonup", WM_LBUTTONUP},         {"lbuttondblclk", WM_LBUTTONDBLCLK},
        {"rbuttondown", WM_RBUTTONDOWN},     {"rbuttonup", WM_RBUTTONUP},
        {"rbuttondblclk", WM_RBUTTONDBLCLK},
    };
    if (args.size() < 2)
        return fail("usage: tray <mouse-message> [icon-id]");
    auto named = names.find(args[1]);
    UINT mouse = named != names.end() ? named->second : static_cast<UINT>(number(args[1]));
    WPARAM icon = args.size() > 2 ? static_cast<WPARAM>(number(args[2])) : kTrayIconId;
    return postToMain(kTrayMessage, icon, static_cast<LPARAM>(mouse));
}

HWND statusBar()
{
    HWND found = nullptr;
    EnumChildWindows(
        program.window,
        [](HWND window, LPARAM param) -> BOOL {
            if (className(window) == STATUSCLASSNAMEA) {
                *reinterpret_cast<HWND*>(param) = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

Result statusText(const Args& args)
{
    if (!haveProgram())
        return fail("no main window");
    HWND bar = statusBar();
    if (!bar)
        return fail("no status bar");
    int part = args.size() > 1 ? static_cast<int>(number(args[1])) : 0;
    if (part == 0)
        return ok(windowText(bar));  // WM_GETTEXT of a status bar reads part 0
    RemoteBuffer buffer(1024);
    if (!buffer.valid())
        return fail("no memory in the program");
    LRESULT length = SendMessageA(bar, SB_GETTEXTLENGTHA, static_cast<WPARAM>(part), 0);
    if (LOWORD(length) >= 1024)
        return fail("text too long");
    SendMessageA(bar, SB_GETTEXTA, static_cast<WPARAM>(part), buffer.address());
    return ok(buffer.read(LOWORD(length)));
}

Result text(const Args& args)
{
    if (!haveProgram())
        return fail("no main window");
    HWND window = args.size() > 1 ? child(args[1]) : program.window;
    if (!window)
        return fail("no such control");
    return ok(windowText(window));
}

Result childState(const Args& args, const std::function<std::string(HWND)>& read)
{
    if (args.size() < 2)
        return fail("usage: " + args[0] + " <id>");
    if (!haveProgram())
        return fail("no main window");
    HWND control = child(args[1]);
    if (!control)
        return fail("no such control");
    return ok(read(control));
}

std::string flag(bool value)
{
    return value ? "1" : "0";
}

Result checked(const Args& args)
{
    return childState(args, [](HWND c) { return std::to_string(SendMessageA(c, BM_GETCHECK, 0, 0)); });
}

Result enabled(const Args& args)
{
    return childState(args, [](HWND c) { return flag(IsWindowEnabled(c)); });
}

Result mainVisible(const Args&)
{
    if (!haveProgram())
        return fail("no main window");
    return ok(flag(IsWindowVisible(program.window)));
}

Result mainIconic(const Args&)
{
    if (!haveProgram())
        return fail("no main window");
    return ok(flag(IsIconic(program.window)));
}

std::string rectText(const RECT& r)
{
    return std::to_string(r.left) + " " + std::to_string(r.top) + " " + std::to_string(r.right - r.left) + " " +
           std::to_string(r.bottom - r.top);
}

RECT childRect(HWND control)
{
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, program.window, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

Result rect(const Args& args)
{
    if (!haveProgram())
        return fail("no main window");
    if (args.size() > 1)
        return childState(args, [](HWND c) { return rectText(childRect(c)); });
    RECT r;
    GetWindowRect(program.window, &r);
    return ok(rectText(r));
}

Result clientSize(const Args&)
{
    if (!haveProgram())
        return fail("no main window");
    RECT r;
    GetClientRect(program.window, &r);
    return ok(std::to_string(r.right) + " " + std::to_string(r.bottom));
}

Result childStyle(const Args& args)
{
    return childState(args, [](HWND c) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%08lX", static_cast<unsigned long>(GetWindowLongA(c, GWL_STYLE)));
        return std::string(hex);
    });
}

Result exStyle(const Args& args)
{
    if (!haveProgram())
        return fail("no main window");
    HWND window = args.size() > 1 ? child(args[1]) : program.window;
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08lX", static_cast<unsigned long>(GetWindowLongA(window, GWL_EXSTYLE)));
    return ok(hex);
}

Result children(const Args&)
{
    if (!haveProgram())
        return fail("no main window");
    std::string out;
    for (HWND c = GetWindow(program.window, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        if (!out.empty())
            out += " | ";
        out += className(c) + " " + std::to_string(GetDlgCtrlID(c)) + " " + rectText(childRect(c)) + " \"" +
               windowText(c) + "\"";
    }
    return ok(out);
}

std::string boxText(HWND box)
{
    // The message text is the box's static control that holds text (the
    // icon is a static too, without text).
    for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        if (className(c) == "Static") {
            std::string text = windowText(c);
            if (!text.empty())
                return text;
        }
    }
    return "";
}

Result box(const Args& args)
{
    if (args.size() < 2)
        return fail("usage: box <caption>");
    HWND found = findDialog(args[1]);
    if (!found)
        return fail("no box");
    return ok(boxText(found));
}

Result owner(const Args& args)
{
    if (args.size() < 2)
        return fail("usage: owner <caption>");
    HWND found = findDialog(args[1]);
    if (!found)
        return fail("no box");
    HWND owner = GetWindow(found, GW_OWNER);
    if (owner == program.window)
        return ok("main");
    char hex[32];
    std::snprintf(hex, sizeof hex, "%p", static_cast<void*>(owner));
    return ok(hex);
}

Result press(const Args& args)
{
    static const std::map<std::string, int> names = {
        {"ok", IDOK}, {"cancel", IDCANCEL}, {"yes", IDYES}, {"no", IDNO}};
    if (args.size() < 3)
        return fail("usage: press <caption> <button>");
    HWND found = findDialog(args[1]);
    if (!found)
        return fail("no box");
    auto named = names.find(args[2]);
    int id = named != names.end() ? named->second : static_cast<int>(number(args[2]));
    HWND button = GetDlgItem(found, id);
    PostMessageA(found, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    return ok();
}

Result dialogControl(const Args& args, std::size_t extra, const std::function<Result(HWND, HWND)>& use)
{
    if (args.size() < 3 + extra)
        return fail("usage: " + args[0] + " <caption> <id>" + (extra ? " <value>" : ""));
    HWND found = findDialog(args[1]);
    if (!found)
        return fail("no dialog");
    HWND control = GetDlgItem(found, static_cast<int>(number(args[2])));
    if (!control)
        return fail("no such control");
    return use(found, control);
}

Result dialogText(const Args& args)
{
    return dialogControl(args, 0, [](HWND, HWND c) { return ok(windowText(c)); });
}

Result dialogSetText(const Args& args)
{
    return dialogControl(args, 1, [&](HWND, HWND c) {
        SendMessageA(c, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(args[3].c_str()));
        return ok();
    });
}

Result dialogChecked(const Args& args)
{
    return dialogControl(args, 0, [](HWND, HWND c) { return ok(std::to_string(SendMessageA(c, BM_GETCHECK, 0, 0))); });
}

Result listWindows(const Args&)
{
    std::string out;
    for (HWND window : topLevelWindows(program.processId, nullptr, nullptr, true)) {
        char caption[512];
        GetWindowTextA(window, caption, sizeof caption);
        if (!out.empty())
            out += " | ";
        out += className(window) + " \"" + caption + "\"";
    }
    return ok(out);
}

Result menuOpen(const Args&)
{
    return ok(flag(!topLevelWindows(program.processId, "#32768", nullptr, true).empty()));
}

// A menu being tracked reads the keyboard messages of its thread, whichever
// window they are posted to.
Result menuKey(const Args& args)
{
    if (args.size() < 2)
        return fail("usage: menu-key <vk>");
    std::vector<HWND> menus = topLevelWindows(program.processId, "#32768", nullptr, true);
    if (menus.empty())
        return fail("no menu");
    WPARAM key = static_cast<WPARAM>(number(args[1]));
    PostMessageA(menus.front(), WM_KEYDOWN, key, 1);
    PostMessageA(menus.front(), WM_KEYUP, key, static_cast<LPARAM>(0xC0000001u));
    return ok();
}

Result menuChar(const Args& args)
{
    if (args.size() < 2)
        return fail("usage: menu-char <code>");
    std::vector<HWND> menus = topLevelWindows(program.processId, "#32768", nullptr, true);
    if (menus.empty())
        return fail("no menu");
    PostMessageA(menus.front(), WM_CHAR, static_cast<WPARAM>(number(args[1])), 1);
    return ok();
}

// The reverse of escape(): lets one command line carry line breaks.
std::string unescape(const std::string& text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 >= text.size()) {
            out += text[i];
            continue;
        }
        char c = text[++i];
        if (c == 'r')
            out += '\r';
        else if (c == 'n')
            out += '\n';
        else if (c == 't')
            out += '\t';
        else if (c == 'x' && i + 2 < text.size()) {
            out += static_cast<char>(std::strtol(text.substr(i + 1, 2).c_str(), nullptr, 16));
            i += 2;
        } else
            out += c;
    }
    return out;
}

Result dialogPutText(const Args& args)
{
    return dialogControl(args, 1, [&](HWND, HWND c) {
        std::string value = unescape(args[3]);
        SendMessageA(c, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(value.c_str()));
        return ok();
    });
}

Result dialogShown(const Args& args)
{
    if (args.size() < 2)
        return fail("usage: dialog-shown <caption>");
    return ok(flag(findDialog(args[1]) != nullptr));
}

Result dialogType(const Args& args)
{
    return dialogControl(args, 1, [&](HWND, HWND c) {
        for (unsigned char typed : unescape(args[3]))
            PostMessageA(c, WM_CHAR, typed, 1);
        return ok();
    });
}

Result dialogSend(const Args& args)
{
    return dialogControl(args, 3, [&](HWND, HWND c) {
        DWORD_PTR result = 0;
        if (!SendMessageTimeoutA(c, static_cast<UINT>(number(args[3])), static_cast<WPARAM>(number(args[4])),
                                 static_cast<LPARAM>(number(args[5])), SMTO_NORMAL, 5000, &result))
            return fail("no answer");
        return ok(std::to_string(static_cast<long long>(result)));
    });
}

Result dialogEnabled(const Args& args)
{
    return dialogControl(args, 0, [](HWND, HWND c) { return ok(flag(IsWindowEnabled(c) != FALSE)); });
}

Result dialogCheck(const Args& args)
{
    return dialogControl(args, 1, [&](HWND, HWND c) {
        SendMessageA(c, BM_SETCHECK, number(args[3]) ? BST_CHECKED : BST_UNCHECKED, 0);
        return ok();
    });
}

// As a user's choice with the mouse ends: the selection, then the list's
// notification that its drop-down closed.
Result dialogSelect(const Args& args)
{
    return dialogControl(args, 1, [&](HWND dialog, HWND c) {
        SendMessageA(c, CB_SETCURSEL, static_cast<WPARAM>(number(args[3])), 0);
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(c), CBN_CLOSEUP), reinterpret_cast<LPARAM>(c));
        return ok();
    });
}

Result dialogSelected(const Args& args)
{
    return dialogControl(args, 0, [](HWND, HWND c) {
        return ok(std::to_string(static_cast<int>(SendMessageA(c, CB_GETCURSEL, 0, 0))));
    });
}

Result dialogRows(const Args& args)
{
    return dialogControl(args, 0, [](HWND, HWND c) {
        return ok(std::to_string(static_cast<int>(SendMessageA(c, LVM_GETITEMCOUNT, 0, 0))));
    });
}

// LVM_GETITEMTEXTA writes through pointers, so the item record and its text
// buffer are lent inside the program.
std::string listViewText(HWND list, int row, int column)
{
    const int textSize = 512;
    RemoteBuffer buffer(sizeof(LVITEMA) + textSize);
    if (!buffer.valid())
        return "";
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = reinterpret_cast<char*>(buffer.address() + static_cast<LPARAM>(sizeof(LVITEMA)));
    item.cchTextMax = textSize;
    buffer.write(&item, sizeof item);
    LRESULT length = SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), buffer.address());
    if (length <= 0)
        return "";
    return buffer.read(sizeof(LVITEMA) + static_cast<std::size_t>(length)).substr(sizeof(LVITEMA));
}

Result dialogRow(const Args& args)
{
    return dialogControl(args, 1, [&](HWND, HWND c) {
        HWND header = reinterpret_cast<HWND>(SendMessageA(c, LVM_GETHEADER, 0, 0));
        int columns = header ? static_cast<int>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0)) : 1;
        int row = static_cast<int>(number(args[3]));
        if (row < 0 || row >= static_cast<int>(SendMessageA(c, LVM_GETITEMCOUNT, 0, 0)))
            return fail("no such row");
        std::string out;
        for (int column = 0; column < columns; ++column)
            out += (column ? "\t" : "") + listViewText(c, row, column);
        return ok(out);
    });
}

BOOL CALLBACK findVisibleEdit(HWND window, LPARAM param)
{
    if (className(window) != "Edit" || !IsWindowVisible(window))
        return TRUE;
    *reinterpret_cast<HWND*>(param) = window;
    return FALSE;
}

// The file name field is edt1 (1152) in the older template and the edit
// inside the combo box cmb13 (0x47C) in the newer one.
HWND fileNameField(HWND dialog)
{
    HWND field = GetDlgItem(dialog, 1152);
    if (field && IsWindowVisible(field))
        return field;
    HWND combo = GetDlgItem(dialog, 0x47C);
    field = nullptr;
    if (combo)
        EnumChildWindows(combo, findVisibleEdit, reinterpret_cast<LPARAM>(&field));
    return field;
}

Result fileDialog(const Args& args)
{
    if (args.size() < 3)
        return fail("usage: file-dialog <caption> <path>");
    HWND dialog = findDialog(args[1]);
    if (!dialog)
        return fail("no dialog");
    HWND field = fileNameField(dialog);
    if (!field)
        return fail("no file name field");
    std::string path = windowsPath(args[2]);
    SendMessageA(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
    return ok();
}

Result snap(const Args& args)
{
    if (args.size() < 2)
        return fail("usage: snap <file.bmp> [caption]");
    if (!haveProgram())
        return fail("no main window");
    HWND target = args.size() > 2 ? findDialog(args[2]) : program.window;
    if (!target)
        return fail("no dialog");
    RECT r;
    GetWindowRect(target, &r);
    int width = r.right - r.left;
    int height = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;  // bottom-up, as BMP files store it
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
    GdiFlush();
    DWORD rowBytes = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    DWORD imageBytes = rowBytes * static_cast<DWORD>(height);
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info.bmiHeader;
    file.bfSize = file.bfOffBits + imageBytes;
    bool written = false;
    if (std::FILE* out = std::fopen(windowsPath(args[1]).c_str(), "wb")) {
        written = std::fwrite(&file, sizeof file, 1, out) == 1 &&
                  std::fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, out) == 1 &&
                  std::fwrite(bits, imageBytes, 1, out) == 1;
        std::fclose(out);
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return written ? ok(std::to_string(width) + " " + std::to_string(height)) : fail("cannot write the file");
}

using Command = std::function<Result(const Args&)>;
std::map<std::string, Command>& commands();

Result run(const Args& args)
{
    if (args.empty())
        return fail("empty command");
    auto found = commands().find(args[0]);
    if (found == commands().end())
        return fail("unknown command " + args[0]);
    return found->second(args);
}

Result waitValue(const Args& args)
{
    if (args.size() < 3)
        return fail("usage: wait <expected> <command...>");
    Args query(args.begin() + 2, args.end());
    Result last{false, ""};
    bool met = waitFor([&] {
        last = run(query);
        return last.ok && escape(last.value) == args[1];
    });
    if (met)
        return ok(last.value);
    return fail("timed out; last: " + std::string(last.ok ? "ok " : "error ") + escape(last.value));
}

Result waitGone(const Args& args)
{
    if (args.size() < 2)
        return fail("usage: wait-gone <command...>");
    Args query(args.begin() + 1, args.end());
    if (waitFor([&] { return !run(query).ok; }))
        return ok();
    return fail("timed out");
}

Result setTimeout(const Args& args)
{
    if (args.size() < 2)
        return fail("usage: timeout <ms>");
    waitTimeoutMs = static_cast<DWORD>(number(args[1]));
    return ok();
}

Result pause(const Args& args)
{
    if (args.size() < 2)
        return fail("usage: sleep <ms>");
    Sleep(static_cast<DWORD>(number(args[1])));
    return ok();
}

std::map<std::string, Command>& commands()
{
    static std::map<std::string, Command> table = {
        {"start", startProgram},
        {"attach", attachProgram},
        {"post-command", postCommand},
        {"post", postMessage},
        {"send", sendMessage},
        {"post-registered", postRegistered},
        {"char", postChar},
        {"click", click},
        {"keys", typeKeys},
        {"tray", postTray},
        {"status", statusText},
        {"text", text},
        {"checked", checked},
        {"enabled", enabled},
        {"visible", mainVisible},
        {"iconic", mainIconic},
        {"rect", rect},
        {"client", clientSize},
        {"style", childStyle},
        {"exstyle", exStyle},
        {"children", children},
        {"box", box},
        {"owner", owner},
        {"press", press},
        {"dialog-text", dialogText},
        {"dialog-set-text", dialogSetText},
        {"dialog-checked", dialogChecked},
        {"windows", listWindows},
        {"menu-open", menuOpen},
        {"menu-key", menuKey},
        {"menu-char", menuChar},
        {"snap", snap},
        {"timeout", setTimeout},
        {"wait", waitValue},
        {"wait-gone", waitGone},
        {"sleep", pause},
        {"exited", [](const Args&) { return exitState(); }},
        {"wait-exit", waitExit},
        {"kill", killProgram},
        // the program's dialogs
        {"dialog-shown", dialogShown},
        {"dialog-put-text", dialogPutText},
        {"dialog-type", dialogType},
        {"dialog-send", dialogSend},
        {"dialog-enabled", dialogEnabled},
        {"dialog-check", dialogCheck},
        {"dialog-select", dialogSelect},
        {"dialog-selected", dialogSelected},
        {"dialog-rows", dialogRows},
        {"dialog-row", dialogRow},
        {"file-dialog", fileDialog},
    };
    return table;
}

// Returns false on "quit".
bool interpret(const std::string& line)
{
    Args args = tokenize(line);
    if (args.empty() || args[0][0] == '#')
        return true;
    if (args[0] == "quit") {
        std::printf("ok\n");
        return false;
    }
    Result result = run(args);
    std::printf("%s%s%s\n", result.ok ? "ok" : "error", result.value.empty() ? "" : " ",
                escape(result.value).c_str());
    std::fflush(stdout);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    if (argc > 1) {
        for (int i = 1; i < argc; ++i) {
            if (!interpret(argv[i]))
                break;
        }
    } else {
        char line[8192];
        while (std::fgets(line, sizeof line, stdin)) {
            if (!interpret(line))
                break;
        }
    }
    forgetProgram();  // closing the job ends a program started here
    return 0;
}
