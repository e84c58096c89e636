#include "cli/folders.h"

#include "cli/output.h"
#include "platform/cancel.h"
#include "platform/files.h"
#include "platform/translation.h"

#include <algorithm>
#include <set>

namespace cli {

namespace {

class Walk {
public:
    Walk(const std::string& keyPath, bool quiet, const TakeFile& take) : m_quiet(quiet), m_take(take)
    {
        platform::PathIdentity(keyPath, m_key);
    }

    // A folder named on the command line, where a link is taken at its word.
    void Named(const std::string& path)
    {
        platform::Folder folder;
        if (folder.Open(path))
            Folder(folder, path);
        else
            CannotRead(path);
    }

    bool failed = false;
    int skipped = 0;

private:
    void Folder(platform::Folder& folder, const std::string& path)
    {
        if (!m_folders.insert(folder.Identity()).second) {
            Skip(TR_MARK("reached a second way"), path);
            return;
        }
        // All names before any file is handed over: the passes add and
        // replace names in this folder as they go.
        std::vector<std::string> names;
        if (!folder.Names(names)) {
            CannotRead(path);
            return;
        }
        std::sort(names.begin(), names.end());
        m_chain.push_back(&folder);
        for (const std::string& name : names) {
            // Taken back after a deeper folder, unless it is no longer the
            // folder it was.
            if (!folder.IsOpen()) {
                CannotRead(path);
                break;
            }
            Entry(folder, name, folder.Shown() + name);
        }
        m_chain.pop_back();
    }

    // The folders above the one being read are let go, oldest first, so
    // that a tree of any depth holds a bounded number open.
    void LetGoOfAncestors()
    {
        auto open = std::count_if(m_chain.begin(), m_chain.end(), [](auto* folder) { return folder->IsOpen(); });
        for (auto at = m_chain.begin(); at + 1 < m_chain.end() && open >= kOpenFolders; ++at) {
            if ((*at)->IsOpen()) {
                (*at)->Release();
                --open;
            }
        }
    }

    void Entry(platform::Folder& folder, const std::string& name, const std::string& path)
    {
        platform::FileIdentity identity;
        platform::EntryKind kind{};
        if (!folder.EntryIdentity(name, false, identity, &kind)) {
            Say(platform::Fill(platform::Tr("cannot read %1: %2"),
                               {QuoteName(path), platform::SystemErrorText(platform::LastSystemError())}));
            failed = true;
            return;
        }
        if (kind == platform::EntryKind::Folder) {
            // Opened from the folder just read, so a folder swapped for a
            // link meanwhile is not followed.
            platform::Folder sub;
            LetGoOfAncestors();
            if (sub.OpenWithin(folder, name)) {
                Folder(sub, path);
                if (!folder.IsOpen())
                    folder.Reopen(sub);
                return;
            }
            const int error = platform::LastSystemError();
            if (folder.EntryIdentity(name, false, identity, &kind) && kind != platform::EntryKind::Folder)
                Skip(TR_MARK("changed while the folder was read"), path);
            else
                CannotRead(path, error);
        } else if (kind == platform::EntryKind::Link) {
            Skip(TR_MARK("a symbolic link"), path);
        } else if (kind == platform::EntryKind::SystemFile) {
            // Explorer's own (desktop.ini, Thumbs.db): encrypted, they would
            // change how it shows the folder. Hidden-only files are the user's.
            Skip(TR_MARK("a system file"), path);
        } else if (kind != platform::EntryKind::Regular) {
            Skip(TR_MARK("not a regular file"), path);
        } else if (identity == m_key) {
            Skip(TR_MARK("the key file"), path);
        } else if (platform::IsTemporaryName(name)) {
            Skip(TR_MARK("a temporary file"), path);
        } else if (!m_files.insert(identity).second) {
            Skip(TR_MARK("reached a second way"), path);
        } else {
            m_take(&folder, name);
        }
    }

    void CannotRead(const std::string& path, int error = platform::LastSystemError())
    {
        Say(platform::Fill(platform::Tr("cannot read folder %1: %2"),
                           {QuoteName(path), platform::SystemErrorText(error)}));
        failed = true;
    }

    // Once a stop was asked for, the files that follow are only handed over
    // to be named as unchanged, and nothing else is said of them.
    void Skip(const char* why, const std::string& path)
    {
        ++skipped;
        if (!m_quiet && !platform::CancelRequested())
            Say(platform::Fill(platform::Tr("skipped (%1): %2"), {platform::Tr(why), QuoteName(path)}));
    }

    bool m_quiet;
    const TakeFile& m_take;
    // What no file is, unless the key is found.
    platform::FileIdentity m_key{~0ull, ~0ull};
    std::set<platform::FileIdentity> m_folders, m_files;
    // The folders from the one named down to the one being read.
    std::vector<platform::Folder*> m_chain;
    static constexpr long kOpenFolders = 16;
};

}  // namespace

bool WalkFiles(const std::vector<std::string>& names, const std::string& keyPath, bool quiet, const TakeFile& take,
               int* skipped)
{
    Walk walk(keyPath, quiet, take);
    for (const std::string& name : names) {
        platform::FileIdentity identity;
        platform::EntryKind kind{};
        if (platform::PathIdentity(name, identity, &kind) && kind == platform::EntryKind::Folder)
            walk.Named(name);
        else
            take(nullptr, name);
    }
    if (skipped)
        *skipped += walk.skipped;
    return !walk.failed;
}

}  // namespace cli
