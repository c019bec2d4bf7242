// The presentation stage of grey images: what the file's Presentation LUT
// Shape or Presentation LUT Sequence makes of the VOI's output. The shape,
// when the file has one, says which end of the grey scale is white; without
// one, the photometric interpretation says it (MONOCHROME1: the lowest value).
window.KestPresentation = (function () {
  'use strict';

  var PRESENTATION_LUT = 'x20500010';
  var PRESENTATION_SHAPE = 'x20500020';
  var LUT_DESCRIPTOR = 'x00283002';
  var LUT_DATA = 'x00283006';

  // The first item's table: its entries (0 stands for 65536) and their bit
  // depth from the descriptor, its values from the data as far as the data
  // reaches. Null when unusable.
  function tableOf(item) {
    var descriptor = item.elements[LUT_DESCRIPTOR];
    var data = item.elements[LUT_DATA];
    if (!descriptor || descriptor.length < 6 || !data || data.length < 4) { return null; }
    var entries = item.uint16(LUT_DESCRIPTOR, 0) || 65536;
    var bits = item.uint16(LUT_DESCRIPTOR, 2);
    var count = Math.min(entries, Math.floor(data.length / 2));
    if (!(bits >= 1 && bits <= 16) || count < 2) { return null; }
    var values = new Uint16Array(count);
    for (var i = 0; i < count; i++) { values[i] = item.uint16(LUT_DATA, i); }
    return { values: values, top: Math.pow(2, bits) - 1 };
  }

  function firstItem(dataSet, tag) {
    var element = dataSet.elements[tag];
    var item = element && element.items && element.items[0];
    return item ? item.dataSet : null;
  }

  // The file's presentation stage for an image: null when the renderer's own
  // (the photometric interpretation's polarity) is already right.
  function presentationOf(dataSet, image) {
    var item = dataSet && firstItem(dataSet, PRESENTATION_LUT);
    var table = item ? tableOf(item) : null;
    if (table) { return { table: table, inverse: false }; }
    var shape = dataSet ? (dataSet.string(PRESENTATION_SHAPE) || '').trim().toUpperCase() : '';
    if (shape !== 'INVERSE' && shape !== 'IDENTITY') { return null; }
    var inverse = shape === 'INVERSE';
    return inverse === !!image.invert ? null : { table: null, inverse: inverse };
  }

  // The presentation of a VOI output (0 to 255) as a grey level (0 to 255).
  function present(presentation, grey) {
    var table = presentation.table;
    if (table) {
      var index = Math.round(grey / 255 * (table.values.length - 1));
      return Math.min(255, table.values[index] / table.top * 255);
    }
    return presentation.inverse ? 255 - grey : grey;
  }

  return { presentationOf: presentationOf, present: present };
})();
