// The image page's stack: the images of a series (window.dicomStack, written
// by the viewer into liste.js) or the frames of the file shown, stepped
// through in place with the wheel, the keys, the Previous and Next buttons and
// the host's StackIndex; the images around the one shown read and decoded
// ahead within the stack's memory budget; and the cine, which keeps real time
// by skipping what it cannot show in time.
(function (page) {
  'use strict';

  var { element, state, post, describe, textOf, calibrationOf, hostReason, imageIdOf, askHostForFile, releaseHost,
    showImage, ANSWER_MS } = page;
  var dataSets = cornerstoneWADOImageLoader.wadouri.dataSetCacheManager;

  // How many images are read ahead of the one shown, and behind it, as far as
  // the cache's budget holds them: a series read ahead before the scroll
  // reaches it leaves the page free to show it.
  var AHEAD = 400;
  var BEHIND = 100;
  var PREFETCHING = 2;
  var PAGE_STEP = 10;

  var given = validStack(window.dicomStack);
  var stack = null;
  var cine = null;

  // The viewer's description of the stack, or null when it does not hold together.
  function validStack(value) {
    if (!value || typeof value !== 'object' || !Array.isArray(value.files) || !value.files.length) { return null; }
    var count = 0;
    var valid = value.files.every(function (file) {
      var frames = file && file.frames;
      var ok = Number.isInteger(frames) && frames >= 1 && (file.url === null || typeof file.url === 'string') &&
        typeof file.name === 'string';
      count += ok ? frames : 0;
      return ok;
    });
    if (!valid || count !== value.count || !Number.isInteger(value.current) || value.current < 0 || value.current >= count) {
      return null;
    }
    return value;
  }

  function record(url, name, frames, first) {
    return { url: url, name: name, frames: frames, first: first, fileFrames: frames, dataSet: null, loading: null,
             reason: '', host: null, failed: '' };
  }

  // The stack starts with the image of the load, once it is shown: the given
  // series, or the frames of the file.
  function start() {
    var files = [];
    var count = 0;
    var current = 0;
    (given ? given.files : [{ url: null, name: '', frames: state.frames }]).forEach(function (file) {
      var rec = record(file.url === null ? state.url : file.url, file.url === null ? '' : file.name, file.frames, count);
      if (file.url === null) {
        rec.dataSet = state.dataSet;
        rec.fileFrames = state.frames;
        rec.host = state.host && state.host.description ? state.host : null;
        rec.reason = state.host ? state.host.reason : '';
        current = count + state.frame;
      }
      files.push(rec);
      count += file.frames;
    });
    stack = { files: files, count: count, shown: current, target: current, busy: false, direction: 1, cached: {},
              prefetching: 0, pending: {}, announcing: false, bytes: given ? given.cacheBytes : 0, quietUntil: 0,
              resume: 0 };
    if (stack.bytes > 0) { cornerstone.imageCache.setMaximumSizeBytes(stack.bytes); }
    if (state.image) { stack.cached[state.image.imageId] = current; }
    prefetch();
  }

  function placeOf(index) {
    var files = stack.files;
    var low = 0;
    var high = files.length - 1;
    while (low < high) {
      var middle = (low + high + 1) >> 1;
      if (files[middle].first <= index) { low = middle; } else { high = middle - 1; }
    }
    return { file: low, frame: index - files[low].first };
  }

  // A file cut short in its pixel data (removed or truncated since the stack was made).
  function isCutShort(dataSet) {
    var pixels = dataSet.elements.x7fe00010;
    return !pixels || pixels.dataOffset + pixels.length > dataSet.byteArray.length;
  }

  function framesOf(dataSet) { return Math.max(1, parseInt(textOf(dataSet, 'x00280008'), 10) || 1); }

  // The file's data set, and the host's decoding when the page's loader cannot be trusted with it.
  function prepare(rec, file) {
    if (rec.failed) { return Promise.reject(new Error(rec.failed)); }
    if (rec.dataSet) {
      if (rec.reason && !rec.host) { rec.host = askHostForFile(file, rec.reason); }
      return Promise.resolve(rec);
    }
    if (!rec.loading) {
      rec.loading = dataSets.load(rec.url).then(function (dataSet) {
        rec.loading = null;
        if (isCutShort(dataSet)) {
          while (dataSets.isLoaded(rec.url)) { dataSets.unload(rec.url); }
          throw new Error('the file has no complete pixel data');
        }
        rec.dataSet = dataSet;
        rec.fileFrames = framesOf(dataSet);
        rec.reason = hostReason(dataSet);
        return prepare(rec, file);
      }, function (err) {
        rec.loading = null;
        rec.failed = page.errorText(err);
        throw err;
      });
    }
    return rec.loading;
  }

  function imageIdAt(rec, frame) { return imageIdOf(rec.url, rec.fileFrames, rec.host, frame); }

  // An image of the stack, decoded or read from the cache, within the time a load has.
  function loadImage(index) {
    var place = placeOf(index);
    var rec = stack.files[place.file];
    var timer;
    var deadline = new Promise(function (resolve, reject) {
      timer = setTimeout(function () { reject(new Error('the image was not decoded in time')); }, ANSWER_MS);
    });
    var image = prepare(rec, place.file).then(function () {
      var id = imageIdAt(rec, place.frame);
      return cornerstone.loadAndCacheImage(id).then(function (loaded) {
        stack.cached[id] = index;
        keepHeaderOnly(rec, loaded);
        return loaded;
      });
    });
    return Promise.race([image, deadline]).then(function (loaded) {
      clearTimeout(timer);
      return { image: loaded, rec: rec, frame: place.frame };
    }, function (err) {
      clearTimeout(timer);
      throw err;
    });
  }

  // Overlay planes may live in the pixel data's unused bits, read again as the image shows.
  function hasOverlayPlanes(dataSet) {
    return Object.keys(dataSet.elements).some(function (tag) { return tag >= 'x60000000' && tag < 'x60200000'; });
  }

  // Once a single-frame file is decoded, its pixel data is not read again: the
  // data set keeps its header only, so that the cache's budget is what it holds.
  function keepHeaderOnly(rec, image) {
    var pixels = rec.dataSet && rec.dataSet.elements.x7fe00010;
    if (rec.fileFrames > 1 || rec.host || !pixels || rec.dataSet.headerOnly || hasOverlayPlanes(rec.dataSet)) { return; }
    try {
      var header = dicomParser.parseDicom(rec.dataSet.byteArray.slice(0, pixels.dataOffset), { untilTag: 'x7fe00010' });
      header.headerOnly = true;
      if (dataSets.isLoaded(rec.url)) { dataSets.update(rec.url, header); }
      if (state.dataSet === rec.dataSet) { state.dataSet = header; }
      rec.dataSet = header;
      image.data = header;
    } catch (e) {
      // A header that cannot be read alone stays with its pixel data.
    }
  }

  // The file of an image shown becomes the page's file: its values, frames and decoding.
  function adopt(rec) {
    state.dataSet = rec.dataSet;
    state.url = rec.url;
    state.frames = rec.fileFrames;
    state.host = rec.host;
    state.name = rec.name;
    state.spacing = calibrationOf(rec.dataSet);
    state.calibration = state.spacing.source;
  }

  // The host hears of the image shown at most once per displayed frame.
  function announce() {
    if (stack.announcing) { return; }
    stack.announcing = true;
    requestAnimationFrame(function () {
      stack.announcing = false;
      var image = state.image;
      var text = describe(state.dataSet, image ? image.width : 0, image ? image.height : 0,
                          { index: stack.shown, count: stack.count });
      post('stackImageChanged', text);
    });
  }

  function run() {
    if (stack.target === stack.shown) { prefetch(); return; }
    stack.busy = true;
    var index = stack.target;
    loadImage(index).then(function (loaded) {
      adopt(loaded.rec);
      showImage(loaded.image, loaded.frame, false);
      stack.shown = index;
      if (cine) { cine.shown += 1; }
      announce();
    }, function () {
      skip(index);
    }).then(function () {
      stack.busy = false;
      run();
    });
  }

  // An image that cannot be shown (a file removed or cut short) is passed over
  // in the direction of a step; a jump to it stays where it was.
  function skip(index) {
    if (stack.target !== index) { return; }
    var next = index + stack.direction;
    stack.target = stack.stepping && next >= 0 && next < stack.count && !cine ? next : stack.shown;
  }

  // stepping: the index is a step from the image shown, not a jump.
  function request(index, stepping) {
    if (!stack) { return; }
    index = Math.max(0, Math.min(stack.count - 1, index));
    if (index !== stack.shown) { stack.direction = index > stack.shown ? 1 : -1; }
    stack.target = index;
    stack.stepping = !!stepping;
    if (!stack.busy) { run(); }
  }

  // The images around the one shown, more of them ahead, while the cache holds them.
  function neighbours() {
    var image = state.image;
    var room = image && stack.bytes > 0 ? Math.floor(0.8 * stack.bytes / Math.max(1, image.sizeInBytes)) : AHEAD + BEHIND;
    var ahead = Math.min(AHEAD, Math.max(1, Math.floor(room * 0.8)));
    var behind = Math.min(BEHIND, Math.max(0, room - ahead));
    var order = [];
    for (var d = 1; d <= ahead || d <= behind; d++) {
      if (d <= ahead) { order.push(stack.shown + stack.direction * d); }
      if (d <= behind && d % 2 === 0) { order.push(stack.shown - stack.direction * d / 2); }
    }
    return order.map(function (index) { return cine ? (index + stack.count) % stack.count : index; })
      .filter(function (index) { return index >= 0 && index < stack.count; });
  }

  function isCached(index) {
    var place = placeOf(index);
    var rec = stack.files[place.file];
    if (rec.failed) { return true; }
    if (!rec.dataSet) { return false; }
    return !!cornerstone.imageCache.getImageLoadObject(imageIdAt(rec, place.frame));
  }

  // While the user steps, the page is left to show the images asked for:
  // reading ahead waits until the steps pause.
  var QUIET_MS = 250;

  function prefetch() {
    if (!stack || stack.count < 2) { return; }
    var wait = stack.quietUntil - performance.now();
    if (wait > 0) {
      clearTimeout(stack.resume);
      stack.resume = setTimeout(prefetch, wait);
      return;
    }
    while (stack.prefetching < PREFETCHING) {
      var next = neighbours().find(function (index) { return !stack.pending[index] && !isCached(index); });
      if (next === undefined) { return; }
      fetch(next);
    }
  }

  function fetch(index) {
    stack.prefetching += 1;
    stack.pending[index] = true;
    loadImage(index).catch(function () {}).then(function () {
      stack.prefetching -= 1;
      delete stack.pending[index];
      if (!stack.busy) { prefetch(); }
    });
  }

  // The cache let an image go: a file none of whose images is kept, and that
  // is not shown, lets go of its data set and of the host's decoded frames.
  function onImageRemoved(event) {
    var id = event.detail && event.detail.imageId;
    if (!stack || !id || !(id in stack.cached)) { return; }
    var rec = stack.files[placeOf(stack.cached[id]).file];
    delete stack.cached[id];
    if (rec.url === state.url) { return; }
    for (var frame = 0; frame < rec.frames; frame++) {
      if (cornerstone.imageCache.getImageLoadObject(imageIdAt(rec, frame))) { return; }
    }
    while (dataSets.isLoaded(rec.url)) { dataSets.unload(rec.url); }
    rec.dataSet = null;
    if (rec.host) {
      releaseHost(rec.host);
      rec.host = null;
    }
  }

  // The rate the file gives: Frame Time, Frame Time Vector, Recommended Display
  // Frame Rate, Cine Rate, else 10 per second.
  function ownRate(dataSet) {
    var frameTime = parseFloat(textOf(dataSet, 'x00181063'));
    if (frameTime > 0) { return 1000 / frameTime; }
    var vector = textOf(dataSet, 'x00181065').split('\\').map(parseFloat).filter(function (t) { return t > 0; });
    if (vector.length) { return 1000 * vector.length / vector.reduce(function (a, b) { return a + b; }, 0); }
    var recommended = parseFloat(textOf(dataSet, 'x00082144'));
    if (recommended > 0) { return recommended; }
    var cineRate = parseFloat(textOf(dataSet, 'x00180040'));
    return cineRate > 0 ? cineRate : 10;
  }

  function playCine(rate) {
    stopCine();
    if (!stack || stack.count < 2) { return; }
    rate = rate > 0 ? rate : ownRate(state.dataSet);
    cine = { rate: Math.min(Math.max(rate, 0.1), 240), started: performance.now(), from: stack.shown, step: 0,
             shown: 0, frame: 0 };
    stack.direction = 1;
    cine.frame = requestAnimationFrame(tick);
  }

  function tick(now) {
    if (!cine) { return; }
    var elapsed = Math.floor((now - cine.started) * cine.rate / 1000);
    if (elapsed !== cine.step) {
      cine.step = elapsed;
      stack.target = (cine.from + elapsed) % stack.count;
      if (!stack.busy) { run(); }
    }
    cine.frame = requestAnimationFrame(tick);
  }

  function stopCine() {
    if (!cine) { return; }
    cancelAnimationFrame(cine.frame);
    page.lastCine = { rate: cine.rate, steps: cine.step, shown: cine.shown, skipped: Math.max(0, cine.step - cine.shown),
                      seconds: (performance.now() - cine.started) / 1000 };
    cine = null;
  }

  // A step by the user or the host; it stops the cine.
  function step(delta) {
    stopCine();
    if (!stack) { return; }
    stack.quietUntil = performance.now() + QUIET_MS;
    request(stack.target + delta, true);
  }

  // The wheel's notches. A page that is busy gets several notches in one
  // event, their deltas summed: the smallest delta seen is taken as one notch
  // (no less than MIN_NOTCH pixels, so that a touchpad's small deltas add up),
  // and each event steps by the notches it holds.
  var MIN_NOTCH = 16;
  var wheel = { notch: Infinity, rest: 0 };

  function wheelSteps(event) {
    var pixels = event.deltaMode === 1 ? event.deltaY * 40 : event.deltaMode === 2 ? event.deltaY * 800 : event.deltaY;
    if (!pixels || !isFinite(pixels)) { return 0; }
    wheel.notch = Math.max(MIN_NOTCH, Math.min(wheel.notch, Math.abs(pixels)));
    wheel.rest += pixels / wheel.notch;
    var steps = Math.trunc(wheel.rest + (wheel.rest > 0 ? 1e-6 : -1e-6));
    wheel.rest -= steps;
    return steps;
  }

  function onWheel(event) {
    if (!given || !state.image) { return; }
    event.preventDefault();
    if (event.ctrlKey) {
      var viewport = cornerstone.getViewport(element);
      viewport.scale *= event.deltaY < 0 ? 1.1 : 1 / 1.1;
      cornerstone.setViewport(element, viewport);
      return;
    }
    var steps = wheelSteps(event);
    if (steps) { step(steps); }
  }

  var KEYS = { ArrowUp: -1, ArrowDown: 1, PageUp: -PAGE_STEP, PageDown: PAGE_STEP };

  function onKey(event) {
    if (!given || !stack || event.altKey || event.ctrlKey || event.metaKey) { return; }
    if (Object.prototype.hasOwnProperty.call(KEYS, event.key)) {
      step(KEYS[event.key]);
    } else if (event.key === 'Home' || event.key === 'End') {
      stopCine();
      request(event.key === 'Home' ? 0 : stack.count - 1);
    } else {
      return;
    }
    event.preventDefault();
  }

  // The frame steps of a stack stay within the file shown.
  function stepFrame(delta) {
    if (!stack) { return false; }
    var place = placeOf(stack.target);
    var frame = place.frame + delta;
    if (frame >= 0 && frame < stack.files[place.file].frames) { step(delta); }
    return true;
  }

  element.addEventListener('wheel', onWheel, { passive: false });
  document.addEventListener('keydown', onKey);
  cornerstone.events.addEventListener(cornerstone.EVENTS.IMAGE_CACHE_PROMISE_REMOVED, onImageRemoved);

  // Without a series, the frames of the file are a stack once the host steps
  // or plays them; the page's own frame steps move it along.
  function ensureStarted() {
    if (!state.image) { return false; }
    if (!stack) { start(); }
    if (!given && !stack.busy) { stack.shown = stack.target = state.frame; }
    return true;
  }

  // Called by the viewer: StackIndex, PlayCine and StopCine.
  window.showStackImage = function (index) {
    index = parseInt(index, 10);
    if (!Number.isInteger(index) || !ensureStarted()) { return; }
    stopCine();
    request(index);
  };
  window.playCine = function (rate) { if (ensureStarted()) { playCine(parseFloat(rate)); } };
  window.stopCine = stopCine;

  // The image of an instance and frame among the stack's files read so far.
  function imageOfInstance(sopInstanceUid, frame) {
    var rec = stack && stack.files.find(function (file) {
      return file.dataSet && textOf(file.dataSet, 'x00080018') === sopInstanceUid && frame >= 0 && frame < file.frames;
    });
    return rec ? { imageId: imageIdAt(rec, frame), dataSet: rec.dataSet } : null;
  }

  page.stack = {
    imageOfInstance: imageOfInstance,
    // The series starts with the load's first image.
    loaded: function () { if (given && !stack) { start(); } },
    step: function (delta) { if (given) { step(delta); } return !!given; },
    stepFrame: function (delta) { return !!given && stepFrame(delta); },
    stopCine: stopCine
  };
})(window.KestImagePage);
