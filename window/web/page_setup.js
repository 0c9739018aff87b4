// Web page: the settings the page gives the module before it starts (put in
// front of dorvik.js at the link, so that the page holds no inline script):
// a module that cannot start says so on the page, and the page is fitted to
// the screen before the module has loaded.
Module['onAbort'] = function(what) {
  document.getElementById('status').textContent =
      'The viewer could not run: ' + what + '\nReload the page to start it again.';
  document.documentElement.dataset.dorvik = 'error';
};
Module['preRun'] = [function() { dorvikFit.start(); }];
