#include "operation/unread_folders.h"

#include <windows.h>

#include <cstring>

#include "model/path_order.h"
#include "scan/real_file_system.h"
#include "scan/walker.h"

namespace {

// Whether path is folder itself or lies below it, both in recorded form
// without a trailing backslash, letter case folded as the path order folds it.
bool Under(const std::string& path, const std::string& folder)
{
    return path.size() >= folder.size() && SamePathStart(path.c_str(), folder.c_str(), folder.size()) &&
           (path.size() == folder.size() || path[folder.size()] == '\\');
}

}  // namespace

int64_t UnreadFolderJudge::UnreadHolding(const std::string& folder) const
{
    for (size_t i = 0; i < state_.unreadFolders.size(); ++i) {
        if (Under(folder, state_.unreadFolders[i].recorded)) return static_cast<int64_t>(i);
    }
    return -1;
}

int64_t UnreadFolderJudge::LookAt(const std::string& folder)
{
    // The folder's full path: recorded paths lose the drive letter unless it
    // is kept, so it comes back from the Include entry the folder lies under.
    std::string full;
    const bool keepDrive = state_.includeDriveLetter.load() != 0;
    const DirectoryList& list = state_.directoryList;
    for (int slot = 0; slot < MAX_DIRECTORIES && full.empty(); ++slot) {
        const std::string include(list.paths[slot], strnlen(list.paths[slot], DIRECTORY_PATH_SIZE - 1));
        if (list.actions[slot] == Include && Under(folder, RecordedPath(include.c_str(), keepDrive))) {
            full = keepDrive ? folder : include.substr(0, 2) + folder;
        }
    }
    // A name the code page cannot spell ('?') cannot be opened by it.
    if (full.empty() || full.find('?') != std::string::npos) return -1;
    DWORD error = state_.listingFault != nullptr ? state_.listingFault(full.c_str()) : 0;
    if (error == 0) {
        const bool drive = full.size() >= 2 && full[1] == ':';
        std::wstring wide(full.size() + 1, L'\0');
        wide.resize(static_cast<size_t>(MultiByteToWideChar(CP_ACP, 0, full.c_str(), -1, &wide[0],
                                                            static_cast<int>(wide.size()))));
        wide = (drive ? L"\\\\?\\" : L"") + wide.substr(0, wide.empty() ? 0 : wide.size() - 1) + L"\\*";
        WIN32_FIND_DATAW entry;
        HANDLE find;
        {
            RealFileSystem real;
            find = FindFirstFileW(wide.c_str(), &entry);
            error = find == INVALID_HANDLE_VALUE ? GetLastError() : 0;
        }
        if (find != INVALID_HANDLE_VALUE) FindClose(find);
    }
    if (error == 0 || error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return -1;
    state_.unreadFolders.push_back({full, folder, error, false});
    return static_cast<int64_t>(state_.unreadFolders.size()) - 1;
}

bool UnreadFolderJudge::LookedFor(const RecordTable& loaded, int32_t index)
{
    const RecordPath path = loaded.Path(index);
    // Records of one folder come together: the folder is judged once.
    const size_t length = path.folderLength > 0 ? path.folderLength - 1u : 0u;  // without its backslash
    if (!any_ || lastFolder_.size() != length || std::memcmp(lastFolder_.data(), path.folder, length) != 0) {
        any_ = true;
        lastFolder_.assign(path.folder, length);
        lastUnread_ = UnreadHolding(lastFolder_);
        if (lastUnread_ < 0 && !lastFolder_.empty()) lastUnread_ = LookAt(lastFolder_);
    }
    if (lastUnread_ < 0) return true;
    state_.unreadFolders[static_cast<size_t>(lastUnread_)].holdsRecords = true;
    return false;
}
