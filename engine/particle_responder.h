#pragma once
// Turns the host's mouse, key and file-drop events into tools, edits and
// parameter changes, and trails the pointer with a smoothed drag point.
#include "cg_types.h"
#include "object.h"
#include "particle_builder.h"
#include "particle_data.h"

namespace Zeb::Kamblo {

class ParticleResponder : public Object {
public:
    ParticleResponder(const Pointer<ParticleData>& data, const Pointer<ParticleBuilder>& builder);
    ParticleResponder(const ParticleResponder&) = delete;
    ParticleResponder& operator=(const ParticleResponder&) = delete;

    // The tool letter of a button; the modifier bits 4, 8 and 16 are ignored.
    int toolForButton(int button) const;

    void onMouseDown(int button, const float2& point);
    void onMouseMove(const float2& point);
    void onMouseUp();
    void onKeyDown(int key);
    void onKeyUp(int key);
    void onFileDrop(const char* path, const float2& point);
    // Once per simulation step, also while paused.
    void onSimulate();
    void onRender() {}

    // The size of the drawn content in view units. Without scrolling the
    // bounds follow the view; with it the two are independent.
    float contentWidth();
    float contentHeight();
    void setContentWidth(float w);
    void setContentHeight(float h);

    Pointer<ParticleData> data;
    Pointer<ParticleBuilder> builder;
    int toolButton = 0;
    int currentTool = 0; // 0 while no button is down
    float2 lastPoint;
    float2 followPoint;
    float2 followVelocity;
    bool savedPauseFlag = false;
    int leftButtonTool = 'b';
    int rightButtonTool = 'a';
    int otherButtonTool = 'e';
    int lowerCaseKeyOperation = 4;
    int upperCaseKeyOperation = 6;
    int numberKeyOperation = 1;
    int arrowKeyOperation = 1;
    int templateShape = 2; // 1 line, 2 rectangle, 3 oval

private:
    void letterKeyOperation(int operation, int letter);
    void switchLetterOperation(int& operation);
    void arrowKeyDown(int operation, int key);
};

} // namespace Zeb::Kamblo
