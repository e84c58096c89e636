#include "ui/wx/program_icon.h"

#include "res/icon.h"

#include <wx/bitmap.h>
#include <wx/icon.h>
#include <wx/image.h>
#include <wx/mstream.h>

wxIconBundle LoadProgramIcon()
{
    if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG))
        wxImage::AddHandler(new wxPNGHandler);

    wxIconBundle bundle;
    std::size_t count = 0;
    const res::IconImage* images = res::ProgramIconImages(count);
    for (std::size_t i = 0; i < count; ++i) {
        wxMemoryInputStream stream(images[i].png, images[i].length);
        const wxImage image(stream, wxBITMAP_TYPE_PNG);
        if (!image.IsOk())
            continue;
        wxIcon icon;
        icon.CopyFromBitmap(wxBitmap(image));
        bundle.AddIcon(icon);
    }
    return bundle;
}
