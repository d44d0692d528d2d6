// The .pdl scene file: one record per line, read back token by token.
#include "particle_data.h"

#include <filesystem>
#include <fstream>
#include <limits>
#include <locale>
#include <string>
#include <system_error>

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
// would make the reader take the next record's keyword for it.
bool hasWritableName(const Pointer<Texture>& image)
{
    return image && *image->name() != '\0';
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

// The record is applied only when every field converted: a record cut short
// leaves nothing behind.
void readParticle(std::istream& in, ParticleData& d, int version)
{
    uint32_t info = 0;
    unsigned bodyIndex = 0;
    uint8_t layer = 255;
    Color color;
    float f[10] = {};
    if (version >= 2) {
        unsigned bodyWord = 0, layerWord = 0;
        uint32_t colorWord = 0;
        in >> std::hex >> info >> bodyWord >> layerWord >> colorWord;
        for (int i = 0; i < 9; ++i)
            readFloat(in, f[i]);
        in >> std::dec;
        bodyIndex = bodyWord & 0xff;
        layer = uint8_t(layerWord);
        color = unpackColor(colorWord);
    } else {
        // The old layout: one word of body and attributes, a density that is
        // recomputed anyway, and the base left hexadecimal for what follows.
        uint32_t word = 0;
        in >> std::hex >> word;
        for (int i = 0; i < 10; ++i)
            readFloat(in, f[i]);
        bodyIndex = word >> kVersion1BodyShift;
        info = word & kVersion1InfoMask;
        color = ParticleData::colorForInfo(info);
    }
    if (!in)
        return;
    int p = d.createParticle(int(bodyIndex));
    d.info[p] = info;
    d.layer[p] = layer;
    d.color[p] = color;
    d.position[p] = {f[0], f[1]};
    d.velocity[p] = {f[2], f[3]};
    d.anchor[p] = {f[4], f[5]};
    d.angle[p] = f[6];
    d.angularVelocity[p] = f[7];
    if (version >= 2) {
        d.staticPressure[p] = f[8];
    } else {
        d.density[p] = f[8];
        d.staticPressure[p] = f[9];
    }
    growBodies(d, bodyIndex);
}

void readJoint(std::istream& in, ParticleData& d)
{
    ParticleJoint j;
    in >> j.info >> j.a >> j.b;
    for (float* f : {&j.length, &j.strength, &j.offset.x, &j.offset.y, &j.angleA, &j.angleB})
        readFloat(in, *f);
    if (in)
        d.joints.insert(j);
}

Pointer<Texture> readImage(std::istream& in)
{
    std::string name;
    if (!(in >> name))
        return nullptr;
    return Texture::withContentsOfFile(name.c_str());
}

// Body indices are eight bits wide, so a texture for body 256 or beyond has
// no body to go to and is dropped.
void readTexturedBody(std::istream& in, ParticleData& d)
{
    unsigned index = 0;
    std::string name;
    float2 textureMin, textureMax;
    in >> index >> name;
    for (float* f : {&textureMin.x, &textureMin.y, &textureMax.x, &textureMax.y})
        readFloat(in, *f);
    if (!in || index >= unsigned(kMaxBodies))
        return;
    growBodies(d, index);
    ParticleBody& b = d.bodies[index];
    b.texture = Texture::withContentsOfFile(name.c_str());
    b.textureMin = textureMin;
    b.textureMax = textureMax;
}

// Particle numbers are known only at the end of the file.
void dropUntrustedJoints(ParticleData& d)
{
    std::erase_if(d.joints, [&](const ParticleJoint& j) {
        return j.a < 0 || j.b < 0 || j.a >= d.count || j.b >= d.count || j.a == j.b;
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
            d.foreground = readImage(in);
        else if (keyword == "background")
            d.background = readImage(in);
        else if (keyword == "texture")
            readTexturedBody(in, d);
        else if (keyword == "version")
            in >> version;
        skipRestOfLine(in);
    }
}

} // namespace

Pointer<SceneScript> ParticleData::loadScript(std::istream& in)
{
    return SceneScript::readSection(in);
}

bool ParticleData::save(const char* path) const
{
    if (path == nullptr || *path == '\0')
        return false;
    // Written beside the target and renamed over it only when complete, so a
    // failed save never destroys the previous file.
    const std::string temporary = std::string(path) + ".tmp";
    {
        std::ofstream out;
        out.imbue(std::locale::classic());
        out.open(temporary, std::ios::out | std::ios::trunc | std::ios::binary);
        if (!out.is_open())
            return false;
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

bool ParticleData::load(const char* path)
{
    if (path == nullptr)
        return false;
    std::ifstream in;
    in.imbue(std::locale::classic());
    in.open(path, std::ios::in | std::ios::binary);
    if (!in.is_open())
        return false;
    // A directory opens but cannot be read; that too must keep the scene.
    in.peek();
    if (in.bad())
        return false;

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
