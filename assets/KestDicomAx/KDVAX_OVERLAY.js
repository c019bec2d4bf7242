// The image page's overlay: the file's attributes in the four corners, the
// window and zoom, the patient directions on the edges and the lossy warning,
// all written as text. The page hands it a reader of the file's text values.
var KestOverlay = (function () {
  'use strict';

  var CALIBRATION_LABELS = {
    pixelSpacing: 'calibration: pixel spacing',
    imagerPixelSpacing: 'calibration: imager pixel spacing',
    none: 'uncalibrated: pixels'
  };

  // Transfer syntaxes whose compression loses information.
  var LOSSY_SYNTAXES = [
    '1.2.840.10008.1.2.4.50', '1.2.840.10008.1.2.4.51', '1.2.840.10008.1.2.4.81',
    '1.2.840.10008.1.2.4.91', '1.2.840.10008.1.2.4.203'
  ];

  // The file shown: its reader (tag -> text) or null.
  var read = null;

  function overlayPart(name) { return document.querySelector('#overlay .' + name); }

  // Writes the lines of one part of the overlay as text; empty lines are left out.
  function setOverlayLines(name, lines) {
    overlayPart(name).textContent = lines.filter(function (line) { return line; }).join('\n');
  }

  // The text when the file holds the attribute, else nothing.
  function labelled(prefix, tag, suffix) {
    var value = read(tag);
    return value ? prefix + value + (suffix || '') : '';
  }

  function isLossy() {
    return read('x00282110') === '01' || LOSSY_SYNTAXES.indexOf(read('x00020010')) >= 0;
  }

  // The warning's text in the page's language; English when the page was filled without it.
  function lossyText() {
    var text = document.getElementById('captions').getAttribute('data-lossy');
    return text && text.charAt(0) !== '#' ? text : 'LOSSY';
  }

  function calibrationText(calibration) { return CALIBRATION_LABELS[calibration]; }

  // The corners that follow the file and its frame; reader maps a tag to its text.
  function show(reader, position) {
    read = reader;
    setOverlayLines('tl', [read('x00100010'), read('x00100020'),
                           [read('x00100030'), read('x00100040')].join(' ').trim()]);
    setOverlayLines('tr', [read('x00080060'), [read('x00080020'), read('x00080030')].join(' ').trim(),
                           read('x00081030')]);
    setOverlayLines('bl', [labelled('Se: ', 'x00200011'), labelled('Im: ', 'x00200013'),
                           'frame ' + (position.frame + 1) + ' / ' + position.frames,
                           labelled('ST: ', 'x00180050', ' mm'), labelled('SL: ', 'x00201041', ' mm'),
                           calibrationText(position.calibration)]);
    overlayPart('lossy').textContent = isLossy() ? lossyText() : '';
  }

  function clear() {
    read = null;
    Array.prototype.forEach.call(document.querySelectorAll('#overlay > div'), function (part) { part.textContent = ''; });
  }

  // The patient direction's letters for a vector in patient space, strongest axis first.
  function directionLetters(vector) {
    var axes = [['L', 'R'], ['P', 'A'], ['H', 'F']];
    return [0, 1, 2].filter(function (i) { return Math.abs(vector[i]) > 0.001; })
      .sort(function (a, b) { return Math.abs(vector[b]) - Math.abs(vector[a]); })
      .map(function (i) { return axes[i][vector[i] > 0 ? 0 : 1]; }).join('');
  }

  // The letters of the patient direction a screen direction points to, through
  // the viewport's rotation and flips (the image is flipped, then rotated).
  function screenDirectionLetters(orientation, viewport, sx, sy) {
    var angle = (viewport.rotation || 0) * Math.PI / 180;
    var ix = sx * Math.cos(angle) + sy * Math.sin(angle);
    var iy = -sx * Math.sin(angle) + sy * Math.cos(angle);
    if (viewport.hflip) { ix = -ix; }
    if (viewport.vflip) { iy = -iy; }
    return directionLetters([0, 1, 2].map(function (i) { return ix * orientation[i] + iy * orientation[i + 3]; }));
  }

  function orientationOf() {
    var values = read('x00200037').split('\\').map(parseFloat);
    return values.length === 6 && values.every(isFinite) ? values : null;
  }

  // The parts that follow the viewport: window, zoom and the edge letters.
  function follow(viewport) {
    if (!read) { return; }
    var voi = viewport.voi || {};
    setOverlayLines('br', [isFinite(voi.windowCenter) && isFinite(voi.windowWidth)
      ? 'C: ' + Math.round(voi.windowCenter) + ' W: ' + Math.round(voi.windowWidth) : '',
                           'Zoom: ' + Math.round(viewport.scale * 100) + '%']);
    var orientation = orientationOf();
    var edges = { right: [1, 0], left: [-1, 0], bottom: [0, 1], top: [0, -1] };
    Object.keys(edges).forEach(function (edge) {
      overlayPart(edge).textContent = orientation ? screenDirectionLetters(orientation, viewport, edges[edge][0], edges[edge][1]) : '';
    });
  }

  function toggle() { document.getElementById('overlay').classList.toggle('hidden'); }

  return { show: show, follow: follow, clear: clear, toggle: toggle, calibrationText: calibrationText };
})();
