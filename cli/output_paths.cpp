#include "output_paths.h"

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

Pudlet::EngineHandle openSceneOrFail(const fs::path& scene)
{
    Pudlet::EngineHandle engine = Pudlet::newEngine();
    std::string error;
    if (!Pudlet::openScene(*engine, scene, &error))
        throw Failure(error);
    return engine;
}

} // namespace PudletCli
