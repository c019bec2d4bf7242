// The DICOMDIR page's tree: a row per record, made when its level opens and a
// thousand at a time, and the keys and clicks that move through it, open and
// close its levels and select a file (reported to the host).
(function (page) {
  'use strict';

  var { T, say, counted, post, tree, plainUrl, checkFile, textOf, fileIdText } = page;

  var PAGE_ROWS = 1000;
  // Rows opened at load; larger directories open only their upper levels.
  var OPEN_ROWS = 300;
  var current = null;
  var selected = null;

  // ----- showing the tree -----

  function span(className, text) {
    var element = document.createElement('span');
    element.className = className;
    element.textContent = text;
    return element;
  }

  function readableDate(text) {
    var match = /^(\d{4})\.?(\d{2})\.?(\d{2})$/.exec(text);
    return match ? match[1] + '-' + match[2] + '-' + match[3] : text;
  }

  function personName(text) {
    return text.split('=').map(function (group) {
      return group.replace(/\^/g, ' ').replace(/\s+/g, ' ').trim();
    }).filter(function (group) { return group !== ''; }).join(' = ');
  }

  function labelled(label, value) { return value ? label + ' ' + value : ''; }

  // The main text and the details of a record's row.
  function describe(record) {
    var text = function (tag) { return textOf(record, tag); };
    switch (record.type) {
      case 'PATIENT':
        return [personName(text('x00100010')) || T.noName, labelled(T.id, text('x00100020')),
          labelled(T.born, readableDate(text('x00100030'))), labelled(T.sex, text('x00100040'))];
      case 'STUDY':
        return [[readableDate(text('x00080020')), text('x00081030') || T.studyLabel].join(' ').trim(),
          labelled(T.accession, text('x00080050'))];
      case 'SERIES':
        var images = 0;
        var documents = 0;
        record.children.forEach(function (child) {
          if (child.selectable) { if (child.type === 'IMAGE') { images++; } else { documents++; } }
        });
        var title = [text('x00080060'), labelled(T.seriesLabel, text('x00200011'))].join(' ').trim();
        return [title || T.seriesLabel, text('x0008103e'), images || !documents ? counted(images, T.images) : '',
          documents ? counted(documents, T.seriesDocuments) : ''];
      case 'IMAGE':
        return [labelled(T.image, text('x00200013')) || T.image];
      default:
        return [[record.type || '?', text('x00200013')].join(' ').trim(), text('x00420010') || text('x00700080'),
          personName(text('x00100010')), labelled(T.id, text('x00100020'))];
    }
  }

  function kindOf(record) {
    if (['PATIENT', 'STUDY', 'SERIES'].indexOf(record.type) >= 0) { return record.type.toLowerCase(); }
    return record.children.length ? 'other' : 'leaf';
  }

  function paintState(record) {
    var row = record.row;
    if (!row) { return; }
    var missing = !!(record.selectable && record.components && record.check && record.path === null);
    var invalid = !!(record.selectable && !record.components);
    row.classList.toggle('missing', missing);
    row.classList.toggle('invalid', invalid);
    row.querySelector('.badge').textContent = invalid ? T.invalid : (missing ? T.missing : '');
  }

  // A tree node: its row, then the box of its children once opened.
  function makeRow(className, depth) {
    var node = document.createElement('div');
    node.className = 'node';
    node.kestDepth = depth;
    var row = node.appendChild(document.createElement('div'));
    row.className = 'row ' + className;
    row.style.paddingLeft = (6 + depth * 16) + 'px';
    return row;
  }

  function makeNode(record, depth) {
    var row = makeRow(kindOf(record), depth);
    row.setAttribute('role', 'treeitem');
    row.setAttribute('aria-level', String(depth + 1));
    row.appendChild(span('twisty', record.children.length ? '\u25b8' : ''));
    describe(record).forEach(function (text, index) {
      if (index === 0 || text) { row.appendChild(span(index === 0 ? 'main' : 'detail', text)); }
    });
    row.appendChild(span('badge', ''));
    if (record.fileId) { row.title = fileIdText(record); }
    if (record.children.length) { row.setAttribute('aria-expanded', 'false'); }
    row.kestRecord = record;
    record.row = row;
    paintState(record);
    if (record.selectable && record.components) { checkFile(record); }
    return row.parentNode;
  }

  function instanceNumber(record) {
    var value = parseInt(textOf(record, 'x00200013'), 10);
    return isNaN(value) ? Infinity : value;
  }

  // Leaves of one parent in instance order, the rest in directory order.
  function ordered(list) {
    if (!list.kestOrdered && list.every(function (record) { return !record.children.length; })) {
      var keyed = list.map(function (record, index) { return [instanceNumber(record), index, record]; });
      keyed.sort(function (a, b) { return a[0] - b[0] || a[1] - b[1]; });
      keyed.forEach(function (entry, index) { list[index] = entry[2]; });
    }
    list.kestOrdered = true;
    return list;
  }

  // Appends up to a page of rows, then a row that shows the next page when used.
  function appendRows(box, list, from, depth) {
    var fragment = document.createDocumentFragment();
    var end = Math.min(list.length, from + PAGE_ROWS);
    for (var i = from; i < end; i++) { fragment.appendChild(makeNode(list[i], depth)); }
    if (end < list.length) {
      var row = makeRow('more', depth);
      var left = list.length - end;
      row.appendChild(span('twisty', ''));
      row.appendChild(span('main', say(T.more, [Math.min(PAGE_ROWS, left), left])));
      row.kestMore = { box: box, list: list, from: end, depth: depth };
      fragment.appendChild(row.parentNode);
    }
    box.appendChild(fragment);
  }

  function showMore(row) {
    var more = row.kestMore;
    var node = row.parentNode;
    var before = node.previousSibling;
    node.remove();
    appendRows(more.box, more.list, more.from, more.depth);
    setCurrent(before ? before.nextSibling.firstChild : more.box.firstChild.firstChild);
  }

  function expand(row) {
    var record = row.kestRecord;
    var node = row.parentNode;
    if (!record || !record.children.length || node.classList.contains('open')) { return; }
    if (!node.kestBox) {
      node.kestBox = document.createElement('div');
      node.kestBox.className = 'children';
      node.kestBox.setAttribute('role', 'group');
      appendRows(node.kestBox, ordered(record.children), 0, node.kestDepth + 1);
      node.appendChild(node.kestBox);
    }
    node.classList.add('open');
    row.setAttribute('aria-expanded', 'true');
    row.firstChild.textContent = '\u25be';
  }

  function collapse(row) {
    var node = row.parentNode;
    if (!node.classList.contains('open')) { return; }
    node.classList.remove('open');
    row.setAttribute('aria-expanded', 'false');
    row.firstChild.textContent = '\u25b8';
  }

  // Opens levels breadth first while the rows shown stay within the budget.
  function openUpperLevels() {
    var shown = tree.children.length;
    var queue = Array.prototype.map.call(tree.children, function (node) { return node.firstChild; });
    while (queue.length) {
      var row = queue.shift();
      var record = row.kestRecord;
      if (!record || !record.children.length || shown + record.children.length > OPEN_ROWS) {
        continue;
      }
      expand(row);
      shown += record.children.length;
      Array.prototype.forEach.call(row.parentNode.kestBox.children, function (node) {
        queue.push(node.firstChild);
      });
    }
  }

  // ----- keyboard and mouse -----

  function isOpen(node) {
    return node.classList.contains('open') && node.kestBox && node.kestBox.firstChild;
  }

  function parentRow(row) {
    var box = row.parentNode.parentNode;
    return box === tree ? null : box.parentNode.firstChild;
  }

  function nextRow(row) {
    var node = row.parentNode;
    if (isOpen(node)) { return node.kestBox.firstChild.firstChild; }
    while (node) {
      if (node.nextSibling) { return node.nextSibling.firstChild; }
      node = node.parentNode === tree ? null : node.parentNode.parentNode;
    }
    return null;
  }

  function lastRowOf(node) {
    while (isOpen(node)) { node = node.kestBox.lastChild; }
    return node.firstChild;
  }

  function previousRow(row) {
    var node = row.parentNode;
    return node.previousSibling ? lastRowOf(node.previousSibling) : parentRow(row);
  }

  function setCurrent(row) {
    if (!row) { return; }
    if (current) { current.classList.remove('current'); current.removeAttribute('aria-selected'); }
    current = row;
    row.classList.add('current');
    row.setAttribute('aria-selected', 'true');
    row.scrollIntoView({ block: 'nearest' });
  }

  // The most files of one series the host is given to make a stack of.
  var SERIES_FILES = 20000;
  // The files of the last selection's series, by URL, so that the selection can follow the host's stack.
  var seriesRecords = new Map();

  // The files of the record's series record that exist: those of its kind beside it.
  function seriesOf(record) {
    var siblings = (record.parent ? record.parent.children : [record]).filter(function (other) {
      return other.selectable && other.components && other.type === record.type;
    }).slice(0, SERIES_FILES);
    return Promise.all(siblings.map(checkFile)).then(function (paths) {
      seriesRecords = new Map();
      paths.forEach(function (path, index) { if (path !== null) { seriesRecords.set(plainUrl(path), siblings[index]); } });
      return Array.from(seriesRecords.keys());
    });
  }

  function markSelected(row) {
    if (selected) { selected.classList.remove('selected'); }
    selected = row;
    row.classList.add('selected');
  }

  function select(record, row) {
    if (!record.components) { return; }
    checkFile(record).then(function (path) {
      if (path === null) { return null; }
      markSelected(row);
      return seriesOf(record).then(function (series) {
        post('dicomdirImageSelected', JSON.stringify({ url: plainUrl(path), type: record.type, series: series }));
      });
    });
  }

  // The host shows another file of the selection's series: the tree follows it
  // without reporting a selection. Called by the viewer (followStackSelection).
  window.showSelectedFile = function (path) {
    var record = seriesRecords.get(plainUrl(String(path)));
    if (!record || !record.row) { return; }
    markSelected(record.row);
    setCurrent(record.row);
  };

  function activate(row) {
    if (row.kestMore) { showMore(row); return; }
    var record = row.kestRecord;
    if (record.children.length) {
      if (row.parentNode.classList.contains('open')) { collapse(row); } else { expand(row); }
    } else if (record.selectable) {
      select(record, row);
    }
  }

  // Keys act on the tree wherever the focus is in the page.
  document.addEventListener('keydown', function (event) {
    if (!current) { setCurrent(tree.firstChild && tree.firstChild.firstChild); }
    var row = current;
    if (!row) { return; }
    var node = row.parentNode;
    switch (event.key) {
      case 'ArrowDown': setCurrent(nextRow(row)); break;
      case 'ArrowUp': setCurrent(previousRow(row)); break;
      case 'ArrowRight':
        if (isOpen(node)) { setCurrent(nextRow(row)); } else { expand(row); }
        break;
      case 'ArrowLeft':
        if (node.classList.contains('open')) { collapse(row); } else { setCurrent(parentRow(row)); }
        break;
      case 'Home': setCurrent(tree.firstChild && tree.firstChild.firstChild); break;
      case 'End': if (tree.lastChild) { setCurrent(lastRowOf(tree.lastChild)); } break;
      case 'Enter': case ' ': activate(row); break;
      default: return;
    }
    event.preventDefault();
  });

  tree.addEventListener('click', function (event) {
    var row = event.target.closest('.row');
    if (!row) { return; }
    setCurrent(row);
    tree.focus();
    activate(row);
  });

  Object.assign(page, {
    paintState: paintState, appendRows: appendRows, openUpperLevels: openUpperLevels, setCurrent: setCurrent
  });
})(window.KestDicomdirPage);
