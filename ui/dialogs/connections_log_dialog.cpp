#include "ui/dialogs/connections_log_dialog.h"

#include "engine/error_notice.h"
#include "resources/resource.h"
#include "storage/connection_log.h"
#include "ui/dialogs/modal_dialog.h"
#include "ui/program_state.h"

#include <commctrl.h>

namespace {

struct Column {
    const char* header;
    int width;
};

const Column kColumns[] = {{"IP Address", 110}, {"Port", 65}, {"Date", 85}, {"Time", 60}};

// Placed in pixels, not dialog units.
HWND createList(HWND dialog)
{
    return CreateWindowExA(WS_EX_CLIENTEDGE, "SysListView32", nullptr,
                           WS_CHILD | WS_VISIBLE | WS_BORDER | LVS_REPORT, 10, 0, 345, 150, dialog,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_CONNECTIONS_LIST)),
                           program.module, nullptr);
}

// Column 0 is the item text itself and so carries no sub-item index.
void insertColumns(HWND list)
{
    for (int i = 0; i < 4; ++i) {
        LVCOLUMNA column;
        ZeroMemory(&column, sizeof column);
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
        column.fmt = LVCFMT_LEFT;
        column.cx = kColumns[i].width;
        column.pszText = const_cast<char*>(kColumns[i].header);
        if (i > 0) {
            column.mask |= LVCF_SUBITEM;
            column.iSubItem = i;
        }
        SendMessageA(list, LVM_INSERTCOLUMNA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&column));
    }
}

void setCell(HWND list, int row, int column, const char* text)
{
    LVITEMA item{};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.iSubItem = column;
    item.pszText = const_cast<char*>(text);
    SendMessageA(list, column == 0 ? LVM_INSERTITEMA : LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
}

// One row per record, in file order.
void fillList(HWND list, ConnectionLogReader& log)
{
    for (int row = 0; connectionLogNextRow(log); ++row) {
        const char* const cells[] = {log.row.address, log.row.port, log.row.date, log.row.time};
        for (int column = 0; column < 4; ++column)
            setCell(list, row, column, cells[column]);
    }
}

// Ending the dialog here keeps it from ever being shown.
INT_PTR onInitDialog(HWND dialog)
{
    HWND list = createList(dialog);
    insertColumns(list);
    ConnectionLogReader log;
    if (!connectionLogOpen(log, program.logPath)) {
        showErrorNotice(dialog, NoticeFileNotFound);
        EndDialog(dialog, IDC_CONNECTIONS_OK);
        return TRUE;
    }
    fillList(list, log);
    connectionLogClose(log);
    return TRUE;
}

INT_PTR onCommand(HWND dialog, int id, int)
{
    return endOnOk(dialog, id, IDC_CONNECTIONS_OK);
}

const ModalDialog kDialog = {IDD_CONNECTIONS_LOG, onInitDialog, onCommand, nullptr};

} // namespace

void openConnectionsLogDialog(HWND owner)
{
    runModalDialog(owner, kDialog);
}
