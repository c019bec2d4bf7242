// The file's display shutters: rectangular, circular and polygonal openings
// (several at once leave their common part open) and a bitmap from an
// overlay plane. What lies outside is drawn over the image, in the shutter's
// grey (a P-value), its CIELab colour, else black; the measurement tools draw
// after it and work anywhere.
window.KestShutters = (function () {
  'use strict';

  var SHAPES = 'x00181600';
  var MAX_VERTICES = 10000;
  var described = new WeakMap();

  function numbers(dataSet, tag) {
    return (dataSet.string(tag) || '').split('\\').filter(function (s) { return s.trim(); }).map(Number);
  }

  function finite(values, count) {
    return values.length >= count && values.slice(0, count).every(isFinite);
  }

  // Openings as paths in the image's pixel space (a pixel's row and column
  // count from 1; pixel (1, 1) spans 0 to 1).
  function rectangleOf(dataSet) {
    var edges = ['x00181602', 'x00181604', 'x00181606', 'x00181608'].map(function (tag) { return numbers(dataSet, tag)[0]; });
    if (!finite(edges, 4)) { return null; }
    return function (path) {
      path.rect(edges[0] - 1, edges[2] - 1, Math.max(0, edges[1] - edges[0] + 1), Math.max(0, edges[3] - edges[2] + 1));
    };
  }

  function circleOf(dataSet) {
    var centre = numbers(dataSet, 'x00181610');
    var radius = numbers(dataSet, 'x00181612')[0];
    if (!finite(centre, 2) || !(radius >= 0) || !isFinite(radius)) { return null; }
    return function (path) { path.arc(centre[1] - 0.5, centre[0] - 0.5, radius, 0, 2 * Math.PI); };
  }

  function polygonOf(dataSet) {
    var values = numbers(dataSet, 'x00181620').slice(0, 2 * MAX_VERTICES);
    if (values.length < 6 || !values.every(isFinite)) { return null; }
    return function (path) {
      path.moveTo(values[1] - 0.5, values[0] - 0.5);
      for (var i = 2; i + 1 < values.length; i += 2) { path.lineTo(values[i + 1] - 0.5, values[i] - 0.5); }
      path.closePath();
    };
  }

  // A CIELab colour scaled to 0..65535 (L from 0 to 100, a and b from -128
  // to 127, white point D50) as sRGB, adapted to D65 by the Bradford method.
  function labToRgb(lab) {
    var l = lab[0] / 65535 * 100;
    var a = lab[1] / 65535 * 255 - 128;
    var b = lab[2] / 65535 * 255 - 128;
    var fy = (l + 16) / 116;
    var inverse = function (t) { return t > 6 / 29 ? t * t * t : 3 * Math.pow(6 / 29, 2) * (t - 4 / 29); };
    var x = 0.9642 * inverse(fy + a / 500);
    var y = inverse(fy);
    var z = 0.8249 * inverse(fy - b / 200);
    var linear = [
      3.1338561 * x - 1.6168667 * y - 0.4906146 * z,
      -0.9787684 * x + 1.9161415 * y + 0.0334540 * z,
      0.0719453 * x - 0.2289914 * y + 1.4052427 * z
    ];
    return linear.map(function (c) {
      var v = c <= 0.0031308 ? 12.92 * c : 1.055 * Math.pow(c, 1 / 2.4) - 0.055;
      return Math.round(Math.min(1, Math.max(0, v)) * 255);
    });
  }

  function colourOf(dataSet) {
    var lab = [0, 1, 2].map(function (i) {
      var element = dataSet.elements.x00181624;
      return element && element.length >= 2 * (i + 1) ? dataSet.uint16('x00181624', i) : NaN;
    });
    if (lab.every(isFinite)) { return labToRgb(lab); }
    var element = dataSet.elements.x00181622;
    var grey = element && element.length >= 2 ? Math.round(dataSet.uint16('x00181622') / 65535 * 255) : 0;
    return [grey, grey, grey];
  }

  function bitmapGroupOf(dataSet) {
    if (!dataSet) { return -1; }
    var element = dataSet.elements.x00181623;
    return element && element.length >= 2 ? dataSet.uint16('x00181623') : -1;
  }

  // The file's shutter, read once a file: null when it has none.
  function shutterOf(dataSet) {
    if (!dataSet || !dataSet.elements[SHAPES]) { return null; }
    if (!described.has(dataSet)) {
      var names = (dataSet.string(SHAPES) || '').toUpperCase().split('\\').map(function (s) { return s.trim(); });
      var readers = { RECTANGULAR: rectangleOf, CIRCULAR: circleOf, POLYGONAL: polygonOf };
      var openings = names.filter(function (name) { return readers[name]; })
        .map(function (name) { return readers[name](dataSet); }).filter(Boolean);
      var bitmap = names.indexOf('BITMAP') >= 0 ? KestOverlayPlanes.planeOf(dataSet, bitmapGroupOf(dataSet)) : null;
      var rgb = colourOf(dataSet);
      described.set(dataSet, openings.length || bitmap
        ? { openings: openings, bitmap: bitmap, rgb: rgb, style: 'rgb(' + rgb.join(',') + ')' } : null);
    }
    return described.get(dataSet);
  }

  // Draws what the shutter hides over the image just drawn, cut to the image.
  function draw(enabledElement, shutter, dataSet, frame) {
    var image = enabledElement.image;
    var context = enabledElement.canvas.getContext('2d');
    var m = cornerstone.internal.getTransform(enabledElement).m;
    context.save();
    context.setTransform(m[0], m[1], m[2], m[3], m[4], m[5]);
    context.beginPath();
    context.rect(0, 0, image.width, image.height);
    context.clip();
    context.fillStyle = shutter.style;
    shutter.openings.forEach(function (opening) {
      context.beginPath();
      context.rect(0, 0, image.width, image.height);
      opening(context);
      context.fill('evenodd');
    });
    context.restore();
    var drawing = shutter.bitmap && KestOverlayPlanes.drawingOf(dataSet, shutter.bitmap, image, frame, shutter.rgb);
    if (drawing) { KestOverlayPlanes.drawInImage(context, enabledElement, drawing, shutter.bitmap); }
  }

  // The frame's render (the renderer's own when undefined) with its shutter
  // drawn after it; the render itself when the file has none.
  function around(render, dataSet, frame) {
    var shutter = shutterOf(dataSet);
    if (!shutter) { return render; }
    return function (enabledElement, invalidated) {
      var own = render || (enabledElement.image.color ? cornerstone.renderColorImage : cornerstone.renderGrayscaleImage);
      own(enabledElement, invalidated);
      draw(enabledElement, shutter, dataSet, frame);
    };
  }

  return { around: around, bitmapGroupOf: bitmapGroupOf, labToRgb: labToRgb };
})();
