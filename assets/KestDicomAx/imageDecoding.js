// The image page's loads: the file read and parsed, its frames decoded by the
// page's loader, or by the host when the loader cannot be trusted with them
// (the host writes them to KDVAX_PIXELS_<first frame>.bin in memory, the
// frame shown first and the others after it, and answers each part with its
// URL through hostPixels).
(function (page) {
  'use strict';

  var rootUrl = KestPage.rootUrl;
  var { element, state, post, showNotice, textOf, calibrationOf, hasPixelData, fileName, describe, failLoad,
    errorText, ANSWER_MS } = page;

  // Transfer syntaxes the page's loader knows.
  var LOADER_SYNTAXES = [
    '1.2.840.10008.1.2', '1.2.840.10008.1.2.1', '1.2.840.10008.1.2.2', '1.2.840.10008.1.2.1.99',
    '1.2.840.10008.1.2.5', '1.2.840.10008.1.2.4.50', '1.2.840.10008.1.2.4.51', '1.2.840.10008.1.2.4.57',
    '1.2.840.10008.1.2.4.70', '1.2.840.10008.1.2.4.80', '1.2.840.10008.1.2.4.81',
    '1.2.840.10008.1.2.4.90', '1.2.840.10008.1.2.4.91'
  ];

  // Those it would decode with WebAssembly (libjpeg-turbo, CharLS, OpenJPEG),
  // whose generated bindings build functions from text: the page allows no
  // such script, and the host decodes them.
  var WASM_SYNTAXES = {
    '1.2.840.10008.1.2.4.50': 'JPEG baseline',
    '1.2.840.10008.1.2.4.80': 'JPEG-LS', '1.2.840.10008.1.2.4.81': 'JPEG-LS',
    '1.2.840.10008.1.2.4.90': 'JPEG 2000', '1.2.840.10008.1.2.4.91': 'JPEG 2000'
  };

  // Why the loader cannot be trusted with the file's pixel data (it refuses
  // them, shows them wrongly, its decoder never answers, or it would need
  // WebAssembly): the host then decodes them. Empty when the loader decodes
  // them itself.
  function hostReason(dataSet) {
    if (dataSet.elements.x7fe00008 || dataSet.elements.x7fe00009) { return 'floating-point pixel data'; }
    var bits = dataSet.uint16('x00280100');
    var samples = dataSet.uint16('x00280002') || 1;
    var syntax = textOf(dataSet, 'x00020010');
    if (bits === 32) { return '32-bit pixel data'; }
    if (bits === 1 && syntax === '1.2.840.10008.1.2.2') { return 'single-bit big-endian pixel data'; }
    if (samples > 1 && bits > 8) { return 'colour deeper than 8 bits'; }
    if (syntax && LOADER_SYNTAXES.indexOf(syntax) < 0) { return 'transfer syntax ' + syntax; }
    if (samples > 1 && syntax.indexOf('1.2.840.10008.1.2.4.') === 0) { return 'compressed colour'; }
    // Its 12-bit JPEG decoder shifts every value.
    if (syntax === '1.2.840.10008.1.2.4.51') { return 'extended JPEG'; }
    if (Object.prototype.hasOwnProperty.call(WASM_SYNTAXES, syntax)) { return WASM_SYNTAXES[syntax]; }
    return '';
  }

  var SAMPLE_TYPES = {
    uint8: Uint8Array, int8: Int8Array, uint16: Uint16Array, int16: Int16Array,
    uint32: Uint32Array, int32: Int32Array, float32: Float32Array, float64: Float64Array
  };

  function rangeOf(values) {
    var min = Infinity;
    var max = -Infinity;
    for (var i = 0; i < values.length; i++) {
      var v = values[i];
      if (v < min) { min = v; }
      if (v > max) { max = v; }
    }
    return isFinite(min) ? { min: min, max: max } : { min: 0, max: 0 };
  }

  // Grey values the renderer cannot index directly (32-bit and floating-point
  // samples) are shown through 16-bit display values, with the modality
  // rescale adjusted so that the values shown and probed stay the same.
  function greyImage(description, stored, frame) {
    var rescale = KestValues.rescaleOf(state.dataSet, frame);
    var slope = rescale.slope;
    var intercept = rescale.intercept;
    var range = rangeOf(stored);
    var image = { color: false, slope: slope, intercept: intercept, minPixelValue: range.min,
                  maxPixelValue: range.max, render: cornerstone.renderGrayscaleImage };
    var display = stored;
    if (!(stored instanceof Uint8Array || stored instanceof Int8Array || stored instanceof Uint16Array ||
          stored instanceof Int16Array)) {
      var span = range.max - range.min;
      var scale = span > 0 ? 65535 / span : 0;
      display = new Uint16Array(stored.length);
      for (var i = 0; i < stored.length; i++) { display[i] = Math.round((stored[i] - range.min) * scale); }
      image.slope = span > 0 ? slope * span / 65535 : slope;
      image.intercept = intercept + slope * range.min;
      image.minPixelValue = 0;
      image.maxPixelValue = span > 0 ? 65535 : 0;
    }
    var low = range.min * slope + intercept;
    var high = range.max * slope + intercept;
    var voiWindow = KestValues.windowsOf(state.dataSet, frame)[0];
    image.windowCenter = voiWindow ? voiWindow.center : (Math.min(low, high) + Math.max(low, high)) / 2;
    image.windowWidth = voiWindow ? voiWindow.width : Math.max(1, Math.abs(high - low));
    image.invert = description.photometric === 'MONOCHROME1';
    image.modality = { slope: slope, intercept: intercept };
    image.getPixelData = function () { return display; };
    return image;
  }

  // Colour of any depth is shown as 8-bit RGBA.
  function colourImage(description, stored) {
    var floating = stored instanceof Float32Array || stored instanceof Float64Array;
    var top = floating ? rangeOf(stored).max : Math.pow(2, description.bitsStored) - 1;
    var scale = top > 0 ? 255 / top : 0;
    var pixels = stored.length / 3;
    var rgba = new Uint8Array(pixels * 4);
    for (var p = 0; p < pixels; p++) {
      rgba[4 * p] = Math.round(stored[3 * p] * scale);
      rgba[4 * p + 1] = Math.round(stored[3 * p + 1] * scale);
      rgba[4 * p + 2] = Math.round(stored[3 * p + 2] * scale);
      rgba[4 * p + 3] = 255;
    }
    return { color: true, rgba: false, slope: 1, intercept: 0, minPixelValue: 0, maxPixelValue: 255,
             windowCenter: 128, windowWidth: 255, invert: false, render: cornerstone.renderColorImage,
             getPixelData: function () { return rgba; } };
  }

  // `at` is the frame's place in the part's buffer.
  function hostImage(id, description, buffer, frame, at) {
    var Type = SAMPLE_TYPES[description.type];
    var count = description.rows * description.columns * description.samples;
    var bytes = count * Type.BYTES_PER_ELEMENT;
    if ((at + 1) * bytes > buffer.byteLength) { throw new Error('the decoded frames are shorter than the image'); }
    var stored = new Type(buffer.slice(at * bytes, (at + 1) * bytes));
    var image = description.samples === 3 ? colourImage(description, stored) : greyImage(description, stored, frame);
    var spacing = state.spacing && state.spacing.values;
    image.imageId = id;
    image.rows = image.height = description.rows;
    image.columns = image.width = description.columns;
    image.rowPixelSpacing = spacing ? spacing[0] : undefined;
    image.columnPixelSpacing = spacing ? spacing[1] : undefined;
    image.sizeInBytes = image.getPixelData().byteLength;
    image.storedValues = stored;
    return image;
  }

  function readFrames(url) {
    return new Promise(function (resolve, reject) {
      var request = new XMLHttpRequest();
      request.open('GET', url);
      request.responseType = 'arraybuffer';
      request.onload = function () {
        if (request.response && request.response.byteLength) { resolve(request.response); } else { reject(new Error('the decoded frames could not be read')); }
      };
      request.onerror = function () { reject(new Error('the decoded frames could not be read')); };
      request.send();
    });
  }

  // The host's decodings, by key: the working copy's ("L<load>") and those of
  // the stack's other files ("F<file>.<n>").
  var hosts = {};
  var hostCount = 0;

  function newHost(key, reason, file) {
    var host = { key: key, load: state.loads, reason: reason, file: file, description: null, parts: [], waiting: [],
                 failure: '' };
    hosts[key] = host;
    return host;
  }

  // The part of the host's answers that holds a frame: a promise of it, kept
  // until the part arrives; one that fails ends the frames it would hold.
  function partOf(host, frame) {
    for (var i = 0; i < host.parts.length; i++) {
      var part = host.parts[i];
      if (frame >= part.first && frame < part.first + part.count) { return Promise.resolve(part); }
    }
    if (host.failure) { return Promise.reject(new Error(host.failure)); }
    if (host.description && frame >= host.description.frames) { return Promise.reject(new Error('no such frame')); }
    return new Promise(function (resolve, reject) { host.waiting.push({ frame: frame, resolve: resolve, reject: reject }); });
  }

  // Image loader for frames the host decoded: "kesthost:<host key>:<frame>".
  function loadHostImage(id) {
    var fields = id.split(':');
    var host = hosts[fields[1]];
    var frame = parseInt(fields[2], 10);
    if (!host) { return { promise: Promise.reject(new Error('the decoded frames are gone')) }; }
    return {
      promise: partOf(host, frame).then(function (part) {
        return part.buffer.then(function (buffer) { return hostImage(id, host.description, buffer, frame, frame - part.first); });
      })
    };
  }

  function validDescription(d) {
    return !!SAMPLE_TYPES[d.type] && d.rows > 0 && d.columns > 0 && (d.samples === 1 || d.samples === 3) &&
      d.frames >= 1 && d.bitsStored > 0 && Number.isInteger(d.first) && Number.isInteger(d.count) &&
      d.first >= 0 && d.count >= 1 && d.first + d.count <= d.frames;
  }

  // A later part must describe the same image as the first.
  function samePicture(a, b) {
    return ['type', 'rows', 'columns', 'samples', 'frames', 'bitsStored', 'photometric'].every(function (key) {
      return a[key] === b[key];
    });
  }

  // Where the host wrote a part's frames: the file URL it gives, else beside the working copy.
  function partUrl(host, description) {
    var url = description.url;
    if (typeof url === 'string' && url.indexOf('file:///') === 0 && /\.bin$/.test(url)) { return url; }
    var name = host.file === null ? 'KDVAX_PIXELS_' + description.first
      : 'KDVAX_PIXELS_F' + host.file + '_' + description.first;
    return rootUrl() + name + '.bin';
  }

  function addPart(host, description) {
    var part = { first: description.first, count: description.count, buffer: readFrames(partUrl(host, description)) };
    host.parts.push(part);
    host.waiting = host.waiting.filter(function (wait) {
      var held = wait.frame >= part.first && wait.frame < part.first + part.count;
      if (held) { wait.resolve(part); }
      return !held;
    });
  }

  // A later part that fails fails the frames still waited for, and those asked for after.
  function failParts(host, reason) {
    host.failure = reason;
    host.waiting.forEach(function (wait) { wait.reject(new Error(reason)); });
    host.waiting = [];
  }

  // The image of a frame of a file: read by the page's loader, or decoded by the host.
  function imageIdOf(url, frames, host, frame) {
    if (host) { return 'kesthost:' + host.key + ':' + frame; }
    return 'wadouri:' + url + (frames > 1 ? '?frame=' + frame : '');
  }

  function imageId(frame) {
    return imageIdOf(state.url, state.frames, state.host && state.host.description ? state.host : null, frame);
  }

  // Registered above the loader's own provider: adds imager pixel spacing as a calibration.
  function imagePlaneProvider(type, id) {
    if (type !== 'imagePlaneModule' || !state.spacing || !state.spacing.values || id.indexOf('wadouri:') !== 0) { return undefined; }
    var plane = cornerstoneWADOImageLoader.wadouri.metaData.metaDataProvider(type, id) || {};
    plane.rowPixelSpacing = state.spacing.values[0];
    plane.columnPixelSpacing = state.spacing.values[1];
    return plane;
  }

  // The page's loader and the host's, and the metadata they add to the loader's own.
  function setUpLoaders() {
    cornerstoneWADOImageLoader.external.cornerstone = cornerstone;
    cornerstoneWADOImageLoader.external.dicomParser = dicomParser;
    cornerstoneWADOImageLoader.webWorkerManager.initialize({
      maxWebWorkers: Math.max(1, Math.min(2, navigator.hardwareConcurrency || 1)),
      startWebWorkersOnDemand: true,
      taskConfiguration: { decodeTask: { initializeCodecsOnStartup: false } }
    });
    cornerstone.metaData.addProvider(imagePlaneProvider, 1000);
    cornerstone.metaData.addProvider(KestValues.frameProvider, 1100);
    cornerstone.registerImageLoader('kesthost', loadHostImage);
  }

  function loadCurrentFile() {
    state.name = '';
    var name = fileName();
    state.dataSet = null;
    state.image = null;
    state.frame = 0;
    state.frames = 1;
    state.zoom = null;
    state.translation = null;
    state.answered = false;
    state.host = null;
    state.loads = (state.loads || 0) + 1;
    state.spacing = null;
    state.calibration = 'none';
    KestOverlay.clear();
    clearTimeout(state.watchdog);
    state.watchdog = setTimeout(function () {
      var waited = 'the image was not decoded within ' + ANSWER_MS / 1000 + ' s';
      failLoad(state.host ? state.host.reason + ': ' + waited : waited, state.dataSet);
    }, ANSWER_MS);
    if (!name) { failLoad('no file was given to the page', null); return; }
    state.url = rootUrl() + encodeURIComponent(name);
    showNotice('');
    cornerstoneWADOImageLoader.wadouri.dataSetCacheManager.load(state.url).then(function (dataSet) {
      try {
        onDataSet(dataSet);
      } catch (e) {
        failLoad('the file could not be read (' + errorText(e) + ')', dataSet);
      }
    }, function (err) {
      // The host's reader is more forgiving: it may still find the image.
      askHost('the file is not a readable DICOM file (' + errorText(err) + ')');
    });
  }

  function onDataSet(dataSet) {
    state.dataSet = dataSet;
    state.frames = Math.max(1, parseInt(textOf(dataSet, 'x00280008'), 10) || 1);
    state.spacing = calibrationOf(dataSet);
    state.calibration = state.spacing.source;
    if (!hasPixelData(dataSet)) {
      showNotice('This document holds no image.');
      state.answered = true;
      post('NoImage', fileName());
      return;
    }
    var reason = hostReason(dataSet);
    if (reason) { askHost(reason); return; }
    displayFrame(0, true);
  }

  // The host answers through hostPixels with the decoded frames' description.
  function askHost(reason) {
    state.host = newHost('L' + state.loads, reason, null);
    post('decodePixels', reason);
  }

  // The same for another file of the stack, whose frames are shown once they arrive.
  function askHostForFile(file, reason) {
    hostCount += 1;
    var host = newHost('F' + file + '.' + hostCount, reason, file);
    host.description = null;
    post('decodePixels', JSON.stringify({ file: file, reason: reason }));
    return host;
  }

  // A file's decoded frames are no longer kept: the host removes their files.
  function releaseHost(host) {
    delete hosts[host.key];
    if (host.file !== null) { post('releasePixels', JSON.stringify({ file: host.file })); }
  }

  // Shows an image of the file in state (its data set, frames and host), the
  // first of a load when fresh, else keeping the view.
  function showImage(image, frame, fresh) {
    var dataSet = state.dataSet;
    KestValues.prepareImage(image, dataSet, frame);
    var viewport = KestValues.shown(element, image, fresh ? cornerstone.getDefaultViewportForImage(element, image) : cornerstone.getViewport(element), fresh);
    cornerstone.displayImage(element, image, viewport);
    if (fresh) { cornerstone.fitToWindow(element); }
    state.frame = frame;
    state.image = image;
    page.measurements.noteImage(image, dataSet, frame);
    var plane = KestValues.planeOf(dataSet, frame);
    KestOverlay.show(function (tag) { return textOf(dataSet, tag); },
                     { frame: frame, frames: state.frames, calibration: state.calibration,
                       spacing: state.spacing && state.spacing.values,
                       orientation: plane.orientation, thickness: plane.thickness });
    if (fresh) {
      state.answered = true;
      post('imageChanged', describe(dataSet, image.width, image.height));
      page.stack.loaded();
    }
  }

  // A frame of the file shown; the promise ends once it is shown, or failed.
  function displayFrame(frame, fresh) {
    var dataSet = state.dataSet;
    return cornerstone.loadAndCacheImage(imageId(frame)).then(function (image) {
      if (state.dataSet !== dataSet) { return false; }
      try {
        showImage(image, frame, fresh);
        return true;
      } catch (e) {
        failLoad('the image could not be shown (' + errorText(e) + ')', dataSet);
        return false;
      }
    }, function (err) {
      failLoad('the image could not be decoded (' + errorText(err) + ')', dataSet);
      return false;
    });
  }

  // The host's answer to "decodePixels", one per part of the frames: their
  // description (JSON text), the first part holding the frame shown first.
  // Called by the viewer (KestDicomViewAX::decodeFrames) as its decoder answers.
  window.hostPixels = function (text) {
    var description;
    try { description = JSON.parse(String(text)); } catch (e) { description = null; }
    if (!description || typeof description !== 'object') { description = { error: 'no readable answer' }; }
    var host = typeof description.file === 'number' ? hostOfFile(description.file) : state.host;
    if (!host) { return; }
    var valid = !description.error && validDescription(description) &&
      (!host.description || samePicture(host.description, description));
    if (host.file !== null && !host.description) {
      if (!valid) { failParts(host, host.reason + ': the host could not decode it (' + (description.error || 'an invalid answer') + ')'); return; }
      host.description = description;
      addPart(host, description);
      return;
    }
    if (host.description) {
      if (valid) { addPart(host, description); } else { failParts(host, 'the host could not decode the other frames (' + (description.error || 'an invalid answer') + ')'); }
      return;
    }
    if (state.answered) { return; }
    if (!valid) {
      failLoad(host.reason + ': the host could not decode it (' + (description.error || 'an invalid answer') + ')', state.dataSet);
      return;
    }
    host.description = description;
    state.frames = description.frames;
    addPart(host, description);
    displayFrame(description.first, true);
  };

  // The latest decoding asked for a file of the stack.
  function hostOfFile(file) {
    var found = null;
    Object.keys(hosts).forEach(function (key) { if (hosts[key].file === file) { found = hosts[key]; } });
    return found;
  }

  page.SAMPLE_TYPES = SAMPLE_TYPES;
  page.hostReason = hostReason;
  page.imageIdOf = imageIdOf;
  page.askHostForFile = askHostForFile;
  page.releaseHost = releaseHost;
  page.showImage = showImage;
  page.setUpLoaders = setUpLoaders;
  page.loadCurrentFile = loadCurrentFile;
  page.displayFrame = displayFrame;
})(window.KestImagePage);
