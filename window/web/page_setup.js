// Web page: the settings the page gives the module before it starts (put in
// front of dorvik.js at the link, so that the page holds no inline script):
// the module is compiled from the script's first statement (the page
// preloads it), the page is fitted to the screen and has its words before
// the program starts, and a module that cannot start says so on the page.
Module['onAbort'] = function(what) {
  var words = dorvikLesson.text;
  document.getElementById('status').textContent =
      words('cannotRun', {what: what}) + '\n' + words('reload', {});
  document.documentElement.dataset.dorvik = 'error';
};
Module['instantiateWasm'] = function(imports, receiveInstance) {
  WebAssembly.instantiateStreaming(fetch('dorvik.wasm', {credentials: 'same-origin'}), imports)
      .then(function(result) { receiveInstance(result.instance); },
            function(error) { abort(dorvikLesson.text('cannotLoad', {}) + ': ' + error); });
  return {};
};
// The page's deferred scripts (its words and lesson, the fit) run before the
// program, which may be compiled before they are.
Module['preRun'] = [function() {
  if (document.readyState !== 'loading') {
    dorvikFit.start();
    return;
  }
  addRunDependency('page');
  document.addEventListener('DOMContentLoaded', function() {
    dorvikFit.start();
    removeRunDependency('page');
  });
}];
