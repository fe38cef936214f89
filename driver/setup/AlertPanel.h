#pragma once

// The bundle's one message box: a bold title, a message and OK, with a
// second button when `secondButton` is given and not empty. Returns 0 for
// OK and 1 for the second button. When no dialog can be shown (no display,
// no dialog module) the answer is the second button's when one was offered,
// since every second button of the driver declines, else 0.
int showAlert(const char* title, const char* message, const char* secondButton);
