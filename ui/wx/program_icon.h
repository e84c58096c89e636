// The program icon as the toolkit's images.
#pragma once

#include <wx/iconbndl.h>

// Every embedded size of the program icon; the window manager picks the ones
// it needs for the title bar, the task bar and the window switcher.
wxIconBundle LoadProgramIcon();
