// Web page: the settings the page gives the module before it starts (put in
// front of dorvik.js at the link, so that the page holds no inline script):
// the module is compiled from the script's first statement (the page
// preloads it), the program draws into the page's fit (whenever that runs),
// and a module that cannot start says so on the page, in its words.
Module['onAbort'] = function(what) {
  document.documentElement.dataset.dorvik = 'error';
  dorvikPage.withWords(function() {
    var words = dorvikPage.lesson().text;
    if (Module['unloaded']) what = words('cannotLoad', {}) + ': ' + what;
    document.getElementById('status').textContent =
        words('cannotRun', {what: what}) + '\n' + words('reload', {});
  });
};
Module['instantiateWasm'] = function(imports, receiveInstance) {
  WebAssembly.instantiateStreaming(fetch('dorvik.wasm', {credentials: 'same-origin'}), imports)
      .then(function(result) { receiveInstance(result.instance); },
            function(error) {
              Module['unloaded'] = true;
              abort(String(error));
            });
  return {};
};
Module['preRun'] = [function() { dorvikFit.start(); }];
