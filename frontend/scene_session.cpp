#include "scene_session.h"

#include <fstream>
#include <system_error>

namespace fs = std::filesystem;

namespace Pudlet {

namespace {

bool fail(std::string* error, std::string message)
{
    if (error)
        *error = std::move(message);
    return false;
}

} // namespace

bool openScene(Zeb::Kamblo::RevivezoRora& engine, const fs::path& scene, std::string* error)
{
    std::error_code code;
    const fs::path path = fs::absolute(scene, code).lexically_normal();
    const std::string name = scene.string();
    if (code)
        return fail(error, name + ": " + code.message());
    const fs::file_status status = fs::status(path, code);
    if (!fs::exists(status))
        return fail(error, name + ": no such scene file");
    if (!fs::is_regular_file(status))
        return fail(error, name + ": not a regular file");
    if (!std::ifstream(path).is_open())
        return fail(error, name + ": cannot open the scene file for reading");

    const fs::path previousFolder = fs::current_path(code);
    fs::current_path(path.parent_path(), code);
    if (code)
        return fail(error, name + ": cannot change into the scene's folder (" + code.message() + ")");
    if (!engine.load(path.c_str())) {
        if (!previousFolder.empty())
            fs::current_path(previousFolder, code);
        return fail(error, name + ": not a scene file");
    }
    return true;
}

bool saveScene(Zeb::Kamblo::RevivezoRora& engine, const fs::path& scene, std::string* error)
{
    std::error_code code;
    if (fs::is_directory(scene, code))
        return fail(error, scene.string() + ": is a folder, not a file");
    if (!engine.save(scene.c_str()))
        return fail(error, scene.string() + ": cannot write the scene file");
    return true;
}

} // namespace Pudlet
