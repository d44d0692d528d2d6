#include "scene_session.h"

#include <fstream>
#include <system_error>

#include "cli_arguments.h"

namespace fs = std::filesystem;

namespace PudletCli {

fs::path absolutePath(const std::string& argument)
{
    std::error_code error;
    fs::path path = fs::absolute(fs::path(argument), error);
    if (error)
        throw Failure(argument + ": " + error.message());
    return path.lexically_normal();
}

void prepareOutputFolder(const fs::path& folder)
{
    std::error_code error;
    fs::create_directories(folder, error);
    if (error || !fs::is_directory(folder))
        throw Failure(folder.string() + ": cannot create the output folder" +
                      (error ? " (" + error.message() + ")" : std::string(" (a file of that name exists)")));
}

void prepareOutputFile(const fs::path& file)
{
    if (!file.has_filename())
        throw Failure(file.string() + ": an output file needs a file name, not a folder");
    std::error_code error;
    if (fs::is_directory(file, error))
        throw Failure(file.string() + ": is a folder, not a file");
    try {
        prepareOutputFolder(file.parent_path());
    } catch (const Failure& failure) {
        throw Failure(file.string() + ": " + failure.what());
    }
}

EngineHandle openScene(const fs::path& scene)
{
    const std::string name = scene.string();
    std::error_code error;
    const fs::file_status status = fs::status(scene, error);
    if (!fs::exists(status))
        throw Failure(name + ": no such scene file");
    if (!fs::is_regular_file(status))
        throw Failure(name + ": not a regular file");
    if (!std::ifstream(scene).is_open())
        throw Failure(name + ": cannot open the scene file for reading");

    fs::current_path(scene.parent_path(), error);
    if (error)
        throw Failure(scene.parent_path().string() + ": cannot change into the scene's folder (" + error.message() +
                      ")");
    EngineHandle engine(Zeb::Kamblo::RevivezoRora::newInstance());
    if (!engine->load(scene.filename().c_str()))
        throw Failure(name + ": not a scene file");
    return engine;
}

} // namespace PudletCli
