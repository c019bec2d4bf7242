// The structured report page: the report's title, a header of its patient,
// dates and states, and its content tree, every value written as text.
(function () {
  'use strict';

  var { rootUrl, CHARSETS } = KestPage;

  var LABELS = {
    en: { report: 'Structured Report', patient: 'Patient', birthDate: 'Birth date', patientId: 'Patient ID',
          studyDate: 'Study date', contentDate: 'Content date', completion: 'Completion', verification: 'Verification',
          noReport: 'This document holds no report content.', unreadable: 'The report cannot be read: ',
          image: 'image', composite: 'object', frames: 'frames' },
    fr: { report: 'Compte rendu structur\u00e9', patient: 'Patient', birthDate: 'Date de naissance', patientId: 'ID patient',
          studyDate: "Date de l'examen", contentDate: 'Date du contenu', completion: 'Ach\u00e8vement', verification: 'V\u00e9rification',
          noReport: 'Ce document ne contient pas de compte rendu.', unreadable: 'Le compte rendu ne peut pas \u00eatre lu : ',
          image: 'image', composite: 'objet', frames: 'images' }
  };
  // Sequences of the report tree, for files whose VRs are implicit.
  var SEQUENCES = ['x0040a730', 'x0040a043', 'x0040a168', 'x0040a300', 'x004008ea', 'x00081199',
                   'x0040a504', 'x0040a370', 'x0040a375', 'x00081115', 'x0040a073', 'x0040a078',
                   'x0040a088', 'x0040a195', 'x0040a385', 'x0040a525', 'x00400441'];
  var MAX_DEPTH = 64;

  var labels = LABELS[document.documentElement.lang] || LABELS.en;
  var charset = 'windows-1252';

  function readFile(url, done, failed) {
    var request = new XMLHttpRequest();
    request.open('GET', url, true);
    request.responseType = 'arraybuffer';
    request.onload = function () {
      if (request.response && request.response.byteLength) { done(new Uint8Array(request.response)); }
      else { failed('the file could not be read'); }
    };
    request.onerror = function () { failed('the file could not be read'); };
    request.send();
  }

  function text(dataSet, tag) {
    var el = dataSet && dataSet.elements[tag];
    if (!el || !el.length || el.dataOffset + el.length > dataSet.byteArray.length) { return ''; }
    var bytes = dataSet.byteArray.subarray(el.dataOffset, el.dataOffset + el.length);
    return new TextDecoder(charset).decode(bytes).replace(/[\s\0]+$/, '');
  }

  function firstItem(dataSet, tag) {
    var el = dataSet && dataSet.elements[tag];
    return el && el.items && el.items.length ? el.items[0].dataSet : null;
  }

  function codeMeaning(dataSet, tag) {
    var code = firstItem(dataSet, tag);
    return text(code, 'x00080104') || text(code, 'x00080100');
  }

  function numericValue(item) {
    var measured = firstItem(item, 'x0040a300');
    if (!measured) { return ''; }
    var units = firstItem(measured, 'x004008ea');
    var unit = text(units, 'x00080100') || text(units, 'x00080104');
    return text(measured, 'x0040a30a') + (unit && unit !== '1' ? ' ' + unit : '');
  }

  function referenceValue(item, kind) {
    var reference = firstItem(item, 'x00081199');
    if (!reference) { return ''; }
    var frames = text(reference, 'x00081160');
    return labels[kind] + ' ' + text(reference, 'x00081155') + (frames ? ' (' + labels.frames + ' ' + frames + ')' : '');
  }

  function coordinatesValue(item) {
    var el = item.elements.x00700022;
    var points = [];
    for (var i = 0; el && i < Math.min(el.length / 4, 32); i++) { points.push(item.float('x00700022', i)); }
    return text(item, 'x00700023') + ' ' + points.join(', ');
  }

  var VALUE_READERS = {
    TEXT: function (item) { return text(item, 'x0040a160'); },
    CODE: function (item) { return codeMeaning(item, 'x0040a168'); },
    NUM: numericValue,
    DATETIME: function (item) { return text(item, 'x0040a120'); },
    DATE: function (item) { return text(item, 'x0040a121'); },
    TIME: function (item) { return text(item, 'x0040a122'); },
    PNAME: function (item) { return text(item, 'x0040a123'); },
    UIDREF: function (item) { return text(item, 'x0040a124'); },
    IMAGE: function (item) { return referenceValue(item, 'image'); },
    COMPOSITE: function (item) { return referenceValue(item, 'composite'); },
    SCOORD: coordinatesValue
  };

  // One content item: relationship, concept name and value, as text nodes only.
  function contentNode(item, depth) {
    var node = document.createElement('li');
    var relation = text(item, 'x0040a010');
    var type = text(item, 'x0040a040');
    if (relation) {
      var relationNode = document.createElement('span');
      relationNode.className = 'relation';
      relationNode.textContent = relation + ' ';
      node.appendChild(relationNode);
    }
    var concept = codeMeaning(item, 'x0040a043');
    if (concept) {
      var conceptNode = document.createElement('span');
      conceptNode.className = 'concept';
      conceptNode.textContent = concept + (type === 'CONTAINER' ? '' : ': ');
      node.appendChild(conceptNode);
    }
    var reader = VALUE_READERS[type];
    node.appendChild(document.createTextNode(reader ? reader(item) : ''));
    appendChildren(node, item, depth + 1);
    return node;
  }

  function appendChildren(parent, dataSet, depth) {
    var sequence = dataSet.elements.x0040a730;
    if (!sequence || !sequence.items || !sequence.items.length || depth > MAX_DEPTH) { return; }
    var list = document.createElement('ul');
    sequence.items.forEach(function (item) {
      if (item.dataSet) { list.appendChild(contentNode(item.dataSet, depth)); }
    });
    parent.appendChild(list);
  }

  function addHeaderRow(label, value) {
    if (!value) { return; }
    var row = document.createElement('tr');
    [label, value].forEach(function (cellText) {
      var cell = document.createElement('td');
      cell.textContent = cellText;
      row.appendChild(cell);
    });
    document.querySelector('#header tbody').appendChild(row);
  }

  function charsetOf(dataSet) {
    var values = text(dataSet, 'x00080005').split('\\');
    return CHARSETS[values[values.length - 1].trim()] || 'windows-1252';
  }

  function finish(error) {
    if (error) { document.getElementById('notice').textContent = error; }
    document.body.setAttribute('data-state', error ? 'error' : 'done');
  }

  function showReport(dataSet) {
    charset = charsetOf(dataSet);
    document.getElementById('title').textContent = codeMeaning(dataSet, 'x0040a043') || labels.report;
    addHeaderRow(labels.patient, text(dataSet, 'x00100010'));
    addHeaderRow(labels.patientId, text(dataSet, 'x00100020'));
    addHeaderRow(labels.birthDate, text(dataSet, 'x00100030'));
    addHeaderRow(labels.studyDate, text(dataSet, 'x00080020'));
    addHeaderRow(labels.contentDate, text(dataSet, 'x00080023'));
    addHeaderRow(labels.completion, text(dataSet, 'x0040a491'));
    addHeaderRow(labels.verification, text(dataSet, 'x0040a493'));
    var content = document.getElementById('content');
    appendChildren(content, dataSet, 0);
    finish(content.childNodes.length ? '' : labels.noReport);
  }

  function show(bytes) {
    try {
      showReport(dicomParser.parseDicom(bytes, {
        vrCallback: function (tag) { return SEQUENCES.indexOf(tag) >= 0 ? 'SQ' : undefined; }
      }));
    } catch (e) {
      finish(labels.unreadable + (e && e.exception ? String(e.exception) : String(e && e.message || e)));
    }
  }

  document.title = labels.report;
  var name = (window.dicomFileList || [])[0];
  if (!name) {
    finish(labels.unreadable + 'no file');
  } else {
    readFile(rootUrl() + encodeURIComponent(name), show, function (error) { finish(labels.unreadable + error); });
  }
})();
