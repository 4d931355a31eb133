// The picture pages' keys and swipes: left and right arrow (or a swipe) go
// to the previous and next picture, Esc back to the grid. The pages are
// plain links without this script; it only follows them.
(function () {
  'use strict';
  function follow(id) {
    var link = document.getElementById(id);
    if (link && link.href) {
      link.click();
    }
  }
  document.addEventListener('keydown', function (event) {
    if (event.altKey || event.ctrlKey || event.metaKey || event.shiftKey) {
      return;
    }
    if (event.key === 'ArrowLeft') {
      follow('prev');
    } else if (event.key === 'ArrowRight') {
      follow('next');
    } else if (event.key === 'Escape') {
      follow('up');
    }
  });
  var startX = null, startY = 0;
  document.addEventListener('touchstart', function (event) {
    if (event.touches.length === 1) {
      startX = event.touches[0].clientX;
      startY = event.touches[0].clientY;
    } else {
      startX = null;
    }
  }, { passive: true });
  document.addEventListener('touchend', function (event) {
    if (startX === null) {
      return;
    }
    var touch = event.changedTouches[0];
    var dx = touch.clientX - startX, dy = touch.clientY - startY;
    startX = null;
    // A sideways swipe, not a scroll.
    if (Math.abs(dx) > 60 && Math.abs(dx) > 2 * Math.abs(dy)) {
      follow(dx < 0 ? 'next' : 'prev');
    }
  }, { passive: true });
})();
