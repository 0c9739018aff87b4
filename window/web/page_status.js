// Web page: the line under the on-screen keys that names the picture on show
// ("Large lift, frame 5 of 18"), written at most four times a second while
// the animation runs, and said to screen readers (a polite live region) only
// once the picture stands still: stopped, stepped or scrubbed to.

mergeInto(LibraryManager.library, {
  $dorvikStatus: {
    current: -1,      // the picture on show
    onLine: -1,       // the picture the line is to name
    timer: 0,
    writtenAt: -1e9,  // when the line was last written (ms)
    still: 0,         // passes since the picture last changed
    changedAt: 0,
    spoken: false,    // the standing picture has been said

    describe: function(slot) {
      if (slot < 0) return '';
      return dorvikPage.lesson().text(slot < 18 ? 'line.small' : 'line.large', {frame: slot % 18 + 1, frames: 18});
    },

    changed: function(picture) {
      var status = dorvikStatus;
      status.current = picture;
      status.still = 0;
      status.changedAt = performance.now();
      if (status.spoken) {
        status.spoken = false;
        document.getElementById('said').textContent = '';
      }
    },

    painted: function(picture) {
      var status = dorvikStatus;
      status.onLine = picture;
      if (status.timer) return;
      var wait = Math.max(0, status.writtenAt + 250 - performance.now());
      status.timer = setTimeout(status.write, wait);
    },

    write: function() {
      var status = dorvikStatus;
      status.timer = 0;
      status.writtenAt = performance.now();
      document.getElementById('frame').textContent = status.describe(status.onLine);
      dorvikPage.lesson().described(status.onLine);
    },

    // Every pass of the playback loop. A run changes the picture at every
    // pass, so a picture that two passes and a moment have left alone stands.
    pass: function() {
      var status = dorvikStatus;
      if (++status.still < 2 || status.spoken || performance.now() - status.changedAt < 300) return;
      status.spoken = true;
      document.getElementById('said').textContent = status.describe(status.current);
    },
  },
});
