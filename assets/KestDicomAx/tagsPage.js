// The tags page: every element of the file, with those of its sequences'
// items, as rows of tag, VR, name and value. A large file is read as its head
// and tail, its pixel data left unread.
(function () {
  'use strict';

  var DICTIONARY = window.KestTagDictionary;
  var { post, rootUrl, charsetOf } = KestPage;

  var TEXT_VRS = ['AE', 'AS', 'CS', 'DA', 'DS', 'DT', 'IS', 'LO', 'LT', 'PN', 'SH', 'ST', 'TM', 'UC', 'UI', 'UR', 'UT'];
  var NUMBER_READERS = {
    US: ['uint16', 2], SS: ['int16', 2], UL: ['uint32', 4], SL: ['int32', 4],
    FL: ['float', 4], FD: ['double', 8]
  };
  var MAX_TEXT = 4096;
  var MAX_NUMBERS = 64;
  var MAX_HEX_BYTES = 16;
  // What is read first of a file: enough for the elements before the pixel data.
  var HEAD_BYTES = 1024 * 1024;

  var rowCount = 0;

  // Reads the file, or from a byte offset to its end when one is given.
  function readBytes(url, from, done, failed) {
    var request = new XMLHttpRequest();
    request.open('GET', url, true);
    request.responseType = 'arraybuffer';
    if (from !== undefined) { request.setRequestHeader('Range', 'bytes=' + from + '-' + (from === 0 ? HEAD_BYTES - 1 : '')); }
    request.onload = function () {
      if (request.response && request.response.byteLength) { done(new Uint8Array(request.response)); }
      else { failed('the file could not be read'); }
    };
    request.onerror = function () { failed('the file could not be read'); };
    request.send();
  }

  // Where the data set's own pixel data ends, when the head holds every
  // element before it and its length is given; else undefined.
  function pixelDataEnd(head) {
    try {
      var pixels = parse(head, 'x7fe00010').elements.x7fe00010;
      if (!pixels || pixels.hadUndefinedLength || !(pixels.length >= 0)) { return undefined; }
      var end = pixels.dataOffset + pixels.length;
      return end > head.length ? end : undefined;
    } catch (e) {
      return undefined;
    }
  }

  // The tags are all before and after the pixel data: a large file is read as
  // its head and its tail, with the pixel data between them left unread (it is
  // shown by its length only). A file that cannot be read that way (a short
  // head, encapsulated pixel data, a length beyond the file) is read whole.
  function readFile(url, done, failed) {
    readBytes(url, 0, function (head) {
      var end = head.length < HEAD_BYTES ? undefined : pixelDataEnd(head);
      if (end === undefined) {
        if (head.length < HEAD_BYTES) { done(head); } else { readBytes(url, undefined, done, failed); }
        return;
      }
      // The tail starts with the pixel data's last byte, so that it is never empty.
      readBytes(url, end - 1, function (tail) {
        var bytes = new Uint8Array(end - 1 + tail.length);
        bytes.set(head);
        bytes.set(tail, end - 1);
        done(bytes);
      }, function () { readBytes(url, undefined, done, failed); });
    }, failed);
  }

  function tagText(tag) {
    return '(' + tag.substring(1, 5) + ',' + tag.substring(5, 9) + ')';
  }

  function nameOf(tag) {
    if (DICTIONARY[tag]) { return DICTIONARY[tag].name; }
    var group = parseInt(tag.substring(1, 5), 16);
    var element = parseInt(tag.substring(5, 9), 16);
    if (element === 0) { return 'GroupLength'; }
    if (group % 2 === 1) { return element >= 0x10 && element <= 0xff ? 'PrivateCreator' : 'Private'; }
    return 'Unknown';
  }

  function vrOf(tag, element) {
    if (element.vr) { return element.vr; }
    if (element.items) { return 'SQ'; }
    return DICTIONARY[tag] ? DICTIONARY[tag].vr : 'UN';
  }


  function bytesOf(dataSet, element) {
    var end = Math.min(element.dataOffset + element.length, dataSet.byteArray.length);
    return dataSet.byteArray.subarray(element.dataOffset, Math.max(element.dataOffset, end));
  }

  function shortened(text) {
    return text.length > MAX_TEXT ? text.substring(0, MAX_TEXT) + ' \u2026' : text;
  }

  function textValue(dataSet, element, charset) {
    var text = new TextDecoder(charset).decode(bytesOf(dataSet, element));
    return shortened(text.replace(/[\s\0]+$/, ''));
  }

  function numberValue(dataSet, tag, element, vr) {
    var reader = NUMBER_READERS[vr];
    var count = Math.floor(element.length / reader[1]);
    var values = [];
    for (var i = 0; i < Math.min(count, MAX_NUMBERS); i++) {
      var value = dataSet[reader[0]](tag, i);
      values.push(vr === 'FL' ? String(Number(value.toPrecision(7))) : String(value));
    }
    return values.join('\\') + (count > MAX_NUMBERS ? '\\\u2026 (' + count + ' values)' : '');
  }

  function tagListValue(dataSet, tag, element) {
    var values = [];
    for (var i = 0; i + 4 <= element.length; i += 4) {
      var group = dataSet.uint16(tag, i / 2);
      var number = dataSet.uint16(tag, i / 2 + 1);
      values.push('(' + ('000' + group.toString(16)).slice(-4) + ',' + ('000' + number.toString(16)).slice(-4) + ')');
    }
    return values.join('\\');
  }

  function binaryValue(dataSet, tag, element) {
    if (element.encapsulatedPixelData) {
      return 'encapsulated pixel data, ' + (element.fragments || []).length + ' fragments';
    }
    if (tag === 'x7fe00010') { return 'pixel data, ' + element.length + ' bytes'; }
    if (element.length > MAX_HEX_BYTES) { return 'binary data, ' + element.length + ' bytes'; }
    return Array.prototype.map.call(bytesOf(dataSet, element), function (b) {
      return ('0' + b.toString(16)).slice(-2);
    }).join('\\');
  }

  function valueOf(dataSet, tag, element, vr, charset) {
    if (element.length === 0 || element.length === undefined) { return ''; }
    if (element.dataOffset + element.length > dataSet.byteArray.length) { return 'truncated: ' + element.length + ' bytes announced'; }
    if (TEXT_VRS.indexOf(vr) >= 0) { return textValue(dataSet, element, charset); }
    if (NUMBER_READERS[vr]) { return numberValue(dataSet, tag, element, vr); }
    if (vr === 'AT') { return tagListValue(dataSet, tag, element); }
    return binaryValue(dataSet, tag, element);
  }

  // File data goes in as text only.
  function addRow(cells, depth, className) {
    var row = document.createElement('tr');
    if (className) { row.className = className; }
    cells.forEach(function (text, column) {
      var cell = document.createElement('td');
      cell.className = ['tag', 'vr', 'name', 'value'][column];
      if (column === 0) { cell.style.paddingLeft = (6 + depth * 18) + 'px'; }
      cell.textContent = text;
      row.appendChild(cell);
    });
    document.getElementById('tags').appendChild(row);
    rowCount++;
  }

  function showDataSet(dataSet, depth, charset) {
    charset = dataSet.elements.x00080005 ? charsetOf(dataSet) : charset;
    Object.keys(dataSet.elements).sort().forEach(function (tag) {
      var element = dataSet.elements[tag];
      var vr = vrOf(tag, element);
      if (element.items) {
        addRow([tagText(tag), vr, nameOf(tag), element.items.length + ' item(s)'], depth);
        element.items.forEach(function (item, index) {
          addRow(['', '', 'Item ' + (index + 1), ''], depth + 1, 'item');
          if (item.dataSet) { showDataSet(item.dataSet, depth + 2, charset); }
        });
        return;
      }
      addRow([tagText(tag), vr, nameOf(tag), valueOf(dataSet, tag, element, vr, charset)], depth);
    });
  }

  function showNotice(text) { document.getElementById('notice').textContent = text; }

  function finish(error) {
    if (error) { showNotice('The tags cannot be read completely: ' + error); }
    document.body.setAttribute('data-state', error ? 'error' : 'done');
    post('dicomTags', String(rowCount));
  }

  // Implicit VR files carry no VR: sequences are found through the dictionary.
  // With untilTag the parse stops at that element, its value unread.
  function parse(bytes, untilTag) {
    return dicomParser.parseDicom(bytes, {
      untilTag: untilTag,
      vrCallback: function (tag) { return DICTIONARY[tag] ? DICTIONARY[tag].vr : undefined; }
    });
  }

  function show(bytes) {
    try {
      showDataSet(parse(bytes), 0, 'windows-1252');
      finish('');
    } catch (e) {
      // A damaged file: what was read before the damage is still shown.
      if (e && e.dataSet) { showDataSet(e.dataSet, 0, 'windows-1252'); }
      finish(e && e.exception ? String(e.exception) : String(e && e.message || e));
    }
  }

  var name = (window.dicomFileList || [])[0];
  if (!name) {
    finish('no file was given to the page');
  } else {
    readFile(rootUrl() + encodeURIComponent(name), show, finish);
  }
})();
