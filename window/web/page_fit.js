// Web page: fits the window (title bar and client area) with the row of keys
// and the lines under it into the viewport, at the largest whole scale that
// fits, and follows resizing, rotation and changes of the device pixel
// ratio. Each pixel of the client area becomes a whole block of device
// pixels: where scale x ratio is not a whole number, the nearest whole block
// that fits is taken, so the window may be a little smaller or larger. The
// window is centred on a whole CSS pixel: the browser snaps the canvas to
// one, and a screenshot of it then starts where the canvas does.

mergeInto(LibraryManager.library, {
  $dorvikFit__deps: ['$dorvikLayout'],
  $dorvikFit: {
    unit: 1,  // CSS pixels per client-area pixel

    start: function() {
      dorvikFit.fit();
      window.addEventListener('resize', dorvikFit.fit);
      dorvikFit.watchRatio();
    },

    watchRatio: function() {
      var query = window.matchMedia('(resolution: ' + window.devicePixelRatio + 'dppx)');
      query.addEventListener('change', function() {
        dorvikFit.fit();
        dorvikFit.watchRatio();
      }, {once: true});
    },

    fit: function() {
      var root = document.documentElement, body = document.body;
      var ratio = window.devicePixelRatio || 1;
      // What the page needs beside the window: the same at every scale.
      var style = getComputedStyle(body);
      var spareX = parseFloat(style.paddingLeft) + parseFloat(style.paddingRight);
      var spareY = body.offsetHeight - document.getElementById('window').offsetHeight;
      // The window in client-area pixels: the client area, the title bar
      // and the frame round both.
      var width = dorvikLayout.windowWidth, height = dorvikLayout.windowHeight;
      var fits = function(unit) {
        return width * unit + spareX <= root.clientWidth &&
               height * unit + spareY <= root.clientHeight;
      };
      var whole = 0;
      while (fits(whole + 1)) ++whole;
      var blocks = Math.max(1, whole > 0 ? Math.round(whole * ratio) : Math.floor(ratio));
      while (blocks > 1 && !fits(blocks / ratio)) --blocks;
      var unit = blocks / ratio;
      var indent = Math.max(0, Math.floor((root.clientWidth - spareX - width * unit) / 2));
      root.style.setProperty('--u', unit + 'px');
      root.style.setProperty('--indent', indent + 'px');
      dorvikFit.unit = unit;
    },
  },
});
