// Web backend, part 3 of 3: the browser side (an emscripten JS library).
// Binds the page's canvas, decodes the 36 pictures with the browser's own
// decoder, queues the page's input for the event pump, hands control to the
// browser and back (the Asyncify yield), paints the display area and shows
// the end of the program on the page. The C++ side is web_platform.cpp.

mergeInto(LibraryManager.library, {
  $dorvikPage: {
    canvas: null,
    context: null,
    scale: 1,         // backing-store pixels per CSS pixel: a whole number
    pictures: [],     // the decoded frame pictures (ImageBitmap), by holder
    current: -1,      // the picture on show, or -1
    queue: [],        // input records waiting for the next pump
    channel: null,    // posts the message that ends a yield
    hops: 0,          // the message's rounds in this yield
    wakeUp: null,
    ended: false,

    say: function(text) {
      var status = document.getElementById('status');
      if (status) status.textContent = text;
    },

    // The client area at a whole multiple of the device's pixels, so that it
    // stays crisp (image-rendering: pixelated does the rest).
    fitScale: function() {
      var scale = Math.max(1, Math.ceil(window.devicePixelRatio - 0.001));
      if (scale === dorvikPage.scale && dorvikPage.canvas.width === 363 * scale) return false;
      dorvikPage.scale = scale;
      dorvikPage.canvas.width = 363 * scale;
      dorvikPage.canvas.height = 555 * scale;
      return true;
    },

    watchScale: function() {
      var query = window.matchMedia('(resolution: ' + window.devicePixelRatio + 'dppx)');
      query.addEventListener('change', function() {
        if (!dorvikPage.ended && dorvikPage.fitScale()) dorvikPage.paint(dorvikPage.current);
        dorvikPage.watchScale();
      }, {once: true});
    },

    // The display area as the desktop window draws it: button-face background,
    // the picture unscaled at the inner area's top-left (clipped to its 359
    // columns), and the 2-pixel sunken border over both.
    paint: function(picture) {
      var c = dorvikPage.context, s = dorvikPage.scale;
      dorvikPage.current = picture;
      c.setTransform(s, 0, 0, s, 0, 0);
      c.imageSmoothingEnabled = false;
      c.fillStyle = 'rgb(192,192,192)';
      c.fillRect(0, 0, 363, 555);
      if (picture >= 0) {
        var image = dorvikPage.pictures[picture];
        var w = Math.min(image.width, 359), h = Math.min(image.height, 764);
        c.drawImage(image, 0, 0, w, h, 2, 2, w, h);
      }
      var lines = [
        ['rgb(128,128,128)', [[0, 0, 363, 1], [0, 0, 1, 768]]],
        ['rgb(255,255,255)', [[0, 767, 363, 1], [362, 0, 1, 768]]],
        ['rgb(64,64,64)', [[1, 1, 361, 1], [1, 1, 1, 766]]],
        ['rgb(192,192,192)', [[1, 766, 361, 1], [361, 1, 1, 766]]],
      ];
      lines.forEach(function(colour) {
        c.fillStyle = colour[0];
        colour[1].forEach(function(r) { c.fillRect(r[0], r[1], r[2], r[3]); });
      });
    },

    push: function(record) {
      if (!dorvikPage.ended) dorvikPage.queue.push(record);
    },

    // Where an event happened, in CSS pixels from the canvas's top-left.
    at: function(event) {
      var box = dorvikPage.canvas.getBoundingClientRect();
      return [event.clientX - box.left, event.clientY - box.top];
    },

    inside: function(event) {
      var p = dorvikPage.at(event);
      return p[0] >= 0 && p[1] >= 0 && p[0] < 363 && p[1] < 555;
    },

    // Characters as typed: the key's text when it is one character (the
    // layout and Shift already applied), and the control characters of
    // Escape, Enter and Backspace. Keys that make no character, and
    // Ctrl/Meta shortcuts (the browser's own), reach nothing.
    onKey: function(event) {
      if (dorvikPage.ended || event.isComposing) return;
      var code = null;
      if (event.key === 'Escape') code = 27;
      else if (event.key === 'Enter') code = 13;
      else if (event.key === 'Backspace') code = 8;
      else if (event.key.length === 1 &&
               (!(event.ctrlKey || event.metaKey) || event.getModifierState('AltGraph'))) {
        code = event.key.charCodeAt(0);
      }
      if (code === null) return;
      event.preventDefault();  // no scrolling on space, no quick find on "/"
      dorvikPage.push({kind: 1, code: code});
    },

    // Mouse, pen and touch alike; every movement the browser merged into
    // one event is handed on, in order.
    onMove: function(event) {
      var parts = event.getCoalescedEvents ? event.getCoalescedEvents() : [];
      if (parts.length === 0) parts = [event];
      var shift = (event.shiftKey ? 1 : 0) | (event.ctrlKey ? 2 : 0) | (event.altKey ? 4 : 0);
      parts.forEach(function(part) {
        var p = dorvikPage.at(part);
        dorvikPage.push({kind: 2, button: event.buttons & 7, shift: shift, x: p[0], y: p[1]});
      });
    },

    // While a button is held the canvas keeps the pointer, so that positions
    // beyond its edges still arrive, as in a desktop drag.
    onDown: function(event) {
      dorvikPage.canvas.focus();
      if (!dorvikPage.ended) dorvikPage.canvas.setPointerCapture(event.pointerId);
    },

    // The second press of a double-click makes the double-click, not a
    // second click; the release must be on the display area too.
    onClick: function(event) {
      if (event.button === 0 && event.detail % 2 === 1 && dorvikPage.inside(event)) {
        dorvikPage.push({kind: 3});
      }
    },

    onDoubleClick: function(event) {
      if (event.button === 0 && dorvikPage.inside(event)) dorvikPage.push({kind: 4});
    },
  },

  dorvik_page_open__deps: ['$dorvikPage', '$callUserCallback'],
  dorvik_page_open: function() {
    var page = dorvikPage;
    page.canvas = document.getElementById('display');
    page.context = page.canvas.getContext('2d', {alpha: false});
    page.fitScale();
    page.watchScale();
    page.channel = new MessageChannel();
    page.channel.port1.onmessage = function() {
      if (++page.hops < 2) {
        page.channel.port2.postMessage(null);
        return;
      }
      var wakeUp = page.wakeUp;
      page.wakeUp = null;
      if (wakeUp) callUserCallback(wakeUp);
    };
    window.addEventListener('keydown', page.onKey);
    page.canvas.addEventListener('pointermove', page.onMove);
    page.canvas.addEventListener('pointerdown', page.onDown);
    page.canvas.addEventListener('click', page.onClick);
    page.canvas.addEventListener('dblclick', page.onDoubleClick);
    page.canvas.addEventListener('contextmenu', function(event) { event.preventDefault(); });
    page.canvas.focus();
  },

  dorvik_page_decode__deps: ['$dorvikPage', '$callUserCallback'],
  dorvik_page_decode: function(files, sizes, count) {
    return Asyncify.handleSleep(function(wakeUp) {
      var jobs = [];
      for (var i = 0; i < count; ++i) {
        var start = HEAPU32[(files >> 2) + i];
        var bytes = HEAPU8.slice(start, start + HEAPU32[(sizes >> 2) + i]);
        jobs.push(createImageBitmap(new Blob([bytes], {type: 'image/bmp'}),
                                    {colorSpaceConversion: 'none', premultiplyAlpha: 'none'}));
      }
      Promise.all(jobs).then(function(bitmaps) {
        dorvikPage.pictures = bitmaps;
        Module['decodedPictures'] = bitmaps;  // read by the page's tests
        dorvikPage.say('');
        callUserCallback(function() { wakeUp(1); });
      }, function(error) {
        console.error('dorvik: the browser cannot decode the pictures: ' + error);
        callUserCallback(function() { wakeUp(0); });
      });
    });
  },

  // Hands control to the browser until it has run the tasks waiting now
  // (input, painting, DevTools) and then our message: a posted message is not
  // clamped the way a zero timeout is. The message goes round twice: Chromium
  // may run a freshly posted message before tasks that were already waiting,
  // which then waited a whole pass.
  dorvik_page_yield__deps: ['$dorvikPage'],
  dorvik_page_yield: function() {
    Asyncify.handleSleep(function(wakeUp) {
      dorvikPage.wakeUp = wakeUp;
      dorvikPage.hops = 0;
      dorvikPage.channel.port2.postMessage(null);
    });
  },

  dorvik_page_take__deps: ['$dorvikPage'],
  dorvik_page_take: function(record) {
    var e = dorvikPage.queue.shift();
    if (e === undefined) return 0;
    HEAP32[record >> 2] = e.kind;
    HEAP32[(record >> 2) + 1] = e.code || 0;
    HEAP32[(record >> 2) + 2] = e.button || 0;
    HEAP32[(record >> 2) + 3] = e.shift || 0;
    HEAPF64[(record >> 3) + 2] = e.x || 0;
    HEAPF64[(record >> 3) + 3] = e.y || 0;
    return 1;
  },

  dorvik_page_paint__deps: ['$dorvikPage'],
  dorvik_page_paint: function(picture) {
    dorvikPage.paint(picture);
  },

  // The end of the program: nothing more is delivered and the call stack is
  // abandoned (emscripten treats 'unwind' as a quiet return to the browser).
  dorvik_page_end__deps: ['$dorvikPage'],
  dorvik_page_end: function(number, text) {
    dorvikPage.ended = true;
    dorvikPage.queue = [];
    var again = 'The viewer has ended. Reload the page to start it again.';
    if (number !== 0) {
      var report = "Run-time error '" + number + "': " + UTF8ToString(text);
      console.error('dorvik: ' + report);
      dorvikPage.say(report + '\n' + again);
    } else {
      dorvikPage.say(again);
    }
    document.documentElement.dataset.dorvik = number !== 0 ? 'error' : 'ended';
    throw 'unwind';
  },
});
