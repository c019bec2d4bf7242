// Ultrasound regions (Sequence of Ultrasound Regions) and their physical
// calibration. A measurement drawn inside one spatial region whose units are
// centimetres is measured with that region's deltas, in millimetres; one
// across regions or outside them, in pixels. While a measurement is taken its
// spacing is what the image plane metadata gives the tools.
window.KestRegions = (function () {
  'use strict';

  var REGIONS = 'x00186011';
  var CENTIMETRES = 3;
  var TISSUE = 1;
  var MAX_REGIONS = 64;

  // The regions of the file shown, and the spacing of the measurement being
  // taken (undefined between measurements, null for pixels).
  var regions = [];
  var measuring;

  function read(item, tag, size, reader) {
    var element = item.elements[tag];
    return element && element.length >= size ? reader.call(item, tag) : NaN;
  }

  // A region's pixel bounds and, when it is a calibrated spatial region, its
  // spacing in millimetres per pixel.
  function regionOf(item) {
    var bound = function (tag) { return read(item, tag, 4, item.uint32); };
    var region = { left: bound('x00186018'), top: bound('x0018601a'), right: bound('x0018601c'),
                   bottom: bound('x0018601e'), spatial: read(item, 'x00186012', 2, item.uint16) === TISSUE };
    var dx = Math.abs(read(item, 'x0018602c', 8, item.double)) * 10;
    var dy = Math.abs(read(item, 'x0018602e', 8, item.double)) * 10;
    var centimetres = read(item, 'x00186024', 2, item.uint16) === CENTIMETRES &&
      read(item, 'x00186026', 2, item.uint16) === CENTIMETRES;
    region.spacing = region.spatial && centimetres && dx > 0 && dy > 0 && isFinite(dx) && isFinite(dy)
      ? { row: dy, column: dx } : null;
    return region;
  }

  function regionsOf(dataSet) {
    var sequence = dataSet && dataSet.elements[REGIONS];
    return ((sequence && sequence.items) || []).slice(0, MAX_REGIONS).map(function (item) { return regionOf(item.dataSet); })
      .filter(function (r) { return r.left <= r.right && r.top <= r.bottom; });
  }

  function contains(region, point) {
    return point.x >= region.left && point.x <= region.right + 1 && point.y >= region.top && point.y <= region.bottom + 1;
  }

  // The points of a measurement: its handles but the text box.
  function pointsOf(data) {
    var handles = (data && data.handles) || {};
    return Object.keys(handles).filter(function (name) {
      var h = handles[name];
      return name !== 'textBox' && h && isFinite(h.x) && isFinite(h.y);
    }).map(function (name) { return handles[name]; });
  }

  // The spacing of a measurement: its spatial region's, null for pixels.
  function spacingOf(data) {
    var points = pointsOf(data);
    var region = regions.filter(function (r) {
      return r.spatial && points.length && points.every(function (p) { return contains(r, p); });
    })[0];
    return region ? region.spacing : null;
  }

  // Reads the file's regions. Its calibration when one spatial region, in
  // centimetres, is the only one; null otherwise.
  function use(dataSet) {
    regions = regionsOf(dataSet);
    measuring = undefined;
    var spatial = regions.filter(function (r) { return r.spatial; });
    var only = spatial.length === 1 ? spatial[0].spacing : null;
    return only ? { source: 'ultrasoundRegion', text: only.row + '\\' + only.column, values: [only.row, only.column] } : null;
  }

  // The calibration named beside a measurement.
  function calibrationOf(data, fallback) {
    if (!regions.length) { return fallback; }
    return spacingOf(data) ? 'ultrasoundRegion' : 'none';
  }

  // Runs a measurement's computation with its region's spacing; a file
  // without regions keeps its own calibration.
  function within(data, take) {
    measuring = regions.length ? spacingOf(data) : undefined;
    try {
      return take();
    } finally {
      measuring = undefined;
    }
  }

  function provider(type) {
    if (type !== 'imagePlaneModule' || measuring === undefined) { return undefined; }
    return { rowPixelSpacing: measuring ? measuring.row : undefined, columnPixelSpacing: measuring ? measuring.column : undefined };
  }

  var MEASURING_TOOLS = ['LengthTool', 'AngleTool', 'CobbAngleTool', 'RectangleRoiTool', 'EllipticalRoiTool'];

  // A tool class whose measurements take their region's spacing: each is
  // drawn (its value and unit worked out) on its own.
  function measuredBy(Tool) {
    if (MEASURING_TOOLS.every(function (name) { return cornerstoneTools[name] !== Tool; })) { return Tool; }
    return class extends Tool {
      updateCachedStats(image, element, data) {
        within(data, () => super.updateCachedStats(image, element, data));
      }

      renderToolData(evt) {
        var toolState = cornerstoneTools.getToolState(evt.currentTarget, this.name);
        if (!regions.length || !toolState) {
          super.renderToolData(evt);
          return;
        }
        var all = toolState.data;
        try {
          all.forEach((data) => {
            toolState.data = [data];
            within(data, () => super.renderToolData(evt));
          });
        } finally {
          toolState.data = all;
        }
      }
    };
  }

  cornerstone.metaData.addProvider(provider, 2000);

  // A measurement's own calibration where the file has regions: its region's
  // spacing (null for pixels) and its name; undefined without regions.
  function measurementCalibration(data) {
    if (!regions.length) { return undefined; }
    var spacing = spacingOf(data);
    return { spacing: spacing, calibration: spacing ? 'ultrasoundRegion' : 'none' };
  }

  return { use: use, calibrationOf: calibrationOf, measuredBy: measuredBy, measurementCalibration: measurementCalibration };
})();
