// The page's fit: the window (title bar and client area) with the keys, the
// lift chart and the lines under it (or beside it, on a screen held
// sideways) as large as the viewport allows, set before the page is
// first painted (the page loads this script deferred and render-blocking, so
// that it runs once the markup is in, and before dorvik.js has started), and
// again on resizing, rotation and a change of the device pixel ratio.
//
// --u is CSS pixels per client-area pixel. Where a whole number of device
// pixels per client-area pixel fills the viewport (to within a tenth), the
// canvas holds the client area's own pixels and the browser shows each as an
// exact block of device pixels. Elsewhere the canvas holds each pixel as a
// block of the next whole number up, and the browser smooths that down to
// the window's size: every line keeps its width and is blended at its edges
// only. The canvas's size in pixels says which; the program draws to it
// (page_fit.js), and repaints when the canvas sends "fitted".
// The build writes the window's layout in where a name stands between @ signs.
(function() {
  'use strict';
  var windowWidth = @WINDOW_WIDTH@, windowHeight = @WINDOW_HEIGHT@;
  var clientWidth = @CLIENT_WIDTH@, clientHeight = @CLIENT_HEIGHT@;
  // The title's own size at the window's scale, bold; never under 12 CSS
  // pixels, where it is set plain, to fit the title bar.
  var titleSize = 11, leastText = 12;
  var fills = 0.9;  // a whole block fills the viewport when it reaches this much of it
  // The lift chart's height (CSS pixels): at least, at most, and at most for
  // its width; it is left out where it would cost the window more than a
  // twentieth of its size. The column beside the window: at least, at most.
  var chartLeast = 80, chartMost = 320, chartShape = 0.6, chartCost = 0.95;
  var asideLeast = 200, asideMost = 560, asideGap = 8;  // the column's margin (dorvik.css)

  // Where the keys take three columns, the keys for the names and full
  // screen join them (in four columns), rather than taking a line's room of
  // their own.
  var keysNarrow = 346, column = asideLeast;
  function setUnit(unit) {
    document.documentElement.style.setProperty('--u', unit + 'px');
    var keys = document.getElementById('keys'), views = document.getElementById('view-keys');
    var below = document.body.classList.contains('beside') ? column : windowWidth * unit;
    var narrow = below < keysNarrow;
    if (narrow === keys.classList.contains('eight')) return;
    keys.classList.toggle('eight', narrow);
    (narrow ? keys : views).append(document.getElementById('names-key'), document.getElementById('full-key'));
  }

  // The largest unit at which the page fits, with the keys and lines under
  // the window or beside it (a screen held sideways), with the chart or
  // without, from `most` down. The width gives it at once; the height is
  // measured, as the keys go into more rows on a narrower window. `shrunk`:
  // the height limits it.
  function largestUnit(beside, chart, width, height, spareX, most) {
    var body = document.body;
    body.classList.toggle('beside', beside);
    body.classList.toggle('no-chart', !chart);
    var aside = beside ? column + asideGap : 0;
    var unit = Math.min(most || Infinity, (width - spareX - aside) / windowWidth), shrunk = false;
    for (var tries = 0; tries < 8 && unit > 0; ++tries) {
      setUnit(unit);
      var over = body.getBoundingClientRect().height - height;
      if (over <= 0) break;
      // The window alone shrinks by `over` this way; the rest may take more.
      unit -= Math.max(over, 1) / windowHeight;
      shrunk = true;
    }
    return {unit: Math.max(unit, 1 / 64), aside: aside, beside: beside, chart: chart, shrunk: shrunk};
  }

  // The unit as the page takes it: whole device pixels a pixel where that
  // fills the viewport, and otherwise a whole number of them across the
  // client area, each pixel drawn as a block of the next whole number up.
  function snapped(unit, ratio) {
    var reach = unit * ratio, whole = Math.floor(reach + 1e-9);
    if (whole >= 1 && whole >= fills * reach) return {unit: whole / ratio, blocks: 1, whole: whole};
    return {unit: Math.floor(clientWidth * reach) / (clientWidth * ratio),
            blocks: Math.max(1, Math.ceil(reach - 1e-9)), whole: whole};
  }

  // The larger of the units with the keys under the window and beside it,
  // without the chart; then with it, under or beside, where that costs the
  // window little. (A page too high by some amount at a unit needs a unit
  // at least that amount of the window's height smaller.)
  function bestUnit(width, height, spareX, ratio) {
    var bare = largestUnit(false, false, width, height, spareX);
    if (width > height && bare.shrunk) {
      var beside = largestUnit(true, false, width, height, spareX);
      if (beside.unit > bare.unit) bare = beside;
    }
    var least = chartCost * snapped(bare.unit, ratio).unit, body = document.body;
    body.classList.toggle('beside', bare.beside);
    body.classList.remove('no-chart');
    setUnit(bare.unit);
    var most = bare.unit - Math.max(0, body.getBoundingClientRect().height - height) / windowHeight;
    var best = bare, bestAt = least;  // the chart's best layout, and its unit as taken
    if (most >= least) {
      var same = largestUnit(bare.beside, true, width, height, spareX, most);
      var sameAt = snapped(same.unit, ratio).unit;
      if (sameAt >= bestAt) best = same, bestAt = sameAt;
    }
    // Or beside the window, where its width alone allows enough.
    if (!bare.beside && (width - spareX - asideLeast - asideGap) / windowWidth >= bestAt) {
      var aside = largestUnit(true, true, width, height, spareX);
      if (snapped(aside.unit, ratio).unit >= bestAt) best = aside;
    }
    return best;
  }

  function fit() {
    var root = document.documentElement, body = document.body, canvas = document.getElementById('display');
    var below = document.getElementById('below');
    var ratio = window.devicePixelRatio || 1;
    var style = getComputedStyle(body);
    var spareX = parseFloat(style.paddingLeft) + parseFloat(style.paddingRight);
    var width = root.clientWidth, height = root.clientHeight;
    // The chart at its least height, where it costs the window little;
    // otherwise none (its table stays, for screen readers).
    column = asideLeast;
    root.style.setProperty('--aside', column + 'px');
    root.style.setProperty('--chart', chartLeast + 'px');
    var most = bestUnit(width, height, spareX, ratio);
    body.classList.toggle('beside', most.beside);
    body.classList.toggle('no-chart', !most.chart);
    var fitted = snapped(most.unit, ratio), aside = most.aside;
    // Beside the window, the keys and the chart take the width that it
    // leaves, up to a limit; the chart takes the height that is left. A
    // narrower page under the window may take more lines (the legend's, a
    // caption's): the unit goes down again until the page fits.
    for (var tries = 0; tries < 4; ++tries) {
      if (most.beside) {
        column = Math.max(asideLeast, Math.min(asideMost,
                                               Math.floor(width - spareX - windowWidth * fitted.unit - asideGap)));
        root.style.setProperty('--aside', column + 'px');
        aside = column + asideGap;
      }
      setUnit(fitted.unit);
      var over = body.getBoundingClientRect().height - height;
      if (over <= 0) break;
      fitted = snapped(fitted.unit - over / windowHeight, ratio);
    }
    var unit = fitted.unit, blocks = fitted.blocks, whole = fitted.whole;
    // Whole blocks may leave the room for a chart that the largest unit had not.
    if (!most.chart) {
      body.classList.remove('no-chart');
      if (body.getBoundingClientRect().height > height) body.classList.add('no-chart');
    }
    if (!body.classList.contains('no-chart')) {
      var left = height - parseFloat(style.paddingBottom) - below.getBoundingClientRect().bottom;
      var chartWidth = document.getElementById('chart').getBoundingClientRect().width;
      root.style.setProperty('--chart', Math.floor(Math.max(chartLeast, Math.min(
          chartLeast + left, chartMost, chartShape * chartWidth))) + 'px');
    }
    var indent = Math.max(0, Math.floor((width - spareX - aside - windowWidth * unit) / 2));
    root.style.setProperty('--indent', indent + 'px');
    document.getElementById('titlebar').classList.toggle('plain', titleSize * unit < leastText);
    canvas.classList.toggle('smoothed', blocks > 1 || whole < 1);
    if (canvas.width !== clientWidth * blocks) {
      canvas.width = clientWidth * blocks;  // which clears it
      canvas.height = clientHeight * blocks;
    }
    canvas.dispatchEvent(new Event('fitted'));
  }

  function watchRatio() {
    var query = window.matchMedia('(resolution: ' + window.devicePixelRatio + 'dppx)');
    query.addEventListener('change', function() {
      fit();
      watchRatio();
    }, {once: true});
  }

  fit();
  window.addEventListener('resize', fit);
  // A longer message on the last line (the end, an error, reduced motion)
  // that would make the page scroll takes its room from the chart, or from
  // the window.
  new ResizeObserver(function() {
    if (document.documentElement.scrollHeight > document.documentElement.clientHeight) fit();
  }).observe(document.getElementById('last-line'));
  watchRatio();
})();
