#include "ui/wx/program_icon.h"

#include "res/icon.h"

#include <wx/bitmap.h>
#include <wx/icon.h>
#include <wx/image.h>
#include <wx/mstream.h>

#include <cmath>
#include <vector>

namespace {

std::vector<wxImage> EmbeddedImages()
{
    if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG))
        wxImage::AddHandler(new wxPNGHandler);
    std::vector<wxImage> images;
    std::size_t count = 0;
    const res::IconImage* embedded = res::ProgramIconImages(count);
    for (std::size_t i = 0; i < count; ++i) {
        wxMemoryInputStream stream(embedded[i].png, embedded[i].length);
        const wxImage image(stream, wxBITMAP_TYPE_PNG);
        if (image.IsOk())
            images.push_back(image);
    }
    return images;
}

// Scaling down from a larger image keeps its detail; scaling up from a
// smaller one would only blur it.
class ScaledIcon : public wxBitmapBundleImpl {
public:
    explicit ScaledIcon(int side) : m_side(side), m_images(EmbeddedImages()) {}

    wxSize GetDefaultSize() const override { return wxSize(m_side, m_side); }

    wxSize GetPreferredBitmapSizeAtScale(double scale) const override
    {
        const int side = static_cast<int>(std::lround(m_side * scale));
        return wxSize(side, side);
    }

    wxBitmap GetBitmap(const wxSize& size) override
    {
        if (m_images.empty() || size.x <= 0 || size.y <= 0)
            return wxBitmap();
        const wxImage* source = &m_images.back();
        for (const wxImage& image : m_images) {
            if (image.GetWidth() >= size.x && image.GetHeight() >= size.y) {
                source = &image;
                break;
            }
        }
        if (source->GetSize() == size)
            return wxBitmap(*source);
        return wxBitmap(source->Scale(size.x, size.y, wxIMAGE_QUALITY_HIGH));
    }

private:
    int m_side;
    std::vector<wxImage> m_images;  // smallest first
};

}  // namespace

wxIconBundle LoadProgramIcon()
{
    wxIconBundle bundle;
    for (const wxImage& image : EmbeddedImages()) {
        wxIcon icon;
        icon.CopyFromBitmap(wxBitmap(image));
        bundle.AddIcon(icon);
    }
    return bundle;
}

wxBitmapBundle ProgramIconAt(int side) { return wxBitmapBundle::FromImpl(new ScaledIcon(side)); }
