// Mouse tools, key operations and the drag follower.
#include "particle_responder.h"

#include <algorithm>

#include "cg_math.h"
#include "particle_key.h"
#include "particle_tool.h"
#include "texture.h"

namespace Zeb::Kamblo {

namespace {

constexpr int kModifierBits = Button::shift | Button::command | Button::option;

bool isLowerCaseKey(int key) { return (key >= 'a' && key <= 'z') || key == '@'; }
bool isUpperCaseKey(int key) { return (key >= 'A' && key <= 'Z') || key == '`'; }

} // namespace

ParticleResponder::ParticleResponder(const Pointer<ParticleData>& data_, const Pointer<ParticleBuilder>& builder_)
    : data(data_), builder(builder_)
{
}

int ParticleResponder::toolForButton(int button) const
{
    switch (button & ~kModifierBits) {
    case Button::left:
        return leftButtonTool;
    case Button::right:
        return rightButtonTool;
    case Button::other:
        return otherButtonTool;
    default:
        return 0;
    }
}

void ParticleResponder::onMouseDown(int button, const float2& point)
{
    ParticleData& d = *data;
    ParticleBuilder& b = *builder;
    toolButton = button;
    currentTool = toolForButton(button);
    savedPauseFlag = d.pauseFlag;

    // Drawing tools hold the world still while it is edited; the release
    // puts back the pause state of the press.
    if (toolPauses(currentTool))
        d.pauseFlag = true;
    switch (currentTool) {
    case 'a':
        b.splitNearestBody(point, d.mouseRadius);
        break;
    case 'b':
    case 'j':
    case 'p':
        b.prepareForDrawing(point, d.mouseRadius);
        break;
    case 'g':
        b.floodParticles(point);
        break;
    case 'i':
        b.sampleMaterial(point, d.mouseRadius);
        break;
    case 'm':
        d.templateKind = 2;
        d.templateStart = d.templateEnd = point;
        break;
    case 'u':
        d.templateKind = templateShape;
        d.templateStart = d.templateEnd = point;
        break;
    default:
        break;
    }

    followPoint = point;
    followVelocity = float2(0, 0);
    lastPoint = point;
}

void ParticleResponder::onMouseMove(const float2& point)
{
    ParticleData& d = *data;
    ParticleBuilder& b = *builder;
    switch (currentTool) {
    case 'b':
        lastPoint = b.drawLine(lastPoint, point, d.lineWidth);
        return;
    case 'e':
        lastPoint = b.eraseLine(lastPoint, point, d.lineWidth);
        return;
    case 'i':
        b.sampleMaterial(point, d.mouseRadius);
        return;
    case 'j':
        lastPoint = b.patchLine(lastPoint, point, d.lineWidth);
        return;
    case 'k':
        lastPoint = b.sliceLine(lastPoint, point);
        return;
    case 'm':
    case 'u':
        d.templateEnd = point;
        return;
    case 'p':
        // The pencil continues from where its next particle would go.
        lastPoint = b.drawLine(lastPoint, point);
        return;
    case 'v':
        b.dragAllParticles(point - lastPoint);
        break;
    default:
        break;
    }
    lastPoint = point;
}

void ParticleResponder::onMouseUp()
{
    ParticleData& d = *data;
    ParticleBuilder& b = *builder;
    switch (currentTool) {
    case 'm':
        d.templateKind = 0;
        break;
    case 'p':
        d.gc();
        break;
    case 'u': {
        float2 start = d.templateStart;
        float2 end = d.templateEnd;
        if (templateShape == 1)
            b.drawLine(start, end); // what it marks waits for the next gc
        else if (templateShape == 2)
            b.fillRect(start, end);
        else if (templateShape == 3)
            b.fillOval(start, end);
        d.templateKind = 0;
        break;
    }
    default:
        break;
    }
    d.pauseFlag = savedPauseFlag;
    currentTool = 0;
}

void ParticleResponder::onKeyDown(int key)
{
    ParticleData& d = *data;
    if (isLowerCaseKey(key)) {
        letterKeyOperation(lowerCaseKeyOperation, key);
        return;
    }
    if (isUpperCaseKey(key)) {
        // The lower-case letter; the grave accent becomes the at sign.
        letterKeyOperation(upperCaseKeyOperation, key ^ 32);
        return;
    }
    if (key >= '0' && key <= '9') {
        if (numberKeyOperation == 1) {
            if (key == '0')
                d.colorFlag = !d.colorFlag;
            else
                d.renderMode = key - '0';
        }
        return;
    }
    switch (key) {
    case Key::escape:
        switchLetterOperation(lowerCaseKeyOperation);
        switchLetterOperation(upperCaseKeyOperation);
        break;
    case ' ':
        d.pauseFlag = !d.pauseFlag;
        break;
    case '%':
        d.staticPressureFlag = !d.staticPressureFlag;
        break;
    case ',':
        d.boundsFlag = !d.boundsFlag;
        break;
    case '.':
        if (d.pouringFlag && !d.pouringRainFlag) {
            d.pouringFlag = false;
        } else {
            d.pouringFlag = true;
            d.pouringRainFlag = false;
        }
        break;
    case '/':
        if (d.pouringFlag && d.pouringRainFlag) {
            d.pouringFlag = false;
        } else {
            d.pouringFlag = true;
            d.pouringRainFlag = true;
        }
        break;
    case ':':
        builder->freezeParticles();
        break;
    case ';':
        d.gravityFlag = !d.gravityFlag;
        break;
    case '[':
        d.gravityAmplification -= 0.5f;
        break;
    case ']':
        d.gravityAmplification += 0.5f;
        break;
    case Key::del:
        d.clear();
        break;
    case Key::left:
    case Key::right:
    case Key::down:
    case Key::up:
        arrowKeyDown(arrowKeyOperation, key);
        break;
    default:
        break;
    }
}

void ParticleResponder::onKeyUp(int key)
{
    // Releasing one arrow does not cancel the opposite one still held.
    ParticleData& d = *data;
    switch (key) {
    case Key::left:
        if (!(d.usersX > 0))
            d.usersX = 0;
        break;
    case Key::right:
        if (!(d.usersX < 0))
            d.usersX = 0;
        break;
    case Key::down:
        if (!(d.usersY > 0))
            d.usersY = 0;
        break;
    case Key::up:
        if (!(d.usersY < 0))
            d.usersY = 0;
        break;
    default:
        break;
    }
}

void ParticleResponder::letterKeyOperation(int operation, int letter)
{
    ParticleData& d = *data;
    ParticleBuilder& b = *builder;
    switch (operation) {
    case 1:
        leftButtonTool = letter;
        break;
    case 2:
        rightButtonTool = letter;
        break;
    case 3:
        otherButtonTool = letter;
        break;
    case 4:
        b.setMaterial(letter);
        break;
    case 5: {
        // 'a' names bit 0 ... 'z' bit 25; the at sign names bit 31.
        int bit = ((letter - 'a') % 32 + 32) % 32;
        b.setInfo(b.info() ^ (ParticleInfo(1) << bit));
        break;
    }
    case 6:
        if (d.pouringFlag && letter == d.pouringMaterial) {
            d.pouringFlag = false;
        } else {
            d.pouringMaterial = letter;
            d.pouringFlag = true;
            d.pouringRainFlag = false;
        }
        break;
    default:
        break;
    }
}

// Letters choose materials (4) or toggle attributes (5); Escape swaps the two.
void ParticleResponder::switchLetterOperation(int& operation)
{
    if (operation == 4) {
        operation = 5;
        builder->setMaterial(0);
    } else if (operation == 5) {
        operation = 4;
        builder->setColor(ParticleData::colorForInfo(builder->info()));
    }
}

void ParticleResponder::arrowKeyDown(int operation, int key)
{
    ParticleData& d = *data;
    if (operation == 1) {
        if (builder->countParticles(Attribute::users) > 0)
            operation = 3;
        else if (d.pouringFlag)
            operation = 2;
        else
            return;
    }
    if (operation == 2) {
        switch (key) {
        case Key::right:
            d.pouringLocation = std::min(d.pouringLocation + 1.0f, d.boundsRight);
            break;
        case Key::left:
            d.pouringLocation = std::max(d.pouringLocation - 1.0f, d.boundsLeft);
            break;
        case Key::down:
            d.pouringVelocity += 0.01f;
            break;
        case Key::up:
            d.pouringVelocity = std::max(d.pouringVelocity - 0.01f, 0.0f);
            break;
        default:
            break;
        }
    } else if (operation == 3) {
        switch (key) {
        case Key::left:
            d.usersX = -1.0f;
            break;
        case Key::right:
            d.usersX = 1.0f;
            break;
        case Key::down:
            d.usersY = -1.0f;
            break;
        case Key::up:
            d.usersY = 1.0f;
            break;
        default:
            break;
        }
    }
}

void ParticleResponder::onFileDrop(const char* path, const float2& point)
{
    builder->fillTexture(Texture::withContentsOfFile(path), point);
}

void ParticleResponder::onSimulate()
{
    ParticleData& d = *data;
    // A damped spring that trails the pointer over about mouseDelay steps.
    float delay = d.mouseDelay;
    float2 acceleration = 2.0f * ((lastPoint - followPoint) / delay - followVelocity) / delay;
    followVelocity += acceleration;
    followPoint += followVelocity;
    if (currentTool == 'a')
        builder->dragParticles(followPoint, 4.0f * d.mouseRadius, followVelocity, d.mouseForce);
}

float ParticleResponder::contentWidth()
{
    ParticleData& d = *data;
    if (d.viewWidth != 0 && d.scrollFlag)
        return d.viewWidth;
    d.viewWidth = (d.boundsRight - d.boundsLeft) * d.scale;
    return d.viewWidth;
}

float ParticleResponder::contentHeight()
{
    ParticleData& d = *data;
    if (d.viewHeight != 0 && d.scrollFlag)
        return d.viewHeight;
    d.viewHeight = (d.boundsTop - d.boundsBottom) * d.scale;
    return d.viewHeight;
}

void ParticleResponder::setContentWidth(float w)
{
    ParticleData& d = *data;
    if (!d.scrollFlag)
        d.boundsRight = w / d.scale + d.boundsLeft;
    d.viewWidth = w;
}

void ParticleResponder::setContentHeight(float h)
{
    ParticleData& d = *data;
    if (!d.scrollFlag)
        d.boundsTop = h / d.scale + d.boundsBottom;
    d.viewHeight = h;
}

} // namespace Zeb::Kamblo
