// Opens and closes every drop-down menu of the page: a click or Enter on the button
// toggles the list, Escape closes it and gives the focus back to the button, and a
// click elsewhere closes any open list.
(function () {
    "use strict";

    function setOpen(menu, open) {
        var toggle = menu.querySelector(".kelp-dropdown-toggle");
        var list = menu.querySelector(".kelp-dropdown-list");
        if (!toggle || !list) {
            return;
        }
        toggle.setAttribute("aria-expanded", open ? "true" : "false");
        list.hidden = !open;
    }

    function closeAll(except) {
        var menus = document.querySelectorAll(".kelp-dropdown");
        for (var i = 0; i < menus.length; i++) {
            if (menus[i] !== except) {
                setOpen(menus[i], false);
            }
        }
    }

    function setUp(menu) {
        var toggle = menu.querySelector(".kelp-dropdown-toggle");
        if (!toggle) {
            return;
        }
        toggle.addEventListener("click", function (event) {
            event.stopPropagation();
            var open = toggle.getAttribute("aria-expanded") !== "true";
            closeAll(menu);
            setOpen(menu, open);
            if (open) {
                var first = menu.querySelector(".kelp-dropdown-list a");
                if (first && event.detail === 0) {
                    first.focus();
                }
            }
        });
        menu.addEventListener("keydown", function (event) {
            if (event.key === "Escape" && toggle.getAttribute("aria-expanded") === "true") {
                setOpen(menu, false);
                toggle.focus();
            }
        });
        menu.addEventListener("focusout", function (event) {
            if (event.relatedTarget && !menu.contains(event.relatedTarget)) {
                setOpen(menu, false);
            }
        });
    }

    function start() {
        var menus = document.querySelectorAll(".kelp-dropdown");
        for (var i = 0; i < menus.length; i++) {
            setUp(menus[i]);
        }
        document.addEventListener("click", function () {
            closeAll(null);
        });
    }

    if (document.readyState === "loading") {
        document.addEventListener("DOMContentLoaded", start);
    } else {
        start();
    }
})();
