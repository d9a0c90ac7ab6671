// SPDX-License-Identifier: MIT
// The start page's search over the links of every section. The links come from search-data.js
// beside this file, which every completed run rewrites from the section pages:
//   var trevantoSearchData = [[section, name, address, name, address, ...], ...];
// Without it, or without JavaScript, the search box stays hidden and the start text shows.
// The same file is loaded by Node for the tests, where it only exports its functions.
(function (root) {
  'use strict';

  var MAX_SHOWN = 200;

  // Lower case, with the letter yo read as ye, so that neither the letter case nor the two
  // spellings of a word keep it from being found.
  function fold(text) {
    return String(text).toLowerCase().replace(/\u0451/g, '\u0435');
  }

  // The words of a query, folded; blanks of any kind separate them.
  function words(query) {
    return fold(query)
      .split(/\s+/)
      .filter(function (word) {
        return word.length > 0;
      });
  }

  // An address percent-encoded as UTF-8 is also searched as it reads.
  function decodedAddress(address) {
    if (address.indexOf('%') < 0) return '';
    try {
      return decodeURIComponent(address);
    } catch (malformed) {
      return '';
    }
  }

  // The links of the data, in order, each with the folded text its words are looked for in.
  function prepare(data) {
    var links = [];
    for (var s = 0; s < data.length; ++s) {
      var section = data[s];
      for (var i = 1; i + 1 < section.length; i += 2) {
        var name = section[i];
        var address = section[i + 1];
        links.push({
          section: section[0],
          name: name,
          address: address,
          text: fold(name + '\n' + address + '\n' + decodedAddress(address)),
        });
      }
    }
    return links;
  }

  // The links in whose name or address every word of the query occurs.
  function search(links, query) {
    var wanted = words(query);
    var found = [];
    if (wanted.length === 0) return found;
    next: for (var i = 0; i < links.length; ++i) {
      var text = links[i].text;
      for (var w = 0; w < wanted.length; ++w) {
        if (text.indexOf(wanted[w]) < 0) continue next;
      }
      found.push(links[i]);
    }
    return found;
  }

  // Addresses that would run code are never made into links, whatever the data hold.
  function isSafeAddress(address) {
    var scheme = String(address)
      .replace(/[\t\r\n]/g, '')
      .replace(/^[\u0000-\u0020]+/, '')
      .toLowerCase();
    return !/^(javascript|vbscript|data):/.test(scheme);
  }

  function fill(template, values) {
    return String(template || '').replace(/\{(\w+)\}/g, function (whole, key) {
      return key in values ? String(values[key]) : whole;
    });
  }

  // Shows the results of query in the page: the texts of the messages come from the form's
  // data-found, data-shown and data-none attributes, in the page's own language.
  function show(document, form, links, query) {
    var results = document.getElementById('results');
    var startText = document.getElementById('start');
    while (results.firstChild) results.removeChild(results.firstChild);
    if (words(query).length === 0) {
      results.style.display = 'none';
      if (startText) startText.style.display = '';
      return [];
    }
    var found = search(links, query);
    var summary = document.createElement('p');
    summary.className = 'summary';
    if (found.length === 0) {
      summary.textContent = form.getAttribute('data-none');
    } else {
      summary.textContent = fill(form.getAttribute('data-found'), { n: found.length });
      if (found.length > MAX_SHOWN) summary.textContent += ' ' + fill(form.getAttribute('data-shown'), { shown: MAX_SHOWN });
    }
    results.appendChild(summary);
    var list = document.createElement('ol');
    for (var i = 0; i < found.length && i < MAX_SHOWN; ++i) {
      var link = found[i];
      var item = document.createElement('li');
      var section = document.createElement('span');
      section.className = 'section';
      section.textContent = link.section;
      item.appendChild(section);
      item.appendChild(document.createTextNode(' '));
      var safe = isSafeAddress(link.address);
      var anchor = document.createElement(safe ? 'a' : 'span');
      if (safe) {
        anchor.href = link.address;
        anchor.target = 'index';
      }
      anchor.title = link.address;
      anchor.textContent = link.name || link.address;
      item.appendChild(anchor);
      list.appendChild(item);
    }
    results.appendChild(list);
    results.style.display = '';
    if (startText) startText.style.display = 'none';
    return found;
  }

  function queryOf(locationSearch) {
    try {
      return new URLSearchParams(locationSearch).get('q') || '';
    } catch (old) {
      return '';
    }
  }

  // Shows the search box, and the results of ?q=WORDS in the page's address; a new search
  // shows its results as it is typed and, sent, gets an address of its own to bookmark.
  function start(window) {
    var document = window.document;
    var form = document.getElementById('search');
    var data = window.trevantoSearchData;
    if (!form || !document.getElementById('results') || !data || typeof data.length !== 'number') return;
    var links = prepare(data);
    var box = form.elements.q;
    form.style.display = '';
    box.value = queryOf(window.location.search);
    show(document, form, links, box.value);
    box.addEventListener('input', function () {
      show(document, form, links, box.value);
    });
  }

  var api = {
    fold: fold,
    words: words,
    prepare: prepare,
    search: search,
    isSafeAddress: isSafeAddress,
    show: show,
    start: start,
    MAX_SHOWN: MAX_SHOWN,
  };
  if (typeof module === 'object' && module.exports) {
    module.exports = api;
  } else {
    root.trevantoSearch = api;
    if (root.document) start(root);
  }
})(this);
