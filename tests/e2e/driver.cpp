// A small console program that drives one velmoranth.exe from outside, the
// way a user would, for the end-to-end tests, ./run and tools/screenshots.
//
// It reads commands, one per line, from its arguments (each argument is one
// line) or else from standard input, and answers each with one line:
// "ok [value]" or "error <reason>". Values are escaped (\r \n \t \\ \xNN), so
// one answer is always one line. Tokens are separated by blanks; "double
// quotes" group a token; inside quotes \" and \\ stand for " and \. Lines
// starting with # are skipped. Numbers are decimal or 0x hex. The commands,
// with their arguments, are listed in kCommands below.
//
// It uses only what crosses process boundaries: posted and sent messages that
// carry no pointers, WM_GETTEXT (marshalled by the system), window queries,
// SendInput for key combinations, and, for messages whose answers need a
// buffer in the program, memory lent inside the program's process.
//
// A program started here is tied to the driver: it is terminated when the
// driver ends, however the driver ends.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

const char kMainClass[] = "Velmoranth";
const char kDialogClass[] = "#32770";
const char kMenuClass[] = "#32768";
const UINT kTrayMessage = WM_USER + 1000;
const WPARAM kTrayIconId = 1008;
const UINT kAnswerTimeoutMs = 5000;  // of sent messages

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

Result integer(long long value)
{
    return ok(std::to_string(value));
}

Result flag(bool value)
{
    return ok(value ? "1" : "0");
}

Result hex(LONG value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(value));
    return ok(text);
}

// Characters that escape() writes as a backslash and the letter at the same
// place in kEscapeLetters.
const char kEscaped[] = "\r\n\t\\";
const char kEscapeLetters[] = "rnt\\";

std::string escape(const std::string& text)
{
    std::string out;
    for (unsigned char c : text) {
        const char* named = c ? std::strchr(kEscaped, c) : nullptr;
        char code[8];
        if (named)
            std::snprintf(code, sizeof code, "\\%c", kEscapeLetters[named - kEscaped]);
        else
            std::snprintf(code, sizeof code, c < 32 || c >= 127 ? "\\x%02X" : "%c", c);
        out += code;
    }
    return out;
}

// The reverse of escape(): lets one command line carry line breaks.
std::string unescape(const std::string& text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\\' && i + 1 < text.size()) {
            c = text[++i];
            const char* letter = c ? std::strchr(kEscapeLetters, c) : nullptr;
            if (c == 'x' && i + 2 < text.size()) {
                c = static_cast<char>(std::strtol(text.substr(i + 1, 2).c_str(), nullptr, 16));
                i += 2;
            } else if (letter) {
                c = kEscaped[letter - kEscapeLetters];
            }
        }
        out += c;
    }
    return out;
}

Args tokenize(const std::string& line)
{
    const char blanks[] = " \t\r\n";
    Args tokens;
    for (std::size_t i = 0; (i = line.find_first_not_of(blanks, i)) != std::string::npos;) {
        std::string token;
        if (line[i] != '"') {
            std::size_t end = std::min(line.find_first_of(blanks, i), line.size());
            token = line.substr(i, end - i);
            i = end;
        } else {
            for (++i; i < line.size() && line[i] != '"'; ++i) {
                if (line[i] == '\\' && i + 1 < line.size() && (line[i + 1] == '"' || line[i + 1] == '\\'))
                    ++i;
                token += line[i];
            }
            ++i;
        }
        tokens.push_back(token);
    }
    return tokens;
}

long long number(const std::string& text)
{
    return std::strtoll(text.c_str(), nullptr, 0);
}

WPARAM wparam(const std::string& text)
{
    return static_cast<WPARAM>(number(text));
}

LPARAM lparam(const std::string& text)
{
    return static_cast<LPARAM>(number(text));
}

struct Name {
    const char* name;
    long long value;
};

// The value of a name in the table, else the text read as a number.
template <std::size_t N>
long long named(const Name (&names)[N], const std::string& text)
{
    for (const Name& entry : names) {
        if (text == entry.name)
            return entry.value;
    }
    return number(text);
}

// Unix paths (as the tests pass them under Wine) become paths on drive Z:.
std::string windowsPath(const std::string& path)
{
    std::string out = path.empty() || path[0] != '/' ? path : "Z:" + path;
    std::replace(out.begin(), out.end(), '/', '\\');
    return out;
}

bool waitFor(const std::function<bool()>& condition)
{
    DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start >= waitTimeoutMs)
            return false;
        Sleep(20);
    }
    return true;
}

struct WindowSearch {
    const char* className;  // null: any
    const char* caption;    // null: any
    bool visibleOnly;
    std::vector<HWND> found;
};

std::string className(HWND window)
{
    char text[256];
    GetClassNameA(window, text, sizeof text);
    return text;
}

std::string captionOf(HWND window)
{
    char text[512];
    GetWindowTextA(window, text, sizeof text);
    return text;
}

BOOL CALLBACK collectWindow(HWND window, LPARAM param)
{
    WindowSearch& search = *reinterpret_cast<WindowSearch*>(param);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if ((!program.processId || processId == program.processId) && (!search.visibleOnly || IsWindowVisible(window)) &&
        (!search.className || className(window) == search.className) &&
        (!search.caption || captionOf(window) == search.caption))
        search.found.push_back(window);
    return TRUE;
}

// The program's top-level windows or, given a parent, the parent's
// descendants, of that class and caption (null: any).
std::vector<HWND> programWindows(HWND parent, const char* className, const char* caption, bool visibleOnly)
{
    WindowSearch search{className, caption, visibleOnly, {}};
    if (parent)
        EnumChildWindows(parent, collectWindow, reinterpret_cast<LPARAM>(&search));
    else
        EnumWindows(collectWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND firstWindow(HWND parent, const char* className, const char* caption, bool visibleOnly)
{
    std::vector<HWND> found = programWindows(parent, className, caption, visibleOnly);
    return found.empty() ? nullptr : found.front();
}

// A message box or dialog of the program, by caption.
HWND findDialog(const std::string& caption)
{
    return firstWindow(nullptr, kDialogClass, caption.c_str(), true);
}

HWND openMenu()
{
    return firstWindow(nullptr, kMenuClass, nullptr, true);
}

// WM_GETTEXT with a time-out: under Wine a message sent to a window that is
// destroyed before it reads it (a control of a closing box) is never answered.
Result windowText(HWND window)
{
    char text[4096];
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_NORMAL,
                             kAnswerTimeoutMs, &length))
        return fail("no answer");
    return ok(std::string(text, std::min<std::size_t>(length, sizeof text)));
}

std::string joined(const std::vector<HWND>& windows, std::string (*describe)(HWND))
{
    std::string out;
    for (HWND window : windows)
        out += (out.empty() ? "" : " | ") + describe(window);
    return out;
}

// Memory lent inside the program, for messages that write their answer
// through a pointer.
struct LentMemory {
    char* at;

    explicit LentMemory(std::size_t size)
        : at(static_cast<char*>(
              VirtualAllocEx(program.process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE)))
    {
    }
    ~LentMemory()
    {
        if (at)
            VirtualFreeEx(program.process, at, 0, MEM_RELEASE);
    }
    LentMemory(const LentMemory&) = delete;
    LentMemory& operator=(const LentMemory&) = delete;
};

std::string readFromProgram(const char* address, std::size_t length)
{
    std::string data(length, '\0');
    SIZE_T got = 0;
    if (!length || !ReadProcessMemory(program.process, address, &data[0], length, &got))
        return "";
    return data.substr(0, got);
}

bool running()
{
    return program.process && WaitForSingleObject(program.process, 0) == WAIT_TIMEOUT;
}

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

void forgetProgram()
{
    if (program.process)
        CloseHandle(program.process);
    if (program.job)
        CloseHandle(program.job);
    program = Program{};
}

// Starts it suspended, so that it is in the job before it can do anything.
bool launch(const Args& args)
{
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
        return false;
    tieToDriver(info.hProcess);
    ResumeThread(info.hThread);
    CloseHandle(info.hThread);
    program.process = info.hProcess;
    program.processId = info.dwProcessId;
    program.started = true;
    return true;
}

struct Call {
    const Args& args;
    HWND window;   // the main window, the dialog or the menu the command acts on
    HWND control;  // the control it names, else the window itself
};

Result startProgram(const Call& call)
{
    if (program.started && running())
        return fail("a program is running already");
    forgetProgram();
    if (!launch(call.args))
        return fail("CreateProcess failed: " + std::to_string(GetLastError()));
    // The window exists from the start of its creation; the program is ready
    // once its creation is over and it waits for input.
    WaitForInputIdle(program.process, waitTimeoutMs);
    waitFor([] {
        program.window = firstWindow(nullptr, kMainClass, nullptr, false);
        return program.window || !running();
    });
    return program.window ? integer(program.processId) : fail("no main window");
}

Result attachProgram(const Call&)
{
    forgetProgram();
    if (!waitFor([] { return (program.window = FindWindowA(kMainClass, nullptr)) != nullptr; }))
        return fail("no main window");
    GetWindowThreadProcessId(program.window, &program.processId);
    program.process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_VM_OPERATION | PROCESS_VM_READ |
                                      PROCESS_VM_WRITE,
                                  FALSE, program.processId);
    return integer(program.processId);
}

Result exitState(const Call&)
{
    if (!program.process)
        return fail("no program");
    if (running())
        return ok("running");
    DWORD code = 0;
    GetExitCodeProcess(program.process, &code);
    return integer(code);
}

Result waitExit(const Call& call)
{
    if (program.process && WaitForSingleObject(program.process, waitTimeoutMs) != WAIT_OBJECT_0)
        return fail("still running");
    return exitState(call);
}

Result killProgram(const Call&)
{
    if (!program.started || !program.process)
        return fail("no program started here");
    if (running()) {
        TerminateProcess(program.process, 1);
        WaitForSingleObject(program.process, waitTimeoutMs);
    }
    return ok();
}

Result post(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return PostMessageA(window, message, wParam, lParam) ? ok() : fail("post failed");
}

// Sends the message args[first] with the parameters after it.
Result send(HWND window, const Args& args, std::size_t first)
{
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(window, static_cast<UINT>(number(args[first])), wparam(args[first + 1]),
                             lparam(args[first + 2]), SMTO_NORMAL, kAnswerTimeoutMs, &result))
        return fail("no answer");
    return integer(static_cast<long long>(result));
}

// Keyboard messages as the message loop would fetch them for the window. A
// menu being tracked reads those of its thread, whichever window they are
// posted to.
Result postKey(HWND window, WPARAM key)
{
    Result down = post(window, WM_KEYDOWN, key, 1);
    return down.ok ? post(window, WM_KEYUP, key, static_cast<LPARAM>(0xC0000001u)) : down;
}

Result postChar(HWND window, WPARAM code)
{
    return post(window, WM_CHAR, code, 1);
}

const Name kMouseMessages[] = {{"mousemove", WM_MOUSEMOVE},         {"lbuttondown", WM_LBUTTONDOWN},
                               {"lbuttonup", WM_LBUTTONUP},           {"lbuttondblclk", WM_LBUTTONDBLCLK},
                               {"rbuttondown", WM_RBUTTONDOWN},       {"rbuttonup", WM_RBUTTONUP},
                               {"rbuttondblclk", WM_RBUTTONDBLCLK}};

Result postTray(const Call& call)
{
    WPARAM icon = call.args.size() > 2 ? wparam(call.args[2]) : kTrayIconId;
    return post(call.window, kTrayMessage, icon, static_cast<LPARAM>(named(kMouseMessages, call.args[1])));
}

const Name kKeys[] = {{"ctrl", VK_CONTROL}, {"alt", VK_MENU}, {"shift", VK_SHIFT}, {"esc", VK_ESCAPE},
                      {"enter", VK_RETURN}, {"tab", VK_TAB},  {"f1", VK_F1},       {"space", VK_SPACE}};

WORD virtualKey(const std::string& name)
{
    bool letter = name.size() == 1 && std::isalnum(static_cast<unsigned char>(name[0]));
    return static_cast<WORD>(letter ? std::toupper(static_cast<unsigned char>(name[0])) : named(kKeys, name));
}

// The presses of a combination such as ctrl+l, then its releases in reverse
// order; none when a key is unknown.
std::vector<INPUT> comboInput(const std::string& combo)
{
    std::vector<INPUT> inputs;
    for (std::size_t start = 0; start <= combo.size();) {
        std::size_t end = std::min(combo.find('+', start), combo.size());
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = virtualKey(combo.substr(start, end - start));
        input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(input.ki.wVk, MAPVK_VK_TO_VSC));
        if (!input.ki.wVk)
            return {};
        std::size_t middle = inputs.size() / 2;
        inputs.insert(inputs.begin() + static_cast<std::ptrdiff_t>(middle), 2, input);
        inputs[middle + 1].ki.dwFlags = KEYEVENTF_KEYUP;
        start = end + 1;
    }
    return inputs;
}

Result typeKeys(const Call& call)
{
    std::vector<INPUT> inputs = comboInput(call.args[1]);
    if (inputs.empty())
        return fail("unknown key in " + call.args[1]);
    SetForegroundWindow(call.window);
    if (!waitFor([&] { return GetForegroundWindow() == call.window; }))
        return fail("the main window is not in the foreground");
    if (SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)) != inputs.size())
        return fail("input refused");
    return ok();
}

Result statusText(const Call& call)
{
    HWND bar = firstWindow(call.window, STATUSCLASSNAMEA, nullptr, false);
    if (!bar)
        return fail("no status bar");
    WPARAM part = call.args.size() > 1 ? wparam(call.args[1]) : 0;
    if (part == 0)
        return windowText(bar);  // WM_GETTEXT of a status bar reads part 0
    const std::size_t size = 1024;
    LentMemory text(size);
    if (!text.at)
        return fail("no memory in the program");
    std::size_t length = LOWORD(SendMessageA(bar, SB_GETTEXTLENGTHA, part, 0));
    if (length >= size)
        return fail("text too long");
    SendMessageA(bar, SB_GETTEXTA, part, reinterpret_cast<LPARAM>(text.at));
    return ok(readFromProgram(text.at, length));
}

std::string rectText(const RECT& r)
{
    return std::to_string(r.left) + " " + std::to_string(r.top) + " " + std::to_string(r.right - r.left) + " " +
           std::to_string(r.bottom - r.top);
}

// In client coordinates of the main window.
RECT childRect(HWND control)
{
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, program.window, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

Result windowRect(const Call& call)
{
    RECT r;
    GetWindowRect(call.window, &r);
    return ok(rectText(r));
}

Result clientSize(const Call& call)
{
    RECT r;
    GetClientRect(call.window, &r);
    return ok(std::to_string(r.right) + " " + std::to_string(r.bottom));
}

std::vector<HWND> directChildren(HWND parent)
{
    std::vector<HWND> found;
    for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        found.push_back(c);
    return found;
}

std::string describeChild(HWND c)
{
    return className(c) + " " + std::to_string(GetDlgCtrlID(c)) + " " + rectText(childRect(c)) + " \"" +
           windowText(c).value + "\"";
}

std::string describeTopLevel(HWND window)
{
    return className(window) + " \"" + captionOf(window) + "\"";
}

// The message is the box's static control that holds text (the icon is a
// static too, without text).
Result boxText(const Call& call)
{
    for (HWND c = GetWindow(call.window, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        Result text = className(c) == "Static" ? windowText(c) : ok();
        if (!text.ok || !text.value.empty())
            return text;
    }
    return ok();
}

Result ownerOf(const Call& call)
{
    HWND owner = GetWindow(call.window, GW_OWNER);
    if (owner == program.window)
        return ok("main");
    char text[32];
    std::snprintf(text, sizeof text, "%p", static_cast<void*>(owner));
    return ok(text);
}

Result pressButton(HWND dialog, int id)
{
    return post(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

const Name kButtons[] = {{"ok", IDOK}, {"cancel", IDCANCEL}, {"yes", IDYES}, {"no", IDNO}};

Result press(const Call& call)
{
    return pressButton(call.window, static_cast<int>(named(kButtons, call.args[2])));
}

Result setText(HWND control, const std::string& text)
{
    SendMessageA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    return ok();
}

Result typeText(HWND control, const std::string& text)
{
    for (unsigned char typed : text)
        PostMessageA(control, WM_CHAR, typed, 1);
    return ok();
}

// As a user's choice with the mouse ends: the selection, then the list's
// notification that its drop-down closed.
Result selectEntry(const Call& call)
{
    SendMessageA(call.control, CB_SETCURSEL, wparam(call.args[3]), 0);
    SendMessageA(call.window, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(call.control), CBN_CLOSEUP),
                 reinterpret_cast<LPARAM>(call.control));
    return ok();
}

int rowCount(HWND list)
{
    return static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
}

// LVM_GETITEMTEXTA writes through pointers, so the item record and its text
// buffer are lent inside the program.
std::string listViewText(HWND list, int row, int column)
{
    const int textSize = 512;
    LentMemory lent(sizeof(LVITEMA) + textSize);
    if (!lent.at)
        return "";
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = lent.at + sizeof item;
    item.cchTextMax = textSize;
    if (!WriteProcessMemory(program.process, lent.at, &item, sizeof item, nullptr))
        return "";
    LRESULT length = SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(lent.at));
    return length > 0 ? readFromProgram(item.pszText, std::min<std::size_t>(length, textSize)) : "";
}

Result listViewRow(const Call& call)
{
    HWND header = reinterpret_cast<HWND>(SendMessageA(call.control, LVM_GETHEADER, 0, 0));
    int columns = header ? static_cast<int>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0)) : 1;
    int row = static_cast<int>(number(call.args[3]));
    if (row < 0 || row >= rowCount(call.control))
        return fail("no such row");
    std::string out;
    for (int column = 0; column < columns; ++column)
        out += (column ? "\t" : "") + listViewText(call.control, row, column);
    return ok(out);
}

// The file name field is edt1 (1152) in the older template and the edit
// inside the combo box cmb13 (0x47C) in the newer one.
HWND fileNameField(HWND dialog)
{
    HWND field = GetDlgItem(dialog, 1152);
    if (field && IsWindowVisible(field))
        return field;
    HWND combo = GetDlgItem(dialog, 0x47C);
    return combo ? firstWindow(combo, "Edit", nullptr, true) : nullptr;
}

Result chooseFile(const Call& call)
{
    HWND field = fileNameField(call.window);
    if (!field)
        return fail("no file name field");
    setText(field, windowsPath(call.args[2]));
    return pressButton(call.window, IDOK);
}

bool writeBmp(const std::string& path, const BITMAPINFOHEADER& header, const void* bits)
{
    DWORD rowBytes = (static_cast<DWORD>(header.biWidth) * 3 + 3) & ~3u;
    DWORD imageBytes = rowBytes * static_cast<DWORD>(header.biHeight);
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize = file.bfOffBits + imageBytes;
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out)
        return false;
    bool written = std::fwrite(&file, sizeof file, 1, out) == 1 && std::fwrite(&header, sizeof header, 1, out) == 1 &&
                   std::fwrite(bits, imageBytes, 1, out) == 1;
    return std::fclose(out) == 0 && written;
}

// The window's picture as the screen shows it.
Result snap(const Call& call)
{
    HWND target = call.args.size() > 2 ? findDialog(call.args[2]) : call.window;
    if (!target)
        return fail("no dialog");
    RECT r;
    GetWindowRect(target, &r);
    BITMAPINFO info{};
    BITMAPINFOHEADER& header = info.bmiHeader;
    header.biSize = sizeof header;
    header.biWidth = r.right - r.left;
    header.biHeight = r.bottom - r.top;  // bottom-up, as BMP files store it
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, header.biWidth, header.biHeight, screen, r.left, r.top, SRCCOPY);
    GdiFlush();
    bool written = bits && writeBmp(windowsPath(call.args[1]), header, bits);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    if (!written)
        return fail("cannot write the file");
    return ok(std::to_string(header.biWidth) + " " + std::to_string(header.biHeight));
}

Result run(const Args& args);

Result waitValue(const Call& call)
{
    Args query(call.args.begin() + 2, call.args.end());
    Result last{false, ""};
    if (waitFor([&] {
            last = run(query);
            return last.ok && escape(last.value) == call.args[1];
        }))
        return last;
    return fail("timed out; last: " + std::string(last.ok ? "ok " : "error ") + escape(last.value));
}

Result waitGone(const Call& call)
{
    Args query(call.args.begin() + 1, call.args.end());
    return waitFor([&] { return !run(query).ok; }) ? ok() : fail("timed out");
}

// What a command acts on, found before it runs: the main window; a child of
// it with the id args[1]; the dialog or box with the caption args[1]; the
// control with the id args[2] in that dialog; the open popup menu.
enum class Target { none, main, child, dialog, control, menu };

struct Command {
    const char* name;
    const char* usage;  // its arguments; those in <> are required
    Target target;
    Result (*run)(const Call&);
};

Result postCommand(const Call& c)
{
    return post(c.window, WM_COMMAND, wparam(c.args[1]), 0);
}

Result postMessage(const Call& c)
{
    return post(c.window, static_cast<UINT>(number(c.args[1])), wparam(c.args[2]), lparam(c.args[3]));
}

Result click(const Call& c)
{
    SendMessageTimeoutA(c.control, BM_CLICK, 0, 0, SMTO_NORMAL, 1000, nullptr);
    return ok();
}

Result controlText(const Call& c)
{
    return windowText(c.control);
}

Result checkState(const Call& c)
{
    return integer(SendMessageA(c.control, BM_GETCHECK, 0, 0));
}

Result enabledState(const Call& c)
{
    return flag(IsWindowEnabled(c.control));
}

Result check(const Call& c)
{
    SendMessageA(c.control, BM_SETCHECK, number(c.args[3]) ? BST_CHECKED : BST_UNCHECKED, 0);
    return ok();
}

Result setTimeout(const Call& c)
{
    waitTimeoutMs = static_cast<DWORD>(number(c.args[1]));
    return ok();
}

Result pause(const Call& c)
{
    Sleep(static_cast<DWORD>(number(c.args[1])));
    return ok();
}

// The values: start and attach print the process id; exited prints the exit
// code or "running"; flags are 0 or 1; rect is the main window's
// "x y width height" on the screen and client its "width height"; children
// lists class id x y w h "text" (client coordinates) in creation order and
// windows the visible top-level windows as class "caption", both joined by
// " | "; a list with no selection is -1; a list view row is its texts joined
// by tabs; snap writes a BMP of the window or dialog as the screen shows it.
const Command kCommands[] = {
    {"start", "<exe> <folder> [show]", Target::none, startProgram},
    {"attach", "", Target::none, attachProgram},
    {"exited", "", Target::none, exitState},
    {"wait-exit", "", Target::none, waitExit},
    {"kill", "", Target::none, killProgram},  // only a program started here
    {"post-command", "<id>", Target::main, postCommand},
    {"post", "<msg> <wparam> <lparam>", Target::main, postMessage},
    {"send", "<msg> <wparam> <lparam>", Target::main, [](const Call& c) { return send(c.window, c.args, 1); }},
    {"post-registered", "<name>", Target::main,
     [](const Call& c) { return post(c.window, RegisterWindowMessageA(c.args[1].c_str()), 0, 0); }},
    {"char", "<code>", Target::main, [](const Call& c) { return postChar(c.window, wparam(c.args[1])); }},
    {"keys", "<combo>", Target::main, typeKeys},  // e.g. alt+x, ctrl+l, esc
    {"tray", "<mouse-message> [icon-id]", Target::main, postTray},
    {"click", "<id>", Target::child, click},
    {"status", "[part]", Target::main, statusText},
    {"text", "", Target::main, controlText},
    {"checked", "<id>", Target::child, checkState},
    {"enabled", "<id>", Target::child, enabledState},
    {"visible", "", Target::main, [](const Call& c) { return flag(IsWindowVisible(c.window)); }},
    {"iconic", "", Target::main, [](const Call& c) { return flag(IsIconic(c.window)); }},
    {"rect", "", Target::main, windowRect},
    {"client", "", Target::main, clientSize},
    {"style", "<id>", Target::child, [](const Call& c) { return hex(GetWindowLongA(c.control, GWL_STYLE)); }},
    {"exstyle", "", Target::main, [](const Call& c) { return hex(GetWindowLongA(c.window, GWL_EXSTYLE)); }},
    {"children", "", Target::main, [](const Call& c) { return ok(joined(directChildren(c.window), describeChild)); }},
    {"windows", "", Target::none,
     [](const Call&) { return ok(joined(programWindows(nullptr, nullptr, nullptr, true), describeTopLevel)); }},
    {"box", "<caption>", Target::dialog, boxText},
    {"owner", "<caption>", Target::dialog, ownerOf},  // "main" when the main window owns it
    {"press", "<caption> <button>", Target::dialog, press},  // ok, cancel, yes, no or an id
    {"dialog-shown", "<caption>", Target::none, [](const Call& c) { return flag(findDialog(c.args[1]) != nullptr); }},
    {"dialog-text", "<caption> <id>", Target::control, controlText},
    {"dialog-set-text", "<caption> <id> <text>", Target::control,
     [](const Call& c) { return setText(c.control, c.args[3]); }},
    {"dialog-put-text", "<caption> <id> <escaped-text>", Target::control,
     [](const Call& c) { return setText(c.control, unescape(c.args[3])); }},
    {"dialog-type", "<caption> <id> <escaped-text>", Target::control,
     [](const Call& c) { return typeText(c.control, unescape(c.args[3])); }},
    {"dialog-send", "<caption> <id> <msg> <wparam> <lparam>", Target::control,
     [](const Call& c) { return send(c.control, c.args, 3); }},
    {"dialog-checked", "<caption> <id>", Target::control, checkState},
    {"dialog-enabled", "<caption> <id>", Target::control, enabledState},
    {"dialog-check", "<caption> <id> <0|1>", Target::control, check},
    {"dialog-select", "<caption> <id> <index>", Target::control, selectEntry},
    {"dialog-selected", "<caption> <id>", Target::control,
     [](const Call& c) { return integer(static_cast<int>(SendMessageA(c.control, CB_GETCURSEL, 0, 0))); }},
    {"dialog-rows", "<caption> <id>", Target::control, [](const Call& c) { return integer(rowCount(c.control)); }},
    {"dialog-row", "<caption> <id> <row>", Target::control, listViewRow},
    {"file-dialog", "<caption> <path>", Target::dialog, chooseFile},
    {"menu-open", "", Target::none, [](const Call&) { return flag(openMenu() != nullptr); }},
    {"menu-key", "<vk>", Target::menu, [](const Call& c) { return postKey(c.window, wparam(c.args[1])); }},
    {"menu-char", "<code>", Target::menu, [](const Call& c) { return postChar(c.window, wparam(c.args[1])); }},
    {"snap", "<file.bmp> [caption]", Target::main, snap},
    {"timeout", "<ms>", Target::none, setTimeout},  // of the waits; 5000 at first
    {"wait", "<expected> <command...>", Target::none, waitValue},  // until the escaped value is <expected>
    {"wait-gone", "<command...>", Target::none, waitGone},  // until the command fails
    {"sleep", "<ms>", Target::none, pause},
};

const Command* findCommand(const std::string& name)
{
    for (const Command& command : kCommands) {
        if (name == command.name)
            return &command;
    }
    return nullptr;
}

std::size_t requiredArguments(const Command& command)
{
    return static_cast<std::size_t>(std::count(command.usage, command.usage + std::strlen(command.usage), '<'));
}

Result findWindow(Target target, const Args& args, HWND& window)
{
    switch (target) {
    case Target::none:
        return ok();
    case Target::menu:
        window = openMenu();
        return window ? ok() : fail("no menu");
    case Target::dialog:
    case Target::control:
        window = findDialog(args[1]);
        return window ? ok() : fail("no dialog");
    default:
        window = program.window && IsWindow(program.window) ? program.window : nullptr;
        return window ? ok() : fail("no main window");
    }
}

// The position of the control's id among the arguments; 0: none named.
std::size_t controlArgument(Target target)
{
    return target == Target::control ? 2 : target == Target::child ? 1 : 0;
}

Result run(const Args& args)
{
    if (args.empty())
        return fail("empty command");
    const Command* command = findCommand(args[0]);
    if (!command)
        return fail("unknown command " + args[0]);
    if (args.size() <= requiredArguments(*command))
        return fail("usage: " + args[0] + " " + command->usage);
    Call call{args, nullptr, nullptr};
    Result found = findWindow(command->target, args, call.window);
    if (!found.ok)
        return found;
    std::size_t id = controlArgument(command->target);
    call.control = id ? GetDlgItem(call.window, static_cast<int>(number(args[id]))) : call.window;
    if (!call.control && id)
        return fail("no such control");
    return command->run(call);
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
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    bool going = true;
    for (int i = 1; going && i < argc; ++i)
        going = interpret(argv[i]);
    char line[8192];
    while (going && argc == 1 && std::fgets(line, sizeof line, stdin))
        going = interpret(line);
    forgetProgram();  // closing the job ends a program started here
    return 0;
}
