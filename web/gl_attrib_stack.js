// The attribute stacks of desktop OpenGL for emscripten's legacy-GL emulation,
// which has none. The renderer saves and restores the state it changes with
// glPushAttrib/glPopAttrib (it may run inside someone else's context); here
// each push records the state the renderer touches, from a shadow of WebGL's
// state or from the emulation's own bookkeeping, and the matching pop
// restores the groups its mask named:
//   current colour (GL_CURRENT_BIT), enables (GL_ENABLE_BIT), blending, alpha
//   test and clear colour (GL_COLOR_BUFFER_BIT), point size (GL_POINT_BIT),
//   line width (GL_LINE_BIT), scissor (GL_SCISSOR_BIT), matrix mode
//   (GL_TRANSFORM_BIT), texture units' bindings and enables (GL_TEXTURE_BIT).
// The client stack restores which vertex arrays are enabled.
mergeInto(LibraryManager.library, {
  $pudletAttribStack: [],
  $pudletClientAttribStack: [],
  $pudletTextureUnits: 3, // the renderer uses units 0 to 2
  // The WebGL state the stack saves, kept up to date by the context's own
  // setters (pudletTrackGLState).
  $pudletGLState: null,

  // Wraps the context's setters of the saved state so that a push needs no
  // query. Reads the state once, at the start.
  $pudletTrackGLState__deps: ['$pudletGLState', '$pudletTextureUnits'],
  $pudletTrackGLState: function(gl) {
    var s = {
      blend: gl.isEnabled(gl.BLEND),
      scissor: gl.isEnabled(gl.SCISSOR_TEST),
      blendFunc: [gl.getParameter(gl.BLEND_SRC_RGB), gl.getParameter(gl.BLEND_DST_RGB),
                  gl.getParameter(gl.BLEND_SRC_ALPHA), gl.getParameter(gl.BLEND_DST_ALPHA)],
      clearColor: Array.from(gl.getParameter(gl.COLOR_CLEAR_VALUE)),
      scissorBox: Array.from(gl.getParameter(gl.SCISSOR_BOX)),
      lineWidth: gl.getParameter(gl.LINE_WIDTH),
      activeTexture: gl.getParameter(gl.ACTIVE_TEXTURE),
      bindings: [] // 2-D texture of each unit
    };
    for (var i = 0; i < pudletTextureUnits; i++) {
      gl.activeTexture(gl.TEXTURE0 + i);
      s.bindings[i] = gl.getParameter(gl.TEXTURE_BINDING_2D);
    }
    gl.activeTexture(s.activeTexture);
    pudletGLState = s;
    var wrap = function(name, record) {
      var original = gl[name];
      gl[name] = function() {
        record.apply(null, arguments);
        return original.apply(gl, arguments);
      };
    };
    var setCap = function(on) {
      return function(cap) {
        if (cap == gl.BLEND) s.blend = on;
        else if (cap == gl.SCISSOR_TEST) s.scissor = on;
      };
    };
    wrap('enable', setCap(true));
    wrap('disable', setCap(false));
    wrap('blendFunc', function(src, dst) { s.blendFunc = [src, dst, src, dst]; });
    wrap('blendFuncSeparate', function(srcRGB, dstRGB, srcAlpha, dstAlpha) {
      s.blendFunc = [srcRGB, dstRGB, srcAlpha, dstAlpha];
    });
    // WebGL keeps the clear colour clamped to 0..1.
    var clamp = function(x) { return Math.min(Math.max(x, 0), 1); };
    wrap('clearColor', function(r, g, b, a) { s.clearColor = [clamp(r), clamp(g), clamp(b), clamp(a)]; });
    wrap('scissor', function(x, y, width, height) {
      // WebGL refuses a negative size and keeps the box it had.
      if (width >= 0 && height >= 0) s.scissorBox = [x, y, width, height];
    });
    wrap('lineWidth', function(width) { if (width > 0) s.lineWidth = width; });
    wrap('activeTexture', function(unit) {
      if (unit >= gl.TEXTURE0 && unit < gl.TEXTURE0 + 32) s.activeTexture = unit;
    });
    wrap('bindTexture', function(target, texture) {
      if (target == gl.TEXTURE_2D) s.bindings[s.activeTexture - gl.TEXTURE0] = texture;
    });
    // A deleted texture is unbound from every unit.
    wrap('deleteTexture', function(texture) {
      for (var i = 0; i < s.bindings.length; i++)
        if (s.bindings[i] === texture) s.bindings[i] = null;
    });
  },

  glPushAttrib__deps: ['$pudletAttribStack', '$pudletGLState', '$GLImmediate', '$GLEmulation'],
  glPushAttrib: function(mask) {
    // From the shadow, not from WebGL: each of its queries waits for the
    // browser's GPU process to finish the frame drawn so far.
    var s = pudletGLState;
    var units = [];
    for (var i = 0; i < pudletTextureUnits; i++) {
      units.push({
        binding: s.bindings[i] || null,
        enabled: GLImmediate.TexEnvJIT.getTexUnitType(i) == 0xDE1 /* GL_TEXTURE_2D */
      });
    }
    var matrix = GLImmediate.currentMatrix;
    pudletAttribStack.push({
      mask: mask,
      color: Array.from(GLImmediate.clientColor),
      blend: s.blend,
      blendFunc: s.blendFunc.slice(),
      alphaTest: GLEmulation.alphaTestEnabled,
      alphaFunc: GLEmulation.alphaTestFunc,
      alphaRef: GLEmulation.alphaTestRef,
      clearColor: s.clearColor.slice(),
      scissor: s.scissor,
      scissorBox: s.scissorBox.slice(),
      pointSize: GLEmulation.pointSize,
      lineWidth: s.lineWidth,
      matrixMode: matrix == 0 ? 0x1700 : matrix == 1 ? 0x1701 : 0x1702,
      activeTexture: s.activeTexture,
      units: units
    });
  },

  glPopAttrib__deps: ['$pudletAttribStack', '$GLImmediate', '$GLEmulation', 'glEnable', 'glDisable',
                      'glAlphaFunc', 'glPointSize', 'glMatrixMode', 'glActiveTexture'],
  glPopAttrib: function() {
    var s = pudletAttribStack.pop();
    if (!s) return;
    var gl = GLctx;
    var has = function(bits) { return (s.mask & bits) != 0; };
    var setEnabled = function(cap, on) { if (on) _glEnable(cap); else _glDisable(cap); };
    if (has(0x1 /* GL_CURRENT_BIT */)) GLImmediate.clientColor.set(s.color);
    if (has(0x2000 /* GL_ENABLE_BIT */ | 0x4000 /* GL_COLOR_BUFFER_BIT */)) {
      setEnabled(gl.BLEND, s.blend);
      setEnabled(0xBC0 /* GL_ALPHA_TEST */, s.alphaTest);
    }
    if (has(0x4000 /* GL_COLOR_BUFFER_BIT */)) {
      gl.blendFuncSeparate(s.blendFunc[0], s.blendFunc[1], s.blendFunc[2], s.blendFunc[3]);
      _glAlphaFunc(s.alphaFunc, s.alphaRef);
      gl.clearColor(s.clearColor[0], s.clearColor[1], s.clearColor[2], s.clearColor[3]);
    }
    if (has(0x2000 /* GL_ENABLE_BIT */ | 0x80000 /* GL_SCISSOR_BIT */)) setEnabled(gl.SCISSOR_TEST, s.scissor);
    if (has(0x80000 /* GL_SCISSOR_BIT */)) gl.scissor(s.scissorBox[0], s.scissorBox[1], s.scissorBox[2], s.scissorBox[3]);
    if (has(0x2 /* GL_POINT_BIT */)) _glPointSize(s.pointSize);
    if (has(0x4 /* GL_LINE_BIT */)) gl.lineWidth(s.lineWidth);
    if (has(0x2000 /* GL_ENABLE_BIT */ | 0x40000 /* GL_TEXTURE_BIT */)) {
      for (var i = 0; i < s.units.length; i++) {
        _glActiveTexture(gl.TEXTURE0 + i);
        setEnabled(0xDE1 /* GL_TEXTURE_2D */, s.units[i].enabled);
        if (has(0x40000)) gl.bindTexture(gl.TEXTURE_2D, s.units[i].binding);
      }
      _glActiveTexture(s.activeTexture);
    }
    if (has(0x1000 /* GL_TRANSFORM_BIT */)) _glMatrixMode(s.matrixMode);
  },

  glPushClientAttrib__deps: ['$pudletClientAttribStack', '$GLImmediate'],
  glPushClientAttrib: function(mask) {
    pudletClientAttribStack.push(GLImmediate.enabledClientAttributes.slice());
  },

  glPopClientAttrib__deps: ['$pudletClientAttribStack', '$GLImmediate', 'glEnableClientState',
                            'glDisableClientState'],
  glPopClientAttrib: function() {
    var enabled = pudletClientAttribStack.pop();
    if (!enabled) return;
    // Vertex, colour and first texture coordinate arrays, by their attribute
    // slots in the emulation.
    var caps = [[GLImmediate.VERTEX, 0x8074], [GLImmediate.COLOR, 0x8076], [GLImmediate.TEXTURE0, 0x8078]];
    for (var i = 0; i < caps.length; i++) {
      if (enabled[caps[i][0]]) _glEnableClientState(caps[i][1]);
      else _glDisableClientState(caps[i][1]);
    }
  }
});

// Starts the emulation on the context just made current: the page makes its
// context through the HTML5 API, which does not run the emulation's set-up.
mergeInto(LibraryManager.library, {
  pudletInitGLEmulation__deps: ['$GLImmediate', '$GLEmulation', '$pudletTrackGLState'],
  pudletInitGLEmulation: function() {
    Module.useWebGL = true;
    pudletTrackGLState(GLctx);
    if (!GLImmediate.initted) GLImmediate.init();
  }
});
