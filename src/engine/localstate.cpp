#include "engine/localstate.h"

#include "engine/safename.h"

#include <sys/stat.h>

namespace engine {

static LocalState stateOf(const std::filesystem::path &file, std::int64_t serverSize)
{
    struct stat st
    {
    };
    if (::stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return LocalState::NotPresent;
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0)
        return LocalState::Writable;
    if (serverSize >= 0 && static_cast<std::int64_t>(st.st_size) != serverSize)
        return LocalState::SizeDiffers;
    return LocalState::ReadOnly;
}

std::vector<LocalState> localStates(const std::filesystem::path &folder,
                                    const std::vector<LocalProbe> &files,
                                    const std::atomic<bool> *cancel)
{
    std::vector<LocalState> states(files.size(), LocalState::Unknown);
    if (folder.empty())
        return states;
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (cancel && cancel->load(std::memory_order_relaxed))
            break;
        if (isSafePathComponent(files[i].name))
            states[i] = stateOf(folder / files[i].name, files[i].serverSize);
    }
    return states;
}

} // namespace engine
