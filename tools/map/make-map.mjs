// SPDX-License-Identifier: GPL-3.0-or-later
// Generates data/map/karte.svg, the map behind the caller pop-up, from the Natural Earth
// country outlines (public domain) as packed in the npm package world-atlas.
//
// One-off generation, not part of the build:
//   npm pack world-atlas && tar xzf world-atlas-*.tgz
//   node tools/map/make-map.mjs package/countries-10m.json data/map/karte.svg
//
// The drawing is an equirectangular projection whose edges are exactly the frame the pop-up
// computes its dot positions in: 5.44° E to 15.28° E, 55.315° N to 47.05° N. Its size has the
// aspect of the 154 × 217 map control, so the control's aspect-keeping stretch fills it
// completely and a dot lands on the same pixel as the place under it.

import { readFileSync, writeFileSync } from 'node:fs';

const [input, output] = process.argv.slice(2);
if (!input || !output) {
  console.error('usage: node make-map.mjs countries-10m.json karte.svg');
  process.exit(2);
}

const WEST = 5.44, EAST = 15.28, NORTH = 55.315, SOUTH = 47.05;
const WIDTH = 1540, HEIGHT = 2170;       // 154 × 217, ten units per control pixel
const TOLERANCE = 2.5;                   // simplification, in map units (a quarter pixel)
const MARGIN = 40;                       // clip a little outside, so borders run off the edge

const COLOURS = {
  sea: '#cfe3f2',
  land: '#efece2', landStroke: '#b9b29c',
  germany: '#b8d48e', germanyStroke: '#557a34',
};

const px = (lon) => (lon - WEST) / (EAST - WEST) * WIDTH;
const py = (lat) => (NORTH - lat) / (NORTH - SOUTH) * HEIGHT;

const topo = JSON.parse(readFileSync(input, 'utf8'));
const [sx, sy] = topo.transform.scale;
const [tx, ty] = topo.transform.translate;

// Arcs are delta-encoded in quantised units; decode them into map units once, simplify each
// arc on its own so that borders shared by two countries stay identical for both.
const arcs = topo.arcs.map((arc) => {
  let x = 0, y = 0;
  const pts = arc.map(([dx, dy]) => {
    x += dx; y += dy;
    return [px(x * sx + tx), py(y * sy + ty)];
  });
  return simplify(pts, TOLERANCE);
});

function simplify(pts, tol) {
  if (pts.length < 3) return pts;
  const keep = new Uint8Array(pts.length);
  keep[0] = keep[pts.length - 1] = 1;
  const stack = [[0, pts.length - 1]];
  while (stack.length) {
    const [a, b] = stack.pop();
    const [ax, ay] = pts[a], [bx, by] = pts[b];
    const len = Math.hypot(bx - ax, by - ay);
    let best = -1, dist = tol;
    for (let i = a + 1; i < b; i++) {
      const [x, y] = pts[i];
      const d = len === 0 ? Math.hypot(x - ax, y - ay)
                          : Math.abs((bx - ax) * (ay - y) - (ax - x) * (by - ay)) / len;
      if (d > dist) { dist = d; best = i; }
    }
    if (best >= 0) { keep[best] = 1; stack.push([a, best], [best, b]); }
  }
  return pts.filter((_, i) => keep[i]);
}

function ring(indices) {
  const out = [];
  for (const i of indices) {
    const arc = i >= 0 ? arcs[i] : arcs[~i].slice().reverse();
    out.push(...(out.length ? arc.slice(1) : arc));
  }
  return out;
}

function polygons(geometry) {
  if (geometry.type === 'Polygon') return [geometry.arcs.map(ring)];
  if (geometry.type === 'MultiPolygon') return geometry.arcs.map((p) => p.map(ring));
  return [];
}

// Sutherland–Hodgman against the frame plus margin; edges created along the clip border lie
// outside the visible area, so their strokes never show.
function clip(pts) {
  const lo = -MARGIN, hiX = WIDTH + MARGIN, hiY = HEIGHT + MARGIN;
  const edges = [
    [(p) => p[0] >= lo, (a, b) => cut(a, b, 0, lo)],
    [(p) => p[0] <= hiX, (a, b) => cut(a, b, 0, hiX)],
    [(p) => p[1] >= lo, (a, b) => cut(a, b, 1, lo)],
    [(p) => p[1] <= hiY, (a, b) => cut(a, b, 1, hiY)],
  ];
  let poly = pts;
  for (const [inside, intersect] of edges) {
    if (!poly.length) break;
    const next = [];
    for (let i = 0; i < poly.length; i++) {
      const cur = poly[i], prev = poly[(i + poly.length - 1) % poly.length];
      if (inside(cur)) {
        if (!inside(prev)) next.push(intersect(prev, cur));
        next.push(cur);
      } else if (inside(prev)) {
        next.push(intersect(prev, cur));
      }
    }
    poly = next;
  }
  return poly;
}

function cut(a, b, axis, v) {
  const t = (v - a[axis]) / (b[axis] - a[axis]);
  return axis === 0 ? [v, a[1] + t * (b[1] - a[1])] : [a[0] + t * (b[0] - a[0]), v];
}

// Rounded to whole units, then written with relative moves: the file stays small.
function pathData(polys) {
  let d = '';
  for (const poly of polys) {
    for (const r of poly) {
      const pts = clip(r).map(([x, y]) => [Math.round(x), Math.round(y)]);
      const uniq = pts.filter((p, i) => i === 0 || p[0] !== pts[i - 1][0] || p[1] !== pts[i - 1][1]);
      if (uniq.length < 3) continue;
      let [lx, ly] = uniq[0];
      d += `M${lx} ${ly}l`;
      const steps = [];
      for (const [x, y] of uniq.slice(1)) {
        steps.push(`${x - lx} ${y - ly}`);
        lx = x; ly = y;
      }
      d += steps.join(' ').replace(/ -/g, '-') + 'z';
    }
  }
  return d;
}

function inFrame(polys) {
  for (const poly of polys)
    for (const [x, y] of poly[0] ?? [])
      if (x > -MARGIN && x < WIDTH + MARGIN && y > -MARGIN && y < HEIGHT + MARGIN) return true;
  return false;
}

let neighbours = '';
let germany = '';
for (const g of topo.objects.countries.geometries) {
  const polys = polygons(g);
  if (!inFrame(polys)) continue;
  if (g.properties?.name === 'Germany') germany = pathData(polys);
  else neighbours += pathData(polys);
}
if (!germany) throw new Error('Germany not found in ' + input);

const svg = `<?xml version="1.0" encoding="UTF-8"?>
<!-- Generated by tools/map/make-map.mjs from Natural Earth country outlines (public domain).
     Equirectangular, 5.44 E to 15.28 E, 55.315 N to 47.05 N. -->
<svg xmlns="http://www.w3.org/2000/svg" version="1.1" width="${WIDTH}" height="${HEIGHT}" viewBox="0 0 ${WIDTH} ${HEIGHT}">
<rect width="${WIDTH}" height="${HEIGHT}" fill="${COLOURS.sea}"/>
<path fill="${COLOURS.land}" stroke="${COLOURS.landStroke}" stroke-width="6" stroke-linejoin="round" d="${neighbours}"/>
<path id="germany" fill="${COLOURS.germany}" stroke="${COLOURS.germanyStroke}" stroke-width="9" stroke-linejoin="round" d="${germany}"/>
</svg>
`;
writeFileSync(output, svg);
console.log(`${output}: ${svg.length} bytes`);
