#pragma once
// The Alerts dialog's test messages and status lines. Each channel page tests
// through a channel of its own, so that a test never waits behind, nor is
// counted with, the program's alerts; a test is tried once, never retried
// behind the user's back. The status line tells what the program's own
// channel has done since the start.

// The fields of `channel`'s page as they stand, ticked or not, saved or not:
// a test message goes, or the page's fault is shown.
void onSendTest(int channel);

// Every test's next step and outcome, and every status line: at each
// refresh tick.
void refreshTestsAndStatus();

// Closes the test channels (the dialog opens or closes).
void resetTests();
