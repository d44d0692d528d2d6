// The browser host in headless Chromium: the page loads and draws, a brush
// stroke of water falls, Pause stops time, a saved scene opens again as it
// was, keys, touch and resizing work, and nothing is logged as an error on
// the way.
//
//   node web/browser_test.mjs SITE              the test (exit status 1 on failure)
//   node web/browser_test.mjs SITE --measure [--screenshot PNG]
//                                               frame rate of dam-break at 1024x768
//                                               in mode 6, and load to first frame
//   --webgl lavapipe                            either, with WebGL on Mesa's lavapipe
//
// SITE is the built page's folder (build-web/web/site). Chromium is Debian's
// (CHROMIUM overrides /usr/bin/chromium), drawing WebGL in software: with its
// own SwiftShader (Vulkan on the processor, through ANGLE), or with Mesa's
// lavapipe (Vulkan on the processor as well, Debian's mesa-vulkan-drivers),
// which Chromium takes only when told to ignore its list of unsuitable GPUs.
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import puppeteer from 'puppeteer-core';

const args = process.argv.slice(2);
const site = args[0] && path.resolve(args[0]);
const measure = args.includes('--measure');
const screenshotAt = args.indexOf('--screenshot');
const screenshot = screenshotAt >= 0 ? args[screenshotAt + 1] : null;
const webglAt = args.indexOf('--webgl');
const webgl = webglAt >= 0 ? args[webglAt + 1] : 'swiftshader';
// Chromium's flags for each, and the renderer WebGL then names (lavapipe's
// device calls itself llvmpipe).
const webglChoice = {
  swiftshader: { flags: ['--use-angle=swiftshader', '--enable-unsafe-swiftshader'], renderer: /SwiftShader/ },
  lavapipe: { flags: ['--use-angle=vulkan', '--ignore-gpu-blocklist'], renderer: /Vulkan.*llvmpipe/ }
}[webgl];
if (!site || !fs.existsSync(path.join(site, 'index.html')) || !webglChoice) {
  console.error('usage: node browser_test.mjs SITE [--measure] [--screenshot PNG] [--webgl swiftshader|lavapipe]' +
                '  (SITE holds index.html)');
  process.exit(2);
}

// ---- a static server for the site ------------------------------------------
var types = { '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css', '.wasm': 'application/wasm',
                '.data': 'application/octet-stream' };
const server = http.createServer((request, response) => {
  const name = decodeURIComponent(new URL(request.url, 'http://x').pathname);
  const file = path.join(site, name === '/' ? 'index.html' : path.normalize(name));
  if (!file.startsWith(path.resolve(site)) || !fs.existsSync(file) || !fs.statSync(file).isFile()) {
    response.writeHead(404);
    response.end();
    return;
  }
  response.writeHead(200, { 'Content-Type': types[path.extname(file)] || 'application/octet-stream' });
  fs.createReadStream(file).pipe(response);
});
await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
const origin = 'http://127.0.0.1:' + server.address().port;

const browser = await puppeteer.launch({
  executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
  headless: true,
  args: ['--no-sandbox', ...webglChoice.flags]
});
const failures = [];
function check(ok, what) {
  console.log((ok ? 'ok   ' : 'FAIL ') + what);
  if (!ok) failures.push(what);
}

try {
  const page = await browser.newPage();
  // The menu is 300 pixels wide and the status line 20 high: the canvas is 1024 x 768.
  await page.setViewport({ width: 1324, height: 788 });
  const errors = [];
  page.on('console', (m) => { if (m.type() === 'error') errors.push(m.text()); });
  page.on('pageerror', (e) => errors.push(String(e)));
  // The page-side helpers below read the WebGL canvas through a 2-D copy.
  await page.evaluateOnNewDocument(() => {
    window.copySceneCanvas = () => {
      const canvas = document.getElementById('scene-canvas');
      const copy = document.createElement('canvas');
      copy.width = canvas.width;
      copy.height = canvas.height;
      const context = copy.getContext('2d');
      context.drawImage(canvas, 0, 0);
      return context;
    };
  });
  await page.goto(origin + '/#dam-break');
  await page.waitForFunction(() => window.pudlet && window.pudlet.ready, { timeout: 30000 });
  // What draws WebGL: software, whichever was asked for (a GPU would not count).
  const renderer = await page.evaluate(() => {
    const gl = document.getElementById('scene-canvas').getContext('webgl');
    const info = gl.getExtension('WEBGL_debug_renderer_info');
    return info ? gl.getParameter(info.UNMASKED_RENDERER_WEBGL) : gl.getParameter(gl.RENDERER);
  });
  console.log('     WebGL: ' + renderer);
  check(webglChoice.renderer.test(renderer), 'WebGL is drawn by ' + webgl);

  if (measure)
    await measureFrames(page);
  else
    await testPage(page, errors);
  if (screenshot)
    await page.screenshot({ path: screenshot });
  check(errors.length === 0, 'no console errors' + (errors.length ? ': ' + errors.join(' | ') : ''));
} catch (e) {
  check(false, 'the test ran to its end: ' + (e && e.stack || e));
} finally {
  await browser.close();
  server.close();
}
process.exit(failures.length ? 1 : 0);

// ---- helpers run in the page ------------------------------------------------

// Water-coloured pixels of the canvas in each of `bands` horizontal bands, top first.
function waterBands(page, bands) {
  return page.evaluate((bands) => {
    const context = window.copySceneCanvas();
    const copy = context.canvas;
    const pixels = context.getImageData(0, 0, copy.width, copy.height).data;
    const counts = new Array(bands).fill(0);
    for (let y = 0; y < copy.height; y++) {
      const band = Math.floor(y * bands / copy.height);
      for (let x = 0; x < copy.width; x++) {
        const i = (y * copy.width + x) * 4;
        // Water is pale blue (153, 153, 255); the demo's background is grey.
        if (pixels[i + 2] > 200 && pixels[i + 2] - pixels[i] > 40) counts[band]++;
      }
    }
    return counts;
  }, bands);
}

// The canvas's pixels (red, green, blue) at [x, y] points from its top-left corner.
function pixelsAt(page, points) {
  return page.evaluate((points) => {
    const context = window.copySceneCanvas();
    return points.map(([x, y]) => Array.from(context.getImageData(x, y, 1, 1).data.slice(0, 3)));
  }, points);
}

function state(page) {
  return page.evaluate(() => ({
    time: window.pudlet.api.get('time'),
    particles: window.pudlet.api.countParticles(),
    frames: window.pudlet.frames
  }));
}

async function waitFrames(page, n) {
  const start = (await state(page)).frames;
  await page.waitForFunction((target) => window.pudlet.frames >= target, { timeout: 30000 }, start + n);
}

async function clickButton(page, label) {
  const buttons = await page.$$('button');
  for (const b of buttons) {
    if ((await b.evaluate((e) => e.textContent)) === label) {
      await b.click();
      return;
    }
  }
  throw new Error('no button "' + label + '"');
}

// ---- the test ---------------------------------------------------------------
async function testPage(page, errors) {
  const box = await (await page.$('#scene-canvas')).boundingBox();
  check(box.width === 1024 && box.height === 768, 'the canvas fills the page beside the menu');
  const first = await page.evaluate(() => window.pudlet.firstFrameAt);
  console.log('     first frame ' + first.toFixed(0) + ' ms after navigation');
  const labels = await page.$$eval('#physics button', (b) => b.map((e) => e.textContent));
  check(labels.length === 24 && labels[1] === 'Water' && labels[23] === "User's", 'the material buttons');
  check((await waterBands(page, 4)).reduce((a, b) => a + b) > 1000, 'the dam-break scene shows its water');

  await clickButton(page, 'Clear');
  await waitFrames(page, 2);
  check((await state(page)).particles === 0, 'Clear empties the scene');

  // A stroke across the top fifth; the brush holds the world still while it is held.
  await clickButton(page, 'Water');
  await clickButton(page, 'Brush');
  const y = box.y + box.height * 0.15;
  await page.mouse.move(box.x + box.width * 0.35, y);
  await page.mouse.down();
  await page.mouse.move(box.x + box.width * 0.65, y, { steps: 12 });
  await waitFrames(page, 2);
  const drawn = await waterBands(page, 5);
  await page.mouse.up();
  check((await state(page)).particles > 0 && drawn[0] > 500 && drawn[4] === 0,
        'the stroke puts water at the top only (' + drawn.join(' ') + ')');
  // Gravity takes it down to the floor.
  let fallen = drawn;
  for (let i = 0; i < 60 && !(fallen[4] > 500 && fallen[0] < drawn[0] / 10); i++) {
    await waitFrames(page, 5);
    fallen = await waterBands(page, 5);
  }
  check(fallen[4] > 500 && fallen[0] < drawn[0] / 10, 'the water falls to the bottom (' + fallen.join(' ') + ')');

  await page.click('#pause');
  await waitFrames(page, 2);
  const paused = await state(page);
  const pausedPicture = await waterBands(page, 8);
  await waitFrames(page, 10);
  const later = await state(page);
  check(later.time === paused.time && later.frames >= paused.frames + 10 &&
        JSON.stringify(await waterBands(page, 8)) === JSON.stringify(pausedPicture),
        'Pause stops time and the picture while frames go on');

  // Save through the button (a download), clear, open the download through
  // the file input: the same scene, byte for byte.
  const downloads = fs.mkdtempSync(path.join(os.tmpdir(), 'pudlet-download-'));
  const cdp = await page.browser().target().createCDPSession();
  await cdp.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: downloads });
  await clickButton(page, 'Save');
  const saved = path.join(downloads, 'dam-break.pdl');
  for (let i = 0; i < 100 && !fs.existsSync(saved); i++) await new Promise((r) => setTimeout(r, 100));
  const text = fs.existsSync(saved) ? fs.readFileSync(saved, 'utf8') : '';
  check(text.split('\n').filter((l) => l.startsWith('p ')).length === later.particles,
        'Save downloads the scene with every particle');
  await clickButton(page, 'Clear');
  await waitFrames(page, 1);
  await (await page.$('#open-file')).uploadFile(saved);
  await page.waitForFunction((n) => window.pudlet.api.countParticles() === n, { timeout: 10000 }, later.particles);
  const reopened = await page.evaluate(() => window.pudlet.sceneText());
  check(reopened === text, 'the saved scene opens again as it was');
  check(await page.$eval('#pause', (e) => e.checked), 'the opened scene\'s switches show in the menu');
  fs.rmSync(downloads, { recursive: true, force: true });

  // Keys as in the desktop host: a lower-case letter chooses a material and
  // presses its button, an upper-case one a tool.
  await page.focus('#scene-canvas');
  await page.keyboard.type('qE');
  const pressed = await page.$$eval('button[aria-pressed=true]', (b) => b.map((e) => e.textContent));
  check(JSON.stringify(pressed) === '["Water","Eraser"]',
        'keys choose the material and the tool (' + pressed.join(', ') + ')');

  // A finger paints like the mouse.
  await page.keyboard.type('B');
  const before = (await state(page)).particles;
  await page.touchscreen.touchStart(box.x + 100, box.y + 100);
  await page.touchscreen.touchMove(box.x + 200, box.y + 100);
  await page.touchscreen.touchEnd();
  await waitFrames(page, 1);
  check((await state(page)).particles > before, 'a touch stroke paints');

  // The Graphics group loads a picture the browser decodes, as the
  // background over the whole view: red on the left, blue on the right.
  const picture = path.join(os.tmpdir(), 'pudlet-halves-' + process.pid + '.png');
  fs.writeFileSync(picture, Buffer.from(await page.evaluate(() => {
    const c = document.createElement('canvas');
    c.width = 64;
    c.height = 32;
    const g = c.getContext('2d');
    g.fillStyle = '#f00';
    g.fillRect(0, 0, 32, 32);
    g.fillStyle = '#00f';
    g.fillRect(32, 0, 32, 32);
    return c.toDataURL('image/png').split(',')[1];
  }), 'base64'));
  const corners = () => pixelsAt(page, [[20, 20], [box.width - 20, 20]]);
  const [chooser] = await Promise.all([page.waitForFileChooser(), clickButton(page, 'Load Background')]);
  await chooser.accept([picture]);
  let shown = [];
  for (let i = 0; i < 50 && !(shown.length && shown[0][0] > 200 && shown[1][2] > 200); i++) {
    await waitFrames(page, 1);
    shown = await corners();
  }
  check(shown[0][0] > 200 && shown[0][2] < 60 && shown[1][2] > 200 && shown[1][0] < 60,
        'a loaded picture shows as the background (' + JSON.stringify(shown) + ')');
  await page.click('button[name="unload:Background"]');
  await waitFrames(page, 2);
  shown = await corners();
  check(shown.every((p) => p[0] < 100 && p[2] < 100), 'Unload takes it away (' + JSON.stringify(shown) + ')');
  // The same name again, now no picture: the old one is not shown instead.
  fs.writeFileSync(picture, 'not a picture\n');
  const [junkChooser] = await Promise.all([page.waitForFileChooser(), clickButton(page, 'Load Foreground')]);
  await junkChooser.accept([picture]);
  const said = await page.waitForFunction(
    () => document.getElementById('status').textContent.includes('is no picture'), { timeout: 10000 })
    .then(() => true, () => false);
  check(said, 'a file that is no picture says so');
  fs.rmSync(picture);

  // The right and top walls follow the canvas when the window changes size.
  await page.setViewport({ width: 1124, height: 588 });
  await page.waitForFunction(() => document.getElementById('scene-canvas').width === 824);
  await waitFrames(page, 2);
  const walls = await page.evaluate(() => {
    const api = window.pudlet.api;
    const scale = api.get('scale');
    return [api.get('boundsLeft') + api.get('boundsRight'), 824 / scale,
            api.get('boundsBottom') + api.get('boundsTop'), 568 / scale];
  });
  check(Math.abs(walls[0] - walls[1]) < 1e-3 && Math.abs(walls[2] - walls[3]) < 1e-3,
        'the walls follow the view (' + walls.map((w) => w.toFixed(2)).join(' ') + ')');

  // A fragment naming no demo scene keeps the scene and says so.
  const kept = (await state(page)).particles;
  await page.evaluate(() => { location.hash = 'no-such-scene'; });
  await page.waitForFunction(() => document.getElementById('status').textContent.includes('no-such-scene'));
  check((await state(page)).particles === kept, 'an unknown fragment keeps the scene');

  // A file that is no scene keeps the scene too, and the status line says why.
  const junk = path.join(os.tmpdir(), 'pudlet-not-a-scene-' + process.pid + '.pdl');
  fs.writeFileSync(junk, 'not a scene\n');
  await (await page.$('#open-file')).uploadFile(junk);
  await page.waitForFunction(() => document.getElementById('status').textContent.includes('not a scene file'),
                             { timeout: 10000 });
  fs.rmSync(junk);
  check((await state(page)).particles === kept, 'a file that is no scene keeps the scene');
}

// ---- the measurement ---------------------------------------------------------
async function measureFrames(page) {
  const first = await page.evaluate(() => window.pudlet.firstFrameAt);
  await page.select('#style', 'Blob and Texture');
  const mode = await page.evaluate(() => window.pudlet.api.get('renderMode'));
  await new Promise((r) => setTimeout(r, 1000));
  const a = await state(page);
  const t0 = Date.now();
  await new Promise((r) => setTimeout(r, 5000));
  const b = await state(page);
  const fps = (b.frames - a.frames) * 1000 / (Date.now() - t0);
  const size = await page.evaluate(() => [document.getElementById('scene-canvas').width,
                                          document.getElementById('scene-canvas').height]);
  console.log(JSON.stringify({ scene: 'dam-break', webgl: webgl, size: size.join('x'), renderMode: mode,
                               framesPerSecond: +fps.toFixed(1), firstFrameMs: Math.round(first),
                               particles: b.particles }));
  check(fps > 0, 'frames are drawn');
}
