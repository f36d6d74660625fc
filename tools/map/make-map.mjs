// SPDX-License-Identifier: GPL-3.0-or-later
// Generates data/map/karte.svg, the map behind the caller pop-up, from the Natural Earth
// country outlines (public domain) as packed in the npm package world-atlas.
//
// One-off generation, not part of the build:
//   npm pack world-atlas && tar xzf world-atlas-*.tgz
//   node tools/map/make-map.mjs package/countries-10m.json data/area-codes.csv data/map/karte.svg
//
// The drawing is an equirectangular projection whose edges are exactly the frame the pop-up
// computes its dot positions in: 5.44° E to 15.28° E, 55.315° N to 47.05° N. Its size has the
// aspect of the 154 × 217 map control, so the control's aspect-keeping stretch fills it
// completely and a dot lands on the same pixel as the place under it.

import { readFileSync, writeFileSync } from 'node:fs';

const [input, placesCsv, output] = process.argv.slice(2);
if (!input || !placesCsv || !output) {
  console.error('usage: node make-map.mjs countries-10m.json area-codes.csv karte.svg');
  process.exit(2);
}

const WEST = 5.44, EAST = 15.28, NORTH = 55.315, SOUTH = 47.05;
const WIDTH = 1540, HEIGHT = 2170;       // 154 × 217, ten units per control pixel
const TOLERANCE = 1;                     // simplification, in map units (a tenth of a pixel)
const MARGIN = 40;                       // clip a little outside, so borders run off the edge
// Natural Earth's 1:10m borders are good to about a kilometre; towns right on the border
// (Görlitz on the Neisse, Konstanz on the Rhine) can fall just outside. Such places of the
// area-code table are taken inside by a smooth local displacement of the outline, as
// cartographic generalisation does; places farther out (islands the outlines lack) are left.
const NUDGE_MAX = 3;                     // farthest outside a place is taken in, map units
const NUDGE_INSIDE = 2;                  // how far inside it ends up: above simplification
                                         // plus rounding, so it stays inside after both
const NUDGE_RADIUS = 10;                 // the displacement fades out over this distance

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

// Arcs are delta-encoded in quantised units; decode them into map units once. Each arc is
// displaced and simplified on its own, so borders shared by two countries stay identical.
let arcs = topo.arcs.map((arc) => {
  let x = 0, y = 0;
  return arc.map(([dx, dy]) => {
    x += dx; y += dy;
    return [px(x * sx + tx), py(y * sy + ty)];
  });
});

const germanyGeometry = topo.objects.countries.geometries.find((g) => g.properties?.name === 'Germany');
if (!germanyGeometry) throw new Error('Germany not found in ' + input);
const germanyArcs = new Set(
  (germanyGeometry.type === 'Polygon' ? [germanyGeometry.arcs] : germanyGeometry.arcs)
    .flat(2).map((i) => (i >= 0 ? i : ~i)));

function insideGermany(p) {
  let c = false;
  for (const poly of polygons(germanyGeometry))
    for (const r of poly)
      for (let i = 0, j = r.length - 1; i < r.length; j = i++) {
        const [xi, yi] = r[i], [xj, yj] = r[j];
        if ((yi > p[1]) !== (yj > p[1]) && p[0] < (xj - xi) * (p[1] - yi) / (yj - yi) + xi) c = !c;
      }
  return c;
}

// Nearest point of Germany's outline: [distance, point, arc, index of the segment's end].
function nearestOnOutline(p) {
  let best = [Infinity];
  for (const a of germanyArcs) {
    const arc = arcs[a];
    for (let i = 1; i < arc.length; i++) {
      const [ax, ay] = arc[i - 1], [bx, by] = arc[i];
      const dx = bx - ax, dy = by - ay, len2 = dx * dx + dy * dy;
      const t = len2 ? Math.max(0, Math.min(1, ((p[0] - ax) * dx + (p[1] - ay) * dy) / len2)) : 0;
      const q = [ax + t * dx, ay + t * dy];
      const d = Math.hypot(p[0] - q[0], p[1] - q[1]);
      if (d < best[0]) best = [d, q, a, i];
    }
  }
  return best;
}

// Moves the outline near p outward until p lies NUDGE_INSIDE within it.
function nudgeInside(p) {
  const [d, q, a, i] = nearestOnOutline(p);
  const inside = insideGermany(p);
  if (d === 0 || (inside && d >= NUDGE_INSIDE) || (!inside && d > NUDGE_MAX)) return false;
  const out = inside ? [(q[0] - p[0]) / d, (q[1] - p[1]) / d] : [(p[0] - q[0]) / d, (p[1] - q[1]) / d];
  const by = inside ? NUDGE_INSIDE - d : d + NUDGE_INSIDE;
  arcs[a].splice(i, 0, q.slice());  // q itself moves the full distance
  arcs = arcs.map((arc) => arc.map(([x, y]) => {
    const w = 1 - Math.hypot(x - q[0], y - q[1]) / NUDGE_RADIUS;
    return w > 0 ? [x + out[0] * by * w, y + out[1] * by * w] : [x, y];
  }));
  return true;
}

const places = readFileSync(placesCsv, 'utf8').trim().split('\n').slice(1).map((line) => {
  const [code, name, , lat, lon] = line.split(';');
  return { code, name, p: [px(Number(lon)), py(Number(lat))] };
});
// Only places near the border take part; a nudge can move a neighbouring place's border
// too, so repeat until nothing moves.
const nearBorder = places.filter((pl) => nearestOnOutline(pl.p)[0] <= NUDGE_MAX + NUDGE_RADIUS);
for (let pass = 0; pass < 6; pass++) {
  let moved = 0;
  for (const place of nearBorder) if (nudgeInside(place.p)) moved++;
  if (!moved) break;
}

arcs = arcs.map((arc) => simplify(arc, TOLERANCE));

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
  if (g === germanyGeometry) germany = pathData(polys);
  else neighbours += pathData(polys);
}

// Check on the arcs as written (simplified, rounded).
arcs = arcs.map((arc) => arc.map(([x, y]) => [Math.round(x), Math.round(y)]));
for (const place of places)
  if (!insideGermany(place.p)) console.log(`outside the outline: ${place.code} ${place.name}`);

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
