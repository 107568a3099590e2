// Quorvane's map page: follows the vehicle from the program's live event stream.
import 'ol/ol.css';
import './style.css';
import Map from 'ol/Map.js';
import View from 'ol/View.js';
import Feature from 'ol/Feature.js';
import Point from 'ol/geom/Point.js';
import LineString from 'ol/geom/LineString.js';
import TileLayer from 'ol/layer/Tile.js';
import VectorLayer from 'ol/layer/Vector.js';
import VectorSource from 'ol/source/Vector.js';
import XYZ from 'ol/source/XYZ.js';
import { Icon, Stroke, Style } from 'ol/style.js';
import { fromLonLat, toLonLat, getPointResolution } from 'ol/proj.js';
import { defaults as defaultControls, ScaleLine } from 'ol/control.js';
import { wgs84ToGcj02, gcj02ToWgs84, groundWidthForEyeHigh, shortTurn, glide, glideMs } from './geo.js';

const $ = (id) => document.getElementById(id);

// What the page needs of the browser; without it the page's notice stays.
function supported() {
  return !!(window.EventSource && window.requestAnimationFrame && window.Promise && window.CSS && CSS.supports &&
    CSS.supports('display', 'grid') && document.createElement('canvas').getContext);
}

const DEG = Math.PI / 180;
const ROTATION_SETTLE_MS = 250;  // the view turns towards its heading with this time constant
const TILE_NOTE_MS = 30000;      // a tile error this recent, with none loaded since, shows the note

const state = {
  datum: 'WGS84',
  tileUrl: '',
  following: true,
  panelLocked: null,
  headingUp: false,
  eyeHigh: 0,
  lastSeq: -1,
  lastFix: null,
  connected: false,
  tileErrors: 0,
  lastTileError: 0,
  lastTileLoad: 0,
  intervals: [],
  lastFixAt: 0,
  glideFrom: null,
  glideTo: null,
  glideStart: 0,
  glideDuration: 0,
  courseFrom: 0,
  courseTo: 0,
  drawn: null,  // the drawn vehicle, WGS-84 [lon, lat]
  drawnCourse: 0,
  track: [],    // WGS-84 [lon, lat] of the recording
  latencies: [],
  lastFrame: 0,
};

// Drawn coordinates: in the tiles' datum, in the view's projection.
const toMap = (lonLat) => fromLonLat(state.datum === 'GCJ02' ? wgs84ToGcj02(lonLat[0], lonLat[1]) : lonLat);
function fromMap(coordinate) {
  const [lon, lat] = toLonLat(coordinate);
  return state.datum === 'GCJ02' ? gcj02ToWgs84(lon, lat) : [lon, lat];
}

const arrow =
  'data:image/svg+xml;utf8,' +
  encodeURIComponent(
    "<svg xmlns='http://www.w3.org/2000/svg' width='36' height='36' viewBox='0 0 36 36'>" +
      "<path d='M18 2 L32 32 L18 24 L4 32 Z' fill='#e00000' stroke='#ffffff' stroke-width='2.5' " +
      "stroke-linejoin='round'/></svg>",
  );
const vehicleStyle = new Style({ image: new Icon({ src: arrow, anchor: [0.5, 0.6], rotateWithView: true }) });
const vehicle = new Feature();
vehicle.setStyle(vehicleStyle);
const trackLine = new Feature(new LineString([]));
// Yellow, as Google Earth draws the recording.
trackLine.setStyle([
  new Style({ stroke: new Stroke({ color: 'rgba(0,0,0,0.35)', width: 7 }) }),
  new Style({ stroke: new Stroke({ color: '#ffff00', width: 4 }) }),
]);

const tiles = new TileLayer();
// Free rotation: the turn towards a heading is made of small steps, which a snap to north would undo.
const view = new View({ center: fromLonLat([105, 35]), zoom: 4, maxZoom: 22, constrainRotation: false });
const map = new Map({
  target: 'map',
  layers: [
    tiles,
    new VectorLayer({ source: new VectorSource({ features: [trackLine] }), updateWhileAnimating: true,
      updateWhileInteracting: true }),
    new VectorLayer({ source: new VectorSource({ features: [vehicle] }), updateWhileAnimating: true,
      updateWhileInteracting: true }),
  ],
  view,
  controls: defaultControls({ rotate: false, attributionOptions: { collapsible: false } }).extend([
    new ScaleLine({ units: 'metric' }),
  ]),
});

function setTiles(settings) {
  const datum = settings.datum === 'GCJ02' ? 'GCJ02' : 'WGS84';
  if (settings.tileUrl === state.tileUrl && datum === state.datum) return;
  state.tileUrl = settings.tileUrl;
  state.datum = datum;
  const source = new XYZ({
    url: settings.tileUrl,
    attributions: settings.attribution || undefined,
    attributionsCollapsible: false,
    maxZoom: settings.maxZoom || 19,
  });
  source.on('tileloaderror', () => {
    state.tileErrors += 1;
    state.lastTileError = Date.now();
  });
  source.on('tileloadend', () => {
    state.lastTileLoad = Date.now();
  });
  tiles.setSource(source);
  redrawTrack();
}

function redrawTrack() {
  trackLine.getGeometry().setCoordinates(state.track.map(toMap));
}

// The page's zoom follows the panel's height: the ground width Google Earth shows from there.
function zoomToEyeHigh() {
  const size = map.getSize();
  if (!size || !state.eyeHigh) return;
  const at = state.drawn ? toMap(state.drawn) : view.getCenter();
  const groundPerPixel = groundWidthForEyeHigh(state.eyeHigh) / size[0];
  view.setResolution(groundPerPixel / getPointResolution('EPSG:3857', 1, at));
}

function text(id, value) {
  const el = $(id);
  if (el.textContent !== value) el.textContent = value;
}

const RECEIVER = { '-1': '未连接接收机', 0: '等待定位', 1: '已定位' };

function showHud(fix) {
  const t = fix.texts || {};
  $('hud').hidden = false;
  const speed = (t.lblSpeed || '').replace(/km\/h$/, '');
  text('speed', fix.valid && speed ? speed : '--');
  $('weak').hidden = fix.valid;
  text('time', t.lblTime || '');
  text('high', fix.valid ? t.lblHigh || '' : '');
  const pdop = (t.lblAzimuth || '').replace(/^.*:\s*/, '');
  text('pdop', fix.valid ? pdop : '');
  $('pdop').className = fix.valid && fix.pdop > 6.0 ? 'bad' : '';
  text('lat', fix.valid ? t.lblLatitude || '' : '');
  text('lon', fix.valid ? t.lblLongitude || '' : '');
  text('receiver', RECEIVER[fix.receiver.state] || '');
  text('hint', fix.receiver.hint || '');
  $('rec').hidden = !fix.recording.on;
  text('rec', `● 记录轨迹 ${fix.recording.points} 点`);
}

function onFix(fix, jump) {
  const now = performance.now();
  if (typeof fix.at === 'number') {
    state.latencies.push(Date.now() - fix.at);
    if (state.latencies.length > 64) state.latencies.shift();
  }
  state.lastFix = fix;
  showHud(fix);
  // The panel's buttons: a change of its lock follows (or frees) the page too.
  if (fix.view.locked !== state.panelLocked) {
    state.panelLocked = fix.view.locked;
    setFollowing(fix.view.locked);
  }
  state.headingUp = !fix.view.northUp;
  if (fix.view.eyeHigh !== state.eyeHigh) {
    state.eyeHigh = fix.view.eyeHigh;
    zoomToEyeHigh();
  }
  // The same fix told again (a button pressed) moves nothing.
  if (fix.seq === state.lastSeq && !jump) return;
  state.lastSeq = fix.seq;
  if (!fix.valid || !Number.isFinite(fix.lat) || !Number.isFinite(fix.lon)) return;
  const target = [fix.lon, fix.lat];
  const course = Number.isFinite(fix.course) ? fix.course * DEG : state.courseTo;
  if (state.lastFixAt) {
    state.intervals.push(now - state.lastFixAt);
    if (state.intervals.length > 5) state.intervals.shift();
  }
  state.lastFixAt = now;
  const first = !state.drawn;
  // From where it is drawn now: never more than one fix behind.
  state.glideFrom = jump || first ? target : state.drawn;
  state.courseFrom = jump || first ? course : state.drawnCourse;
  state.glideTo = target;
  state.courseTo = course;
  state.glideStart = now;
  state.glideDuration = jump || first ? 0 : glideMs(state.intervals);
  if (first) {
    state.drawn = target;
    state.drawnCourse = course;
    zoomToEyeHigh();
  }
}

function setFollowing(on) {
  state.following = on;
  $('follow').hidden = on;
}

// Each frame sets only what changed: a page whose vehicle stands still draws nothing, so a few pages open
// side by side leave the browser idle between fixes.
function frame(now) {
  if (state.glideTo) {
    const t = state.glideDuration > 0 ? (now - state.glideStart) / state.glideDuration : 1;
    const drawn = glide(state.glideFrom, state.glideTo, t);
    const course = state.courseFrom + shortTurn(state.courseFrom, state.courseTo) * Math.min(1, Math.max(0, t));
    const at = toMap(drawn);
    const point = vehicle.getGeometry();
    if (!point) vehicle.setGeometry(new Point(at));
    else if (drawn[0] !== state.drawn[0] || drawn[1] !== state.drawn[1]) point.setCoordinates(at);
    if (course !== state.drawnCourse || !point) {
      vehicleStyle.getImage().setRotation(course);
      vehicle.changed();
    }
    state.drawn = drawn;
    state.drawnCourse = course;
    if (state.following && !view.getAnimating()) follow(at, now);
  }
  const failing = state.lastTileError > state.lastTileLoad && Date.now() - state.lastTileError < TILE_NOTE_MS;
  if ($('tilenote').hidden === failing) $('tilenote').hidden = !failing;
  state.lastFrame = now;
  requestAnimationFrame(frame);
}

function follow(at, now) {
  const dt = state.lastFrame ? Math.min(now - state.lastFrame, 1000) : 16;
  const target = state.headingUp ? -state.drawnCourse : 0;
  const rotation = view.getRotation();
  const turn = shortTurn(rotation, target);
  if (turn !== 0) view.setRotation(Math.abs(turn) < 1e-4 ? target : rotation + turn * Math.min(1, dt / ROTATION_SETTLE_MS));
  let center = at;
  if (state.headingUp) {
    // The vehicle in the lower third: the centre lies ahead of it by a sixth of the height.
    const size = map.getSize();
    const ahead = size ? (size[1] / 6) * view.getResolution() : 0;
    center = [at[0] + ahead * Math.sin(state.drawnCourse), at[1] + ahead * Math.cos(state.drawnCourse)];
  }
  const current = view.getCenter();
  if (!current || current[0] !== center[0] || current[1] !== center[1]) view.setCenter(center);
}

function onSnapshot(snapshot) {
  if (snapshot.settings) setTiles(snapshot.settings);
  state.track = (snapshot.track || []).filter((p) => Number.isFinite(p[0]) && Number.isFinite(p[1]))
    .map((p) => [p[0], p[1]]);
  redrawTrack();
  if (snapshot.fix) onFix(snapshot.fix, true);
}

function onPoint(message) {
  // A point already had (told again after a reconnect) is not drawn twice.
  if (message.index !== state.track.length) return;
  const p = message.point;
  if (!Number.isFinite(p[0]) || !Number.isFinite(p[1])) return;
  state.track.push([p[0], p[1]]);
  trackLine.getGeometry().appendCoordinate(toMap([p[0], p[1]]));
}

let source = null;
function connect() {
  source = new EventSource('/events');
  const handle = (fn) => (e) => {
    try {
      fn(JSON.parse(e.data));
    } catch (err) {
      console.error('Quorvane: an event could not be read', err);
    }
  };
  source.addEventListener('snapshot', handle(onSnapshot));
  source.addEventListener('point', handle(onPoint));
  source.addEventListener('fix', handle((fix) => onFix(fix, false)));
  source.onopen = () => {
    state.connected = true;
    $('banner').hidden = true;
  };
  source.onerror = () => {
    state.connected = false;
    $('banner').hidden = false;
    // The browser retries by itself unless the answer was not a stream; then the page tries again.
    if (source.readyState === EventSource.CLOSED) {
      source.close();
      setTimeout(connect, 2000);
    }
  };
}

function lonLat(p) {
  return p ? [p[0], p[1]] : null;
}

// For tests and for scripts: a read-only view of what the page shows.
const status = Object.freeze({
  get center() { return lonLat(fromMap(view.getCenter())); },
  get vehicle() { return lonLat(state.drawn); },
  get rotation() { return (view.getRotation() / DEG) % 360; },
  get metresPerPixel() { return view.getResolution() * getPointResolution('EPSG:3857', 1, view.getCenter()); },
  get following() { return state.following; },
  get headingUp() { return state.headingUp; },
  get trackPoints() { return state.track.length; },
  get lastFix() { return state.lastFix ? JSON.parse(JSON.stringify(state.lastFix)) : null; },
  get connected() { return state.connected; },
  get tileErrors() { return state.tileErrors; },
  get latenciesMs() { return state.latencies.slice(); },
});

function start() {
  if (!supported()) return;
  $('unsupported').hidden = true;
  Object.defineProperty(window, 'quorvane', { value: status, writable: false, configurable: false });
  // Dragging frees the page (the panel stays locked); the button follows again.
  map.on('pointerdrag', () => setFollowing(false));
  $('follow').addEventListener('click', () => setFollowing(true));
  connect();
  requestAnimationFrame(frame);
}

start();
