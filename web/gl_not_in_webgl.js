// OpenGL calls of the renderer that emscripten's legacy-GL emulation does not
// provide (display lists, attribute stacks, GLU's image scaling). Programs
// that never draw, such as the same-bits tool, link against these; any call
// stops the program with the function's name. Listed one by one so that a
// new unsupported call still fails the link.
(function () {
  const names = ['glCallList', 'glEndList', 'glGenLists', 'glNewList', 'glPopAttrib', 'glPushAttrib',
                 'glPushClientAttrib', 'glPopClientAttrib', 'glRectf', 'gluErrorString', 'gluScaleImage'];
  const library = {};
  for (const name of names)
    library[name] = new Function('abort("' + name + ' is not available in WebGL");');
  mergeInto(LibraryManager.library, library);
})();
