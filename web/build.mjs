// Builds the map page into a folder: index.html, app.js and app.css, which the program carries as
// resources, and notices.txt, the licences of every package the bundle holds. The same sources and
// package-lock.json give the same bytes.
import * as esbuild from 'esbuild';
import { copyFileSync, mkdirSync, readFileSync, readdirSync, writeFileSync } from 'node:fs';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';

const here = dirname(fileURLToPath(import.meta.url));
const out = resolve(process.argv[2] || join(here, 'dist'));
mkdirSync(out, { recursive: true });

const result = await esbuild.build({
  absWorkingDir: here,
  entryPoints: { app: 'src/main.js' },
  bundle: true,
  minify: true,
  format: 'iife',
  // Windows 7's last browsers (Chrome 109, Firefox ESR 115) and older; Safari from 15, whose destructuring is sound.
  target: ['chrome80', 'edge80', 'firefox78', 'safari15'],
  charset: 'utf8',
  legalComments: 'none',  // the licences go to notices.txt, whole
  outdir: out,
  metafile: true,
  logLevel: 'warning',
});
copyFileSync(join(here, 'index.html'), join(out, 'index.html'));

// Every npm package with code in the bundle, with its licence file as the package ships it.
const packages = new Set();
for (const input of Object.keys(result.metafile.inputs)) {
  const m = input.match(/node_modules\/((?:@[^/]+\/)?[^/]+)\//);
  if (m) packages.add(m[1]);
}
let notices = '';
for (const name of [...packages].sort()) {
  const folder = join(here, 'node_modules', name);
  const manifest = JSON.parse(readFileSync(join(folder, 'package.json'), 'utf8'));
  const licenceFile = readdirSync(folder).find((f) => /^(licen[cs]e|copying)(\.(md|txt))?$/i.test(f));
  if (!licenceFile) throw new Error(`${name} has no licence file`);
  notices += `${'='.repeat(78)}\n${name} ${manifest.version} (npm), ${manifest.license}\n${'='.repeat(78)}\n\n`;
  notices += readFileSync(join(folder, licenceFile), 'utf8').trim() + '\n\n';
}
writeFileSync(join(out, 'notices.txt'), notices);
