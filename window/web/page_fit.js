// Web page: the program's side of the page's fit (dorvik_fit.js, which sizes
// the page before its first paint). The program draws the client area into
// a canvas of its own, of the client size; present() puts that on the page's
// canvas, whose size in pixels the fit chose: the client size, or a whole
// multiple of it with each pixel drawn as a square block (no smoothing here;
// the browser smooths the result down to the window's size).

mergeInto(LibraryManager.library, {
  $dorvikFit__deps: ['$dorvikLayout'],
  $dorvikFit: {
    unit: 1,         // CSS pixels per client-area pixel
    display: null,   // the page's canvas
    client: null,    // the client area's own pixels
    context: null,   // where the program draws: the client's

    start: function() {
      var fit = dorvikFit;
      fit.display = document.getElementById('display');
      fit.client = document.createElement('canvas');
      fit.client.width = dorvikLayout.clientWidth;
      fit.client.height = dorvikLayout.clientHeight;
      fit.context = fit.client.getContext('2d', {alpha: false});
      Module['clientArea'] = fit.client;  // read by the page's tests
      fit.display.addEventListener('fitted', fit.refit);
      fit.refit();
    },

    refit: function() {
      var fit = dorvikFit;
      fit.unit = fit.display.getBoundingClientRect().width / dorvikLayout.clientWidth;
      fit.present();
    },

    present: function() {
      var display = dorvikFit.display, c = display.getContext('2d', {alpha: false});
      c.imageSmoothingEnabled = false;  // reset whenever the fit resizes the canvas
      c.drawImage(dorvikFit.client, 0, 0, display.width, display.height);
    },
  },
});
