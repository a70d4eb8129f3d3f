#!/usr/bin/env node
// Opens a Quillmarsh HTML report in Debian's headless chromium with networking
// off and checks that it works as a person would see it:
//   node tests/report/check_report.mjs REPORT.html SCREENSHOT.png EXPECT.json
// The report must load nothing but itself, log no error, raise no exception,
// set window.qmReport.done within 30 s, and draw the charts that EXPECT.json
// lists. EXPECT.json:
//   { "charts": { "<kind>": { "count": N, "series": M }, ... },
//     "selectors": { "<css selector>": minimumCount, ... } }
// Exactly N charts of each kind, each with M series; no chart of a kind that is
// not listed; at least minimumCount elements for each selector.
// The page describes its charts as
//   window.qmReport = { done, firstChartMs, charts: [ { id, kind, title, plot } ] }
// with plot the uPlot instance. A full-page screenshot goes to SCREENSHOT.png,
// and one line on stdout sums up a report that passed.
// playwright-core comes from the node_modules folder in $QM_NODE_MODULES, or
// else build/node/node_modules (where scripts/browser-setup installs it).
// Exit codes: 0 passed, 1 failed (each fault on stderr), 2 wrong usage or
// EXPECT.json, 77 chromium or playwright-core missing.
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { createRequire } from 'node:module';
import { fileURLToPath, pathToFileURL } from 'node:url';

const CHROMIUM = '/usr/bin/chromium';
const DONE_TIMEOUT_MS = 30_000;
const WHOLE_RUN_TIMEOUT_MS = 120_000;
// Debian chromium as root, with nothing of its own going to the network.
const CHROMIUM_FLAGS = ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
  '--disable-background-networking', '--disable-component-update', '--disable-sync'];

function usage(message) {
  if (message) console.error(`check_report: ${message}`);
  console.error('usage: node tests/report/check_report.mjs REPORT.html SCREENSHOT.png EXPECT.json');
  process.exit(2);
}

function skip(reason) {
  console.error(`check_report: skipped: ${reason}`);
  process.exit(77);
}

function loadPlaywright() {
  const here = path.dirname(fileURLToPath(import.meta.url));
  const modules = process.env.QM_NODE_MODULES || path.resolve(here, '../../build/node/node_modules');
  try {
    // A path, not a bare name: only that folder is searched, not its parents.
    return createRequire(import.meta.url)(path.join(modules, 'playwright-core'));
  } catch {
    skip(`playwright-core is not in ${modules} (scripts/browser-setup installs it)`);
  }
}

const isCount = (v, min) => Number.isInteger(v) && v >= min;

function readExpect(file) {
  let expect;
  try {
    expect = JSON.parse(fs.readFileSync(file, 'utf8'));
  } catch (e) {
    usage(`cannot read ${file}: ${e.message}`);
  }
  const charts = expect && expect.charts;
  const selectors = (expect && expect.selectors) ?? {};
  if (!charts || typeof charts !== 'object' || Array.isArray(charts)) usage(`${file}: "charts" must be an object`);
  for (const [kind, want] of Object.entries(charts)) {
    if (!want || !isCount(want.count, 0) || !isCount(want.series, 1))
      usage(`${file}: charts.${kind} must be { "count": N >= 0, "series": M >= 1 }`);
  }
  if (typeof selectors !== 'object' || Array.isArray(selectors)) usage(`${file}: "selectors" must be an object`);
  for (const [selector, min] of Object.entries(selectors)) {
    if (!isCount(min, 0)) usage(`${file}: selectors["${selector}"] must be a count`);
  }
  return { charts, selectors };
}

// Runs in the page: what check() needs to know of each chart and selector.
function describePage(selectors) {
  const report = window.qmReport;
  const nonEmpty = (v) => (typeof v === 'string' && v.trim() !== '') || typeof v === 'number';
  const out = { firstChartMs: report.firstChartMs, charts: [], selectors: {} };
  if (!Array.isArray(report.charts)) {
    out.charts = null;
  } else {
    report.charts.forEach((chart, index) => {
      const faults = [];
      const info = { index, id: chart && chart.id, kind: chart && chart.kind, faults };
      out.charts.push(info);
      if (!nonEmpty(info.id)) faults.push('has no id');
      if (!nonEmpty(info.kind)) faults.push('has no kind');
      if (!nonEmpty(chart && chart.title)) faults.push('has no title');
      const plot = chart && chart.plot;
      if (!plot || !Array.isArray(plot.series) || !Array.isArray(plot.axes) || !(plot.root instanceof Element)) {
        faults.push('its plot is not a uPlot instance');
        return;
      }
      info.series = plot.series.length - 1;
      plot.series.slice(1).forEach((s, k) => {
        if (!nonEmpty(s.label)) faults.push(`series ${k + 1} has no label`);
        const values = plot.data && plot.data[k + 1];
        if (!values || !Array.from(values).some(Number.isFinite))
          faults.push(`series ${k + 1} (${s.label}) has no value to draw`);
      });
      for (const a of [0, 1]) {
        if (!plot.axes[a] || !nonEmpty(plot.axes[a].label)) faults.push(`axis ${a} has no label`);
      }
      const box = plot.root.getBoundingClientRect();
      if (!plot.root.isConnected || box.width === 0 || box.height === 0 ||
          !plot.root.checkVisibility({ checkOpacity: true, checkVisibilityCSS: true }))
        faults.push('is not visible');
      const canvas = plot.root.querySelector('canvas');
      if (!canvas) {
        faults.push('has no canvas');
      } else if (canvas.width === 0 || canvas.height === 0) {
        faults.push('has an empty canvas');
      } else {
        const pixels = new Uint32Array(canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data.buffer);
        if (pixels.every((p) => p === pixels[0])) faults.push('has a blank canvas');
      }
    });
  }
  for (const selector of selectors) {
    try {
      out.selectors[selector] = document.querySelectorAll(selector).length;
    } catch {
      out.selectors[selector] = null;
    }
  }
  return out;
}

// The faults of the page as described, against what EXPECT.json wants.
function check(page, expect) {
  const faults = [];
  // A page without charts (a run that failed before any test completed) has
  // no first chart, and says so with null.
  const charted = Array.isArray(page.charts) && page.charts.length > 0;
  if (charted ? typeof page.firstChartMs !== 'number' || !Number.isFinite(page.firstChartMs) ||
                  page.firstChartMs < 0
              : page.firstChartMs !== null)
    faults.push(`qmReport.firstChartMs is not a time in ms: ${JSON.stringify(page.firstChartMs)}`);
  if (page.charts === null) {
    faults.push('qmReport.charts is not an array');
    return faults;
  }
  const seenIds = new Set();
  const byKind = new Map();
  for (const chart of page.charts) {
    const name = `chart ${chart.index} (id ${JSON.stringify(chart.id)}, kind ${JSON.stringify(chart.kind)})`;
    for (const fault of chart.faults) faults.push(`${name} ${fault}`);
    if (seenIds.has(chart.id)) faults.push(`${name} has the id of an earlier chart`);
    seenIds.add(chart.id);
    if (!byKind.has(chart.kind)) byKind.set(chart.kind, []);
    byKind.get(chart.kind).push(chart);
    const want = Object.hasOwn(expect.charts, chart.kind) ? expect.charts[chart.kind] : null;
    if (!want) faults.push(`${name} is of a kind that should not be on the page`);
    else if (chart.series !== undefined && chart.series !== want.series)
      faults.push(`${name} has ${chart.series} series, expected ${want.series}`);
  }
  for (const [kind, want] of Object.entries(expect.charts)) {
    const count = (byKind.get(kind) || []).length;
    if (count !== want.count) faults.push(`${count} charts of kind "${kind}", expected ${want.count}`);
  }
  for (const [selector, min] of Object.entries(expect.selectors)) {
    const count = page.selectors[selector];
    if (count === null) faults.push(`"${selector}" is not a valid CSS selector`);
    else if (count < min) faults.push(`${count} elements match "${selector}", expected at least ${min}`);
  }
  return faults;
}

async function main() {
  const [reportArg, screenshot, expectFile, ...rest] = process.argv.slice(2);
  if (!expectFile || rest.length) usage();
  const expect = readExpect(expectFile);
  const report = path.resolve(reportArg);
  if (!fs.existsSync(CHROMIUM)) skip(`${CHROMIUM} is missing (scripts/browser-setup installs Debian's chromium)`);
  const { chromium } = loadPlaywright();
  if (!fs.statSync(report, { throwIfNoEntry: false })?.isFile()) {
    console.error(`check_report: failed: ${reportArg} is not a file`);
    process.exit(1);
  }
  const reportUrl = pathToFileURL(report).href;

  // On any exit, Playwright kills the browser's process group; then its profile goes.
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'qm-check-report-'));
  process.on('exit', () => fs.rmSync(profile, { recursive: true, force: true, maxRetries: 3 }));
  for (const signal of ['SIGINT', 'SIGTERM', 'SIGHUP']) {
    process.on(signal, () => {
      console.error(`check_report: failed: interrupted by ${signal}`);
      process.exit(1);
    });
  }
  const watchdog = setTimeout(() => {
    console.error(`check_report: failed: no result after ${WHOLE_RUN_TIMEOUT_MS / 1000} s`);
    process.exit(1);
  }, WHOLE_RUN_TIMEOUT_MS);

  const faults = [];
  const requests = [];
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: CHROMIUM,
    headless: true,
    args: CHROMIUM_FLAGS,
    offline: true,
    viewport: { width: 1280, height: 900 },
    deviceScaleFactor: 1,
  });
  let summary;
  try {
    context.on('request', (request) => requests.push(request.url()));
    await context.route('**/*', (route) => {
      const url = route.request().url();
      if (/^(file|data|blob|about):/i.test(url)) return route.continue();
      faults.push(`request to the network, blocked: ${url}`);
      return route.abort('blockedbyclient');
    });
    const page = context.pages()[0] || (await context.newPage());
    page.on('console', (message) => {
      if (message.type() !== 'error' && message.type() !== 'assert') return;
      const where = message.location();
      const at = where && where.url ? ` (at ${where.url}:${where.lineNumber + 1})` : '';
      faults.push(`console.${message.type()}: ${message.text()}${at}`);
    });
    page.on('pageerror', (error) => faults.push(`uncaught exception in the page: ${error.message}`));
    page.on('websocket', (socket) => faults.push(`web socket opened: ${socket.url()}`));

    await page.goto(reportUrl, { waitUntil: 'load', timeout: DONE_TIMEOUT_MS });
    let done = true;
    try {
      await page.waitForFunction(() => window.qmReport && window.qmReport.done === true, null,
        { timeout: DONE_TIMEOUT_MS });
    } catch {
      done = false;
      faults.push(`window.qmReport.done was not true within ${DONE_TIMEOUT_MS / 1000} s`);
    }
    let described;
    if (done) {
      described = await page.evaluate(describePage, Object.keys(expect.selectors));
      faults.push(...check(described, expect));
    }
    const own = new URL(reportUrl);
    own.hash = '';
    for (const url of requests) {
      const u = new URL(url);
      u.hash = '';
      if (u.href !== own.href) faults.push(`the page requested ${url}`);
    }
    await page.screenshot({ path: screenshot, fullPage: true });
    if (described) {
      summary = `report ok: ${described.charts.length} charts, ` +
        (described.firstChartMs === null ? 'none drawn' : `first chart drawn in ${Math.round(described.firstChartMs)} ms`) +
        `, ${fs.statSync(report).size} bytes`;
    }
  } finally {
    await context.close();
    clearTimeout(watchdog);
  }
  if (faults.length) {
    console.error(`check_report: ${reportArg} failed:`);
    for (const fault of new Set(faults)) console.error(`  - ${fault}`);
    process.exit(1);
  }
  console.log(summary);
}

main().catch((error) => {
  console.error(`check_report: failed: ${error.stack || error}`);
  process.exit(1);
});
