// Finding a listed file's folder again, on every system.
#include "cli/folders.h"

#include <algorithm>
#include <iterator>

namespace cli {

const platform::Folder* ListedFolders::Open(int folder)
{
    std::vector<int> chain;
    for (int at = folder; at >= 0; at = m_list.folders[static_cast<size_t>(at)].parent)
        chain.insert(chain.begin(), at);
    // Only the folders on the way down to this one stay open.
    for (auto it = m_open.begin(); it != m_open.end();)
        it = std::find(chain.begin(), chain.end(), it->first) == chain.end() ? m_open.erase(it) : std::next(it);
    const platform::Folder* above = nullptr;
    for (const int at : chain) {
        auto& open = m_open[at];
        const ListedFolder& listed = m_list.folders[static_cast<size_t>(at)];
        if (!open) {
            auto made = std::make_unique<platform::Folder>();
            const bool opened = above ? made->OpenWithin(*above, listed.name) : made->Open(listed.name);
            if (!opened || made->Identity() != listed.identity) {
                m_open.erase(at);
                return nullptr;
            }
            open = std::move(made);
        }
        above = open.get();
    }
    return above;
}

const platform::Folder* ListedFolders::FolderOf(const Place& place)
{
    const platform::Folder* folder = Open(place.folder);
    platform::FileIdentity now;
    bool regular = false;
    if (!folder || !folder->EntryIdentity(place.name, false, now, &regular) || !regular || now != place.identity)
        return nullptr;
    return folder;
}

}  // namespace cli
