#pragma once
// Every resource and control id of the program, by thousands:
// commands 1000-1010, daemon buttons 2000-2004, main-window buttons 3000-3005,
// one range per dialog template (4000, 5000, 6000, 7000, 8000, 9000), icons, menu
// and accelerators from 10000. Shared by the C++ code, the portable core
// included, and the .rc files, so plain macros only and no <windows.h>.

#define IDM_SAVE_SETTINGS 1000
#define IDM_SEND_TO_TRAY 1001
#define IDM_EXIT 1002
#define IDM_SET_CUSTOM 1003
#define IDM_SET_LOG_PATH 1004
#define IDM_ABOUT 1005
#define IDM_HELP 1006
#define IDM_RESTORE 1007
#define IDM_TOGGLE_LISTEN 1009
#define IDM_ALERTS 1010

#define IDC_DAEMON_FREEBSD 2000
#define IDC_DAEMON_REDHAT 2001
#define IDC_DAEMON_SUBSEVEN 2002
#define IDC_DAEMON_NETBUS 2003
#define IDC_DAEMON_CUSTOM 2004

#define IDC_PREVIEW 3000
#define IDC_LISTEN 3001
#define IDC_STANDBY 3002
#define IDC_LOG_PATH_BUTTON 3003
#define IDC_VIEW_LOG 3004
#define IDC_LOG_CHECK 3005

#define IDD_CUSTOM_DAEMON 4000
#define IDC_CUSTOM_WELCOME 4001
#define IDC_CUSTOM_REPLY 4002
#define IDC_CUSTOM_GOODBYE 4003
#define IDC_CUSTOM_REPLY_COUNT 4005
#define IDC_CUSTOM_PORT 4006
#define IDC_CUSTOM_OK 4007
#define IDC_CUSTOM_CANCEL 4008
#define IDC_CUSTOM_LOAD 4009
#define IDC_CUSTOM_SAVE 4010
#define IDC_CUSTOM_ECHO_WELCOME 4011
#define IDC_CUSTOM_ECHO_REPLY 4012
#define IDC_CUSTOM_TIMER 4013
#define IDC_CUSTOM_REPEAT 4014
#define IDC_CUSTOM_REPEAT_LABEL 4015
#define IDC_CUSTOM_MESSAGES_GROUP 666

#define IDD_LOG_PATH 5000
#define IDC_LOG_PATH_EDIT 5001
#define IDC_LOG_PATH_BROWSE 5002
#define IDC_LOG_PATH_OK 5003
#define IDC_LOG_PATH_CANCEL 5004

#define IDD_CONNECTIONS_LOG 6000
#define IDC_CONNECTIONS_LIST 6001
#define IDC_CONNECTIONS_OK 6002

#define IDD_PREVIEW 7000
#define IDC_PREVIEW_PORT 7001
#define IDC_PREVIEW_OUTLINE 7002
#define IDC_PREVIEW_OK 7003
#define IDC_PREVIEW_TIMER 7004

#define IDD_ABOUT 8000
#define IDB_ABOUT_BANNER 8001
#define IDC_ABOUT_OK 8002
#define IDC_ABOUT_EMAIL 8003
#define IDC_ABOUT_WEB 8004
#define IDC_ABOUT_NAME 6660
#define IDC_ABOUT_AUTHOR 6661
#define IDC_ABOUT_GROUP 6662

#define IDD_ALERTS 9000
#define IDC_ALERTS_ENABLED 9001
#define IDC_ALERTS_COLLECTOR 9002
#define IDC_ALERTS_PORT 9003
#define IDC_ALERTS_UDP 9004
#define IDC_ALERTS_TCP 9005
#define IDC_ALERTS_TEST 9006
#define IDC_ALERTS_TEST_RESULT 9007
#define IDC_ALERTS_STATUS 9008
#define IDC_ALERTS_PROBLEM 9009
#define IDC_ALERTS_OK 9010
#define IDC_ALERTS_CANCEL 9011
// 9050: the Alerts dialog's refresh timer (ui/dialogs/alerts_dialog.cpp).

#define IDI_LISTENING 10000
#define IDI_STANDING_BY 10001
#define IDI_DETECTED 10002
#define IDR_MAIN_MENU 10003
// 10004 and 10005: the window's timers, which are no resources (engine/listener.h).
#define IDR_ACCELERATORS 10006
// 10007: the alerts' delivery timer, no resource either (ui/program_state.h).
