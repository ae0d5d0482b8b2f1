#include "ui/dialogs/custom_daemon_dialog.h"

#include "engine/custom_daemon_rules.h"
#include "engine/error_notice.h"
#include "resources/resource.h"
#include "storage/custom_daemon_file.h"
#include "ui/dialogs/file_dialog.h"
#include "ui/dialogs/modal_dialog.h"
#include "ui/program_state.h"

#include <cstdint>

namespace {

enum { kTypedTextLimit = 300 };

const char* const kReplyCountTexts[kReplyCountEntries] = {"One", "Two"};
const char* const kTimerTexts[kTimerEntries] = {"None", "30 Sec", "60 Sec", "90 Sec", "120 Sec"};

void fillList(HWND dialog, int id, const char* const* texts, int count)
{
    for (int i = 0; i < count; ++i)
        SendDlgItemMessageA(dialog, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(texts[i]));
}

int selectedEntry(HWND dialog, int id)
{
    return static_cast<int>(SendDlgItemMessageA(dialog, id, CB_GETCURSEL, 0, 0));
}

void selectEntry(HWND dialog, int id, int entry)
{
    SendDlgItemMessageA(dialog, id, CB_SETCURSEL, static_cast<WPARAM>(entry), 0);
}

void setCheck(HWND dialog, int id, std::int32_t on)
{
    CheckDlgButton(dialog, id, on != 0 ? BST_CHECKED : BST_UNCHECKED);
}

std::int32_t checkState(HWND dialog, int id)
{
    return IsDlgButtonChecked(dialog, id) == BST_CHECKED ? 1 : 0;
}

// Values outside the lists (hand-edited files) select the nearest entry.
void showScript(HWND dialog, const DaemonScript& script)
{
    selectEntry(dialog, IDC_CUSTOM_REPLY_COUNT, replyCountEntry(script.replyCount));
    selectEntry(dialog, IDC_CUSTOM_TIMER, timerEntry(script.timerChoice));
    SetDlgItemTextA(dialog, IDC_CUSTOM_WELCOME, script.welcome);
    SetDlgItemTextA(dialog, IDC_CUSTOM_REPLY, script.reply);
    SetDlgItemTextA(dialog, IDC_CUSTOM_GOODBYE, script.goodbye);
    SetDlgItemInt(dialog, IDC_CUSTOM_PORT, static_cast<UINT>(script.port), FALSE);
    setCheck(dialog, IDC_CUSTOM_ECHO_WELCOME, script.echoWelcome);
    setCheck(dialog, IDC_CUSTOM_ECHO_REPLY, script.echoReply);
    setCheck(dialog, IDC_CUSTOM_REPEAT, script.repeat);
}

INT_PTR onInitDialog(HWND dialog)
{
    fillList(dialog, IDC_CUSTOM_REPLY_COUNT, kReplyCountTexts, kReplyCountEntries);
    fillList(dialog, IDC_CUSTOM_TIMER, kTimerTexts, kTimerEntries);
    showScript(dialog, program.scriptTable[DaemonCustom]);
    SendDlgItemMessageA(dialog, IDC_CUSTOM_WELCOME, EM_LIMITTEXT, kTypedTextLimit, 0);
    SendDlgItemMessageA(dialog, IDC_CUSTOM_REPLY, EM_LIMITTEXT, kTypedTextLimit, 0);
    SendDlgItemMessageA(dialog, IDC_CUSTOM_GOODBYE, EM_LIMITTEXT, kTypedTextLimit, 0);
    // With "None" this also leaves the Repeat box unticked, as a stored
    // repeat flag means nothing without a timer.
    refreshRepeatControls(dialog);
    return TRUE;
}

void onOk(HWND dialog)
{
    if (!readCustomDaemonDialog(dialog, program.scriptTable[DaemonCustom]))
        return;
    program.settingsChanged = 1;
    EndDialog(dialog, IDC_CUSTOM_OK);
}

void onLoad(HWND dialog)
{
    char fileName[kPathSize];
    if (chooseFile(LoadCustomDaemonFile, dialog, fileName))
        loadCustomDaemonFile(dialog, fileName);
    refreshRepeatControls(dialog);
}

void onSave(HWND dialog)
{
    char fileName[kPathSize];
    if (chooseFile(SaveCustomDaemonFile, dialog, fileName))
        saveCustomDaemonFile(dialog, fileName);
}

INT_PTR onCommand(HWND dialog, int id, int notification)
{
    switch (id) {
    case IDC_CUSTOM_CANCEL:
    case IDCANCEL:
        EndDialog(dialog, IDC_CUSTOM_CANCEL);
        return TRUE;
    case IDC_CUSTOM_OK:
        onOk(dialog);
        return TRUE;
    case IDC_CUSTOM_LOAD:
        onLoad(dialog);
        return TRUE;
    case IDC_CUSTOM_SAVE:
        onSave(dialog);
        return TRUE;
    case IDC_CUSTOM_TIMER:
        if (notification != CBN_CLOSEUP)
            return FALSE;
        refreshRepeatControls(dialog);
        return TRUE;
    default:
        return FALSE;
    }
}

const ModalDialog kDialog = {IDD_CUSTOM_DAEMON, onInitDialog, onCommand, nullptr};

} // namespace

void openCustomDaemonDialog(HWND owner)
{
    runModalDialog(owner, kDialog);
}

int readCustomDaemonDialog(HWND dialog, DaemonScript& script)
{
    char portText[kScriptTextSize];
    GetDlgItemTextA(dialog, IDC_CUSTOM_PORT, portText, sizeof portText);
    std::uint32_t port = readPortText(portText);
    int notice = portNotice(port);
    if (notice != 0) {
        showErrorNotice(dialog, notice);
        return 0;
    }
    script.port = static_cast<std::int32_t>(port);
    GetDlgItemTextA(dialog, IDC_CUSTOM_WELCOME, script.welcome, kTypedTextLimit + 1);
    GetDlgItemTextA(dialog, IDC_CUSTOM_REPLY, script.reply, kTypedTextLimit + 1);
    GetDlgItemTextA(dialog, IDC_CUSTOM_GOODBYE, script.goodbye, kTypedTextLimit + 1);
    script.replyCount = selectedEntry(dialog, IDC_CUSTOM_REPLY_COUNT) + 1;
    script.timerChoice = selectedEntry(dialog, IDC_CUSTOM_TIMER);
    script.echoWelcome = checkState(dialog, IDC_CUSTOM_ECHO_WELCOME);
    script.echoReply = checkState(dialog, IDC_CUSTOM_ECHO_REPLY);
    script.repeat = checkState(dialog, IDC_CUSTOM_REPEAT);
    return 1;
}

void refreshRepeatControls(HWND dialog)
{
    HWND label = GetDlgItem(dialog, IDC_CUSTOM_REPEAT_LABEL);
    HWND box = GetDlgItem(dialog, IDC_CUSTOM_REPEAT);
    if (selectedEntry(dialog, IDC_CUSTOM_TIMER) == 0) {
        EnableWindow(label, FALSE);
        CheckDlgButton(dialog, IDC_CUSTOM_REPEAT, BST_UNCHECKED);
        EnableWindow(box, FALSE);
        return;
    }
    EnableWindow(label, TRUE);
    EnableWindow(box, TRUE);
}

int loadCustomDaemonFile(HWND dialog, const char* fileName)
{
    DaemonScript script;
    ZeroMemory(&script, sizeof script);
    CustomFileVersion version = CustomFileCurrent;
    int notice = customFileNoticeCode(readCustomDaemonFile(fileName, script, version));
    if (notice != 0) {
        showErrorNotice(dialog, notice);
        return 0;
    }
    showScript(dialog, script);
    if (version != CustomFileCurrent)
        saveCustomDaemonFile(dialog, fileName);
    return 1;
}

void saveCustomDaemonFile(HWND dialog, const char* fileName)
{
    DaemonScript script;
    ZeroMemory(&script, sizeof script);
    if (!readCustomDaemonDialog(dialog, script))
        return;
    // A file that cannot be written has no notice of its own; nothing is
    // written through it and the dialog stays as it is.
    writeCustomDaemonFile(fileName, script);
}
