// The DICOMDIR page's reading of the directory: the records of the Directory
// Record Sequence, read one element at a time so that damage leaves what came
// before it, then linked into a tree by their offsets or, without usable
// offsets, by their order.
(function (page) {
  'use strict';

  var { T, say } = page;

  var UNDEFINED_LENGTH = 0xffffffff;
  var IMPLICIT_LITTLE = '1.2.840.10008.1.2';
  var EXPLICIT_BIG = '1.2.840.10008.1.2.2';
  var DEFLATED = '1.2.840.10008.1.2.1.99';
  var RECORDS = 'x00041220';
  var ITEM = 'xfffee000';
  var MAX_RECORDS = 200000;
  var MAX_MILLISECONDS = 20000;
  var MAX_TEXT = 200;

  // Record attributes the page shows; their VRs serve implicit VR files.
  var SHOWN = {
    x00080005: 'CS', x00080020: 'DA', x00080050: 'SH', x00080060: 'CS', x00081030: 'LO',
    x0008103e: 'LO', x00100010: 'PN', x00100020: 'LO', x00100030: 'DA', x00100040: 'CS',
    x00200011: 'IS', x00200013: 'IS', x00420010: 'ST', x00700080: 'CS'
  };
  var VRS = {
    x00041130: 'CS', x00041200: 'UL', x00041202: 'UL', x00041212: 'US', x00041220: 'SQ',
    x00041400: 'UL', x00041410: 'US', x00041420: 'UL', x00041430: 'CS', x00041500: 'CS',
    x00041510: 'UI', x00041511: 'UI', x00041512: 'UI', x00080008: 'CS', x00088000: 'SQ',
    x0040a043: 'SQ', x0040a730: 'SQ', x00400275: 'SQ', x00880200: 'SQ'
  };
  Object.keys(SHOWN).forEach(function (tag) { VRS[tag] = SHOWN[tag]; });
  var CHARSETS = Object.assign({
    'ISO 2022 IR 100': 'windows-1252', 'ISO 2022 IR 87': 'iso-2022-jp'
  }, KestPage.CHARSETS);
  // Record types that start a new branch at the top when records are nested by their order.
  var TOP_TYPES = ['PATIENT', 'HANGING PROTOCOL', 'PALETTE', 'IMPLANT', 'IMPLANT ASSY', 'IMPLANT GROUP'];
  var LEVELS = { STUDY: 1, SERIES: 2 };

  var decoders = {};

  // ----- reading the directory -----

  function decoder(charset) {
    if (!decoders[charset]) {
      try { decoders[charset] = new TextDecoder(charset); } catch (e) { decoders[charset] = decoder('windows-1252'); }
    }
    return decoders[charset];
  }

  // An element as [offset, length] of its value, the form records keep.
  function at(element) { return element ? [element.dataOffset, element.length] : null; }

  function clampedBytes(bytes, element) {
    var start = Math.min(element[0], bytes.length);
    return bytes.subarray(start, Math.min(start + element[1], bytes.length));
  }

  function ascii(bytes, element) {
    var part = clampedBytes(bytes, element);
    var text = '';
    for (var i = 0; i < part.length && i < MAX_TEXT; i++) { text += String.fromCharCode(part[i]); }
    return text.replace(/^[\s\0]+|[\s\0]+$/g, '');
  }

  function shortened(text) {
    return text.length > MAX_TEXT ? text.substring(0, MAX_TEXT) + '\u2026' : text;
  }

  function charsetOf(bytes, element, fallback) {
    if (!element) { return fallback; }
    var values = ascii(bytes, element).split('\\');
    return CHARSETS[values[values.length - 1].trim()] || fallback;
  }

  function numberOf(parser, bytes, element, size) {
    if (!element || element.length < size || element.dataOffset + size > bytes.length) { return 0; }
    return size === 4 ? parser.readUint32(bytes, element.dataOffset)
      : parser.readUint16(bytes, element.dataOffset);
  }

  function textOf(record, tag) {
    var element = record.fields[tag];
    if (!element) { return ''; }
    var text = decoder(record.charset).decode(clampedBytes(record.bytes, element));
    return shortened(text.replace(/^[\s\0]+|[\s\0]+$/g, ''));
  }

  // The elements of one record item, read one by one so that a damaged element still leaves
  // those before it. next is the position after the item, or -1 when it cannot be known.
  // An item that claims more than its record list holds is read up to the list's end. In a list
  // that ends where its length says, that is a last record whose length was left as it was when
  // elements were taken out of it: whole if its elements end at the list's end. A record starting
  // inside it ends it as damaged, as it then claims the records after it.
  function readItem(reading, position, length, elements) {
    var start = position + 8;
    var limit = length === UNDEFINED_LENGTH ? reading.end : start + length;
    var result = { next: length === UNDEFINED_LENGTH ? -1 : start + length, complete: true, truncated: false };
    var overrun = limit > reading.end;
    if (overrun) { limit = reading.end; result.complete = reading.defined; }
    if (start >= reading.bytes.length) { result.complete = false; result.truncated = true; return result; }
    var stream = new dicomParser.ByteStream(reading.parser, reading.bytes, start);
    var closed = length !== UNDEFINED_LENGTH;
    try {
      while (stream.position < limit) {
        var element = reading.explicit
          ? dicomParser.readDicomElementExplicit(stream, reading.warnings)
          : dicomParser.readDicomElementImplicit(stream, undefined, reading.vr);
        if (element.tag === 'xfffee00d') { closed = true; break; }
        if (overrun && element.tag === ITEM) { result.complete = false; break; }
        elements[element.tag] = element;
      }
    } catch (e) {
      // A damaged element, or sequences nested deeper than the parser's recursion can go.
      result.complete = false;
    }
    if (stream.position > limit || !closed) { result.complete = false; }
    if (length === UNDEFINED_LENGTH && closed && result.complete) { result.next = stream.position; }
    // Nothing is cut off a list that ends where it says: its record is damaged.
    result.truncated = !result.complete && !(overrun && reading.defined) &&
      (stream.position >= reading.bytes.length || result.next > reading.bytes.length);
    return result;
  }

  function makeRecord(reading, offset, elements) {
    var bytes = reading.bytes;
    var fields = {};
    Object.keys(elements).forEach(function (tag) { if (SHOWN[tag]) { fields[tag] = at(elements[tag]); } });
    var fileId = elements.x00041500;
    return {
      offset: offset,
      type: elements.x00041430 ? ascii(bytes, at(elements.x00041430)) : '',
      // An absent offset reads as 0, as none: records without offsets nest by their order.
      next: numberOf(reading.parser, bytes, elements.x00041400, 4),
      lower: numberOf(reading.parser, bytes, elements.x00041420, 4),
      inUse: !elements.x00041410 || numberOf(reading.parser, bytes, elements.x00041410, 2) !== 0,
      fileId: fileId && fileId.length > 0 ? at(fileId) : null,
      charset: charsetOf(bytes, fields.x00080005, reading.charset),
      bytes: reading.bytes,
      fields: fields,
      children: []
    };
  }

  // Walks the items of the Directory Record Sequence in file order.
  function readRecords(reading, directory) {
    var bytes = reading.bytes;
    var parser = reading.parser;
    var position = reading.start;
    var began = performance.now();
    while (true) {
      if (position + 8 > reading.end) {
        if (!reading.defined || position < reading.end) { directory.problems.push(T.truncated); }
        return;
      }
      var group = parser.readUint16(bytes, position);
      var number = parser.readUint16(bytes, position + 2);
      if (group === 0xfffe && number === 0xe0dd) { return; }
      if (group !== 0xfffe || number !== 0xe000) {
        directory.problems.push(say(T.badRecord, [position]));
        return;
      }
      if (directory.records.length >= MAX_RECORDS) {
        directory.problems.push(say(T.tooMany, [MAX_RECORDS]));
        return;
      }
      if (performance.now() - began > MAX_MILLISECONDS) {
        directory.problems.push(say(T.tooSlow, [MAX_MILLISECONDS / 1000]));
        return;
      }
      var elements = {};
      var item = readItem(reading, position, parser.readUint32(bytes, position + 4), elements);
      var record = makeRecord(reading, position, elements);
      directory.records.push(record);
      directory.byOffset.set(position, record);
      if (!item.complete) { directory.problems.push(item.truncated ? T.truncated : say(T.badRecord, [position])); }
      if (item.next < 0 || item.next > reading.end) { return; }
      position = item.next;
    }
  }

  function readDirectory(bytes) {
    var header;
    try { header = dicomParser.readPart10Header(bytes); } catch (e) { throw new Error(T.notDirectory); }
    var syntaxElement = header.elements.x00020010;
    var syntax = syntaxElement ? ascii(bytes, at(syntaxElement)) : '';
    if (syntax === DEFLATED) { throw new Error(T.compressed); }
    if (header.position >= bytes.length) { throw new Error(T.notDirectory); }
    var parser = syntax === EXPLICIT_BIG
      ? dicomParser.bigEndianByteArrayParser : dicomParser.littleEndianByteArrayParser;
    var explicit = syntax !== IMPLICIT_LITTLE;
    var vr = function (tag) { return VRS[tag]; };
    var top = new dicomParser.DataSet(parser, bytes, {});
    top.warnings = [];
    var stream = new dicomParser.ByteStream(parser, bytes, header.position);
    try {
      if (explicit) {
        dicomParser.parseDicomDataSetExplicit(top, stream, bytes.length, { untilTag: RECORDS });
      } else {
        dicomParser.parseDicomDataSetImplicit(top, stream, bytes.length, { untilTag: RECORDS, vrCallback: vr });
      }
    } catch (e) { /* whatever precedes the record sequence is enough */ }
    var sequence = top.elements[RECORDS];
    if (!sequence) { throw new Error(T.notDirectory); }
    var elements = top.elements;
    var directory = {
      fileSetId: elements.x00041130 ? ascii(bytes, at(elements.x00041130)) : '',
      rootOffset: numberOf(parser, bytes, elements.x00041200, 4),
      records: [],
      byOffset: new Map(),
      problems: []
    };
    var defined = sequence.length !== UNDEFINED_LENGTH;
    var end = defined ? sequence.dataOffset + sequence.length : bytes.length;
    if (end > bytes.length) { end = bytes.length; defined = false; }
    readRecords({
      bytes: bytes, parser: parser, explicit: explicit, vr: vr, warnings: { push: function () {} },
      start: sequence.dataOffset, end: end, defined: defined,
      charset: charsetOf(bytes, at(elements.x00080005), 'windows-1252')
    }, directory);
    return directory;
  }

  // ----- the record tree -----

  // Follows the next-record and lower-level offsets from the root. Offsets that lead back to a
  // record already read, or to a place where no record starts, end that branch.
  function linkByOffsets(directory) {
    var roots = [];
    var visited = new Set();
    var jobs = [{ parent: null, offset: directory.rootOffset }];
    while (jobs.length) {
      var job = jobs.pop();
      var list = job.parent ? job.parent.children : roots;
      for (var offset = job.offset; offset !== 0;) {
        if (visited.has(offset)) { directory.problems.push(say(T.loop, [offset])); break; }
        var record = directory.byOffset.get(offset);
        if (!record) { directory.problems.push(say(T.badOffset, [offset])); break; }
        visited.add(offset);
        if (record.inUse) {
          record.parent = job.parent;
          list.push(record);
          if (record.lower) { jobs.push({ parent: record, offset: record.lower }); }
        }
        offset = record.next;
      }
    }
    return roots;
  }

  function levelOf(type) {
    if (TOP_TYPES.indexOf(type) >= 0) { return 0; }
    return LEVELS[type] || 3;
  }

  // Without usable offsets: patient, study, series and leaf records nest by their order in the sequence.
  function linkBySequence(directory) {
    var roots = [];
    var open = [];
    directory.records.forEach(function (record) {
      record.children = [];
      if (!record.inUse) { return; }
      var level = levelOf(record.type);
      var parent = null;
      for (var above = level - 1; above >= 0 && !parent; above--) { parent = open[above] || null; }
      record.parent = parent;
      (parent ? parent.children : roots).push(record);
      open.length = level;
      open[level] = record;
    });
    return roots;
  }

  function buildTree(directory) {
    var records = directory.records;
    var hasLower = records.some(function (record) { return record.lower !== 0; });
    var rootFound = directory.byOffset.has(directory.rootOffset);
    if (directory.rootOffset && rootFound && (hasLower || records.length < 2)) { return linkByOffsets(directory); }
    if (directory.rootOffset && !rootFound) {
      directory.problems.push(say(T.badOffset, [directory.rootOffset]));
    }
    return linkBySequence(directory);
  }

  function fileIdText(record) {
    return decoder(record.charset).decode(clampedBytes(record.bytes, record.fileId)).trim();
  }

  function validComponents(text) {
    var components = text.split('\\').map(function (name) { return name.trim(); });
    var valid = components.every(function (name) {
      return name !== '' && name !== '.' && name !== '..' && !/[/\0]/.test(name);
    });
    return valid ? components : null;
  }

  // Counts what the tree shows and marks the leaves that reference a file.
  function countTree(roots) {
    var totals = { patients: 0, studies: 0, series: 0, images: 0, documents: 0, records: 0, leaves: [] };
    var stack = roots.slice();
    while (stack.length) {
      var record = stack.pop();
      totals.records++;
      if (record.type === 'PATIENT') { totals.patients++; }
      else if (record.type === 'STUDY') { totals.studies++; }
      else if (record.type === 'SERIES') { totals.series++; }
      if (record.children.length) {
        for (var i = 0; i < record.children.length; i++) { stack.push(record.children[i]); }
      } else if (record.fileId) {
        record.components = validComponents(fileIdText(record));
        record.selectable = true;
        totals.leaves.push(record);
        if (record.type === 'IMAGE') { totals.images++; } else { totals.documents++; }
      }
    }
    return totals;
  }

  Object.assign(page, {
    readDirectory: readDirectory, buildTree: buildTree, countTree: countTree, textOf: textOf,
    fileIdText: fileIdText, shortened: shortened
  });
})(window.KestDicomdirPage);
