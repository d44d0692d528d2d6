// The page of the browser host: the Basic Menu built from the engine's
// tables (pudlet_manifest), the canvas's input, the files, and the frame
// loop. Everything the scene does happens in pudlet.wasm (web_host.cpp).
'use strict';

(function () {
  const canvas = document.getElementById('scene-canvas');
  const status = document.getElementById('status');
  const $ = (id) => document.getElementById(id);

  // What a test or a curious user can look at: the module, frame count and
  // the time of the first frame (ms since navigation start).
  const page = { frames: 0, firstFrameAt: null, fps: 0, ready: false };
  window.pudlet = page;

  // An error stays in the status line a while before the counts return.
  let errorUntil = 0;
  function showError(message) {
    errorUntil = performance.now() + 5000;
    status.textContent = message;
    status.style.color = '#f88';
  }

  createPudlet({
    canvas: canvas,
    print: (text) => console.log(text),
    // The GL emulation reports what it is on the error stream: not an error.
    printErr: (text) => console.warn(text)
  }).then(start, (error) => showError('Pudlet could not start: ' + error));

  function start(M) {
    page.module = M;
    const api = {
      start: M.cwrap('pudlet_start', 'boolean', ['string', 'number', 'number']),
      manifest: M.cwrap('pudlet_manifest', 'string', []),
      open: M.cwrap('pudlet_open', 'boolean', ['string']),
      save: M.cwrap('pudlet_save', 'boolean', ['string']),
      error: M.cwrap('pudlet_error', 'string', []),
      glError: M.cwrap('pudlet_gl_error', 'number', []),
      resize: M.cwrap('pudlet_resize', null, ['number', 'number']),
      frame: M.cwrap('pudlet_frame', null, ['boolean']),
      mouseDown: M.cwrap('pudlet_mouse_down', null, ['number', 'number', 'number']),
      mouseMove: M.cwrap('pudlet_mouse_move', null, ['number', 'number']),
      mouseUp: M.cwrap('pudlet_mouse_up', null, []),
      keyDown: M.cwrap('pudlet_key_down', null, ['number']),
      keyUp: M.cwrap('pudlet_key_up', null, ['number']),
      character: M.cwrap('pudlet_character', 'number', ['number']),
      controlState: M.cwrap('pudlet_control_state', 'number', []),
      get: M.cwrap('pudlet_get', 'number', ['string']),
      setSwitch: M.cwrap('pudlet_set_switch', null, ['number', 'boolean']),
      setGravitySlider: M.cwrap('pudlet_set_gravity_slider', null, ['number']),
      setPouringSlider: M.cwrap('pudlet_set_pouring_slider', null, ['number']),
      setStyle: M.cwrap('pudlet_set_style', null, ['number']),
      setMaterial: M.cwrap('pudlet_set_material', null, ['number']),
      setTool: M.cwrap('pudlet_set_tool', null, ['number']),
      setNextColor: M.cwrap('pudlet_set_next_color', null, ['number', 'number', 'number']),
      setClearColor: M.cwrap('pudlet_set_clear_color', null, ['number', 'number', 'number']),
      setImage: M.cwrap('pudlet_set_image', 'boolean', ['number', 'string']),
      provideImage: M.cwrap('pudlet_provide_image', 'boolean', ['string', 'number', 'number', 'number']),
      clear: M.cwrap('pudlet_clear', null, []),
      undo: M.cwrap('pudlet_undo', null, []),
      countParticles: M.cwrap('pudlet_count_particles', 'number', [])
    };
    page.api = api;
    let materials, tools; // the Physics and Tool button groups
    let sceneName = 'untitled.pdl';

    fitCanvas();
    if (!api.start('#scene-canvas', canvas.width, canvas.height)) {
      showError('This browser gives no WebGL: Pudlet cannot draw.');
      return;
    }
    const manifest = JSON.parse(api.manifest());
    buildMenu(manifest);
    listDemoScenes(manifest);
    openFromFragment(manifest);
    new ResizeObserver(() => { fitCanvas(); api.resize(canvas.width, canvas.height); }).observe(canvas);
    bindPointer();
    bindKeys();
    bindFiles();
    bindImages(manifest);
    window.addEventListener('hashchange', () => openFromFragment(manifest));
    requestAnimationFrame(loop);

    // ---- frames -----------------------------------------------------------
    let fpsStart = performance.now();
    let fpsFrames = 0;
    const glErrorsLogged = new Set();
    function loop(now) {
      api.frame(true);
      page.frames++;
      if (page.firstFrameAt === null) {
        page.firstFrameAt = performance.now();
        page.ready = true;
      }
      fpsFrames++;
      if (now - fpsStart >= 1000) {
        page.fps = fpsFrames * 1000 / (now - fpsStart);
        fpsStart = now;
        fpsFrames = 0;
        showStatus();
        // Once a second: reading WebGL's error waits for the drawing so far.
        // Each kind is logged once (a lost context would repeat forever).
        const glError = api.glError();
        if (glError !== 0 && !glErrorsLogged.has(glError)) {
          glErrorsLogged.add(glError);
          console.error('OpenGL error 0x' + glError.toString(16));
        }
      }
      requestAnimationFrame(loop);
    }

    function showStatus() {
      if (performance.now() < errorUntil) return;
      status.style.color = '';
      status.textContent = 'Particles: ' + api.countParticles() + '   Time: ' + Math.round(api.get('time')) +
        '   ' + page.fps.toFixed(0) + ' frames/s';
    }

    // The canvas's drawing buffer in device pixels, as big as it shows.
    function fitCanvas() {
      const ratio = window.devicePixelRatio || 1;
      const width = Math.max(1, Math.round(canvas.clientWidth * ratio));
      const height = Math.max(1, Math.round(canvas.clientHeight * ratio));
      if (canvas.width !== width || canvas.height !== height) {
        canvas.width = width;
        canvas.height = height;
      }
    }

    // ---- the Basic Menu ------------------------------------------------------
    function buttonGroup(parent, entries, onPress) {
      const grid = document.createElement('div');
      grid.className = 'grid';
      const buttons = entries.map((entry, index) => {
        const b = document.createElement('button');
        b.textContent = entry.label;
        b.setAttribute('aria-pressed', 'false');
        b.addEventListener('click', () => { press(index); onPress(entry); canvas.focus(); });
        grid.appendChild(b);
        return b;
      });
      parent.appendChild(grid);
      function press(index) {
        buttons.forEach((b, i) => b.setAttribute('aria-pressed', String(i === index)));
      }
      return { buttons, press };
    }

    function buildMenu(manifest) {
      materials = buttonGroup($('physics'), manifest.materials, (m) => api.setMaterial(m.code));
      tools = buttonGroup($('tool'), manifest.tools, (t) => api.setTool(t.code));
      materials.buttons[manifest.initialMaterial].click();
      tools.buttons[manifest.initialTool].click();

      const switches = { pause: 1, gravity: 2, drain: 4, pouring: 8, splash: 16, bubble: 32 };
      for (const [id, bit] of Object.entries(switches))
        $(id).addEventListener('change', (e) => { api.setSwitch(bit, e.target.checked); canvas.focus(); });
      slider('gravity-slider', manifest.gravity, api.setGravitySlider);
      slider('pouring-slider', manifest.pouring, api.setPouringSlider);

      $('clear').addEventListener('click', () => { api.clear(); canvas.focus(); });
      $('undo').addEventListener('click', () => { api.undo(); canvas.focus(); });
      $('color').addEventListener('change', (e) => api.setNextColor(...rgb(e.target.value)));
      $('bg-color').addEventListener('change', (e) => api.setClearColor(...rgb(e.target.value)));

      const style = $('style');
      manifest.styles.forEach((name) => style.add(new Option(name)));
      style.addEventListener('change', () => { api.setStyle(style.selectedIndex); canvas.focus(); });
      showControls();
    }

    function slider(id, range, set) {
      const s = $(id);
      s.max = range.max;
      s.value = range.initial;
      // The engine hears a slider when it is let go.
      s.addEventListener('change', () => { set(Number(s.value)); canvas.focus(); });
    }

    function rgb(hex) {
      return [1, 3, 5].map((i) => parseInt(hex.substr(i, 2), 16) / 255);
    }

    // The check boxes and the style list follow the scene (keys and opened
    // scenes change them too).
    function showControls() {
      const s = api.controlState();
      const bits = { pause: 1, gravity: 2, drain: 4, pouring: 8, splash: 16, bubble: 32 };
      for (const [id, bit] of Object.entries(bits)) $(id).checked = (s & bit) !== 0;
      const style = s >> 8;
      $('style').selectedIndex = style === 255 ? -1 : style;
    }
    page.showControls = showControls;

    // ---- scenes and files ----------------------------------------------------
    function listDemoScenes() {
      const select = $('demo');
      select.add(new Option('Demo scenes…', ''));
      for (const name of M.FS.readdir('/scenes').filter((n) => n.endsWith('.pdl')).sort())
        select.add(new Option(name.slice(0, -4), name.slice(0, -4)));
      select.addEventListener('change', () => {
        if (select.value) location.hash = select.value;
      });
    }

    // '#dam-break' opens that demo scene; no fragment opens the default one.
    function openFromFragment(manifest) {
      const name = decodeURIComponent(location.hash.slice(1)) || manifest.defaultScene.replace(/\.pdl$/, '');
      if (!/^[\w.-]+$/.test(name) || !M.FS.analyzePath('/scenes/' + name + '.pdl').exists) {
        showError('No demo scene is called "' + name + '".');
        return;
      }
      openScene('/scenes/' + name + '.pdl', name + '.pdl');
    }

    function openScene(path, name) {
      api.resize(canvas.width, canvas.height);
      if (!api.open(path)) {
        showError(api.error());
        return false;
      }
      sceneName = name;
      document.title = name + ' - Pudlet';
      showControls();
      return true;
    }

    function download(blob, name) {
      const a = document.createElement('a');
      a.href = URL.createObjectURL(blob);
      a.download = name;
      document.body.appendChild(a);
      a.click();
      a.remove();
      setTimeout(() => URL.revokeObjectURL(a.href), 1000);
    }

    // The scene as the text a .pdl file holds; null with the reason shown
    // when it cannot be written.
    function sceneText() {
      const path = '/tmp/save.pdl';
      if (!api.save(path)) {
        showError(api.error());
        return null;
      }
      const text = M.FS.readFile(path, { encoding: 'utf8' });
      M.FS.unlink(path);
      return text;
    }
    page.sceneText = sceneText;

    function saveScene() {
      const text = sceneText();
      if (text !== null) download(new Blob([text], { type: 'text/plain' }), sceneName);
    }

    // A scene from the user's disk, through the page's own file system.
    function openUploaded(name, bytes) {
      M.FS.mkdirTree('/uploads');
      const path = '/uploads/' + name.replace(/[^\w.-]/g, '_');
      M.FS.writeFile(path, bytes);
      return openScene(path, name);
    }
    page.openUploaded = openUploaded;

    function bindFiles() {
      const input = $('open-file');
      $('open').addEventListener('click', () => input.click());
      input.addEventListener('change', async () => {
        const file = input.files[0];
        input.value = '';
        if (file) openUploaded(file.name, new Uint8Array(await file.arrayBuffer()));
        canvas.focus();
      });
      $('save').addEventListener('click', saveScene);
      $('export').addEventListener('click', () => {
        canvas.toBlob((blob) => download(blob, sceneName.replace(/\.pdl$/, '') + '.png'), 'image/png');
      });
    }

    // ---- the Graphics group's images -----------------------------------------
    // Images live in /images, the engine's working directory, under their
    // file names: scenes name them so, as in the desktop host.
    function bindImages(manifest) {
      M.FS.mkdirTree('/images');
      M.FS.chdir('/images');
      const input = $('open-image');
      let row = -1;
      manifest.images.forEach((image, index) => {
        const load = document.createElement('button');
        load.textContent = image.label;
        load.addEventListener('click', () => { row = index; input.click(); });
        const unload = document.createElement('button');
        unload.textContent = 'Unload';
        unload.name = 'unload:' + image.name;
        unload.addEventListener('click', () => { api.setImage(index, null); canvas.focus(); });
        $('images').append(load, unload);
      });
      input.addEventListener('change', async () => {
        const file = input.files[0];
        input.value = '';
        if (file && row >= 0) await loadImage(row, file.name, file);
        canvas.focus();
      });
    }

    // The browser decodes PNG, JPEG and GIF pictures and hands them over as
    // RGBA; the engine reads BMP and TIFF files itself.
    async function loadImage(row, fileName, blob) {
      const name = fileName.replace(/[^\w.-]/g, '_');
      M.FS.writeFile('/images/' + name, new Uint8Array(await blob.arrayBuffer()));
      if (!/\.(bmp|tiff?)$/i.test(name)) {
        let bitmap = null;
        try {
          bitmap = await createImageBitmap(blob, { premultiplyAlpha: 'none', colorSpaceConversion: 'none' });
        } catch (e) {
          // Not a picture the browser reads: the engine finds none below.
        }
        let handed = false;
        if (bitmap) {
          const c = document.createElement('canvas');
          c.width = bitmap.width;
          c.height = bitmap.height;
          const context = c.getContext('2d');
          context.drawImage(bitmap, 0, 0);
          const pixels = context.getImageData(0, 0, c.width, c.height).data;
          const at = M._malloc(pixels.length);
          if (at) {
            M.HEAPU8.set(pixels, at);
            handed = api.provideImage(name, c.width, c.height, at);
            M._free(at);
          }
        }
        // Else what an earlier file of that name held is forgotten.
        if (!handed) api.provideImage(name, 0, 0, 0);
      }
      const loaded = api.setImage(row, name);
      if (!loaded) showError('"' + fileName + '" is no picture Pudlet can read.');
      return loaded;
    }

    // ---- input ---------------------------------------------------------------
    function canvasPoint(e) {
      const r = canvas.getBoundingClientRect();
      return [(e.clientX - r.left) * canvas.width / r.width, (e.clientY - r.top) * canvas.height / r.height];
    }

    function bindPointer() {
      let held = null;
      canvas.addEventListener('contextmenu', (e) => e.preventDefault());
      canvas.addEventListener('pointerdown', (e) => {
        if (held !== null) return;
        held = e.pointerId;
        canvas.setPointerCapture(e.pointerId);
        canvas.focus();
        // Left 1, right 2, any other 3; modifier bits shift 4, command 8, option 16.
        const button = (e.button === 0 ? 1 : e.button === 2 ? 2 : 3) | (e.shiftKey ? 4 : 0) |
          (e.ctrlKey || e.metaKey ? 8 : 0) | (e.altKey ? 16 : 0);
        api.mouseDown(button, ...canvasPoint(e));
        e.preventDefault();
      });
      canvas.addEventListener('pointermove', (e) => {
        if (e.pointerId === held) api.mouseMove(...canvasPoint(e));
      });
      const release = (e) => {
        if (e.pointerId !== held) return;
        held = null;
        api.mouseUp();
        showControls();
      };
      canvas.addEventListener('pointerup', release);
      canvas.addEventListener('pointercancel', release);
    }

    const specialKeys = { ArrowLeft: 256, ArrowRight: 257, ArrowDown: 258, ArrowUp: 259, Delete: 127 };

    function bindKeys() {
      document.addEventListener('keydown', (e) => {
        const target = e.target;
        if (target.tagName === 'INPUT' || target.tagName === 'SELECT') return;
        const command = e.ctrlKey || e.metaKey;
        if (e.key === 'Tab') {
          $('menu').classList.toggle('hidden');
          fitCanvas();
        } else if ((command && e.key === 'z') || (e.altKey && e.key === 'Backspace')) {
          api.undo();
        } else if (command && e.key === 's') {
          saveScene();
        } else if (command && e.key === 'o') {
          $('open-file').click();
        } else if (e.key in specialKeys) {
          if (!e.repeat) api.keyDown(specialKeys[e.key]);
        } else if (!command && !e.altKey && (e.key.length === 1 || e.key === 'Escape')) {
          const pressed = api.character(e.key === 'Escape' ? 27 : e.key.charCodeAt(0));
          if (pressed >= 1000) tools.press(pressed - 1000);
          else if (pressed >= 0) materials.press(pressed);
        } else {
          return;
        }
        e.preventDefault();
        showControls();
      });
      document.addEventListener('keyup', (e) => {
        if (e.key in specialKeys) api.keyUp(specialKeys[e.key]);
      });
    }
  }
})();
