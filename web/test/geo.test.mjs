import { test } from 'node:test';
import assert from 'node:assert/strict';
import { wgs84ToGcj02, gcj02ToWgs84, outOfChina, groundWidthForEyeHigh, shortTurn, glide, glideMs } from '../src/geo.js';

const near = (a, b, tol, what) => assert.ok(Math.abs(a - b) <= tol, `${what}: ${a} is not within ${tol} of ${b}`);

test('GCJ-02 matches the published reference pair and inverts to under a millimetre', () => {
  // Beijing, the pair published with the transform's common implementations.
  const [lon, lat] = wgs84ToGcj02(116.404, 39.915);
  near(lon, 116.41024449916938, 1e-12, 'lon');
  near(lat, 39.91640428150164, 1e-12, 'lat');
  for (const [x, y] of [[116.404, 39.915], [121.4737, 31.2304], [113.2644, 23.1291], [87.6168, 43.8256], [126.6424, 45.7567]]) {
    const [gx, gy] = wgs84ToGcj02(x, y);
    assert.ok(Math.hypot(gx - x, gy - y) > 1e-4, 'inside China the offset is hundreds of metres');
    const [bx, by] = gcj02ToWgs84(gx, gy);
    near(bx, x, 1e-8, 'lon back');
    near(by, y, 1e-8, 'lat back');
  }
});

test('outside the transform box nothing moves', () => {
  for (const [x, y] of [[13.4, 52.5], [-122.4, 37.8], [139.7, 35.7], [100, 0.5], [100, 56]]) {
    assert.ok(outOfChina(x, y));
    assert.deepEqual(wgs84ToGcj02(x, y), [x, y]);
    assert.deepEqual(gcj02ToWgs84(x, y), [x, y]);
  }
});

test('the ground width from EyeHigh is that of a 60-degree view', () => {
  near(groundWidthForEyeHigh(1000), 1154.7, 0.1, '1000 m up');
  near(groundWidthForEyeHigh(400), 461.9, 0.1, '400 m up');
});

test('turns go the short way', () => {
  const deg = Math.PI / 180;
  near(shortTurn(355 * deg, 5 * deg), 10 * deg, 1e-12, '355 to 5');
  near(shortTurn(5 * deg, 355 * deg), -10 * deg, 1e-12, '5 to 355');
  near(shortTurn(-350 * deg, 0), -10 * deg, 1e-12, 'several turns wound up');
  near(shortTurn(0, 180 * deg), 180 * deg, 1e-12, 'half a turn');
  near(shortTurn(720 * deg + 1 * deg, 0), -1 * deg, 1e-12, 'two whole turns');
});

test('the glide ends on the fix and lasts about one fix interval', () => {
  assert.deepEqual(glide([0, 0], [10, 20], 1.5), [10, 20]);
  assert.deepEqual(glide([0, 0], [10, 20], 0.5), [5, 10]);
  assert.equal(glideMs([]), 1000);
  assert.equal(glideMs([1000, 990, 5000, 1010]), 1010);
  assert.equal(glideMs([20, 30]), 100);
  assert.equal(glideMs([60000]), 2000);
});
