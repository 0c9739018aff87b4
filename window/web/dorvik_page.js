// Web backend: the browser side (an emscripten JS library). Binds the page's
// canvas, takes the 36 pictures that the program decoded, queues the page's
// input (keyboard, the on-screen keys, mouse and pen; touch through
// page_touch.js) for the event pump, hands control to the browser and back
// (the Asyncify yield), paints the display area and shows the end of the
// program on the page. The C++ side is web_platform.cpp; the page around the
// window is fitted by page_fit.js and described by page_status.js; the
// lesson around it (dorvik_lesson.js: the page's words, the lift chart, the
// parts' names) hears of every picture painted and may add a step key at a
// pump. The window's layout and the input record's kinds and fields are
// dorvikLayout's, which the build writes (make_page_layout_main.cpp).

mergeInto(LibraryManager.library, {
  $dorvikPage__deps: ['$dorvikLayout', '$dorvikStatus', '$dorvikFit'],
  $dorvikPage: {
    canvas: null,
    context: null,
    pictures: [],     // the decoded frame pictures (ImageData over the module's memory)
    current: -1,      // the picture on show, or -1
    painted: -1,      // the picture on the canvas
    paintedAt: -1e9,  // when a picture was last put there (ms)
    frameAsked: false,
    kept: false,      // the page's files handed to the service worker
    queue: [],        // input records waiting for the next pump
    channel: null,    // posts the message that ends a yield
    hops: 0,          // the message's rounds in this yield
    wakeUp: null,
    resting: false,   // the pump waits for the page to be shown again
    ended: false,

    // The lesson (dorvik_lesson.js, with the page's words) runs once the
    // page is parsed, which may be after the program's first passes: until
    // then a stand-in passes nothing on, and messages wait for the words.
    lesson: function() { return window.dorvikLesson || dorvikPage.beforeLesson; },
    beforeLesson: {painted: function() {}, input: function() {}, pump: function() { return null; },
                   described: function() {}, ended: function() {}, text: function() { return ''; }},
    withWords: function(write) {
      if (window.dorvikLesson) write();
      else document.addEventListener('DOMContentLoaded', write);
    },

    say: function(text) {
      var status = document.getElementById('status');
      if (status) status.textContent = text;
    },

    // The display area as the desktop window draws it: button-face background
    // and the 2-pixel sunken border, in the client area's own pixels, which
    // page_fit.js puts on the page's canvas.
    paintFrame: function() {
      var c = dorvikPage.context, layout = dorvikLayout;
      c.fillStyle = layout.background;
      c.fillRect(0, 0, layout.clientWidth, layout.clientHeight);
      layout.sunkenBorder.forEach(function(colour) {
        c.fillStyle = colour[0];
        colour[1].forEach(function(r) { c.fillRect(r[0], r[1], r[2], r[3]); });
      });
      dorvikFit.present();
      dorvikPage.painted = -1;
    },

    // A new picture for the display area. A pass can be far shorter than a
    // frame of the screen (with a negative pacing count), so the canvas
    // takes at most about one picture a frame: the last one shown.
    show: function(picture) {
      var page = dorvikPage;
      page.current = picture;
      dorvikStatus.changed(picture);
      if (performance.now() - page.paintedAt >= 16) {
        page.paint();
      } else if (!page.frameAsked) {
        page.frameAsked = true;
        requestAnimationFrame(function() {
          page.frameAsked = false;
          page.paint();
        });
      }
    },

    // The picture unscaled at the inner area's top-left, clipped to the
    // inner area: one copy of its pixels, straight from the module's memory.
    paint: function() {
      var page = dorvikPage, picture = page.current, layout = dorvikLayout, at = layout.border;
      if (picture === page.painted) return;
      page.painted = picture;
      if (picture < 0) {
        page.context.fillStyle = layout.background;
        page.context.fillRect(at, at, layout.innerWidth, layout.clientHeight - at);
      } else {
        page.paintedAt = performance.now();
        var image = page.pictures[picture];
        page.context.putImageData(image, at, at, 0, 0, Math.min(image.width, layout.innerWidth),
                                  Math.min(image.height, layout.innerHeight));
      }
      dorvikFit.present();
      page.lesson().painted(picture);
      dorvikStatus.painted(picture);
      if (!page.kept) {
        page.kept = true;
        setTimeout(page.keepOffline, 0);
      }
    },

    // The learner's input; keys, clicks and taps end a stepping that the
    // lift chart asked for.
    push: function(record) {
      if (dorvikPage.ended) return;
      if (record.kind !== dorvikLayout.kinds.move) dorvikPage.lesson().input();
      dorvikPage.queue.push(record);
    },

    // Where an event happened, in client-area pixels from the canvas's top-left.
    at: function(event) {
      var box = dorvikPage.canvas.getBoundingClientRect(), unit = dorvikFit.unit;
      return [(event.clientX - box.left) / unit, (event.clientY - box.top) / unit];
    },

    inside: function(event) {
      var p = dorvikPage.at(event);
      return p[0] >= 0 && p[1] >= 0 && p[0] < dorvikLayout.clientWidth &&
             p[1] < dorvikLayout.clientHeight;
    },

    // Characters as typed, wherever the focus is: the key's text when it is
    // one character (the layout and Shift already applied), and the control
    // characters of Escape, Enter and Backspace. Keys that make no character,
    // and Ctrl/Meta shortcuts (the browser's own), reach nothing. Space and
    // Enter on a focused on-screen key press that key (the button's own
    // activation, onPress) and type nothing.
    onKey: function(event) {
      if (dorvikPage.ended || event.isComposing) return;
      if ((event.key === ' ' || event.key === 'Enter') && event.target instanceof HTMLButtonElement) {
        return;
      }
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
      dorvikPage.push({kind: dorvikLayout.kinds.key, code: code});
    },

    // An on-screen key types its character, as the keyboard does.
    onPress: function(event) {
      var code = Number(event.currentTarget.dataset.code);
      dorvikPage.push({kind: dorvikLayout.kinds.key, code: code});
    },

    // Every movement the browser merged into `event`, in order.
    moves: function(event) {
      var parts = event.getCoalescedEvents ? event.getCoalescedEvents() : [];
      return parts.length > 0 ? parts : [event];
    },

    // Mouse and pen; every movement is handed on. Touch has its own rules
    // (page_touch.js).
    onMove: function(event) {
      if (event.pointerType === 'touch') return;
      var shift = (event.shiftKey ? 1 : 0) | (event.ctrlKey ? 2 : 0) | (event.altKey ? 4 : 0);
      dorvikPage.moves(event).forEach(function(part) {
        var p = dorvikPage.at(part);
        dorvikPage.push({kind: dorvikLayout.kinds.move, button: event.buttons & 7, shift: shift,
                         x: p[0], y: p[1]});
      });
    },

    // While a button is held the canvas keeps the pointer, so that positions
    // beyond its edges still arrive, as in a desktop drag.
    onDown: function(event) {
      dorvikPage.canvas.focus({preventScroll: true});
      dorvikPage.lastDownByTouch = event.pointerType === 'touch';
      if (!dorvikPage.ended && event.pointerType !== 'touch') {
        dorvikPage.canvas.setPointerCapture(event.pointerId);
      }
    },

    // The second press of a double-click makes the double-click, not a
    // second click; the release must be on the display area too. A touch's
    // taps are counted by page_touch.js instead.
    onClick: function(event) {
      if (!dorvikPage.lastDownByTouch && event.button === 0 && event.detail % 2 === 1 &&
          dorvikPage.inside(event)) {
        dorvikPage.push({kind: dorvikLayout.kinds.click});
      }
    },

    onDoubleClick: function(event) {
      if (!dorvikPage.lastDownByTouch && event.button === 0 && dorvikPage.inside(event)) {
        dorvikPage.push({kind: dorvikLayout.kinds.doubleClick});
      }
    },

    // Keeps the page's files for use without the network, once it runs; a
    // page served over plain http from elsewhere than this machine has no
    // service workers, and runs the same without them. Every load asks the
    // server for a new worker: the browser's own check waits for an idle
    // page, which this one seldom is. This page has all its files by now, so
    // a new build that has all of its own takes over from it at once and
    // serves the next load.
    keepOffline: function() {
      if (!('serviceWorker' in navigator) || !window.isSecureContext) return;
      navigator.serviceWorker.register('sw.js')
          .then(function(registration) {
            var takeOver = function() {
              if (registration.waiting) registration.waiting.postMessage('take over');
            };
            registration.addEventListener('updatefound', function() {
              var coming = registration.installing;
              coming.addEventListener('statechange', function() {
                if (coming.state === 'installed') takeOver();
              });
            });
            takeOver();
            return registration.update();
          })
          .catch(function() {
            // Offline (the update check failed) or storage refused: the page
            // runs as it is either way.
          });
    },
  },

  dorvik_page_open__deps: ['$dorvikPage', '$dorvikTouch', '$callUserCallback'],
  dorvik_page_open: function() {
    var page = dorvikPage;
    page.canvas = document.getElementById('display');
    page.context = dorvikFit.context;
    page.paintFrame();
    // A lesson that comes after the program's first picture hears of it.
    if (!window.dorvikLesson) page.withWords(function() { page.lesson().painted(page.painted); });
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
    // A hidden page's program rests in its pump, as a suspended process
    // does, and goes on from there once the page is shown.
    document.addEventListener('visibilitychange', function() {
      if (document.hidden || !page.resting) return;
      page.resting = false;
      page.channel.port2.postMessage(null);
    });
    window.addEventListener('keydown', page.onKey);
    document.querySelectorAll('#keys button[data-code]').forEach(function(button) {
      button.addEventListener('click', page.onPress);
    });
    page.canvas.addEventListener('pointermove', page.onMove);
    page.canvas.addEventListener('pointerdown', page.onDown);
    page.canvas.addEventListener('click', page.onClick);
    page.canvas.addEventListener('dblclick', page.onDoubleClick);
    page.canvas.addEventListener('contextmenu', function(event) { event.preventDefault(); });
    page.canvas.addEventListener('selectstart', function(event) { event.preventDefault(); });
    dorvikTouch.start(page);
    // A page of its own takes the focus; inside another page's frame the
    // focus stays where the learner put it (and the course page does not
    // scroll to the frame).
    if (window.self === window.top) page.canvas.focus({preventScroll: true});
  },

  // The pictures as the canvas takes them, without copying: views of the
  // module's memory, which never grows.
  dorvik_page_pictures__deps: ['$dorvikPage'],
  dorvik_page_pictures: function(pixels, widths, heights, count) {
    var pictures = [];
    for (var i = 0; i < count; ++i) {
      var width = HEAP32[(widths >> 2) + i], height = HEAP32[(heights >> 2) + i];
      var bytes = new Uint8ClampedArray(HEAPU8.buffer, HEAPU32[(pixels >> 2) + i],
                                        4 * width * height);
      pictures.push(new ImageData(bytes, width, height));
    }
    dorvikPage.pictures = pictures;
    Module['decodedPictures'] = pictures;  // read by the page's tests
    dorvikPage.say('');
  },

  // The pump's turn of the browser: until it has run the tasks waiting now
  // (input, painting, DevTools) and then our message: a posted message is not
  // clamped the way a zero timeout is. The message goes round twice: Chromium
  // may run a freshly posted message before tasks that were already waiting,
  // which then waited a whole pass. While the page is hidden the message
  // waits for it to be shown.
  dorvik_page_yield__deps: ['$dorvikPage', '$dorvikStatus'],
  dorvik_page_yield: function() {
    dorvikStatus.pass();
    Asyncify.handleSleep(function(wakeUp) {
      // Once a pass (the call is made again when the stack is rewound, and
      // this function then returns at once): read by the page's benchmark.
      Module['passes'] = (Module['passes'] || 0) + 1;
      var step = dorvikPage.lesson().pump(dorvikPage.current, dorvikStatus.still >= 2);
      if (step !== null) dorvikPage.queue.push({kind: dorvikLayout.kinds.key, code: step});
      dorvikPage.wakeUp = wakeUp;
      dorvikPage.hops = 0;
      if (document.hidden) dorvikPage.resting = true;
      else dorvikPage.channel.port2.postMessage(null);
    });
  },

  // The counted wait's turn of the browser, between two slices of its count:
  // one round of the message, whatever the page's visibility. The input that
  // arrives meanwhile waits in the queue for the pump.
  dorvik_page_share__deps: ['$dorvikPage'],
  dorvik_page_share: function() {
    Asyncify.handleSleep(function(wakeUp) {
      dorvikPage.wakeUp = wakeUp;
      dorvikPage.hops = 1;
      dorvikPage.channel.port2.postMessage(null);
    });
  },

  // The next input record into the program's PageEvent at `record`.
  dorvik_page_take__deps: ['$dorvikPage', '$dorvikLayout'],
  dorvik_page_take: function(record) {
    var e = dorvikPage.queue.shift(), at = dorvikLayout.fields;
    if (e === undefined) return 0;
    HEAP32[(record + at.kind) >> 2] = e.kind;
    HEAP32[(record + at.code) >> 2] = e.code || 0;
    HEAP32[(record + at.button) >> 2] = e.button || 0;
    HEAP32[(record + at.shift) >> 2] = e.shift || 0;
    HEAPF64[(record + at.x) >> 3] = e.x || 0;
    HEAPF64[(record + at.y) >> 3] = e.y || 0;
    return 1;
  },

  dorvik_page_paint__deps: ['$dorvikPage'],
  dorvik_page_paint: function(picture) {
    dorvikPage.show(picture);
  },

  // The end of the program: nothing more is delivered and the call stack is
  // abandoned (emscripten treats 'unwind' as a quiet return to the browser).
  dorvik_page_end__deps: ['$dorvikPage'],
  dorvik_page_end: function(number, text) {
    dorvikPage.ended = true;
    dorvikPage.queue = [];
    dorvikPage.withWords(function() { dorvikPage.lesson().ended(); });
    document.querySelectorAll('#keys button, #view-keys button').forEach(function(button) {
      button.disabled = true;
    });
    dorvikPage.paint();  // the last picture shown, if it waited for a frame
    var report = number !== 0 ? UTF8ToString(text) : null;
    if (report !== null) console.error("dorvik: Run-time error '" + number + "': " + report);
    dorvikPage.withWords(function() {
      var words = dorvikPage.lesson().text, again = words('reload', {});
      dorvikPage.say(report === null ? words('ended', {}) + ' ' + again
                                     : words('error', {number: String(number), text: report}) + '\n' + again);
    });
    document.documentElement.dataset.dorvik = number !== 0 ? 'error' : 'ended';
    throw 'unwind';
  },
});
