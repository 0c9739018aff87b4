// The lesson around the picture: the page's words in the learner's language,
// the lift chart with its cursor on the frame on show (a slider that steps
// the program there), the parts' names over the picture, full screen for a
// projector, and a start on frame 1, stopped, where the browser asks for
// reduced motion. It reaches the program only through the keys that the
// on-screen keys type; the module calls painted(), pump() and ended().
// Runs before the fit (dorvik_fit.js) and before the first paint: the page
// has its words and its chart's place by then. The build writes the model's
// numbers in where a name stands between @ signs (make_page_layout_main.cpp);
// the words are page_text.js's, made from lang/*.json.
(function() {
  'use strict';
  var lifts = @LIFTS@;  // per frame: follower and rod rise, valve travel small, large (px)
  var anchors = @PART_ANCHORS@;  // per part, set and frame: a point on the part (client px)
  var frames = lifts.length, degrees = 360 / frames;
  var star = 42, slash = 47;  // the step keys' characters: one frame on, one back

  // Where each part's name stands (client px) and which way its text runs
  // from there: in the picture's empty places, clear of every part's travel.
  var labels = {eccentric: [110, 28, 'start'], lever: [250, 60, 'start'], arm: [70, 175, 'start'],
                valve: [75, 270, 'start'], rod: [290, 240, 'start'], follower: [205, 330, 'end'],
                cam: [180, 520, 'end']};

  // ------------------------------------------------------------ words
  var texts = window.dorvikTexts;
  function chooseLanguage() {
    var asked = new URLSearchParams(location.search).get('lang');
    var wanted = (asked ? [asked] : []).concat(navigator.languages || [navigator.language || '']);
    var known = Object.keys(texts);
    var family = function(tag) {  // Chinese in simplified script, or the primary subtag
      tag = tag.toLowerCase();
      if (/^zh(-|$)/.test(tag)) return /-(hant|tw|hk|mo)(-|$)/.test(tag) ? 'zh-hant' : 'zh-hans';
      return tag.split('-')[0];
    };
    for (var i = 0; i < wanted.length; ++i) {
      var tag = String(wanted[i]);
      var match = known.find(function(k) { return k.toLowerCase() === tag.toLowerCase(); }) ||
                  known.find(function(k) { return family(k) === family(tag); });
      if (match) return match;
    }
    return 'en';
  }
  var language = chooseLanguage(), words = texts[language];

  // A number in the language's own form. The formatter is made at its first
  // use, after the first frame: making it takes the browser some 10 ms.
  var numbers = null;
  function number(value) {
    numbers = numbers || new Intl.NumberFormat(language);
    return numbers.format(value);
  }

  // A text of the page's, with each {name} replaced by its value.
  function text(key, values) {
    return words[key].replace(/\{(\w+)\}/g, function(whole, name) {
      var value = values[name];
      return typeof value === 'number' ? number(value) : String(value);
    });
  }

  function setWords() {
    var root = document.documentElement;
    root.lang = language;
    document.querySelectorAll('[data-text]').forEach(function(e) { e.textContent = words[e.dataset.text]; });
    document.querySelectorAll('[data-name]').forEach(function(e) {
      e.setAttribute('aria-label', words[e.dataset.name]);
    });
    // A key's name starts with what it shows: its key and caption. A name
    // of a key longer than five letters (two for each of Chinese and
    // Japanese) is set smaller, to keep within the key.
    document.querySelectorAll('#keys kbd').forEach(function(kbd) {
      var wide = kbd.textContent.replace(/[\u2e80-\uffef]/g, '--');
      kbd.classList.toggle('long', wide.length > 5);
    });
    document.querySelectorAll('#keys button, #view-keys button').forEach(function(button) {
      button.setAttribute('aria-label', text('key.name', {
        shown: button.textContent.replace(/\s+/g, ' ').trim(), does: words[button.dataset.does]}));
    });
    document.querySelector('meta[name=description]').content = words['page.description'];
    if (language !== 'en') {
      document.querySelector('link[rel=manifest]').href = 'dorvik.' + language + '.webmanifest';
    }
  }

  // ------------------------------------------------------------ the chart
  var svgSpace = 'http://www.w3.org/2000/svg';
  function svg(name, attributes, parent) {
    var element = document.createElementNS(svgSpace, name);
    Object.keys(attributes).forEach(function(key) { element.setAttribute(key, attributes[key]); });
    if (parent) parent.appendChild(element);
    return element;
  }

  var chart = null, plot = null, cursor = null, shown = -1, drawn = false, series = ['rise', 'small', 'large'];
  var margin = {left: 30, right: 10, top: 8, bottom: 30};
  var most = Math.ceil(Math.max.apply(null, lifts.map(function(r) { return Math.max.apply(null, r); })) / 10) * 10;

  function xOf(frame) { return margin.left + frame * (plot.width - margin.left - margin.right) / (frames - 1); }
  function yOf(lift) { return plot.height - margin.bottom - lift * (plot.height - margin.bottom - margin.top) / most; }

  // The chart at its size on the page, in CSS pixels: text at its own size
  // and lines as sharp as the screen allows, at every scale.
  function drawChart() {
    var box = chart.getBoundingClientRect();
    if (box.width === 0 || box.height === 0) return;
    plot = {width: box.width, height: box.height};
    var picture = svg('svg', {width: plot.width, height: plot.height, 'aria-hidden': 'true',
                              viewBox: '0 0 ' + plot.width + ' ' + plot.height});
    var bottom = yOf(0), top = yOf(most);
    for (var lift = 0; lift <= most; lift += 10) {
      svg('line', {x1: xOf(0), x2: xOf(frames - 1), y1: yOf(lift), y2: yOf(lift), class: 'grid'}, picture);
      svg('text', {x: margin.left - 4, y: yOf(lift) + 4, 'text-anchor': 'end'}, picture)
          .textContent = number(lift);
    }
    [0, 90, 180, 270].forEach(function(angle) {
      var x = xOf(angle / degrees);
      svg('line', {x1: x, x2: x, y1: top, y2: bottom + 3, class: 'grid'}, picture);
      svg('text', {x: x, y: bottom + 14, 'text-anchor': angle ? 'middle' : 'start'}, picture)
          .textContent = number(angle) + '°';
    });
    svg('text', {x: xOf(frames - 1), y: bottom + 27, 'text-anchor': 'end'}, picture)
        .textContent = words['chart.angle'] + ' →';
    svg('text', {x: margin.left - 26, y: bottom + 27}, picture).textContent = words['chart.lift'];
    series.forEach(function(name, column) {
      svg('polyline', {class: 'line ' + name, points: lifts.map(function(row, frame) {
        return xOf(frame) + ',' + yOf(row[column]);
      }).join(' ')}, picture);
    });
    cursor = svg('line', {class: 'cursor', y1: top - 4, y2: bottom}, picture);
    chart.replaceChildren(picture);
    showOnChart(shown);
  }

  function showOnChart(slot) {
    if (!cursor) return;
    cursor.setAttribute('visibility', slot < 0 ? 'hidden' : 'visible');
    if (slot < 0) return;
    var x = xOf(slot % frames);
    cursor.setAttribute('x1', x);
    cursor.setAttribute('x2', x);
    cursor.dataset.frame = slot % frames + 1;  // read by the page's tests
    chart.parentNode.dataset.set = slot < frames ? 'small' : 'large';
  }

  // What the slider says: the frame on show, its cam angle and lifts.
  function describe(slot) {
    if (slot < 0) return;
    var frame = slot % frames, set = slot < frames ? 1 : 2;
    chart.setAttribute('aria-valuenow', frame + 1);
    chart.setAttribute('aria-valuetext', text('chart.value', {
      frame: frame + 1, frames: frames, angle: frame * degrees, rise: lifts[frame][0],
      travel: lifts[frame][set]}));
  }

  // The numbers as a table, for screen readers.
  function fillTable() {
    var body = document.querySelector('#lifts tbody');
    lifts.forEach(function(row, frame) {
      var line = document.createElement('tr');
      [frame + 1, frame * degrees].concat(row).forEach(function(value, column) {
        var cell = document.createElement(column === 0 ? 'th' : 'td');
        cell.textContent = number(value) + (column === 1 ? '°' : '');
        line.appendChild(cell);
      });
      body.appendChild(line);
    });
  }

  // ------------------------------------------------------------ stepping there
  // A frame the chart asked for: the program is stopped on it with the step
  // keys, one a pump, each shown on the way. The first key stops a run (or
  // steps, when the start-up run or a standing picture takes it); input of
  // the learner's own ends the seeking.
  var seek = null, begun = false, first = -1, ended = false;

  function goTo(frame, told) {
    if (ended) return;
    seek = {target: ((frame % frames) + frames) % frames, sent: false, told: told};
  }

  function frameAt(event) {
    var box = chart.getBoundingClientRect(), step = (xOf(1) - xOf(0));
    return Math.max(0, Math.min(frames - 1, Math.round((event.clientX - box.left - xOf(0)) / step)));
  }

  function onChartKey(event) {
    var base = seek ? seek.target : shown % frames;
    var to = {ArrowRight: base + 1, ArrowUp: base + 1, ArrowLeft: base - 1, ArrowDown: base - 1,
              Home: 0, End: frames - 1}[event.key];
    if (to === undefined || shown < 0) return;
    event.preventDefault();
    goTo(to);
  }

  function startChart() {
    chart = document.getElementById('chart');
    chart.addEventListener('keydown', onChartKey);
    chart.addEventListener('pointerdown', function(event) {
      if (event.button !== 0 || !plot) return;  // (not drawn yet: no frames to go to)
      chart.setPointerCapture(event.pointerId);
      chart.focus({preventScroll: true});
      goTo(frameAt(event));
    });
    chart.addEventListener('pointermove', function(event) {
      if (plot && chart.hasPointerCapture(event.pointerId)) goTo(frameAt(event));
    });
    document.getElementById('display').addEventListener('fitted', function() {
      if (drawn) requestAnimationFrame(drawChart);  // again at the new size
    });
    chart.setAttribute('aria-valuemax', frames);
    // The chart's box is laid out already; its drawing and the table wait
    // for the program's start, which has the page's thread first.
    window.addEventListener('load', function() {
      setTimeout(function() {
        fillTable();
        drawn = true;
        drawChart();
      }, 0);
    });
  }

  // ------------------------------------------------------------ the parts' names
  var leaders = {}, namesShown = false;

  function startNames() {
    var width = @CLIENT_WIDTH@, height = @CLIENT_HEIGHT@, layer = document.getElementById('names');
    var lines = svg('svg', {viewBox: '0 0 ' + width + ' ' + height, preserveAspectRatio: 'none'}, layer);
    Object.keys(labels).forEach(function(part) {
      var at = labels[part], name = document.createElement('span');
      name.className = 'part-name ' + at[2];
      name.textContent = words['part.' + part];
      name.style.left = (100 * at[0] / width) + '%';
      name.style.top = (100 * at[1] / height) + '%';
      layer.appendChild(name);
      leaders[part] = svg('line', {x1: at[0], y1: at[1]}, lines);
    });
    var key = document.getElementById('names-key');
    key.addEventListener('click', function() {
      namesShown = !namesShown;
      key.setAttribute('aria-pressed', namesShown);
      layer.hidden = !namesShown;
      placeNames(shown);
    });
  }

  function placeNames(slot) {
    if (!namesShown || slot < 0) return;
    var set = slot < frames ? 0 : 1, frame = slot % frames;
    Object.keys(leaders).forEach(function(part) {
      var to = anchors[part][set][frame];
      leaders[part].setAttribute('x2', to[0]);
      leaders[part].setAttribute('y2', to[1]);
    });
  }

  // ------------------------------------------------------------ full screen
  function startFullScreen() {
    var key = document.getElementById('full-key'), root = document.documentElement;
    var allowed = document.fullscreenEnabled || document.webkitFullscreenEnabled;
    key.hidden = !allowed;
    if (!allowed) return;
    key.addEventListener('click', function() {
      var now = document.fullscreenElement || document.webkitFullscreenElement;
      if (now) (document.exitFullscreen || document.webkitExitFullscreen).call(document);
      else (root.requestFullscreen || root.webkitRequestFullscreen).call(root);
    });
    var changed = function() {
      key.setAttribute('aria-pressed', !!(document.fullscreenElement || document.webkitFullscreenElement));
    };
    document.addEventListener('fullscreenchange', changed);
    document.addEventListener('webkitfullscreenchange', changed);
  }

  // ------------------------------------------------------------ the module's side
  window.dorvikLesson = {
    text: text,

    // A picture put on the canvas (-1: none), in the same task and so the
    // same paint as the picture: the chart's cursor and the names' leaders.
    painted: function(slot) {
      if (first < 0 && slot >= 0) first = slot;
      else if (slot >= 0 && slot !== first) begun = true;  // the loop's first pass moved on
      shown = slot;
      showOnChart(slot);
      placeNames(slot);
    },

    // The line under the keys was written: the slider says the same.
    described: describe,

    // Input of the learner's (keys, clicks, taps) takes over from the chart.
    input: function() {
      seek = null;
      var status = document.getElementById('status');
      if (status.textContent === words.reducedMotion) status.textContent = '';
    },

    // The start of a pump, with the picture on show (`slot`): the character
    // of the next step key towards the frame asked for, or null. `still`
    // says the picture stood through the last pass, which a run never does;
    // after a step key the program stands.
    pump: function(slot, still) {
      if (!seek || !begun || slot < 0) return null;
      var phase = slot % frames;
      if (phase === seek.target && (seek.sent || still)) {
        if (seek.told) document.getElementById('status').textContent = text(seek.told, {});
        seek = null;
        return null;
      }
      seek.sent = true;
      return (seek.target - phase + frames) % frames <= frames / 2 ? star : slash;
    },

    ended: function() {
      ended = true;
      seek = null;
      chart.setAttribute('aria-disabled', 'true');
    },
  };

  setWords();
  startChart();
  startNames();
  startFullScreen();
  // Reduced motion: frame 1, stopped, from the first pass on; the line says
  // how to play.
  if (window.matchMedia('(prefers-reduced-motion: reduce)').matches) goTo(0, 'reducedMotion');
})();
