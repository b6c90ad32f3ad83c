// Tabs: a click shows the tab's panel; on a focused tab the arrow keys, Home and
// End move between tabs, as screen-reader users expect of a tab list.
(function () {
    "use strict";

    function select(tabs, index, moveFocus) {
        for (var i = 0; i < tabs.length; i++) {
            var selected = i === index;
            var panel = document.getElementById(tabs[i].getAttribute("aria-controls"));
            tabs[i].setAttribute("aria-selected", selected ? "true" : "false");
            tabs[i].tabIndex = selected ? 0 : -1;
            if (panel) {
                panel.hidden = !selected;
            }
        }
        if (moveFocus) {
            tabs[index].focus();
        }
    }

    function setUp(container) {
        var tabs = container.querySelectorAll("[role=tab]");
        for (var i = 0; i < tabs.length; i++) {
            tabs[i].addEventListener("click", select.bind(null, tabs, i, false));
            tabs[i].addEventListener("keydown", function (index, event) {
                var next = null;
                if (event.key === "ArrowRight") {
                    next = (index + 1) % tabs.length;
                } else if (event.key === "ArrowLeft") {
                    next = (index - 1 + tabs.length) % tabs.length;
                } else if (event.key === "Home") {
                    next = 0;
                } else if (event.key === "End") {
                    next = tabs.length - 1;
                }
                if (next !== null) {
                    event.preventDefault();
                    select(tabs, next, true);
                }
            }.bind(null, i));
        }
    }

    function start() {
        var containers = document.querySelectorAll(".kelp-tabs");
        for (var i = 0; i < containers.length; i++) {
            setUp(containers[i]);
        }
    }

    if (document.readyState === "loading") {
        document.addEventListener("DOMContentLoaded", start);
    } else {
        start();
    }
})();
