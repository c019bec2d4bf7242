// The image page's measurements as the host sees them: each one's tool, image,
// points and values, reported once it is drawn, moved or removed (never during
// a drag), and the measurements the host draws or removes by script.
(function (page) {
  'use strict';

  var { element, state, post, textOf } = page;

  // The tools whose drawings are measurements, by the name the host knows them by.
  var TOOLS = { Length: 'Length', Angle: 'Angle', CobbAngle: 'Cobb', RectangleRoi: 'Rectangle',
                EllipticalRoi: 'Ellipse', Probe: 'Probe' };
  // The handles each tool's points stand for, in order.
  var HANDLES = { Length: ['start', 'end'], Angle: ['start', 'middle', 'end'],
                  CobbAngle: ['start', 'end', 'start2', 'end2'], RectangleRoi: ['start', 'end'],
                  EllipticalRoi: ['start', 'end'], Probe: ['end'] };
  // The largest region whose statistics are worked out, in pixels.
  var MAX_STAT_PIXELS = 1 << 24;

  // What each image shown is: its instance, frame, calibration and unit, by image id.
  var images = {};
  // The last report of each measurement, by id.
  var reported = {};

  function toolOf(name) {
    return Object.keys(TOOLS).find(function (tool) { return TOOLS[tool] === name; });
  }

  // The unit of the modality values: Hounsfield units for CT, else the rescale type.
  function unitOf(dataSet) {
    if (textOf(dataSet, 'x00080060') === 'CT') { return 'HU'; }
    return textOf(dataSet, 'x00281054');
  }

  // The image's references and size; a file only the host could read has no
  // data set in the page, and its size comes from the image decoded.
  function refOf(dataSet, frame, spacing, calibration, size) {
    var values = spacing && spacing.values;
    return { studyInstanceUid: textOf(dataSet, 'x0020000d'), seriesInstanceUid: textOf(dataSet, 'x0020000e'),
             sopClassUid: textOf(dataSet, 'x00080016'), sopInstanceUid: textOf(dataSet, 'x00080018'), frame: frame,
             spacing: values ? { row: values[0], column: values[1] } : null, calibration: calibration || 'none',
             unit: unitOf(dataSet), rows: size.rows || 0, columns: size.columns || 0 };
  }

  // Called as each image is shown (imageDecoding.js showImage).
  function noteImage(image, dataSet, frame) {
    images[image.imageId] = refOf(dataSet, frame, state.spacing, state.calibration, image);
  }

  // An image of the stack read but not shown yet: its pixel spacing only.
  function noteUnshown(imageId, dataSet, frame) {
    if (images[imageId]) { return; }
    var spacing = KestValues.spacingOf(dataSet, frame);
    images[imageId] = refOf(dataSet, frame, spacing, spacing ? spacing.source : 'none',
                            { rows: dataSet.uint16('x00280010'), columns: dataSet.uint16('x00280011') });
  }

  // The image of an instance and frame the page has read: the one shown, one
  // shown before, or one of the stack read ahead.
  function imageIdOf(sopInstanceUid, frame) {
    var seen = Object.keys(images).find(function (id) {
      return images[id].sopInstanceUid === sopInstanceUid && images[id].frame === frame;
    });
    if (seen) { return seen; }
    var read = page.stack.imageOfInstance(sopInstanceUid, frame);
    if (!read) { return null; }
    noteUnshown(read.imageId, read.dataSet, frame);
    return read.imageId;
  }

  function pointsOf(tool, data) {
    return HANDLES[tool].map(function (name) {
      var handle = data.handles[name] || {};
      return [handle.x, handle.y];
    });
  }

  // A distance in millimetres with the image's calibration, else in pixels.
  function distance(a, b, spacing) {
    var dx = (b[0] - a[0]) * (spacing ? spacing.column : 1);
    var dy = (b[1] - a[1]) * (spacing ? spacing.row : 1);
    return Math.sqrt(dx * dx + dy * dy);
  }

  // The angle between two directions, in degrees, measured in physical space when calibrated.
  function angleBetween(u, v, spacing) {
    var sx = spacing ? spacing.column : 1;
    var sy = spacing ? spacing.row : 1;
    var ux = u[0] * sx;
    var uy = u[1] * sy;
    var vx = v[0] * sx;
    var vy = v[1] * sy;
    var cos = (ux * vx + uy * vy) / (Math.hypot(ux, uy) * Math.hypot(vx, vy));
    return Math.acos(Math.max(-1, Math.min(1, cos))) * 180 / Math.PI;
  }

  function minus(a, b) { return [a[0] - b[0], a[1] - b[1]]; }

  // The modality value of a stored value of the image.
  function modalityValue(image, stored) {
    var lut = image.modalityLUT && image.modalityLUT.lut;
    if (lut && lut.length) {
      var index = Math.max(0, Math.min(lut.length - 1, stored - image.modalityLUT.firstValueMapped));
      return lut[index];
    }
    var rescale = image.modality || image;
    return stored * rescale.slope + rescale.intercept;
  }

  function storedValues(image) {
    return image && !image.color ? image.storedValues || image.getPixelData() : null;
  }

  // Mean, standard deviation, minimum and maximum of the modality values of the
  // pixels whose centres lie inside the region.
  function statistics(image, box, inside) {
    var stored = storedValues(image);
    if (!stored) { return null; }
    var left = Math.max(0, Math.ceil(box.left - 0.5));
    var top = Math.max(0, Math.ceil(box.top - 0.5));
    var right = Math.min(image.width - 1, Math.floor(box.right - 0.5));
    var bottom = Math.min(image.height - 1, Math.floor(box.bottom - 0.5));
    if (right < left || bottom < top || (right - left + 1) * (bottom - top + 1) > MAX_STAT_PIXELS) { return null; }
    var count = 0;
    var sum = 0;
    var squares = 0;
    var min = Infinity;
    var max = -Infinity;
    for (var y = top; y <= bottom; y++) {
      for (var x = left; x <= right; x++) {
        if (!inside(x + 0.5, y + 0.5)) { continue; }
        var value = modalityValue(image, stored[y * image.width + x]);
        count++;
        sum += value;
        squares += value * value;
        if (value < min) { min = value; }
        if (value > max) { max = value; }
      }
    }
    if (!count) { return null; }
    var mean = sum / count;
    return { mean: mean, stdDev: Math.sqrt(Math.max(0, squares / count - mean * mean)), min: min, max: max };
  }

  function boxOf(points) {
    return { left: Math.min(points[0][0], points[1][0]), right: Math.max(points[0][0], points[1][0]),
             top: Math.min(points[0][1], points[1][1]), bottom: Math.max(points[0][1], points[1][1]) };
  }

  function regionValues(tool, points, ref, image) {
    var box = boxOf(points);
    var width = box.right - box.left;
    var height = box.bottom - box.top;
    var area = tool === 'EllipticalRoi' ? Math.PI * width * height / 4 : width * height;
    var values = { area_px: area };
    if (ref.spacing) { values.area_mm2 = area * ref.spacing.row * ref.spacing.column; }
    var cx = (box.left + box.right) / 2;
    var cy = (box.top + box.bottom) / 2;
    var inside = tool === 'EllipticalRoi' ? function (x, y) {
      var nx = (x - cx) / (width / 2);
      var ny = (y - cy) / (height / 2);
      return nx * nx + ny * ny <= 1;
    } : function () { return true; };
    var stats = image ? statistics(image, box, inside) : null;
    return stats ? Object.assign(values, stats, { unit: ref.unit }) : values;
  }

  function probeValues(points, ref, image) {
    var stored = storedValues(image);
    var x = Math.floor(points[0][0]);
    var y = Math.floor(points[0][1]);
    if (!stored || x < 0 || y < 0 || x >= image.width || y >= image.height) { return {}; }
    var value = stored[y * image.width + x];
    return { stored: value, modality: modalityValue(image, value), unit: ref.unit };
  }

  // The values of a measurement; image is the image it lies on when it is at hand.
  function valuesOf(tool, points, ref, image) {
    switch (tool) {
      case 'Length':
        return ref.spacing ? { length_mm: distance(points[0], points[1], ref.spacing), length_px: distance(points[0], points[1], null) }
          : { length_px: distance(points[0], points[1], null) };
      case 'Angle':
        return { angle_deg: angleBetween(minus(points[0], points[1]), minus(points[2], points[1]), ref.spacing) };
      case 'CobbAngle':
        var angle = angleBetween(minus(points[1], points[0]), minus(points[3], points[2]), ref.spacing);
        return { angle_deg: angle > 90 ? 180 - angle : angle };
      case 'Probe':
        return probeValues(points, ref, image);
      default:
        return regionValues(tool, points, ref, image);
    }
  }

  // A drawing still being made: a tool between its clicks, or a handle held.
  function unfinished(tool, data) {
    if (data.complete === false || data.cancelled) { return true; }
    return HANDLES[tool].some(function (name) {
      var handle = data.handles && data.handles[name];
      return !handle || !isFinite(handle.x) || !isFinite(handle.y) || handle.active;
    });
  }

  function describe(tool, data, imageId) {
    var ref = images[imageId];
    if (!ref) { return null; }
    var points = pointsOf(tool, data);
    var image = state.image && state.image.imageId === imageId ? state.image : null;
    // On an ultrasound image, a measurement takes the calibration of the region it lies in.
    var region = image ? KestRegions.measurementCalibration(data) : undefined;
    if (region) { ref = Object.assign({}, ref, region); }
    return Object.assign({ id: data.uuid, tool: TOOLS[tool], studyInstanceUid: ref.studyInstanceUid,
                           seriesInstanceUid: ref.seriesInstanceUid, sopClassUid: ref.sopClassUid,
                           sopInstanceUid: ref.sopInstanceUid, frame: ref.frame,
                           points: points, calibration: ref.calibration },
                         valuesOf(tool, points, ref, image));
  }

  // Every finished measurement of the document, by id, as the page holds them
  // now. Only those on the image shown can have changed since they were reported.
  function current() {
    var all = cornerstoneTools.globalImageIdSpecificToolStateManager.saveToolState();
    var shown = state.image && state.image.imageId;
    var found = {};
    Object.keys(all).forEach(function (imageId) {
      Object.keys(TOOLS).forEach(function (tool) {
        var toolState = all[imageId][tool];
        (toolState ? toolState.data : []).forEach(function (data) {
          if (!data.uuid || unfinished(tool, data)) { return; }
          var previous = reported[data.uuid];
          var measurement = imageId !== shown && previous ? previous : describe(tool, data, imageId);
          if (measurement) { found[data.uuid] = measurement; }
        });
      });
    });
    return found;
  }

  // Reports what changed since the last report: added, modified, removed.
  function report() {
    var now = current();
    Object.keys(now).forEach(function (id) {
      var before = reported[id];
      var text = JSON.stringify(now[id]);
      if (before && JSON.stringify(before) === text) { return; }
      post('measurementChanged', JSON.stringify({ id: id, action: before ? 'modified' : 'added', measurement: now[id] }));
    });
    Object.keys(reported).forEach(function (id) {
      if (!now[id]) { post('measurementChanged', JSON.stringify({ id: id, action: 'removed', measurement: reported[id] })); }
    });
    reported = now;
  }

  // After the tools have handled the event: a drag's end, a drawing finished or removed.
  function reportSoon() { setTimeout(report, 0); }

  function handlesOf(tool, points) {
    var handles = {};
    HANDLES[tool].forEach(function (name, i) {
      handles[name] = { x: points[i][0], y: points[i][1], highlight: true, active: false };
    });
    handles.textBox = { active: false, hasMoved: false, movesIndependently: false, drawnIndependently: true,
                        allowedOutsideImage: true, hasBoundingBox: true };
    return handles;
  }

  function validPoints(tool, points) {
    return Array.isArray(points) && points.length === HANDLES[tool].length && points.every(function (point) {
      return Array.isArray(point) && point.length === 2 && point.every(function (v) { return typeof v === 'number' && isFinite(v); });
    });
  }

  // A measurement of the tool from its points, or null when they do not fit the tool.
  function measurementData(name, pointsText, id) {
    var tool = toolOf(String(name));
    var points;
    try { points = JSON.parse(String(pointsText)); } catch (e) { points = null; }
    if (!tool || !validPoints(tool, points)) { return null; }
    return { tool: tool, data: { visible: true, active: false, invalidated: true, complete: true, uuid: String(id),
                                 handles: handlesOf(tool, points) } };
  }

  // Draws a measurement on the image shown. Called by the viewer's AddMeasurement
  // with the tool's name, the points as JSON and the identifier it chose.
  window.addMeasurement = function (name, pointsText, id) {
    var made = measurementData(name, pointsText, id);
    if (!state.image || !made) { return; }
    cornerstoneTools.addToolState(element, made.tool, made.data);
    cornerstone.updateImage(element);
    report();
  };

  // A report's measurement lies on its image, edges included.
  function onImage(made, ref) {
    return HANDLES[made.tool].every(function (name) {
      var handle = made.data.handles[name];
      return handle.x >= 0 && handle.y >= 0 && handle.x <= ref.columns && handle.y <= ref.rows;
    });
  }

  // Draws a measurement on the image of an instance and frame (from 0), shown
  // or not; false when the page has not read that image. Called by the
  // viewer's LoadMeasurements.
  window.addMeasurementOn = function (sopInstanceUid, frame, name, pointsText, id) {
    var made = measurementData(name, pointsText, id);
    var imageId = made && imageIdOf(String(sopInstanceUid), parseInt(frame, 10));
    if (!imageId || !onImage(made, images[imageId])) { return false; }
    cornerstoneTools.globalImageIdSpecificToolStateManager.addImageIdToolState(imageId, made.tool, made.data);
    if (state.image && state.image.imageId === imageId) { cornerstone.updateImage(element); }
    report();
    return true;
  };

  // Removes a measurement wherever it lies. Called by the viewer's RemoveMeasurement.
  window.removeMeasurement = function (id) {
    id = String(id);
    var all = cornerstoneTools.globalImageIdSpecificToolStateManager.saveToolState();
    Object.keys(all).forEach(function (imageId) {
      Object.keys(TOOLS).forEach(function (tool) {
        var toolState = all[imageId][tool];
        if (!toolState) { return; }
        toolState.data = toolState.data.filter(function (data) { return data.uuid !== id; });
      });
    });
    if (state.image) { cornerstone.updateImage(element); }
    report();
  };

  [cornerstoneTools.EVENTS.MEASUREMENT_COMPLETED, cornerstoneTools.EVENTS.MEASUREMENT_REMOVED,
   cornerstoneTools.EVENTS.MOUSE_UP, cornerstoneTools.EVENTS.MOUSE_CLICK, cornerstoneTools.EVENTS.TOUCH_END,
   cornerstoneTools.EVENTS.KEY_UP].forEach(function (name) { element.addEventListener(name, reportSoon); });
  window.addEventListener('mouseup', reportSoon, true);

  page.measurements = { noteImage: noteImage, report: report };
})(window.KestImagePage);
