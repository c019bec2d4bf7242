// The file's overlay planes (groups 6000 to 601E): graphics and regions of
// interest drawn in one colour above the image, on a canvas of the text
// overlay (shown and hidden with it, left out of the image's own canvas),
// through the view's zoom, pan, rotation and flips. A plane keeps its bits in
// its Overlay Data, or in the unused high bits of the pixel data (the older
// form): those are read before the values are shown, then cleared from them.
// The shutters read a plane as their bitmap.
window.KestOverlayPlanes = (function (page) {
  'use strict';

  var COLOUR = [255, 64, 255];
  // The largest plane drawn, in pixels: a larger one is hostile or broken.
  var MAX_PIXELS = 4096 * 4096;
  var BIG_ENDIAN = '1.2.840.10008.1.2.2';

  var canvas = document.createElement('canvas');
  canvas.className = 'planes';
  var shown = { image: null, dataSet: null, frame: 0, hidden: [] };
  var described = new WeakMap();
  // Whether the canvas holds a drawing: a file without planes leaves it be.
  var painted = false;

  function hex4(n) { return ('000' + n.toString(16)).slice(-4); }
  function tagOf(group, element) { return 'x' + hex4(group) + hex4(element); }

  function number(dataSet, tag, read) {
    var element = dataSet.elements[tag];
    return element && element.length >= 2 ? read(tag) : undefined;
  }

  // A plane's description, or null when it cannot be drawn.
  function describePlane(dataSet, group) {
    var t = function (element) { return tagOf(group, element); };
    var rows = number(dataSet, t(0x0010), dataSet.uint16.bind(dataSet));
    var columns = number(dataSet, t(0x0011), dataSet.uint16.bind(dataSet));
    if (!(rows > 0 && columns > 0) || rows * columns > MAX_PIXELS) { return null; }
    var data = dataSet.elements[t(0x3000)];
    var origin = dataSet.elements[t(0x0050)] && dataSet.elements[t(0x0050)].length >= 4
      ? [dataSet.int16(t(0x0050), 0), dataSet.int16(t(0x0050), 1)] : [1, 1];
    var plane = { group: group, rows: rows, columns: columns, top: origin[0] - 1, left: origin[1] - 1,
                  frames: parseInt(dataSet.string(t(0x0015)) || '', 10) || 0,
                  firstFrame: (number(dataSet, t(0x0051), dataSet.uint16.bind(dataSet)) || 1) - 1,
                  data: data && data.length ? data : null,
                  bitPosition: number(dataSet, t(0x0102), dataSet.uint16.bind(dataSet)) };
    if (plane.data) { return plane; }
    // The older form: the bit above the stored values that holds the plane.
    var highBit = dataSet.uint16('x00280102');
    var inPixels = dataSet.uint16('x00280100') === 16 && plane.bitPosition > highBit && plane.bitPosition < 16;
    return inPixels ? plane : null;
  }

  // The file's planes by group, each read once a file.
  function planesOf(dataSet) {
    if (!dataSet) { return []; }
    if (!described.has(dataSet)) {
      var planes = [];
      for (var group = 0x6000; group <= 0x601e; group += 2) {
        if (!dataSet.elements[tagOf(group, 0x0010)]) { continue; }
        var plane = describePlane(dataSet, group);
        if (plane) { planes.push(plane); }
      }
      described.set(dataSet, planes);
    }
    return described.get(dataSet);
  }

  function planeOf(dataSet, group) {
    return planesOf(dataSet).filter(function (plane) { return plane.group === group; })[0] || null;
  }

  // The plane's frame shown with the image's frame: -1 when it has none for it.
  function planeFrame(plane, frame) {
    if (!plane.frames) { return 0; }
    var at = frame - plane.firstFrame;
    return at >= 0 && at < plane.frames ? at : -1;
  }

  // The bits of a plane's frame from its Overlay Data, as far as the data reaches.
  function dataBits(dataSet, plane, at) {
    var count = plane.rows * plane.columns;
    var bits = new Uint8Array(count);
    var bytes = dataSet.byteArray;
    var swap = plane.data.vr === 'OW' && (dataSet.string('x00020010') || '').trim() === BIG_ENDIAN ? 1 : 0;
    var first = at * count;
    var end = Math.min(count, plane.data.length * 8 - first);
    for (var i = 0; i < end; i++) {
      var k = first + i;
      var offset = plane.data.dataOffset + ((k >> 3) ^ swap);
      bits[i] = offset < bytes.length ? (bytes[offset] >> (k & 7)) & 1 : 0;
    }
    return bits;
  }

  // The bits of a plane kept in the pixel data's high bits: the stored words
  // of an uncompressed file, else the values the loader decoded before they
  // are cleared (unsigned values only: the loader drops the high bits of
  // signed ones).
  function pixelBits(dataSet, plane, image, frame) {
    var count = plane.rows * plane.columns;
    var bits = new Uint8Array(count);
    var pixels = dataSet.elements.x7fe00010;
    var shift = plane.bitPosition;
    if (pixels && !pixels.encapsulatedPixelData) {
      var bytes = dataSet.byteArray;
      var big = (dataSet.string('x00020010') || '').trim() === BIG_ENDIAN;
      var start = pixels.dataOffset + frame * image.rows * image.columns * 2;
      var end = Math.min(count, image.rows * image.columns, (pixels.dataOffset + pixels.length - start) >> 1);
      for (var i = 0; i < end; i++) {
        var at = start + 2 * i;
        var word = big ? bytes[at] << 8 | bytes[at + 1] : bytes[at] | bytes[at + 1] << 8;
        bits[i] = (word >> shift) & 1;
      }
      return bits;
    }
    var values = image.getPixelData();
    if (dataSet.uint16('x00280103') === 1 || !(values instanceof Uint16Array)) { return bits; }
    for (var j = 0; j < Math.min(count, values.length); j++) { bits[j] = (values[j] >> shift) & 1; }
    return bits;
  }

  // Clears the high bits of the decoded values, which would otherwise be
  // shown and probed as values, and takes their range anew (the host's
  // 16-bit frames are shown through their stored values themselves).
  function clearHighBits(dataSet, image) {
    var values = image.getPixelData();
    if (!(values instanceof Uint16Array)) { return; }
    var stored = dataSet.uint16('x00280101') || 16;
    var highBit = dataSet.uint16('x00280102');
    var mask = highBit >= 0 && highBit < 16 ? (Math.pow(2, stored) - 1) * Math.pow(2, highBit + 1 - stored) : 0xffff;
    var min = Infinity;
    var max = -Infinity;
    for (var i = 0; i < values.length; i++) {
      var v = values[i] & mask;
      values[i] = v;
      if (v < min) { min = v; }
      if (v > max) { max = v; }
    }
    if (isFinite(min)) {
      image.minPixelValue = min;
      image.maxPixelValue = max;
    }
    image.cachedLut = undefined;
  }

  // A canvas of the bits set, in one colour.
  function bitmapOf(bits, plane, rgb) {
    var bitmap = document.createElement('canvas');
    bitmap.width = plane.columns;
    bitmap.height = plane.rows;
    var context = bitmap.getContext('2d');
    var picture = context.createImageData(plane.columns, plane.rows);
    for (var i = 0; i < bits.length; i++) {
      if (!bits[i]) { continue; }
      picture.data.set(rgb, 4 * i);
      picture.data[4 * i + 3] = 255;
    }
    context.putImageData(picture, 0, 0);
    return bitmap;
  }

  // The bits of a plane for the image's frame, null when it has none for it.
  // Those from the pixel data were taken as the image was first prepared.
  function bitsOf(dataSet, plane, image, frame) {
    var at = planeFrame(plane, frame);
    if (at < 0) { return null; }
    if (!plane.data) { return (image.planeBits || {})[plane.group] || null; }
    plane.bits = plane.bits || {};
    plane.bits[at] = plane.bits[at] || dataBits(dataSet, plane, at);
    return plane.bits[at];
  }

  // A canvas of the plane for the image's frame in that colour, kept with its bits.
  function drawingOf(dataSet, plane, image, frame, rgb) {
    var bits = bitsOf(dataSet, plane, image, frame);
    if (!bits) { return null; }
    var key = rgb.join(',');
    var drawings = bits.drawings = bits.drawings || {};
    drawings[key] = drawings[key] || bitmapOf(bits, plane, rgb);
    return drawings[key];
  }

  // Readies a frame: the bits of planes in the pixel data are taken, once an
  // image, then cleared from its values. The group that is a shutter's
  // bitmap is not drawn as an overlay.
  function prepare(image, dataSet, frame) {
    var planes = planesOf(dataSet);
    shown = { image: image, dataSet: dataSet, frame: frame, hidden: [KestShutters.bitmapGroupOf(dataSet)] };
    var inPixels = planes.filter(function (plane) { return !plane.data; });
    if (!inPixels.length || image.planeBits || image.color) { return; }
    image.planeBits = {};
    inPixels.forEach(function (plane) { image.planeBits[plane.group] = pixelBits(dataSet, plane, image, frame); });
    clearHighBits(dataSet, image);
  }

  // Draws a plane's canvas in the image's pixel space of the element's
  // current transform, cut to the image.
  function drawInImage(context, enabledElement, drawing, plane) {
    var m = cornerstone.internal.getTransform(enabledElement).m;
    context.save();
    context.setTransform(m[0], m[1], m[2], m[3], m[4], m[5]);
    context.beginPath();
    context.rect(0, 0, enabledElement.image.width, enabledElement.image.height);
    context.clip();
    context.imageSmoothingEnabled = false;
    context.drawImage(drawing, plane.left, plane.top);
    context.restore();
  }

  function clear() {
    shown = { image: null, dataSet: null, frame: 0, hidden: [] };
    canvas.getContext('2d').clearRect(0, 0, canvas.width, canvas.height);
    painted = false;
  }

  // The planes of the frame shown, above the image as drawn.
  function draw(event) {
    var planes = event.detail.image === shown.image ? planesOf(shown.dataSet) : [];
    if (!planes.length && !painted) { return; }
    var enabledElement = cornerstone.getEnabledElement(page.element);
    var imageCanvas = enabledElement.canvas;
    if (canvas.width !== imageCanvas.width || canvas.height !== imageCanvas.height) {
      canvas.width = imageCanvas.width;
      canvas.height = imageCanvas.height;
    }
    canvas.style.width = imageCanvas.clientWidth + 'px';
    canvas.style.height = imageCanvas.clientHeight + 'px';
    var context = canvas.getContext('2d');
    context.clearRect(0, 0, canvas.width, canvas.height);
    painted = planes.length > 0;
    planes.forEach(function (plane) {
      if (shown.hidden.indexOf(plane.group) >= 0) { return; }
      var drawing = drawingOf(shown.dataSet, plane, shown.image, shown.frame, COLOUR);
      if (drawing) { drawInImage(context, enabledElement, drawing, plane); }
    });
  }

  document.getElementById('overlay').appendChild(canvas);
  page.element.addEventListener(cornerstone.EVENTS.IMAGE_RENDERED, draw);

  return { prepare: prepare, planeOf: planeOf, drawingOf: drawingOf, drawInImage: drawInImage, clear: clear,
           COLOUR: COLOUR };
})(window.KestImagePage);
