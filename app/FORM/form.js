// Behaviour of the entry pages. A page talks to the program only through
// window.status: every button that carries a data-status attribute sets it
// to that command (moves "#…", date picker "!…"). For the keyboard: Enter in
// a one-line field moves to the next field instead of submitting the form
// (never while the input method is composing), F4 or Alt+Down in a date field
// opens its date picker, and the first field takes the focus on load (or,
// for a page built ahead of time, when the shell shows it).
(function () {
  'use strict';

  function send(command) {
    window.status = command;
  }

  function boundFields() {
    var form = document.forms[0];
    if (!form) return [];
    return Array.prototype.filter.call(form.elements, function (element) {
      return element.name && element.name.indexOf('zlk') === 0 && !element.disabled &&
          element.type !== 'hidden';
    });
  }

  function focusNext(current) {
    var fields = boundFields();
    var index = fields.indexOf(current);
    if (index >= 0 && index + 1 < fields.length) fields[index + 1].focus();
  }

  document.addEventListener('click', function (event) {
    var button = event.target.closest && event.target.closest('button[data-status]');
    if (button) send(button.getAttribute('data-status'));
  });

  document.addEventListener('keydown', function (event) {
    var target = event.target;
    if (!target.name || target.name.indexOf('zlk') !== 0) return;
    if (event.isComposing || event.keyCode === 229) return;
    if (event.key === 'Enter' && target.tagName !== 'TEXTAREA' && !event.altKey &&
        !event.ctrlKey && !event.shiftKey) {
      event.preventDefault();
      focusNext(target);
      return;
    }
    var opensPicker = event.key === 'F4' || (event.altKey && event.key === 'ArrowDown');
    if (opensPicker && target.classList.contains('date')) {
      var picker = target.parentNode.querySelector('button.pick');
      if (picker) {
        event.preventDefault();
        send(picker.getAttribute('data-status'));
      }
    }
  });

  function focusFirstField() {
    // A page built ahead of time in a hidden frame leaves the focus where the
    // user has it, until it is shown.
    if (window.name === 'zelka-ahead') return;
    var fields = boundFields();
    if (fields.length && (!document.activeElement || document.activeElement === document.body)) {
      fields[0].focus();
    }
  }
  window.addEventListener('load', focusFirstField);
  // A page built ahead of time in a hidden frame gets this when it is shown.
  window.addEventListener('zelka:shown', focusFirstField);
})();
