// The program icon as the toolkit's images.
#pragma once

#include <wx/bmpbndl.h>
#include <wx/iconbndl.h>

// Every embedded size of the program icon; the window manager picks the ones
// it needs for the title bar, the task bar and the window switcher.
wxIconBundle LoadProgramIcon();

// The program icon `side` pixels square at any display scale, each size made
// from the smallest embedded image at least that large (the largest when none
// is), scaled smoothly.
wxBitmapBundle ProgramIconAt(int side);
