#pragma once
// The Alerts dialog's pages and the controls on them, by their ids, which are
// unique across the pages: page N's template is IDD_ALERTS_SYSLOG + 100 N,
// and each page's own lines (test button, result, status, problem) lie at
// the same offsets from its template's id.
#include "resources/resource.h"

#include <windows.h>

enum {
    kAlertsPages = 5,
    kFiltersPage = 3,
    kTripwiresPage = 4,
    kPageLineSize = 320,
    kTestOffset = IDC_SYSLOG_TEST - IDD_ALERTS_SYSLOG,
    kResultOffset = IDC_SYSLOG_RESULT - IDD_ALERTS_SYSLOG,
    kStatusOffset = IDC_SYSLOG_STATUS - IDD_ALERTS_SYSLOG,
    kProblemOffset = IDC_SYSLOG_PROBLEM - IDD_ALERTS_SYSLOG,
};

// In the tabs' order: the channels', the filters', the tripwires'.
extern const int kPageTemplates[kAlertsPages];
extern const char* const kPageNames[kAlertsPages];
// The page windows, made when the dialog opens.
extern HWND pages[kAlertsPages];

int pageOf(int id);
// The id of a page's own line at `offset`.
int lineOf(int page, int offset);
HWND control(int id);

void setText(int id, const char* text);
// Unchanged text is not set again, so the lines refreshed by the timer do not flicker.
void refreshText(int id, const char* text);
void getText(int id, char* text, int size);
int checked(int id);
void check(int id, int on);
// The index of the ticked one of `count` radio buttons from `first`.
int radioIndex(int first, int count);
void checkRadio(int first, int count, int index);
void setNumber(int id, int number);
// -1 when the field holds no number up to `high`.
int numberIn(int id, int high);
// Anything but a number from 1 to 65535 reads as 0, which the checks refuse.
int portIn(int id);
void enable(int id, bool on);
