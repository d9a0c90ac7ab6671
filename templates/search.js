// SPDX-License-Identifier: MIT
// The search over the links of every section, for the start page (Frame3.html) and for the
// one-page view (export/index.html), and that view's sections. The links come from the files
// beside this one, which every completed run rewrites from the section pages:
//   search-data.js        var trevantoSearchIndex = {parts: [[HASH, links], ...],
//                           runs: [HASH, ...], health: 0 or 1, sections: [[name, links, page], ...]};
//   search-part-HASH.js   trevantoSearchParts[HASH] = "NAME\tADDRESS\n...";  (in the menu's order)
//   search-runs-HASH.js   trevantoSearchRuns[HASH] = "\nabc\t*0,3-9|3+\n...\u0001abc\n1x\tNAME\tADDRESS\n...";
//                           (the runs of letters the links hold, folded, and the parts that hold
//                           them, in base 36; then the links of the runs marked "+", see runEntry)
//   link-health.js        var trevantoLinkHealth = {ADDRESS: ["dead", REASON] or ["moved", NEW]};
//                           optional: without it no link is marked; the index says whether the
//                           export found it ("health": 1), and it is asked for only then.
// The index of runs holds every letter, every two and every three letters in a row that stand in
// a link; a run that stands in more than a few parts is marked "*", and its runs one letter longer
// are listed too, up to eight letters. So a search for a word, a number or a single letter finds
// the few parts that can hold it, however common its shorter runs are; and where a run begins a
// word in few links spread over many parts, those links stand in the index itself, so that
// such a search reads no part at all.
// A page loads the parts only when it needs them (a search, an opened section), so it shows at
// once whatever the size of the collection; a search loads the few files of the index its words
// need, then the parts they name, a few side by side in the order of the menu, and searches each
// as it arrives. A page that holds its data itself (export/collection.html) loads nothing.
// Without the index, or without JavaScript, the search box stays hidden and the page shows as
// written.
// The same file is loaded by Node for the tests, where it only exports its functions.
(function (root) {
  'use strict';

  var MAX_SHOWN = 200;
  // Parts loaded at a time, in the order of the menu.
  var PARTS_AT_ONCE = 6;
  var FIRST_SHOWN = 40;
  // Links of an opened section written into the page at a time, so that a large one never
  // holds the page up.
  var SECTION_BATCH = 500;
  // Texts for pages written before they carried their own (in a page's data-* attributes).
  var TEXTS = {
    found: '\u041d\u0430\u0439\u0434\u0435\u043d\u043e \u0441\u0441\u044b\u043b\u043e\u043a: {n}.',
    shown: '\u041f\u043e\u043a\u0430\u0437\u0430\u043d\u044b \u043f\u0435\u0440\u0432\u044b\u0435 {shown}.',
    none: '\u041d\u0438\u0447\u0435\u0433\u043e \u043d\u0435 \u043d\u0430\u0439\u0434\u0435\u043d\u043e.',
    searching: '\u0418\u0449\u0443\u2026',
    dead: '\u0421\u0441\u044b\u043b\u043a\u0430 \u043d\u0435 \u043e\u0442\u043a\u0440\u044b\u0432\u0430\u0435\u0442\u0441\u044f: {reason}',
    moved: '\u043f\u0435\u0440\u0435\u0435\u0445\u0430\u043b\u0430',
    movedTitle: '\u041d\u043e\u0432\u044b\u0439 \u0430\u0434\u0440\u0435\u0441: {address}',
  };

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

  // A part of the data made searchable: its lines "NAME\tADDRESS", and the same lines folded,
  // each followed by its address decoded (line breaks in it as blanks: no word holds one), with
  // where each folded line begins.
  function preparePart(text) {
    var withDecoded = text.indexOf('%') < 0 ? text : text.replace(/\t([^\t\n]*%[^\t\n]*)/g, function (whole, address) {
      var decoded = decodedAddress(address);
      return decoded ? whole + '\t' + decoded.replace(/[\n\r]/g, ' ') : whole;
    });
    return { text: text, lines: null, folded: fold(withDecoded), starts: null, found: null };
  }

  // Where each folded line of a part begins; worked out for the parts a search finds something in.
  function lineStarts(part) {
    if (part.starts) return part.starts;
    var folded = part.folded;
    var starts = [];
    for (var at = 0; at < folded.length; ) {
      starts.push(at);
      var end = folded.indexOf('\n', at);
      at = end < 0 ? folded.length : end + 1;
    }
    part.starts = starts;
    return starts;
  }

  // Where the `nth` occurrence of word in text begins: far in for a rare word, at the end of
  // the text for one that occurs fewer times.
  function nthOccurrence(text, word, nth) {
    var at = -1;
    for (var n = 0; n < nth; ++n) {
      at = text.indexOf(word, at + 1);
      if (at < 0) return text.length;
    }
    return at;
  }

  // The lines of a prepared part in which every wanted word occurs, in order: onFound(line),
  // which returns false to stop. The rarest word is looked for through the whole text, the
  // others only in its lines; a part without one of the words is passed over at once.
  function searchPart(part, wanted, onFound) {
    if (wanted.length === 0) return;
    var text = part.folded;
    var first = 0;
    var sparsest = -1;
    for (var w = 0; w < wanted.length; ++w) {
      var spread = nthOccurrence(text, wanted[w], 16);
      if (spread === text.length && text.indexOf(wanted[w]) < 0) return;
      if (spread > sparsest) {
        sparsest = spread;
        first = w;
      }
    }
    var starts = null;
    var line = 0;
    for (var at = text.indexOf(wanted[first]); at >= 0; ) {
      if (!starts) starts = lineStarts(part);
      // The line the word stands in: the last that begins at or before it.
      while (line + 1 < starts.length && starts[line + 1] <= at) ++line;
      var end = line + 1 < starts.length ? starts[line + 1] - 1 : text.length;
      var found = true;
      if (wanted.length > 1) {
        var lineText = text.slice(starts[line], end);
        for (var o = 0; o < wanted.length && found; ++o) {
          if (o !== first && lineText.indexOf(wanted[o]) < 0) found = false;
        }
      }
      if (found && onFound(line) === false) return;
      if (++line >= starts.length) break;
      at = text.indexOf(wanted[first], starts[line]);
    }
  }

  // Characters the index of runs holds (as folded): printable ASCII and the Russian alphabet.
  function indexed(unit) {
    return (unit > 0x20 && unit < 0x7f) || (unit >= 0x430 && unit <= 0x44f);
  }

  // Letters and digits, as folded: a word begins with one that follows none.
  function wordUnit(unit) {
    return (unit >= 0x30 && unit <= 0x39) || (unit >= 0x61 && unit <= 0x7a) || (unit >= 0x430 && unit <= 0x44f);
  }

  // The runs of a query's words the index is asked for: for each stretch of indexed characters,
  // itself when it is one or two long, else the runs of three where its first words begin (or,
  // near its end, its last three): each may lead on to longer runs in the same file of the index.
  // Each: {text: the stretch, at: where the run begins}.
  var RUNS_PER_STRETCH = 3;
  function lookupsOf(wanted) {
    var out = [];
    for (var w = 0; w < wanted.length; ++w) {
      var word = wanted[w];
      for (var i = 0; i < word.length; ) {
        if (!indexed(word.charCodeAt(i))) {
          ++i;
          continue;
        }
        var end = i;
        while (end < word.length && indexed(word.charCodeAt(end))) ++end;
        var stretch = word.slice(i, end);
        if (stretch.length <= 2) {
          out.push({ text: stretch, at: 0 });
        } else {
          var starts = [];
          for (var at = 0; at < stretch.length && starts.length < RUNS_PER_STRETCH; ++at) {
            if (!wordUnit(stretch.charCodeAt(at)) || (at > 0 && wordUnit(stretch.charCodeAt(at - 1)))) continue;
            var start = Math.min(at, stretch.length - 3);
            if (starts.indexOf(start) < 0) starts.push(start);
          }
          if (!starts.length) starts.push(0);
          for (var s = 0; s < starts.length; ++s) out.push({ text: stretch, at: starts[s] });
        }
        i = end;
      }
    }
    return out;
  }

  // The file of the index that holds a run and the runs that begin with its first three
  // characters; the export computes the same.
  function runFile(run, files) {
    var a = run.charCodeAt(0);
    var b = run.length > 1 ? run.charCodeAt(1) : 0;
    var c = run.length > 2 ? run.charCodeAt(2) : 0;
    return (Math.imul((a * 31 + b) * 31 + c, 0x9e3779b1) >>> 8) % files;
  }

  // Parts as the index lists them: "0,3-9,1a" in base 36, single or as ranges, or "~" and a bit
  // per part, five to a digit of base 32; "" for none.
  function partList(list) {
    var parts = [];
    if (!list) return parts;
    if (list.charAt(0) === '~') {
      for (var d = 1; d < list.length; ++d) {
        var bits = parseInt(list.charAt(d), 32);
        for (var b = 0; b < 5; ++b) if (bits & (1 << b)) parts.push((d - 1) * 5 + b);
      }
      return parts;
    }
    var items = list.split(',');
    for (var i = 0; i < items.length; ++i) {
      var range = items[i].split('-');
      var from = parseInt(range[0], 36);
      var to = range.length > 1 ? parseInt(range[1], 36) : from;
      for (var p = from; p <= to; ++p) parts.push(p);
    }
    return parts;
  }

  // The entry of a run in a file of the index: null when it is not listed, else whether runs one
  // longer may be listed ("*"), the parts that hold it, the parts where it stands where no word
  // begins ("|", when it differs), and whether the links where it begins a word are written out
  // in the file ("+"): "\nabc\t*0,3-9,1a|3+".
  function runEntry(text, run) {
    var at = text.indexOf('\n' + run + '\t');
    if (at < 0) return null;
    at += run.length + 2;
    var end = text.indexOf('\n', at);
    var line = text.slice(at, end < 0 ? text.length : end);
    var common = line.charAt(0) === '*';
    if (common) line = line.slice(1);
    var writtenOut = line.charAt(line.length - 1) === '+';
    if (writtenOut) line = line.slice(0, -1);
    var bar = line.indexOf('|');
    var parts = partList(bar < 0 ? line : line.slice(0, bar));
    return { common: common, parts: parts, inWords: bar < 0 ? parts : partList(line.slice(bar + 1)), writtenOut: writtenOut };
  }

  // What a looked-up run tells of the links that can hold it, read from its file: the parts of
  // its longest entry listed (every run of up to three is listed, so one that is not stands in
  // no part; a longer one may have been left out where a shorter is as telling), and when a run
  // on the way there has its links written out, that run and the parts where the longest stands
  // where no word begins: a link that holds it holds it there, or where a word begins, and is then
  // one of the links written out.
  function lookupEntries(text, lookup) {
    var found = runEntry(text, lookup.text.length <= 2 ? lookup.text : lookup.text.substr(lookup.at, 3));
    if (!found) return { parts: [], writtenOut: null, inWords: [] };
    var writtenOut = found.writtenOut ? lookup.text.substr(lookup.at, Math.min(3, lookup.text.length)) : null;
    if (lookup.text.length > 2) {
      for (var length = 4; found.common && lookup.at + length <= lookup.text.length; ++length) {
        var run = lookup.text.substr(lookup.at, length);
        var longer = runEntry(text, run);
        if (!longer) break;
        found = longer;
        if (longer.writtenOut && !writtenOut) writtenOut = run;
      }
    }
    return { parts: found.parts, writtenOut: writtenOut, inWords: found.inWords };
  }

  // The links written out beside a run in a file of the index: {numbers: [...], text: "NAME\tADDRESS\n..."}.
  function writtenOutLinks(lines, run) {
    var at = lines.indexOf('\u0001' + run + '\n');
    var out = { numbers: [], text: '' };
    if (at < 0) return out;
    at += run.length + 2;
    var end = lines.indexOf('\u0001', at);
    var block = lines.slice(at, end < 0 ? lines.length : end);
    var rows = block.split('\n');
    var texts = [];
    for (var r = 0; r < rows.length; ++r) {
      var tab = rows[r].indexOf('\t');
      if (tab < 0) continue;
      out.numbers.push(parseInt(rows[r].slice(0, tab), 36));
      texts.push(rows[r].slice(tab + 1));
    }
    out.text = texts.length ? texts.join('\n') + '\n' : '';
    return out;
  }

  // The links of a search index, as parts arrive: sections and parts in the order of the menu.
  function Collection(index) {
    this.sections = [];
    this.parts = [];
    this.runs = [];
    this.health = Boolean(index.health);
    var first = 0;
    for (var s = 0; s < index.sections.length; ++s) {
      var section = index.sections[s];
      this.sections.push({ name: String(section[0]), links: Number(section[1]) || 0, page: String(section[2] || ''), first: first });
      first += Number(section[1]) || 0;
    }
    first = 0;
    for (var p = 0; p < index.parts.length; ++p) {
      var links = Number(index.parts[p][1]) || 0;
      this.parts.push({ key: String(index.parts[p][0]), first: first, links: links, data: null });
      first += links;
    }
    this.links = first;
    var runs = index.runs || [];
    for (var r = 0; r < runs.length; ++r) this.runs.push({ key: String(runs[r]), text: null, lines: '', written: {} });
  }

  // Takes the text of a part, or of a file of the index; false when it is none of this
  // collection's, or has arrived before. A part is made searchable when first searched.
  Collection.prototype.addPart = function (key, text) {
    var taken = false;
    for (var p = 0; p < this.parts.length; ++p) {
      if (this.parts[p].key === key && this.parts[p].data === null && typeof text === 'string') {
        this.parts[p].data = { text: text, lines: null, folded: null };
        taken = true;
      }
    }
    return taken;
  };
  Collection.prototype.addRuns = function (key, text) {
    var taken = false;
    for (var r = 0; r < this.runs.length; ++r) {
      if (this.runs[r].key === key && this.runs[r].text === null && typeof text === 'string') {
        // The runs, then the links written out.
        var split = text.indexOf('\u0001');
        this.runs[r].text = split < 0 ? text : text.slice(0, split);
        this.runs[r].lines = split < 0 ? '' : text.slice(split);
        taken = true;
      }
    }
    return taken;
  };

  Collection.prototype.prepared = function (p) {
    var data = this.parts[p].data;
    if (data.folded === null) this.parts[p].data = data = preparePart(data.text);
    return data;
  };

  // The parts a query's links can stand in: {parts: [...]} (all of them without an index, or
  // when its words hold no indexed character), or {runs: [...]}, the files of the index still
  // needed.
  // The parts a query's links can stand in: {parts: [...], written: null or the links written out
  // in the index that it may find, made searchable}: every part without an index, or when its
  // words hold no indexed character; or {runs: [...]}, the files of the index still needed.
  Collection.prototype.candidates = function (wanted) {
    var lookups = this.runs.length ? lookupsOf(wanted) : [];
    var missing = [];
    for (var l = 0; l < lookups.length; ++l) {
      lookups[l].file = runFile(lookups[l].text.substr(lookups[l].at, 3), this.runs.length);
      if (this.runs[lookups[l].file].text === null && missing.indexOf(lookups[l].file) < 0) missing.push(lookups[l].file);
    }
    if (missing.length) return { runs: missing };
    // Of the runs whose links are written out, the one that leaves the fewest parts to read.
    var entries = [];
    var best = -1;
    for (var e = 0; e < lookups.length; ++e) {
      entries.push(lookupEntries(this.runs[lookups[e].file].text, lookups[e]));
      if (entries[e].writtenOut && (best < 0 || entries[e].inWords.length < entries[best].inWords.length)) best = e;
    }
    var holds = [];
    for (var p = 0; p < this.parts.length; ++p) holds.push(true);
    for (var n = 0; n < entries.length; ++n) {
      var holding = n === best ? entries[n].inWords : entries[n].parts;
      var now = [];
      for (var q = 0; q < this.parts.length; ++q) now.push(false);
      for (var h = 0; h < holding.length; ++h) if (holding[h] < now.length && holds[holding[h]]) now[holding[h]] = true;
      holds = now;
    }
    var parts = [];
    for (var k = 0; k < holds.length; ++k) if (holds[k]) parts.push(k);
    return { parts: parts, written: best < 0 ? null : this.written(lookups[best].file, entries[best].writtenOut) };
  };

  // The links written out beside a run in a file of the index, made searchable once.
  Collection.prototype.written = function (file, run) {
    var runs = this.runs[file];
    if (!Object.prototype.hasOwnProperty.call(runs.written, run)) {
      var links = writtenOutLinks(runs.lines, run);
      runs.written[run] = { numbers: links.numbers, data: preparePart(links.text) };
    }
    return runs.written[run];
  };

  // The parts that hold the links from first to first + count - 1.
  Collection.prototype.partsOf = function (first, count) {
    var out = [];
    for (var p = 0; p < this.parts.length; ++p) {
      var part = this.parts[p];
      if (part.first < first + count && part.first + part.links > first) out.push(p);
    }
    return out;
  };

  Collection.prototype.sectionOf = function (link) {
    var low = 0;
    var high = this.sections.length - 1;
    while (low < high) {
      var middle = (low + high + 1) >> 1;
      if (this.sections[middle].first <= link) low = middle;
      else high = middle - 1;
    }
    return this.sections[low];
  };

  // The link at a line of a part that has arrived.
  Collection.prototype.link = function (partIndex, line) {
    var part = this.parts[partIndex];
    if (!part.data.lines) part.data.lines = part.data.text.split('\n');
    var fields = part.data.lines[line].split('\t');
    var section = this.sectionOf(part.first + line);
    return { section: section ? section.name : '', name: fields[0], address: fields[1] || '' };
  };

  // The links in whose name or address every word of the query occurs, among the parts that
  // can hold them and have arrived and the links written out in the index: the first `limit` of
  // them in the order of the menu, how many there are (exact: when `exact` is set or there are
  // no more than `limit`; otherwise the search stops at limit + 1), and whether every part that
  // can hold one has been searched. `among`: the candidate parts to search, all of them when
  // absent; -1 among them stands for the links written out.
  Collection.prototype.search = function (query, limit, exact, among) {
    var wanted = words(query);
    var result = { shown: [], total: 0, complete: false, exact: true };
    if (wanted.length === 0) {
      result.complete = true;
      return result;
    }
    var candidates = this.candidates(wanted);
    if (!candidates.parts) return result;
    result.complete = true;
    var hits = [];
    // The links written out: few, so searched whole; a part's line that is one of them is not
    // taken again.
    var written = candidates.written;
    var isWritten = {};
    if (written) {
      for (var w = 0; w < written.numbers.length; ++w) isWritten[written.numbers[w]] = true;
      if (!among || among.indexOf(-1) >= 0) {
        searchPart(written.data, wanted, function (line) {
          hits.push({ number: written.numbers[line], line: line, part: -1 });
        });
      }
    }
    var key = wanted.join('\n');
    var fromParts = 0;
    for (var c = 0; c < candidates.parts.length && result.exact; ++c) {
      var p = candidates.parts[c];
      if (among && among.indexOf(p) < 0) continue;
      if (this.parts[p].data === null) {
        result.complete = false;
        continue;
      }
      var data = this.prepared(p);
      var lines = [];
      var whole = true;
      if (exact) {
        searchPart(data, wanted, function (line) {
          lines.push(line);
        });
      } else {
        // The lines found in a part are kept for the query: a part that arrives later does not
        // have the parts before it searched again. A part is searched up to one more line than
        // can be shown.
        var found = data.found;
        if (!found || found.key !== key || (!found.whole && found.lines.length <= limit)) {
          var kept = [];
          var all = true;
          searchPart(data, wanted, function (line) {
            kept.push(line);
            all = kept.length <= limit;
            return all;
          });
          data.found = found = { key: key, lines: kept, whole: all };
        }
        lines = found.lines;
        whole = found.whole;
      }
      var first = this.parts[p].first;
      for (var i = 0; i < lines.length && result.exact; ++i) {
        if (isWritten[first + lines[i]]) continue;
        hits.push({ number: first + lines[i], line: lines[i], part: p });
        if (++fromParts > limit && !exact) result.exact = false;
      }
      // A part searched only so far holds more beyond: how many is not known.
      if (!whole) result.exact = false;
    }
    if (written) {
      hits.sort(function (a, b) {
        return a.number - b.number;
      });
    }
    result.total = hits.length;
    for (var s = 0; s < hits.length && s < limit; ++s) {
      var hit = hits[s];
      result.shown.push(hit.part < 0 ? this.writtenLink(written, hit.line, hit.number) : this.link(hit.part, hit.line));
    }
    return result;
  };

  // A link written out in the index, at its line there.
  Collection.prototype.writtenLink = function (written, line, number) {
    if (!written.data.lines) written.data.lines = written.data.text.split('\n');
    var fields = written.data.lines[line].split('\t');
    var section = this.sectionOf(number);
    return { section: section ? section.name : '', name: fields[0], address: fields[1] || '' };
  };

  // Addresses that would run code are never made into links, whatever the data hold. The
  // converter's rule of what runs code, read the same way: character references that give ASCII
  // decoded ("javascript&colon;", "&#106;avascript:"), blanks and controls before the scheme and
  // tabs and line breaks within it dropped, letter case set aside. The tests hold both to one
  // table of addresses.
  function isSafeAddress(address) {
    var read = String(address).replace(/&(?:#([xX][0-9a-fA-F]+|[0-9]+);?|(colon|Tab|NewLine);)/g,
      function (whole, number, name) {
        if (name) return name === 'colon' ? ':' : name === 'Tab' ? '\t' : '\n';
        var hex = number.charAt(0) === 'x' || number.charAt(0) === 'X';
        var value = hex ? parseInt(number.slice(1), 16) : parseInt(number, 10);
        return value > 0 && value < 0x80 ? String.fromCharCode(value) : whole;
      });
    var scheme = read
      .replace(/^[\u0000-\u0020]+/, '')
      .replace(/[\t\r\n]/g, '')
      .replace(/[A-Z]/g, function (c) { return c.toLowerCase(); });
    return !/^(javascript|vbscript|data):/.test(scheme);
  }

  function fill(template, values) {
    return String(template || '').replace(/\{(\w+)\}/g, function (whole, key) {
      return key in values ? String(values[key]) : whole;
    });
  }

  function text(form, name) {
    var attribute = 'data-' + name.replace(/[A-Z]/g, function (c) { return '-' + c.toLowerCase(); });
    var own = form && form.getAttribute && form.getAttribute(attribute);
    return own || TEXTS[name];
  }

  // A link of the collection as an element: an anchor opening in target, marked when the link
  // check found it dead (struck through, the reason in its title) or moved (a mark leading to
  // the new address). An address that would run code is shown, not linked.
  function linkElement(document, link, target, health, texts) {
    var safe = isSafeAddress(link.address);
    var anchor = document.createElement(safe ? 'a' : 'span');
    if (safe) {
      anchor.href = link.address;
      anchor.target = target;
      if (target === '_blank') anchor.rel = 'noopener';
    }
    anchor.title = link.address;
    anchor.textContent = link.name || link.address;
    var state = health && Object.prototype.hasOwnProperty.call(health, link.address) ? health[link.address] : null;
    if (!state || typeof state.length !== 'number') return anchor;
    if (state[0] === 'dead') {
      anchor.className = 'dead';
      anchor.title = fill(texts('dead'), { reason: String(state[1] || '') }) + '\n' + link.address;
      return anchor;
    }
    if (state[0] !== 'moved') return anchor;
    var holder = document.createElement('span');
    holder.appendChild(anchor);
    holder.appendChild(document.createTextNode(' '));
    var movedTo = String(state[1] || '');
    var mark = document.createElement(movedTo && isSafeAddress(movedTo) ? 'a' : 'span');
    mark.className = 'moved';
    if (mark.tagName === 'A' || mark.tagName === 'a') {
      mark.href = movedTo;
      mark.target = target;
      if (target === '_blank') mark.rel = 'noopener';
    }
    mark.title = fill(texts('movedTitle'), { address: movedTo });
    mark.textContent = texts('moved');
    holder.appendChild(mark);
    return holder;
  }

  // What a key does in the search. position: -1 for the box, 0... for the results shown.
  // Returns {focus: position}, {open: position}, {clear: true} or null (the key's own action).
  function keyAction(key, position, count) {
    switch (key) {
      case 'Escape':
      case 'Esc':
        return { clear: true };
      case 'Enter':
        return position < 0 ? { open: count > 0 ? 0 : -1 } : null;
      case 'ArrowDown':
      case 'Down':
        return count > 0 ? { focus: Math.min(position + 1, count - 1) } : null;
      case 'ArrowUp':
      case 'Up':
        return position >= 0 ? { focus: position - 1 } : null;
      default:
        return null;
    }
  }

  // '/' focuses the box from anywhere, except where it is typed as text.
  function slashFocusesBox(event) {
    if (event.key !== '/' || event.ctrlKey || event.altKey || event.metaKey) return false;
    var target = event.target || {};
    var tag = String(target.tagName || '').toUpperCase();
    return !(tag === 'INPUT' || tag === 'TEXTAREA' || tag === 'SELECT' || target.isContentEditable);
  }

  function queryOf(locationSearch) {
    try {
      return new URLSearchParams(locationSearch).get('q') || '';
    } catch (old) {
      return '';
    }
  }

  function mark(window, name) {
    try {
      window.performance.mark(name);
    } catch (none) {
      // Timing marks are for the measurements only.
    }
  }

  // The folder this script was loaded from, where the data lie.
  function ownFolder(document) {
    var script = document.currentScript;
    var src = script && script.src ? script.src : '';
    return src ? src.replace(/[^\/]*$/, '') : 'export/';
  }

  // The ids a section's #ANCHOR may name it by: as written (the page name without .html, blanks
  // and control characters as "_"), or the page name itself, percent-encoded or not.
  function anchorIds(hash) {
    var raw = String(hash || '').replace(/^#/, '');
    var name = raw;
    try {
      name = decodeURIComponent(raw);
    } catch (malformed) {
      // A stray '%' stays as it is.
    }
    if (!name) return [];
    name = name.replace(/\.html$/i, '');
    var written = name.replace(/[\u0000-\u0020\u007f]/g, '_');
    var out = [name];
    if (written !== name) out.push(written);
    return out;
  }

  // A page with the search: the start page, or the one-page view (which also has #sections).
  function Page(window, index, folder) {
    var document = window.document;
    this.window = window;
    this.document = document;
    this.folder = folder;
    this.collection = new Collection(index);
    this.form = document.getElementById('search');
    this.box = this.form.elements.q;
    this.results = document.getElementById('results');
    this.startText = document.getElementById('start');
    this.sectionList = document.getElementById('sections');
    this.target = this.form.getAttribute('data-target') || 'index';
    this.requested = {};
    this.waiting = [];
    this.loading = 0;
    this.found = null;
    this.summary = null;
    this.counting = null;
    this.health = null;
    this.healthRequested = false;
    this.query = '';
    this.shown = [];
    this.pendingSections = [];
    var form = this.form;
    this.texts = function (name) {
      return text(form, name);
    };
  }

  // Loads a file of the export beside this script, side by side with the others; a file whose
  // data the page holds already (`held`) is taken from it at once.
  Page.prototype.load = function (src, onload, held, onerror) {
    if (held) {
      var window = this.window;
      window.setTimeout(onload, 0);
      return;
    }
    var script = this.document.createElement('script');
    script.src = this.folder + src;
    script.async = true;
    script.onload = onload;
    // A missing file leaves the page as it is: no results from it, no marks.
    script.onerror = onerror || function () {};
    (this.document.head || this.document.body).appendChild(script);
  };

  // The link check's marks, when the export found them (or the page holds them).
  Page.prototype.needHealth = function () {
    if (this.healthRequested) return;
    this.healthRequested = true;
    var page = this;
    var held = page.window.trevantoLinkHealth;
    if (!held && !this.collection.health) return;
    this.load('link-health.js', function () {
      var health = page.window.trevantoLinkHealth;
      if (health && typeof health === 'object') {
        page.health = health;
        page.refresh();
      }
    }, Boolean(held));
  };

  // Loads the parts given, each once, a few at a time in the order given, before any asked for
  // earlier; each is searched as it arrives. So the first page of a query that many links answer
  // shows once the first parts have arrived, and the others follow for the count. The link
  // check's marks are loaded beside them, never before them.
  Page.prototype.needParts = function (wanted) {
    this.needHealth();
    var asked = [];
    for (var i = 0; i < wanted.length; ++i) {
      if (!this.requested[this.collection.parts[wanted[i]].key] && asked.indexOf(wanted[i]) < 0) asked.push(wanted[i]);
    }
    this.waiting = asked.concat(this.waiting.filter(function (p) {
      return asked.indexOf(p) < 0;
    }));
    this.loadWaiting();
  };

  Page.prototype.loadWaiting = function () {
    var held = this.window.trevantoSearchParts || {};
    while (this.loading < PARTS_AT_ONCE && this.waiting.length) {
      var part = this.collection.parts[this.waiting.shift()];
      if (this.requested[part.key]) continue;
      this.requested[part.key] = true;
      // A part the page holds is taken at once, whatever the number loading.
      var isHeld = typeof held[part.key] === 'string';
      if (!isHeld) ++this.loading;
      var arrived = this.partLoaded.bind(this, part.key, !isHeld);
      this.load('search-part-' + part.key + '.js', arrived, isHeld, arrived);
    }
  };

  Page.prototype.partLoaded = function (key, loaded) {
    if (loaded) --this.loading;
    this.loadWaiting();
    var parts = this.window.trevantoSearchParts || {};
    if (!this.collection.addPart(key, parts[key])) return;
    delete parts[key];
    if (this.query) {
      // Results complete stay as they are shown; only their count may still wait for parts.
      var shown = this.found;
      if (shown && shown.query === this.query && shown.complete) {
        if (!shown.exact) this.countLater();
      } else {
        this.showResultsSoon();
      }
    }
    this.fillPendingSections();
  };

  // The results shown again once the parts arriving together have been taken: one search and
  // one writing of the results for them all.
  Page.prototype.showResultsSoon = function () {
    if (this.showPending) return;
    this.showPending = true;
    var page = this;
    this.window.setTimeout(function () {
      page.showPending = false;
      if (page.query) page.showResults();
    }, 0);
  };

  Page.prototype.refresh = function () {
    if (this.query) this.showResults();
    if (!this.sectionList) return;
    var opened = this.sectionList.querySelectorAll('ul.links');
    for (var i = 0; i < opened.length; ++i) opened[i].parentNode.removeChild(opened[i]);
    var expanded = this.sectionList.querySelectorAll('a.section[aria-expanded="true"]');
    for (var e = 0; e < expanded.length; ++e) this.fillSection(expanded[e].parentNode);
  };

  // Shows the results of the box's query; the parts still missing are loaded and the results
  // grow as they arrive.
  Page.prototype.search = function (query) {
    this.query = words(query).length ? query : '';
    if (this.query) {
      var candidates = this.collection.candidates(words(query));
      if (candidates.runs) this.needRuns(candidates.runs);
      else this.needParts(candidates.parts);
    }
    this.showResults();
  };

  Page.prototype.needRuns = function (files) {
    var held = this.window.trevantoSearchRuns || {};
    for (var i = 0; i < files.length; ++i) {
      var file = this.collection.runs[files[i]];
      if (this.requested[file.key]) continue;
      this.requested[file.key] = true;
      this.load('search-runs-' + file.key + '.js', this.runsLoaded.bind(this, file.key), typeof held[file.key] === 'string');
    }
  };

  Page.prototype.runsLoaded = function (key) {
    var runs = this.window.trevantoSearchRuns || {};
    if (!this.collection.addRuns(key, runs[key])) return;
    delete runs[key];
    // The parts are asked for once every file of the index the query needs has arrived.
    if (this.query && !this.collection.candidates(words(this.query)).runs) this.search(this.query);
  };

  Page.prototype.showResults = function () {
    var document = this.document;
    var results = this.results;
    while (results.firstChild) results.removeChild(results.firstChild);
    this.shown = [];
    this.found = null;
    this.summary = null;
    if (!this.query) {
      results.style.display = 'none';
      if (this.startText) this.startText.style.display = '';
      if (this.sectionList) this.sectionList.style.display = '';
      return;
    }
    var found = this.collection.search(this.query, MAX_SHOWN, false);
    var summary = document.createElement('p');
    summary.className = 'summary';
    summary.setAttribute('role', 'status');
    if (found.total === 0) {
      summary.textContent = found.complete ? this.texts('none') : this.texts('searching');
    } else {
      this.summarize(summary, found.exact ? found.total : MAX_SHOWN + 1, found.exact && found.complete);
    }
    results.appendChild(summary);
    this.found = found;
    found.query = this.query;
    this.summary = summary;
    if (!found.exact && found.complete) this.countLater();
    var list = document.createElement('ol');
    var page = this;
    var next = 0;
    // A screenful at once, the rest of them right after: typing never waits for those.
    var write = function (count) {
      var end = Math.min(found.shown.length, next + count);
      for (; next < end; ++next) {
        var link = found.shown[next];
        var item = document.createElement('li');
        var section = document.createElement('span');
        section.className = 'section';
        section.textContent = link.section;
        item.appendChild(section);
        item.appendChild(document.createTextNode(' '));
        var element = linkElement(document, link, page.target, page.health, page.texts);
        item.appendChild(element);
        list.appendChild(item);
        var anchor = element.tagName === 'SPAN' ? element.firstChild : element;
        if (anchor && anchor.tagName === 'A') page.shown.push(anchor);
      }
    };
    write(FIRST_SHOWN);
    if (next < found.shown.length) {
      this.window.setTimeout(function () {
        if (list.parentNode) write(found.shown.length);
      }, 0);
    }
    results.appendChild(list);
    results.style.display = '';
    if (this.startText) this.startText.style.display = 'none';
    if (this.sectionList) this.sectionList.style.display = 'none';
    if (found.shown.length && !this.firstShown) {
      this.firstShown = true;
      var window = this.window;
      window.requestAnimationFrame(function () {
        mark(window, 'trevanto-first-result');
      });
    }
    if (found.complete && !this.completeShown) {
      this.completeShown = true;
      var win = this.window;
      win.requestAnimationFrame(function () {
        mark(win, 'trevanto-results');
      });
    }
    return found;
  };

  Page.prototype.summarize = function (summary, total, final) {
    summary.textContent = fill(this.texts('found'), { n: final ? total : '\u2265 ' + total });
    if (total > MAX_SHOWN) summary.textContent += ' ' + fill(this.texts('shown'), { shown: MAX_SHOWN });
    if (!final) summary.textContent += ' ' + this.texts('searching');
  };

  // The number of links found, counted a few parts at a time once every part that can hold one
  // has arrived, after the first results show, so that typing never waits for it.
  Page.prototype.countLater = function () {
    var summary = this.summary;
    if (!summary || this.counting === summary) return;
    var candidates = this.collection.candidates(words(this.query));
    if (!candidates.parts) return;
    for (var c = 0; c < candidates.parts.length; ++c) {
      if (this.collection.parts[candidates.parts[c]].data === null) return;
    }
    this.counting = summary;
    var page = this;
    var query = this.query;
    var parts = [-1].concat(this.collection.parts.map(function (part, p) {
      return p;
    }));
    var total = 0;
    var step = function () {
      if (page.query !== query || !summary.parentNode) return;
      total += page.collection.search(query, 0, true, parts.splice(0, 4)).total;
      if (parts.length) page.window.setTimeout(step, 0);
      else page.summarize(summary, total, true);
    };
    this.window.setTimeout(step, 0);
  };

  Page.prototype.open = function (position) {
    var anchor = this.shown[position];
    if (!anchor || !anchor.href) return;
    this.window.open(anchor.href, this.target, this.target === '_blank' ? 'noopener' : '');
  };

  Page.prototype.onKey = function (event, position) {
    var action = keyAction(event.key, position, this.shown.length);
    if (!action) return;
    event.preventDefault();
    if (action.clear) {
      this.box.value = '';
      this.search('');
      this.remember('');
      this.box.focus();
    } else if ('open' in action) {
      this.open(action.open);
    } else if (action.focus < 0) {
      this.box.focus();
    } else {
      this.shown[action.focus].focus();
    }
  };

  // The query in the page's address, so that a search can be bookmarked and comes back.
  Page.prototype.remember = function (query) {
    try {
      var url = new this.window.URL(this.window.location.href);
      if (query) url.searchParams.set('q', query);
      else url.searchParams.delete('q');
      this.window.history.replaceState(null, '', url.href);
    } catch (notAllowed) {
      // Some browsers keep a file:// page's address as it is.
    }
  };

  // The links of a section of the one-page view, under its name.
  Page.prototype.toggleSection = function (item) {
    var anchor = item.querySelector('a.section');
    var open = anchor.getAttribute('aria-expanded') === 'true';
    anchor.setAttribute('aria-expanded', open ? 'false' : 'true');
    var list = item.querySelector('ul.links');
    if (open) {
      if (list) list.hidden = true;
      return;
    }
    if (list) list.hidden = false;
    else this.fillSection(item);
  };

  Page.prototype.fillSection = function (item) {
    var section = this.collection.sections[Number(item.getAttribute('data-section'))];
    if (!section) return;
    var parts = this.collection.partsOf(section.first, section.links);
    var missing = parts.filter(function (p) {
      return this.collection.parts[p].data === null;
    }, this);
    if (missing.length) {
      if (this.pendingSections.indexOf(item) < 0) this.pendingSections.push(item);
      this.needParts(missing);
      return;
    }
    this.needHealth();
    var document = this.document;
    var list = document.createElement('ul');
    list.className = 'links';
    item.appendChild(list);
    var page = this;
    var next = 0;
    var batch = function () {
      var end = Math.min(next + SECTION_BATCH, section.links);
      for (; next < end; ++next) {
        var at = section.first + next;
        var p = page.collection.partsOf(at, 1)[0];
        var link = page.collection.link(p, at - page.collection.parts[p].first);
        var entry = document.createElement('li');
        entry.appendChild(linkElement(document, link, page.target, page.health, page.texts));
        list.appendChild(entry);
      }
      if (next < section.links && list.parentNode) page.window.setTimeout(batch, 0);
    };
    batch();
  };

  Page.prototype.fillPendingSections = function () {
    var pending = this.pendingSections;
    this.pendingSections = [];
    for (var i = 0; i < pending.length; ++i) {
      if (!pending[i].querySelector('ul.links')) this.fillSection(pending[i]);
    }
  };

  // The section the address's #ANCHOR names, opened and brought into view.
  Page.prototype.openAnchored = function () {
    if (!this.sectionList) return;
    var ids = anchorIds(this.window.location.hash);
    var item = null;
    for (var i = 0; i < ids.length && !item; ++i) {
      item = this.document.getElementById(ids[i]);
      if (item && !item.hasAttribute('data-section')) item = null;
    }
    if (!item) return;
    var anchor = item.querySelector('a.section');
    if (anchor.getAttribute('aria-expanded') !== 'true') this.toggleSection(item);
    item.scrollIntoView();
  };

  Page.prototype.wire = function () {
    var page = this;
    var box = this.box;
    var document = this.document;
    box.addEventListener('input', function () {
      page.search(box.value);
      page.remember(box.value.trim() ? box.value : '');
    });
    box.addEventListener('keydown', function (event) {
      page.onKey(event, -1);
    });
    this.results.addEventListener('keydown', function (event) {
      var position = page.shown.indexOf(document.activeElement);
      if (position >= 0) page.onKey(event, position);
    });
    this.form.addEventListener('submit', function (event) {
      event.preventDefault();
    });
    document.addEventListener('keydown', function (event) {
      if (!slashFocusesBox(event)) return;
      event.preventDefault();
      box.focus();
      box.select();
    });
    if (!this.sectionList) return;
    this.sectionList.addEventListener('click', function (event) {
      var anchor = event.target.closest ? event.target.closest('a.section') : null;
      if (!anchor || event.ctrlKey || event.metaKey || event.shiftKey || event.button !== 0) return;
      event.preventDefault();
      page.toggleSection(anchor.parentNode);
    });
    this.window.addEventListener('hashchange', function () {
      page.openAnchored();
    });
  };

  // Shows the search box, and the results of ?q=WORDS in the page's address.
  function start(window) {
    var document = window.document;
    var form = document.getElementById('search');
    var index = window.trevantoSearchIndex;
    if (!form || !document.getElementById('results') || !index || !index.parts || !index.sections) return null;
    var page = new Page(window, index, ownFolder(document));
    page.wire();
    form.style.display = '';
    page.box.value = queryOf(window.location.search);
    if (page.box.value) page.search(page.box.value);
    page.openAnchored();
    if (form.hasAttribute('data-focus')) page.box.focus();
    mark(window, 'trevanto-ready');
    return page;
  }

  var api = {
    fold: fold,
    words: words,
    preparePart: preparePart,
    searchPart: searchPart,
    lookupsOf: lookupsOf,
    anchorIds: anchorIds,
    Collection: Collection,
    isSafeAddress: isSafeAddress,
    linkElement: linkElement,
    keyAction: keyAction,
    slashFocusesBox: slashFocusesBox,
    start: start,
    MAX_SHOWN: MAX_SHOWN,
    TEXTS: TEXTS,
  };
  if (typeof module === 'object' && module.exports) {
    module.exports = api;
  } else {
    root.trevantoSearch = api;
    if (root.document) root.trevantoSearchPage = start(root);
  }
})(this);
