// The image page's overlay: the file's attributes in the four corners, the
// window and zoom, the patient directions on the edges, a scale bar and the
// lossy warning, all written as text in the page's language. The page hands
// it a reader of the file's text values.
window.KestOverlay = (function () {
  'use strict';

  // Caption data attributes of #captions (pixelSpacing is data-pixel-spacing), filled from the page's language, with
  // the English text used when the page was filled without them.
  var CAPTIONS = {
    lossy: 'LOSSY', series: 'Series', image: 'Image', frame: 'Frame', centre: 'C', width: 'W',
    zoom: 'Zoom', thickness: 'Thickness', location: 'Location',
    pixelSpacing: 'calibration: pixel spacing', imagerPixelSpacing: 'calibration: imager pixel spacing',
    none: 'uncalibrated: pixels', date: 'YYYY-MM-DD', ultrasoundRegion: 'calibration: ultrasound region',
    detectorPixelSpacing: 'calibration: imager pixel spacing, at the detector'
  };

  // Transfer syntaxes whose compression loses information.
  var LOSSY_SYNTAXES = [
    '1.2.840.10008.1.2.4.50', '1.2.840.10008.1.2.4.51', '1.2.840.10008.1.2.4.81',
    '1.2.840.10008.1.2.4.91', '1.2.840.10008.1.2.4.203'
  ];

  // Longest text a value is shown with; a longer one is cut.
  var MAX_VALUE = 64;

  // The file shown: its reader (tag -> text) and where it stands, or null.
  var read = null;
  var position = null;

  function caption(name) {
    var text = document.getElementById('captions').dataset[name];
    return text && text.charAt(0) !== '#' ? text : CAPTIONS[name];
  }

  // A value as one line of bounded length: control characters and line
  // breaks become spaces.
  function oneLine(text) {
    // eslint-disable-next-line no-control-regex -- control characters are what it replaces
    var line = String(text).slice(0, 4 * MAX_VALUE).replace(/[\u0000-\u001f\u007f-\u009f\u2028\u2029]+/g, ' ');
    var characters = Array.from(line);
    return characters.length > MAX_VALUE ? characters.slice(0, MAX_VALUE - 1).join('') + '\u2026' : line;
  }

  function value(tag) { return oneLine(read(tag)); }

  // A decimal string (DS) as a reader expects it: each number with at most
  // two decimals and no trailing zeros; a value that is not a number as it is.
  function decimalText(text) {
    return text.split('\\').map(function (part) {
      var n = Number(part.trim());
      if (!part.trim() || !isFinite(n)) { return part; }
      var rounded = Math.abs(n) < 1e15 ? Math.round(n * 100) / 100 : n;
      return String(rounded === 0 ? 0 : rounded);
    }).join('\\');
  }

  function daysIn(year, month) { return new Date(Date.UTC(year, month, 0)).getUTCDate(); }

  // A DA value (YYYYMMDD, or the old YYYY.MM.DD) in the pattern's form;
  // anything else is shown as it is.
  function formatDate(text, pattern) {
    var m = /^(\d{4})\.?(\d{2})\.?(\d{2})$/.exec(text);
    var month = m ? parseInt(m[2], 10) : 0;
    var day = m ? parseInt(m[3], 10) : 0;
    if (!m || month < 1 || month > 12 || day < 1 || day > daysIn(parseInt(m[1], 10), month)) { return oneLine(text); }
    if (!/YYYY/.test(pattern) || !/MM/.test(pattern) || !/DD/.test(pattern)) { pattern = CAPTIONS.date; }
    return pattern.replace('YYYY', m[1]).replace('MM', m[2]).replace('DD', m[3]);
  }

  // A TM value (HH, HHMM, HHMMSS with a fraction, or the old HH:MM:SS) as
  // HH:MM or HH:MM:SS; anything else is shown as it is.
  function formatTime(text) {
    var m = /^(\d{2})(?::?(\d{2})(?::?(\d{2})(?:\.\d{0,6})?)?)?$/.exec(text);
    if (!m || +m[1] > 23 || +(m[2] || 0) > 59 || +(m[3] || 0) > 60) { return oneLine(text); }
    return [m[1], m[2] || '00'].concat(m[3] ? [m[3]] : []).join(':');
  }

  // A PN value as "Family, Prefix Given Middle, Suffix", from its first
  // non-empty group (alphabetic, then ideographic, then phonetic).
  function personName(text) {
    var group = text.split('=').filter(function (g) { return g.replace(/\^/g, '').trim(); })[0] || '';
    var parts = group.split('^').map(function (p) { return p.trim(); });
    var family = parts[0] || '';
    var given = [parts[3], parts[1], parts[2]].filter(function (p) { return p; }).join(' ');
    var name = family && given ? family + ', ' + given : family || given;
    return oneLine(parts[4] ? name + ', ' + parts[4] : name);
  }

  function overlayPart(name) { return document.querySelector('#overlay .' + name); }

  // A part's text is replaced only when it changes: the corners are written at
  // every frame and every viewport change, and each replacement lays the
  // overlay out again.
  function setText(part, text) {
    if (part.textContent !== text) { part.textContent = text; }
  }

  // Writes the lines of one part of the overlay as text; empty lines are left out.
  function setOverlayLines(name, lines) {
    setText(overlayPart(name), lines.filter(function (line) { return line; }).join('\n'));
  }

  // "Label: value unit" when the file holds the attribute, else nothing; a
  // decimal string's numbers through decimalText.
  function labelled(name, tag, unit, decimal) {
    var text = decimal ? oneLine(decimalText(read(tag))) : value(tag);
    return text ? caption(name) + ': ' + text + (unit || '') : '';
  }

  // The data set's slice thickness, else the frame's (enhanced files keep it
  // in their functional groups) when the page gives it.
  function thicknessLine() {
    if (value('x00180050') || !(position && isFinite(position.thickness))) { return labelled('thickness', 'x00180050', ' mm', true); }
    return caption('thickness') + ': ' + decimalText(String(position.thickness)) + ' mm';
  }

  function isLossy() {
    return read('x00282110') === '01' || LOSSY_SYNTAXES.indexOf(read('x00020010')) >= 0;
  }

  // The calibration's caption; the pixel spacing's with its calibration type
  // when the file names one.
  function calibrationText(calibration) {
    var type = calibration === 'pixelSpacing' && read ? value('x00280a02') : '';
    return caption(calibration) + (type ? ' (' + type + ')' : '');
  }

  // The corners that follow the file and its frame. reader maps a tag to its
  // text; where holds frame, frames, calibration, spacing (rows, columns in mm)
  // and, when the page knows them, the frame's orientation and thickness.
  function show(reader, where) {
    read = reader;
    position = where;
    var pattern = caption('date');
    setOverlayLines('tl', [personName(read('x00100010')), value('x00100020'),
                           [formatDate(read('x00100030'), pattern), value('x00100040')].join(' ').trim()]);
    setOverlayLines('tr', [value('x00080060'),
                           [formatDate(read('x00080020'), pattern), formatTime(read('x00080030'))].join(' ').trim(),
                           value('x00081030')]);
    setOverlayLines('bl', [labelled('series', 'x00200011'), labelled('image', 'x00200013'),
                           caption('frame') + ': ' + (where.frame + 1) + ' / ' + where.frames,
                           thicknessLine(), labelled('location', 'x00201041', ' mm', true),
                           where.spacing ? '' : calibrationText('none')]);
    setText(overlayPart('lossy'), isLossy() ? caption('lossy') : '');
  }

  function clear() {
    read = null;
    position = null;
    Array.prototype.forEach.call(document.querySelectorAll('#overlay > div'), function (part) { part.textContent = ''; });
    overlayPart('scalebar').hidden = true;
    KestOverlayPlanes.clear();
  }

  // The round length (1, 2 or 5 times a power of ten, in mm) nearest to a
  // fifth of the viewport's width, and its width on screen.
  function scaleBar(mmPerPixel, viewportWidth) {
    var target = viewportWidth / 5 * mmPerPixel;
    if (!(target > 0) || !isFinite(target)) { return null; }
    var power = Math.pow(10, Math.floor(Math.log10(target)));
    var best = [1, 2, 5, 10].map(function (step) { return step * power; }).reduce(function (a, b) {
      return Math.abs(Math.log(b / target)) < Math.abs(Math.log(a / target)) ? b : a;
    });
    var mm = Number(best.toPrecision(1));
    return { mm: mm, pixels: mm / mmPerPixel };
  }

  // Millimetres across one screen pixel along the screen's horizontal,
  // through the viewport's zoom and rotation.
  function mmPerScreenPixel(element, spacing) {
    var a = cornerstone.canvasToPixel(element, { x: 0, y: 0 });
    var b = cornerstone.canvasToPixel(element, { x: 1, y: 0 });
    return Math.hypot((b.x - a.x) * spacing[1], (b.y - a.y) * spacing[0]);
  }

  function showScale(element) {
    var bar = position.spacing ? scaleBar(mmPerScreenPixel(element, position.spacing), element.clientWidth) : null;
    var scalebar = overlayPart('scalebar');
    var width = bar ? Number(bar.pixels.toFixed(1)) + 'px' : '';
    if (scalebar.hidden !== !bar) { scalebar.hidden = !bar; }
    if (scalebar.style.width !== width) { scalebar.style.width = width; }
    setText(overlayPart('scale'), bar ? bar.mm + ' mm \u00b7 ' + calibrationText(position.calibration) : '');
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

  // The frame's own orientation when the page gives it (enhanced files keep it
  // per frame), else the file's.
  function orientationOf() {
    if (position && position.orientation !== undefined) { return position.orientation; }
    var values = read('x00200037').split('\\').map(parseFloat);
    return values.length === 6 && values.every(isFinite) ? values : null;
  }

  // The parts that follow the viewport of the element: window, zoom, scale
  // bar and the edge letters.
  function follow(viewport, element) {
    if (!read) { return; }
    var voi = viewport.voi || {};
    setOverlayLines('br', [isFinite(voi.windowCenter) && isFinite(voi.windowWidth)
      ? caption('centre') + ': ' + Math.round(voi.windowCenter) + ' ' + caption('width') + ': ' + Math.round(voi.windowWidth) : '',
                           caption('zoom') + ': ' + Math.round(viewport.scale * 100) + '%']);
    showScale(element);
    var orientation = orientationOf();
    var edges = { right: [1, 0], left: [-1, 0], bottom: [0, 1], top: [0, -1] };
    Object.keys(edges).forEach(function (edge) {
      setText(overlayPart(edge), orientation ? screenDirectionLetters(orientation, viewport, edges[edge][0], edges[edge][1]) : '');
    });
  }

  function toggle() { document.getElementById('overlay').classList.toggle('hidden'); }

  return { show: show, follow: follow, clear: clear, toggle: toggle, calibrationText: calibrationText,
           formatDate: formatDate, formatTime: formatTime, personName: personName, scaleBar: scaleBar,
           decimalText: decimalText };
})();
