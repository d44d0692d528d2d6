#include "default_scene.h"

#include <filesystem>
#include <system_error>

namespace PudletHost {

namespace fs = std::filesystem;

std::vector<std::string> sceneFolders()
{
    std::vector<std::string> folders;
    std::error_code error;
    fs::path program = fs::read_symlink("/proc/self/exe", error);
    if (!error)
        folders.push_back((program.parent_path().parent_path() / PUDLET_SCENES_INSTALL_SUBDIR).string());
    folders.push_back(PUDLET_SCENES_SOURCE_DIR);
    return folders;
}

std::string findScene(const std::vector<std::string>& folders, const std::string& name)
{
    for (const std::string& folder : folders) {
        fs::path candidate = fs::path(folder) / name;
        std::error_code error;
        if (fs::is_regular_file(candidate, error))
            return candidate.string();
    }
    return {};
}

std::string defaultScenePath()
{
    return findScene(sceneFolders(), defaultSceneName);
}

} // namespace PudletHost
