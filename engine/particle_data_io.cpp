// The .pdl scene file: one record per line, read back token by token.
#include "particle_data.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <locale>
#include <map>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>

#if defined(__unix__) || defined(__APPLE__)
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif
#include <system_error>

#include "regular_file.h"
#include "scene_script.h"
#include "texture.h"

namespace Zeb::Kamblo {

namespace {

constexpr const char* kBanner = "# Zebwork Kamblo (" __DATE__ ")\n";
constexpr int kFileVersion = 2;
// A version-1 particle word keeps the body in its top six bits.
constexpr int kVersion1BodyShift = 26;
constexpr uint32_t kVersion1InfoMask = (uint32_t(1) << kVersion1BodyShift) - 1;

uint32_t packColor(Color c)
{
    return uint32_t(c.red) << 24 | uint32_t(c.green) << 16 | uint32_t(c.blue) << 8 | uint32_t(c.alpha);
}

Color unpackColor(uint32_t word)
{
    return Color{uint8_t(word >> 24), uint8_t(word >> 16), uint8_t(word >> 8), uint8_t(word)};
}

// Floats are widened to double and written with the stream's default six
// significant digits ("%g").
void writeFloat(std::ostream& out, float value)
{
    out << double(value);
}

void writeParticle(std::ostream& out, const ParticleData& d, int p)
{
    out << "p " << std::hex << d.info[p] << ' ' << unsigned(d.body[p]) << ' ' << unsigned(d.layer[p]) << ' '
        << packColor(d.color[p]) << ' ' << std::dec;
    const float fields[] = {d.position[p].x, d.position[p].y, d.velocity[p].x, d.velocity[p].y,
                            d.anchor[p].x,   d.anchor[p].y,   d.angle[p],      d.angularVelocity[p],
                            d.staticPressure[p]};
    for (float f : fields) {
        writeFloat(out, f);
        out << ' ';
    }
    out << '\n';
}

void writeJoint(std::ostream& out, const ParticleJoint& j)
{
    out << "j " << j.info << ' ' << j.a << ' ' << j.b;
    const float fields[] = {j.length, j.strength, j.offset.x, j.offset.y, j.angleA, j.angleB};
    for (float f : fields) {
        out << ' ';
        writeFloat(out, f);
    }
    out << '\n';
}

void writeValue(std::ostream& out, float value) { writeFloat(out, value); }
void writeValue(std::ostream& out, int value) { out << value; }
void writeValue(std::ostream& out, bool value) { out << (value ? '1' : '0'); }

void writeParameters(std::ostream& out, const ParticleData& d)
{
#define KAMBLO_WRITE_PARAMETER(type, field, Name, defaultValue) \
    out << "@ " #field " ";                                     \
    writeValue(out, d.field);                                   \
    out << '\n';
    KAMBLO_PARAMETERS(KAMBLO_WRITE_PARAMETER)
#undef KAMBLO_WRITE_PARAMETER
}

// An image without a name could not be found again, and an empty name field
// would make the reader take the next record's keyword for it. A name is the
// rest of its line, so one that holds a line break would be read back as
// records of its own.
bool hasWritableName(const Pointer<Texture>& image)
{
    return image && *image->name() != '\0' && std::strpbrk(image->name(), "\n\r") == nullptr;
}

void writeImage(std::ostream& out, const char* keyword, const Pointer<Texture>& image)
{
    if (hasWritableName(image))
        out << keyword << ' ' << image->name() << '\n';
}

void writeTexturedBodies(std::ostream& out, const ParticleData& d)
{
    for (size_t i = 0; i < d.bodies.size(); ++i) {
        const ParticleBody& b = d.bodies[i];
        if (!hasWritableName(b.texture))
            continue;
        out << "texture " << i << ' ' << b.texture->name();
        const float fields[] = {b.textureMin.x, b.textureMin.y, b.textureMax.x, b.textureMax.y};
        for (float f : fields) {
            out << ' ';
            writeFloat(out, f);
        }
        out << '\n';
    }
}

void resetParameters(ParticleData& d)
{
#define KAMBLO_RESET_PARAMETER(type, field, Name, defaultValue) d.field = defaultValue;
    KAMBLO_PARAMETERS(KAMBLO_RESET_PARAMETER)
#undef KAMBLO_RESET_PARAMETER
}

// The writer spells non-finite values "nan", "-nan", "inf" and "-inf",
// which stream extraction refuses; reading them back keeps one NaN in a saved
// scene from ending the reading there and losing every record after it.
// Everything else is extracted exactly as the stream does.
std::istream& readFloat(std::istream& in, float& value)
{
    in >> std::ws;
    const bool negative = in.peek() == '-';
    if (negative)
        in.get();
    const int next = in.peek();
    if (next != 'n' && next != 'i') {
        if (negative)
            in.unget();
        return in >> value;
    }
    std::string word;
    in >> word;
    if (word == "nan")
        value = std::numeric_limits<float>::quiet_NaN();
    else if (word == "inf")
        value = std::numeric_limits<float>::infinity();
    else
        in.setstate(std::ios::failbit);
    if (negative)
        value = -value;
    return in;
}

// A value that fails to convert leaves the field as it was (the stream would
// otherwise store 0).
template <class T>
void readValue(std::istream& in, T& field)
{
    T value{};
    if (in >> value)
        field = value;
}

void readValue(std::istream& in, float& field)
{
    float value = 0;
    if (readFloat(in, value))
        field = value;
}

void readParameter(std::istream& in, ParticleData& d)
{
    std::string name;
    if (!(in >> name))
        return;
#define KAMBLO_READ_PARAMETER(type, field, Name, defaultValue) \
    if (name == #field) {                                      \
        readValue(in, d.field);                                \
        return;                                                \
    }
    KAMBLO_PARAMETERS(KAMBLO_READ_PARAMETER)
#undef KAMBLO_READ_PARAMETER
}

void growBodies(ParticleData& d, unsigned index)
{
    if (index >= d.bodies.size() && index < unsigned(kMaxBodies))
        d.bodies.resize(size_t(index) + 1);
}

struct ParticleRecord {
    uint32_t info = 0;
    unsigned bodyIndex = 0;
    uint8_t layer = 255;
    Color color;
    float f[10] = {};
};

// False when a field fails to convert, which ends the reading.
bool parseParticle(std::istream& in, int version, ParticleRecord& r)
{
    if (version >= 2) {
        unsigned bodyWord = 0, layerWord = 0;
        uint32_t colorWord = 0;
        in >> std::hex >> r.info >> bodyWord >> layerWord >> colorWord;
        for (int i = 0; i < 9; ++i)
            readFloat(in, r.f[i]);
        in >> std::dec;
        r.bodyIndex = bodyWord & 0xff;
        r.layer = uint8_t(layerWord);
        r.color = unpackColor(colorWord);
    } else {
        // The old layout: one word of body and attributes, a density that is
        // recomputed anyway, and the base left hexadecimal for what follows.
        uint32_t word = 0;
        in >> std::hex >> word;
        for (int i = 0; i < 10; ++i)
            readFloat(in, r.f[i]);
        r.bodyIndex = word >> kVersion1BodyShift;
        r.info = word & kVersion1InfoMask;
        r.color = ParticleData::colorForInfo(r.info);
    }
    return bool(in);
}

// The record is applied only when every field converted: a record cut short
// leaves nothing behind.
void readParticle(std::istream& in, ParticleData& d, int version)
{
    ParticleRecord r;
    if (!parseParticle(in, version, r))
        return;
    int p = d.createParticle(int(r.bodyIndex));
    d.info[p] = r.info;
    d.layer[p] = r.layer;
    d.color[p] = r.color;
    d.position[p] = {r.f[0], r.f[1]};
    d.velocity[p] = {r.f[2], r.f[3]};
    d.anchor[p] = {r.f[4], r.f[5]};
    d.angle[p] = r.f[6];
    d.angularVelocity[p] = r.f[7];
    if (version >= 2) {
        d.staticPressure[p] = r.f[8];
    } else {
        d.density[p] = r.f[8];
        d.staticPressure[p] = r.f[9];
    }
    growBodies(d, r.bodyIndex);
}

// A joint keeps its smaller particle number first; a record written the other
// way round is turned to that form, so that it meets the joint of the same
// pair in the set instead of standing beside it.
bool parseJoint(std::istream& in, ParticleJoint& j)
{
    in >> j.info >> j.a >> j.b;
    for (float* f : {&j.length, &j.strength, &j.offset.x, &j.offset.y, &j.angleA, &j.angleB})
        readFloat(in, *f);
    if (!in)
        return false;
    if (j.a > j.b) {
        std::swap(j.a, j.b);
        std::swap(j.angleA, j.angleB);
        j.offset = float2(-j.offset.x, -j.offset.y);
    }
    return true;
}

void readJoint(std::istream& in, ParticleData& d)
{
    ParticleJoint j;
    if (parseJoint(in, j))
        d.joints.insert(j);
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

// text[begin, end) without the white space around it.
std::string trimmed(const std::string& text, size_t begin, size_t end)
{
    end = std::min(end, text.size());
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

// The rest of the current line; its line feed is left for the caller to skip.
std::string readRestOfLine(std::istream& in)
{
    std::string line;
    for (int c = in.peek(); c != std::char_traits<char>::eof() && c != '\n'; c = in.peek())
        line.push_back(char(in.get()));
    return line;
}

// Every image file is decoded once per load, and bodies that name the same
// file share the image (its pixels never change after loading).
class ImageCache {
public:
    Pointer<Texture> get(const std::string& name)
    {
        if (name.empty())
            return nullptr;
        auto found = images_.find(name);
        if (found != images_.end())
            return found->second;
        Pointer<Texture> image = Texture::withContentsOfFile(name.c_str());
        images_.emplace(name, image);
        return image;
    }

private:
    std::map<std::string, Pointer<Texture>> images_;
};

// The name is the whole rest of the line, so a path with spaces in it (as in
// an ordinary "My Pictures" folder) survives.
std::string parseImageName(std::istream& in)
{
    const std::string line = readRestOfLine(in);
    return trimmed(line, 0, line.size());
}

Pointer<Texture> readImage(std::istream& in, ImageCache& images) { return images.get(parseImageName(in)); }

struct TexturedBodyRecord {
    unsigned index = 0;
    std::string name;
    float2 textureMin, textureMax;
};

bool parseFloatToken(const std::string& token, float& value)
{
    std::istringstream in(token);
    in.imbue(std::locale::classic());
    return readFloat(in, value) && (in >> std::ws).eof();
}

// "texture", the body index, the image name (which may hold spaces) and the
// four corner coordinates: the numbers are taken from the end of the line and
// the name is what lies between.
bool parseTexturedBody(std::istream& in, TexturedBodyRecord& r)
{
    if (!(in >> r.index))
        return false;
    const std::string line = readRestOfLine(in);
    float numbers[4] = {};
    size_t end = line.size();
    for (int k = 3; k >= 0; --k) {
        while (end > 0 && isBlank(line[end - 1]))
            --end;
        size_t begin = end;
        while (begin > 0 && !isBlank(line[begin - 1]))
            --begin;
        if (begin == end || !parseFloatToken(line.substr(begin, end - begin), numbers[k])) {
            in.setstate(std::ios::failbit);
            return false;
        }
        end = begin;
    }
    r.name = trimmed(line, 0, end);
    if (r.name.empty()) {
        in.setstate(std::ios::failbit);
        return false;
    }
    r.textureMin = float2(numbers[0], numbers[1]);
    r.textureMax = float2(numbers[2], numbers[3]);
    return true;
}

// Body indices are eight bits wide, so a texture for body 256 or beyond has
// no body to go to and is dropped.
void readTexturedBody(std::istream& in, ParticleData& d, ImageCache& images)
{
    TexturedBodyRecord r;
    if (!parseTexturedBody(in, r) || r.index >= unsigned(kMaxBodies))
        return;
    growBodies(d, r.index);
    ParticleBody& b = d.bodies[r.index];
    b.texture = images.get(r.name);
    b.textureMin = r.textureMin;
    b.textureMax = r.textureMax;
}

// Particle numbers are known only at the end of the file.
void dropUntrustedJoints(ParticleData& d)
{
    d.joints.eraseIf([&](const ParticleJoint& j) {
        return !j.inRange(d.count) || j.a == j.b;
    });
}

// A section holds the script's text as it was read, so a script that failed
// (or never parsed) is kept too.
void writeScript(std::ostream& out, const char* keyword, const Pointer<SceneScript>& script)
{
    if (script)
        out << keyword << '\n' << script->sourceText() << "\n$\n";
}

void skipRestOfLine(std::istream& in)
{
    in.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
}

void readScene(std::istream& in, ParticleData& d)
{
    ImageCache images;
    int version = 0;
    std::string keyword;
    while (in >> keyword) {
        if (keyword == "onSimulate") {
            d.onSimulate = ParticleData::loadScript(in);
            continue; // the section ends with its whole "$" line
        }
        if (keyword == "onRender") {
            d.onRender = ParticleData::loadScript(in);
            continue;
        }
        if (keyword == "p")
            readParticle(in, d, version);
        else if (keyword == "j")
            readJoint(in, d);
        else if (keyword == "@")
            readParameter(in, d);
        else if (keyword == "foreground")
            d.foreground = readImage(in, images);
        else if (keyword == "background")
            d.background = readImage(in, images);
        else if (keyword == "texture")
            readTexturedBody(in, d, images);
        else if (keyword == "version")
            in >> version;
        skipRestOfLine(in);
    }
}

bool parameterConverts(std::istream& in, const std::string& name)
{
#define KAMBLO_TRY_PARAMETER(type, field, Name, defaultValue) \
    if (name == #field) {                                     \
        type value{};                                         \
        readValue(in, value);                                 \
        return bool(in);                                      \
    }
    KAMBLO_PARAMETERS(KAMBLO_TRY_PARAMETER)
#undef KAMBLO_TRY_PARAMETER
    return false;
}

// Whether the reader would take at least one record from the text: the first
// keyword that it understands decides, as its fields convert or not. Nothing
// is applied and no image is read.
bool holdsARecord(std::istream& in)
{
    std::string keyword;
    while (in >> keyword) {
        if (keyword == "onSimulate" || keyword == "onRender" || keyword == "foreground" || keyword == "background")
            return true;
        if (keyword == "version") {
            int version = 0;
            return bool(in >> version);
        }
        if (keyword == "p") {
            ParticleRecord r;
            return parseParticle(in, 0, r);
        }
        if (keyword == "j") {
            ParticleJoint j;
            return parseJoint(in, j);
        }
        if (keyword == "texture") {
            TexturedBodyRecord r;
            return parseTexturedBody(in, r);
        }
        if (keyword == "@") {
            std::string name;
            if (!(in >> name))
                return false;
            if (parameterConverts(in, name))
                return true;
            if (!in)
                return false;
        }
        skipRestOfLine(in);
    }
    return false;
}

#if defined(__unix__) || defined(__APPLE__)

// The file a path finally names: symbolic links are followed (a link's
// target is relative to the link's folder), up to a bound that catches
// loops. A path that names nothing yet is its own target.
std::filesystem::path finalTarget(const std::filesystem::path& path)
{
    namespace fs = std::filesystem;
    fs::path target = path;
    for (int hop = 0; hop < 40; ++hop) {
        std::error_code error;
        if (!fs::is_symlink(fs::symlink_status(target, error)))
            return target;
        fs::path next = fs::read_symlink(target, error);
        if (error)
            return target;
        target = next.is_absolute() ? next : target.parent_path() / next;
    }
    return target;
}

bool writeAll(int fd, std::string_view data)
{
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data.remove_prefix(size_t(n));
    }
    return true;
}

// Replaces the file at path with data so that a crash or power cut at any
// moment leaves either the old file or the new one whole: the data goes to a
// temporary file of a name no one else uses, beside the final target of any
// symbolic link, is flushed to disk, takes the old file's permissions and is
// renamed over it; then the folder is flushed so the rename itself lasts.
// The old file is never opened for writing.
bool replaceFileSafely(const char* path, std::string_view data)
{
    const std::filesystem::path target = finalTarget(path);
    std::filesystem::path folder = target.parent_path();
    if (folder.empty())
        folder = ".";
    std::string temporary = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0)
        return false;
    struct stat old;
    bool ok = true;
    if (::stat(target.c_str(), &old) == 0) {
        // Owner first: changing it may clear the set-id bits that the mode
        // then restores. Only a privileged user can give a file away, so a
        // refusal to do so is no failure.
        const bool sameOwner = old.st_uid == ::geteuid() && old.st_gid == ::getegid();
        ok = sameOwner || ::fchown(fd, old.st_uid, old.st_gid) == 0 || errno == EPERM;
        ok = ok && ::fchmod(fd, old.st_mode & 07777) == 0;
    } else {
        // A new file gets the ordinary mode for the user's umask, not the
        // private one of the temporary file.
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ok = ::fchmod(fd, 0666 & ~mask) == 0;
    }
    ok = ok && writeAll(fd, data) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(temporary.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(temporary.c_str());
        return false;
    }
    const int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd >= 0) {
        ::fsync(folderFd);
        ::close(folderFd);
    }
    return true;
}

#else

bool replaceFileSafely(const char* path, std::string_view data)
{
    const std::string temporary = std::string(path) + ".tmp";
    {
        std::ofstream out(temporary, std::ios::out | std::ios::trunc | std::ios::binary);
        if (!out.is_open())
            return false;
        out.write(data.data(), std::streamsize(data.size()));
        out.close();
        if (out.fail()) {
            std::error_code ignored;
            std::filesystem::remove(temporary, ignored);
            return false;
        }
    }
    std::error_code error;
    std::filesystem::rename(temporary, path, error);
    if (error) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        return false;
    }
    return true;
}

#endif

} // namespace

Pointer<SceneScript> ParticleData::loadScript(std::istream& in)
{
    return SceneScript::readSection(in);
}

bool ParticleData::save(const char* path) const
{
    if (path == nullptr || *path == '\0')
        return false;
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out << kBanner << "version " << kFileVersion << '\n';
    for (int p = 0; p < count; ++p)
        writeParticle(out, *this, p);
    for (const ParticleJoint& j : joints)
        writeJoint(out, j);
    writeParameters(out, *this);
    writeImage(out, "foreground", foreground);
    writeImage(out, "background", background);
    writeScript(out, "onSimulate", onSimulate);
    writeScript(out, "onRender", onRender);
    writeTexturedBodies(out, *this);
    if (!out)
        return false;
    // str() rather than view(): emscripten's libc++ has no view() yet.
    return replaceFileSafely(path, out.str());
}

bool ParticleData::load(const char* path)
{
    // A folder, a FIFO or a device is refused before anything is read, and a
    // file that is no scene (a picture, random bytes, an empty file) is
    // refused once read: either way the scene stays as it was.
    std::string content;
    if (path == nullptr || !readTextFile(path, content))
        return false;
    std::istringstream in(std::move(content));
    in.imbue(std::locale::classic());
    const std::ios::fmtflags flags = in.flags();
    if (!holdsARecord(in))
        return false;
    in.clear();
    in.flags(flags);
    in.seekg(0);

    clear();
    foreground = nullptr;
    background = nullptr;
    onSimulate = nullptr;
    onRender = nullptr;
    resetParameters(*this);
    readScene(in, *this);
    dropUntrustedJoints(*this);
    return true;
}

} // namespace Zeb::Kamblo
