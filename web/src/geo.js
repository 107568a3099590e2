// The page's arithmetic, kept apart from the map so that it can be tested on its own.

// The offset datum of Chinese map providers (GCJ-02): the published transform from WGS-84, applied only
// inside the bounding box the transform itself uses. Saved files stay WGS-84; only what is drawn moves.
const A = 6378245.0;
const EE = 0.00669342162296594323;

export function outOfChina(lon, lat) {
  return lon < 72.004 || lon > 137.8347 || lat < 0.8293 || lat > 55.8271;
}

function offsetLat(x, y) {
  let r = -100.0 + 2.0 * x + 3.0 * y + 0.2 * y * y + 0.1 * x * y + 0.2 * Math.sqrt(Math.abs(x));
  r += ((20.0 * Math.sin(6.0 * x * Math.PI) + 20.0 * Math.sin(2.0 * x * Math.PI)) * 2.0) / 3.0;
  r += ((20.0 * Math.sin(y * Math.PI) + 40.0 * Math.sin((y / 3.0) * Math.PI)) * 2.0) / 3.0;
  r += ((160.0 * Math.sin((y / 12.0) * Math.PI) + 320 * Math.sin((y * Math.PI) / 30.0)) * 2.0) / 3.0;
  return r;
}

function offsetLon(x, y) {
  let r = 300.0 + x + 2.0 * y + 0.1 * x * x + 0.1 * x * y + 0.1 * Math.sqrt(Math.abs(x));
  r += ((20.0 * Math.sin(6.0 * x * Math.PI) + 20.0 * Math.sin(2.0 * x * Math.PI)) * 2.0) / 3.0;
  r += ((20.0 * Math.sin(x * Math.PI) + 40.0 * Math.sin((x / 3.0) * Math.PI)) * 2.0) / 3.0;
  r += ((150.0 * Math.sin((x / 12.0) * Math.PI) + 300.0 * Math.sin((x / 30.0) * Math.PI)) * 2.0) / 3.0;
  return r;
}

// [lon, lat] in WGS-84 to GCJ-02.
export function wgs84ToGcj02(lon, lat) {
  if (outOfChina(lon, lat)) return [lon, lat];
  const radLat = (lat / 180.0) * Math.PI;
  let magic = Math.sin(radLat);
  magic = 1 - EE * magic * magic;
  const sqrtMagic = Math.sqrt(magic);
  const dLat = (offsetLat(lon - 105.0, lat - 35.0) * 180.0) / (((A * (1 - EE)) / (magic * sqrtMagic)) * Math.PI);
  const dLon = (offsetLon(lon - 105.0, lat - 35.0) * 180.0) / ((A / sqrtMagic) * Math.cos(radLat) * Math.PI);
  return [lon + dLon, lat + dLat];
}

// The inverse, found by iteration: the shift barely changes over its own size, so a few steps reach
// well under a millimetre (the closed-form one-step inverse is off by metres).
export function gcj02ToWgs84(lon, lat) {
  if (outOfChina(lon, lat)) return [lon, lat];
  let x = lon;
  let y = lat;
  for (let i = 0; i < 10; i++) {
    const [gx, gy] = wgs84ToGcj02(x, y);
    const dx = lon - gx;
    const dy = lat - gy;
    x += dx;
    y += dy;
    if (Math.abs(dx) < 1e-11 && Math.abs(dy) < 1e-11) break;
  }
  return [x, y];
}

// The ground width Google Earth shows from `eyeHigh` metres up: its field of view is 60 degrees across.
export function groundWidthForEyeHigh(eyeHigh) {
  return 2 * eyeHigh * Math.tan(Math.PI / 6);
}

// The angle to add to `from` to reach `to` the short way (radians, within [-pi, pi]).
export function shortTurn(from, to) {
  let d = (to - from) % (2 * Math.PI);
  if (d > Math.PI) d -= 2 * Math.PI;
  if (d < -Math.PI) d += 2 * Math.PI;
  return d;
}

// Between two fixes the vehicle glides over the fix interval. `t` is the fraction gone, 0 to 1.
export function glide(from, to, t) {
  const f = Math.min(1, Math.max(0, t));
  return [from[0] + (to[0] - from[0]) * f, from[1] + (to[1] - from[1]) * f];
}

// How long a glide lasts: the interval at which fixes have been coming, within sensible bounds.
export function glideMs(intervals) {
  if (!intervals.length) return 1000;
  const sorted = [...intervals].sort((a, b) => a - b);
  const median = sorted[Math.floor(sorted.length / 2)];
  return Math.min(2000, Math.max(100, median));
}
