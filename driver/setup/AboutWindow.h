#pragma once

// Shows the about window modally: the driver's version, the trace line and
// the logo with the hidden trace switch. False when it could not be shown.
bool runAboutWindow();
