// The page's fit: the window (title bar and client area) with the keys and
// the lines under it as large as the viewport allows, set before the page is
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

  function setUnit(unit) {
    document.documentElement.style.setProperty('--u', unit + 'px');
  }

  // The largest unit at which the page fits, with the keys and lines under
  // the window or beside it (a screen held sideways). The width gives it at
  // once; the height is measured, as the keys go into more rows on a
  // narrower window.
  function largestUnit(beside, width, height, spareX) {
    var body = document.body;
    body.classList.toggle('beside', beside);
    var aside = beside ? document.getElementById('below').getBoundingClientRect().width +
                         parseFloat(getComputedStyle(document.getElementById('below')).marginLeft) : 0;
    var unit = (width - spareX - aside) / windowWidth;
    for (var tries = 0; tries < 8 && unit > 0; ++tries) {
      setUnit(unit);
      var over = body.getBoundingClientRect().height - height;
      if (over <= 0) break;
      // The window alone shrinks by `over` this way; the rest may take more.
      unit -= Math.max(over, 1) / windowHeight;
    }
    return {unit: Math.max(unit, 1 / 64), aside: aside};
  }

  function fit() {
    var root = document.documentElement, canvas = document.getElementById('display');
    var ratio = window.devicePixelRatio || 1;
    var style = getComputedStyle(document.body);
    var spareX = parseFloat(style.paddingLeft) + parseFloat(style.paddingRight);
    var width = root.clientWidth, height = root.clientHeight;
    var most = largestUnit(false, width, height, spareX);
    if (width > height) {
      var beside = largestUnit(true, width, height, spareX);
      if (beside.unit > most.unit) most = beside;
      else largestUnit(false, width, height, spareX);
    }
    var reach = most.unit * ratio;  // device pixels a pixel, at most
    var whole = Math.floor(reach + 1e-9), blocks = 1, unit;
    if (whole >= 1 && whole >= fills * reach) {
      unit = whole / ratio;
    } else {
      blocks = Math.max(1, Math.ceil(reach - 1e-9));
      // A whole number of device pixels across the client area.
      unit = Math.floor(clientWidth * reach) / (clientWidth * ratio);
    }
    setUnit(unit);
    var indent = Math.max(0, Math.floor((width - spareX - most.aside - windowWidth * unit) / 2));
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
  watchRatio();
})();
