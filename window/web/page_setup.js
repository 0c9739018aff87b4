// Web page: the settings the page gives the module before it starts (put in
// front of dorvik.js at the link, so that the page holds no inline script):
// the module is compiled from the script's first statement (the page
// preloads it), the page is fitted to the screen before the program starts,
// and a module that cannot start says so on the page.
Module['onAbort'] = function(what) {
  document.getElementById('status').textContent =
      'The viewer could not run: ' + what + '\nReload the page to start it again.';
  document.documentElement.dataset.dorvik = 'error';
};
Module['instantiateWasm'] = function(imports, receiveInstance) {
  WebAssembly.instantiateStreaming(fetch('dorvik.wasm', {credentials: 'same-origin'}), imports)
      .then(function(result) { receiveInstance(result.instance); },
            function(error) { abort('the program cannot be loaded: ' + error); });
  return {};
};
Module['preRun'] = [function() { dorvikFit.start(); }];
