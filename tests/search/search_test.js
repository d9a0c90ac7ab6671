// SPDX-License-Identifier: MIT
// The start page's search logic (templates/search.js), and the data a run writes for it.
// Run by ctest: node search_test.js TEMPLATES_DIR CONVERTER
'use strict';

const test = require('node:test');
const assert = require('node:assert');
const childProcess = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const vm = require('node:vm');

const [templates, converter] = process.argv.slice(2).map((arg) => path.resolve(arg));
const searchScript = path.join(templates, 'search.js');
const logic = require(searchScript);

const data = [
  ['Новости', 'Ёлка на площади', 'http://news.example/elka', 'Weather Report', 'https://weather.example/forecast?days=7'],
  ['Reference & Docs', 'Tom & Jerry <b>', 'http://t.example/a&b', 'C++ (regex) [x] .* $1 \\d', 'http://c.example/'],
  ['Архив', 'Энциклопедия', 'https://wiki.example/%D0%97%D0%B0%D0%BA%D0%BB%D0%B0%D0%B4%D0%BA%D0%B0', 'broken', 'http://b.example/%E0%A4%A',
    'line break', 'http://l.example/%0Aword%0a'],
  ['Empty'],
];

// The data as a run writes them: an index, and the links in parts of `perPart` lines (a section
// may run over several parts).
function collectionOf(sections, perPart) {
  const lines = [];
  const index = { parts: [], sections: [] };
  for (const [name, ...fields] of sections) {
    index.sections.push([name, fields.length / 2, name + '.html']);
    for (let i = 0; i < fields.length; i += 2) lines.push(fields[i] + '\t' + fields[i + 1] + '\n');
  }
  const texts = [];
  for (let i = 0; i < lines.length; i += perPart) texts.push(lines.slice(i, i + perPart).join(''));
  index.parts = texts.map((text, p) => ['g-' + p, text.split('\n').length - 1]);
  const collection = new logic.Collection(index);
  return { collection, texts };
}
const whole = collectionOf(data, 2);
whole.texts.forEach((text, p) => assert.ok(whole.collection.addPart('g-' + p, text)));
const links = whole.collection;
const names = (query) => links.search(query, 1000).shown.map((link) => link.name);

test('every word must occur in the name or the address, in any order', () => {
  assert.deepStrictEqual(names('weather'), ['Weather Report']);
  assert.deepStrictEqual(names('report forecast'), ['Weather Report']); // one in the name, one in the address
  assert.deepStrictEqual(names('forecast   weather\t'), ['Weather Report']);
  assert.deepStrictEqual(names('weather elka'), []);
  assert.deepStrictEqual(names('example').length, 7);
});

test('letter case never matters, Cyrillic included, and yo reads as ye', () => {
  assert.deepStrictEqual(names('WEATHER'), ['Weather Report']);
  assert.deepStrictEqual(names('ёлка'), ['Ёлка на площади']);
  assert.deepStrictEqual(names('ЕЛКА ПЛОЩАДИ'), ['Ёлка на площади']);
  assert.deepStrictEqual(names('елка'), ['Ёлка на площади']);
  assert.deepStrictEqual(names('энциклопедия'), ['Энциклопедия']);
});

test('a percent-encoded address is searched as it reads, a malformed one as it stands', () => {
  assert.deepStrictEqual(names('закладка'), ['Энциклопедия']);
  assert.deepStrictEqual(names('%E0%A4%A'), ['broken']);
});

test('no words, or words nowhere, find nothing; the section is not searched', () => {
  assert.deepStrictEqual(names(''), []);
  assert.deepStrictEqual(names('   '), []);
  assert.deepStrictEqual(names('nowhere'), []);
  assert.deepStrictEqual(names('архив'), []);
  assert.strictEqual(links.search('weather', 10).shown[0].section, 'Новости');
  assert.deepStrictEqual(links.search('энциклопедия', 10).shown[0],
    { section: 'Архив', name: 'Энциклопедия', address: 'https://wiki.example/%D0%97%D0%B0%D0%BA%D0%BB%D0%B0%D0%B4%D0%BA%D0%B0' });
});

test('a word is found once per link, in the order of the menu, whatever the parts', () => {
  for (const perPart of [1, 2, 3, 100]) {
    const { collection, texts } = collectionOf(data, perPart);
    texts.forEach((text, p) => collection.addPart('g-' + p, text));
    const found = collection.search('example', 4, true);
    assert.strictEqual(found.total, 7, `parts of ${perPart}`);
    const first = collection.search('example', 4, false);
    assert.deepStrictEqual([first.total, first.exact, first.shown], [5, false, found.shown], 'without a count the search stops after the shown');
    assert.deepStrictEqual(collection.search('example', 7, false).exact, true);
    assert.deepStrictEqual(found.shown.map((link) => link.name), ['Ёлка на площади', 'Weather Report', 'Tom & Jerry <b>', 'C++ (regex) [x] .* $1 \\d']);
    assert.deepStrictEqual(collection.search('broken', 4).shown.map((link) => link.section), ['Архив']);
  }
});

test('parts that have not arrived are not searched, and the result says it is not complete', () => {
  const { collection, texts } = collectionOf(data, 2);
  assert.deepStrictEqual(collection.search('example', 10), { shown: [], total: 0, complete: false, exact: true });
  assert.ok(collection.addPart('g-2', texts[2]));
  assert.ok(!collection.addPart('g-2', texts[2]), 'a part is taken once');
  assert.ok(!collection.addPart('other-0', texts[0]), 'a part of another export is not taken');
  assert.deepStrictEqual(collection.search('example', 10).shown.map((link) => link.name), ['Энциклопедия', 'broken']);
  texts.forEach((text, p) => collection.addPart('g-' + p, text));
  assert.strictEqual(collection.search('example', 10).complete, true);
  assert.deepStrictEqual(collection.partsOf(3, 2), [1, 2]); // the links of the section Архив begin in the second part
});

test('a decoded line break in an address neither splits its link nor hides its words', () => {
  assert.deepStrictEqual(names('word'), ['line break']);
  assert.deepStrictEqual(names('line word'), ['line break']);
  assert.deepStrictEqual(links.search('line', 10).shown.map((link) => link.address), ['http://l.example/%0Aword%0a']);
});

test('characters special in HTML or regular expressions are plain characters', () => {
  assert.deepStrictEqual(names('<b>'), ['Tom & Jerry <b>']);
  assert.deepStrictEqual(names('&'), ['Tom & Jerry <b>']);
  assert.deepStrictEqual(names('a&b'), ['Tom & Jerry <b>']);
  assert.deepStrictEqual(names('(regex) [x]'), ['C++ (regex) [x] .* $1 \\d']);
  assert.deepStrictEqual(names('.* $1 \\d c++'), ['C++ (regex) [x] .* $1 \\d']);
  assert.deepStrictEqual(names('.*'), ['C++ (regex) [x] .* $1 \\d']);
  assert.deepStrictEqual(names('^'), []);
  assert.deepStrictEqual(names('*'), ['C++ (regex) [x] .* $1 \\d']);
});

// The converter's rule of what runs code (site::isUnsafeAddress) is tested over the same table.
test('addresses that would run code are never made links, by the table the converter is held to', () => {
  const table = JSON.parse(fs.readFileSync(path.join(__dirname, '..', 'runs_code_addresses.json'), 'utf8'));
  assert.ok(table['runs code'].length > 10);
  for (const address of table['runs code']) assert.strictEqual(logic.isSafeAddress(address), false, JSON.stringify(address));
  for (const address of table.safe) assert.strictEqual(logic.isSafeAddress(address), true, JSON.stringify(address));
});

test('keys: Enter opens the first result, arrows move, Esc clears; / focuses the box from outside any field', () => {
  assert.deepStrictEqual(logic.keyAction('Enter', -1, 3), { open: 0 });
  assert.deepStrictEqual(logic.keyAction('Enter', -1, 0), { open: -1 });
  assert.strictEqual(logic.keyAction('Enter', 1, 3), null, 'a focused result opens as a link does');
  assert.deepStrictEqual(logic.keyAction('ArrowDown', -1, 3), { focus: 0 });
  assert.deepStrictEqual(logic.keyAction('ArrowDown', 2, 3), { focus: 2 });
  assert.strictEqual(logic.keyAction('ArrowDown', -1, 0), null);
  assert.deepStrictEqual(logic.keyAction('ArrowUp', 0, 3), { focus: -1 });
  assert.strictEqual(logic.keyAction('ArrowUp', -1, 3), null);
  assert.deepStrictEqual(logic.keyAction('Escape', 2, 3), { clear: true });
  assert.strictEqual(logic.keyAction('a', -1, 3), null);

  const slash = (target, more) => logic.slashFocusesBox(Object.assign({ key: '/', target }, more));
  assert.strictEqual(slash({ tagName: 'BODY' }), true);
  assert.strictEqual(slash({ tagName: 'A' }), true);
  assert.strictEqual(slash({ tagName: 'INPUT' }), false);
  assert.strictEqual(slash({ tagName: 'textarea' }), false);
  assert.strictEqual(slash({ tagName: 'DIV', isContentEditable: true }), false);
  assert.strictEqual(slash({ tagName: 'BODY' }, { ctrlKey: true }), false);
  assert.strictEqual(logic.slashFocusesBox({ key: '?', target: { tagName: 'BODY' } }), false);
});

// Just enough of a document for linkElement.
const fakeDocument = {
  createElement: (tag) => ({
    tagName: tag.toUpperCase(), className: '', title: '', childNodes: [],
    appendChild(child) { this.childNodes.push(child); },
    set textContent(text) { this.text = text; }, get textContent() { return this.text; },
  }),
  createTextNode: (text) => ({ text }),
};
const texts = (name) => logic.TEXTS[name];

test('the link check marks dead links struck through with the reason, and moved ones with the new address', () => {
  const health = {
    'http://dead.example/': ['dead', '404 Not Found'],
    'http://old.example/': ['moved', 'https://new.example/'],
    'http://sly.example/': ['moved', 'javascript:alert(1)'],
    'http://odd.example/': 'not a list',
  };
  const element = (address) => logic.linkElement(fakeDocument, { name: 'N', address }, '_blank', health, texts);

  const fine = element('http://fine.example/');
  assert.deepStrictEqual([fine.tagName, fine.href, fine.target, fine.rel, fine.className, fine.title],
    ['A', 'http://fine.example/', '_blank', 'noopener', '', 'http://fine.example/']);

  const dead = element('http://dead.example/');
  assert.strictEqual(dead.className, 'dead');
  assert.ok(dead.title.includes('404 Not Found') && dead.title.includes('http://dead.example/'), dead.title);
  assert.strictEqual(dead.href, 'http://dead.example/', 'a dead link still opens');

  const moved = element('http://old.example/');
  assert.strictEqual(moved.tagName, 'SPAN');
  const [link, , note] = moved.childNodes;
  assert.strictEqual(link.href, 'http://old.example/');
  assert.deepStrictEqual([note.tagName, note.className, note.href, note.target], ['A', 'moved', 'https://new.example/', '_blank']);
  assert.ok(note.title.includes('https://new.example/'));

  const sly = element('http://sly.example/').childNodes[2];
  assert.deepStrictEqual([sly.tagName, sly.href], ['SPAN', undefined], 'a new address that would run code is no link');
  assert.strictEqual(element('http://odd.example/').className, '');
  assert.strictEqual(logic.linkElement(fakeDocument, { name: 'N', address: 'http://dead.example/' }, 'index', null, texts).className, '',
    'without the check\'s file no link is marked');
  assert.strictEqual(logic.linkElement(fakeDocument, { name: 'N', address: 'constructor' }, 'index', {}, texts).className, '');
});

test('the data a run writes load as a script and find what the pages hold', { skip: !converter }, () => {
  const root = fs.mkdtempSync(path.join(os.tmpdir(), 'trevanto-search-'));
  try {
    const shortcut = (folder, name, address) => {
      fs.mkdirSync(path.join(root, 'src', folder), { recursive: true });
      fs.writeFileSync(path.join(root, 'src', folder, `${name}.url`), `[InternetShortcut]\r\nURL=${address}\r\n`);
    };
    shortcut('Новости', 'Ёжик в тумане', 'http://a.example/ёж');
    shortcut('Новости', 'say "hi" <script>x', 'http://b.example/?q="1"&r=\\');
    shortcut('Emoji', 'smile 😀 \u2028 line', 'http://c.example/');
    fs.mkdirSync(path.join(root, 'site'));
    const run = childProcess.spawnSync(converter, ['--templates', templates, path.join(root, 'src'), path.join(root, 'site')]);
    assert.strictEqual(run.status, 0, String(run.stderr));

    const exportFolder = path.join(root, 'site', 'export');
    const context = {};
    for (const name of ['search-data.js', ...fs.readdirSync(exportFolder).filter((n) => /^search-(part|runs)-/.test(n))]) {
      const bytes = fs.readFileSync(path.join(exportFolder, name));
      assert.ok(bytes.every((byte) => byte < 0x80), `${name}: the data are ASCII, whatever the page declares`);
      vm.runInNewContext(bytes.toString('latin1'), context);
    }
    const collection = new logic.Collection(context.trevantoSearchIndex);
    assert.deepStrictEqual(collection.sections.map((s) => [s.name, s.links, s.page]),
      [['Emoji', 1, 'Emoji.html'], ['Новости', 2, '%D0%9D%D0%BE%D0%B2%D0%BE%D1%81%D1%82%D0%B8.html']]);
    for (const [key, text] of Object.entries(context.trevantoSearchParts)) assert.ok(collection.addPart(key, text), key);
    for (const [key, text] of Object.entries(context.trevantoSearchRuns)) assert.ok(collection.addRuns(key, text), key);
    assert.deepStrictEqual(collection.search('', 10).total, 0);
    assert.deepStrictEqual(collection.search(':', 10).shown.map((link) => [link.section, link.name, link.address]), [
      ['Emoji', 'smile 😀 \u2028 line', 'http://c.example/'],
      ['Новости', 'say "hi" <script>x', 'http://b.example/?q=%221%22&r=\\'],
      ['Новости', 'Ёжик в тумане', 'http://a.example/%D1%91%D0%B6'],
    ]);
    assert.deepStrictEqual(collection.search('ЕЖ', 10).shown.map((link) => link.name), ['Ёжик в тумане']);
    assert.deepStrictEqual(collection.search('😀', 10).shown.map((link) => link.name), ['smile 😀 \u2028 line']);
    assert.strictEqual(fs.readFileSync(path.join(root, 'site', 'export', 'search.js'), 'latin1'),
      fs.readFileSync(searchScript, 'latin1'));
  } finally {
    fs.rmSync(root, { recursive: true, force: true });
  }
});

test('the index of runs never hides a link, and a rare word, number or letter needs few parts', { skip: !converter }, () => {
  const root = fs.mkdtempSync(path.join(os.tmpdir(), 'trevanto-runs-'));
  try {
    const names = ['Ёлка', 'ЁЖИК', 'елочка', 'Straße', 'İstanbul', '\u212Aelvin', 'a\u00A0b', 'x😀y', 'Tab\u2028line', 'Mixed КИРИЛЛИЦА'];
    // Six digits each, all different, so that every run of three digits stands in every part.
    const number = (i) => String((i * 7919 + 104729) % 1000000).padStart(6, '0');
    const addresses = ['http://a.example/%D0%81%D0%BB%D0%BA%D0%B0', 'http://b.example/%E0%A4%A', 'https://c.example/%0Anew%0Aline',
      'http://d.example/ПУТЬ', 'http://e.example/%C4%B0', 'mailto:x@y.example'];
    for (let i = 0; i < 3000; ++i) {
      const folder = path.join(root, 'src', `S${i % 3}`);
      fs.mkdirSync(folder, { recursive: true });
      // A word in 21 links spread over every part (and once inside another word), a letter in 16.
      const extra = `${i === 1234 ? ' Щука' : ''}${i % 149 === 7 ? ' Окунь' : ''}${i === 2500 ? ' xокуньx' : ''}${i % 199 === 11 ? ' Юла' : ''}`;
      fs.writeFileSync(path.join(folder, `${names[i % names.length]} ${i}${extra}.url`),
        `[InternetShortcut]\r\nURL=${addresses[i % addresses.length]}?n=${i}&id=${number(i)}&pad=${'p'.repeat(400)}\r\n`);
    }
    fs.mkdirSync(path.join(root, 'site'));
    const run = childProcess.spawnSync(converter, ['--templates', templates, path.join(root, 'src'), path.join(root, 'site')]);
    assert.strictEqual(run.status, 0, String(run.stderr));
    const exportFolder = path.join(root, 'site', 'export');
    const context = {};
    for (const name of fs.readdirSync(exportFolder).filter((n) => n.startsWith('search-'))) {
      vm.runInNewContext(fs.readFileSync(path.join(exportFolder, name), 'latin1'), context);
    }
    const index = context.trevantoSearchIndex;
    const withRuns = new logic.Collection(index);
    const without = new logic.Collection(Object.assign({}, index, { runs: [] }));
    assert.ok(withRuns.parts.length >= 8, `${withRuns.parts.length} parts`);
    for (const [key, text] of Object.entries(context.trevantoSearchParts)) {
      assert.ok(withRuns.addPart(key, text) && without.addPart(key, text), key);
    }
    for (const [key, text] of Object.entries(context.trevantoSearchRuns)) assert.ok(withRuns.addRuns(key, text), key);

    const queries = ['елка', 'ЁЛКА', 'ёжик 12', 'strasse', 'straße', 'istanbul', 'i̇stanbul', 'kelvin', 'KELVIN', 'a b', 'x😀y',
      'путь', 'ПУТЬ', '%d0%bf', 'new line', '%0anew', 'ёлк', 'ка', 'n=2399', 'n=2399&', '=239', 'кириллица mixed 77', 'pad=ppp',
      'mailto', '%e0%a4%a', 'nowhere', 'ел', 'é', number(1234), number(1234).slice(1), number(1234).slice(0, 5),
      `id=${number(1234)}`, `=${number(1234)}&pad`, 'щ', 'Щ', 'щу', 'щука', 'ёлка 1234', '1234', 'ppppppppppp', 'instanbul',
      `${number(1234)}0`, '7', 'z', 'окунь', 'ОКУНЬ 1', 'окун', 'кунь', 'ю', 'юла', 'юла 211', 'ю 1', 'xокунь'];
    for (const query of queries) {
      const found = withRuns.search(query, 10000);
      const expected = without.search(query, 10000);
      assert.strictEqual(found.complete, true, query);
      assert.deepStrictEqual([found.total, found.shown], [expected.total, expected.shown], query);
    }
    assert.ok(without.search('ёлка', 10).total > 0 && without.search('kelvin', 10).total > 0);
    const parts = (query) => withRuns.candidates(logic.words(query)).parts.length;
    assert.strictEqual(parts('nowhere'), 0);
    assert.strictEqual(parts('z'), 0, 'a letter no link holds: no part');
    assert.ok(parts('ка') < withRuns.parts.length, 'two letters: the parts that hold them');
    // A number whose every run of three stands in every part, a letter and a word found once.
    assert.strictEqual(without.search(number(1234), 10).total, 1);
    for (const query of [number(1234), `id=${number(1234)}`, 'щ', 'щука', 'Ёлка ' + number(1234)]) {
      assert.ok(parts(query) <= 2, `${query}: ${parts(query)} of ${withRuns.parts.length} parts`);
    }
    // Few links spread over every part are read from the index itself, in the order of the menu
    // with the one found in a part, and the search stops at the limit as without the index.
    const written = (query) => withRuns.candidates(logic.words(query)).written;
    assert.strictEqual(written('окунь').numbers.length, 21);
    assert.strictEqual(parts('окунь'), 1, 'the part where it stands inside a word');
    assert.ok(withRuns.search('окунь', 100).shown.some((link) => link.name.indexOf('xокуньx') >= 0));
    assert.deepStrictEqual(withRuns.search('окунь', 5).shown, without.search('окунь', 5).shown);
    assert.strictEqual(written('ю').numbers.length, 16);
    assert.strictEqual(parts('ю'), 0);
    assert.strictEqual(parts('юла 211'), 0);
    assert.strictEqual(written('щука'), null, 'one link in one part: the part is read');
  } finally {
    fs.rmSync(root, { recursive: true, force: true });
  }
});

test("a section's anchor by its page name, as written or percent-encoded, blanks included", () => {
  assert.deepStrictEqual(logic.anchorIds('#Microsoft%20Websites'), ['Microsoft Websites', 'Microsoft_Websites']);
  assert.deepStrictEqual(logic.anchorIds('#Microsoft_Websites'), ['Microsoft_Websites']);
  assert.deepStrictEqual(logic.anchorIds('#Microsoft Websites.html'), ['Microsoft Websites', 'Microsoft_Websites']);
  assert.deepStrictEqual(logic.anchorIds('#%D0%9D%D0%BE%D0%B2%D0%BE%D1%81%D1%82%D0%B8%09x'), ['Новости\tx', 'Новости_x']);
  assert.deepStrictEqual(logic.anchorIds('#100%'), ['100%'], 'a stray % stays');
  assert.deepStrictEqual(logic.anchorIds(''), []);
});
