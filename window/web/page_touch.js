// Web page: one finger on the display area, as the desktop's pointer. Once
// the finger has moved beyond a small slop, its movements are pointer moves
// (beyond the area's edges too, as in a drag); a finger lifted within the
// slop is a tap, which is a click, and the second of two taps within the
// double-click time and distance is a double-click. Further fingers are
// ignored; the canvas takes no scrolling, zooming, selection or menu
// (dorvik.css, dorvik_page.js).

mergeInto(LibraryManager.library, {
  $dorvikTouch__deps: ['$dorvikLayout'],
  $dorvikTouch: {
    slop: 8,            // CSS pixels a tap may wander
    doubleTime: 500,    // ms between the taps of a double-tap (Windows' default)
    doubleSpan: 32,     // CSS pixels between them
    page: null,
    finger: null,       // the finger down: id, where it landed, whether it drags
    lastTap: null,      // time and place of the last tap, and the taps in a row

    start: function(page) {
      var touch = dorvikTouch, canvas = page.canvas;
      touch.page = page;
      canvas.addEventListener('pointerdown', touch.onDown);
      canvas.addEventListener('pointermove', touch.onMove);
      canvas.addEventListener('pointerup', touch.onUp);
      canvas.addEventListener('pointercancel', function() { touch.finger = null; });
    },

    onDown: function(event) {
      if (event.pointerType !== 'touch' || !event.isPrimary) return;
      dorvikTouch.finger = {id: event.pointerId, x: event.clientX, y: event.clientY, drags: false};
    },

    onMove: function(event) {
      var touch = dorvikTouch, finger = touch.finger;
      if (event.pointerType !== 'touch' || !finger || event.pointerId !== finger.id) return;
      touch.page.moves(event).forEach(function(part) {
        if (!finger.drags) {
          finger.drags = Math.hypot(part.clientX - finger.x, part.clientY - finger.y) > touch.slop;
          if (!finger.drags) return;
        }
        var p = touch.page.at(part);
        touch.page.push({kind: dorvikLayout.kinds.move, button: 1, shift: 0, x: p[0], y: p[1]});
      });
    },

    // Taps count as clicks do: odd ones click, even ones double-click.
    onUp: function(event) {
      var touch = dorvikTouch, finger = touch.finger;
      if (event.pointerType !== 'touch' || !finger || event.pointerId !== finger.id) return;
      touch.finger = null;
      if (finger.drags || !touch.page.inside(event)) return;
      var now = performance.now(), last = touch.lastTap;
      var again = last && now - last.time <= touch.doubleTime &&
                  Math.hypot(event.clientX - last.x, event.clientY - last.y) <= touch.doubleSpan;
      var count = again ? last.count + 1 : 1;
      touch.lastTap = {time: now, x: event.clientX, y: event.clientY, count: count};
      var kinds = dorvikLayout.kinds;
      touch.page.push({kind: count % 2 === 1 ? kinds.click : kinds.doubleClick});
    },
  },
});
