// Shows a gallery picture large in a dialog when its thumbnail link is followed.
// Escape, the close button or a click beside the picture close it again, and the
// focus returns to the thumbnail. Without scripts the links open the pictures.
(function () {
    "use strict";

    var dialog = null;
    var picture = null;
    var caption = null;
    var opener = null;

    function makeDialog() {
        dialog = document.createElement("dialog");
        dialog.className = "kelp-gallery-dialog";
        var close = document.createElement("button");
        close.type = "button";
        close.className = "kelp-gallery-close";
        close.setAttribute("aria-label", "Close");
        close.textContent = "\u00d7";
        picture = document.createElement("img");
        caption = document.createElement("p");
        dialog.appendChild(close);
        dialog.appendChild(picture);
        dialog.appendChild(caption);
        document.body.appendChild(dialog);
        close.addEventListener("click", function () {
            dialog.close();
        });
        dialog.addEventListener("click", function (event) {
            if (event.target === dialog) {
                dialog.close();
            }
        });
        dialog.addEventListener("close", function () {
            if (opener) {
                opener.focus();
            }
        });
    }

    function show(link) {
        if (typeof HTMLDialogElement === "undefined") {
            return false;
        }
        if (!dialog) {
            makeDialog();
        }
        var thumbnail = link.querySelector("img");
        var figure = link.closest("figure");
        var text = figure ? figure.querySelector("figcaption") : null;
        picture.src = link.href;
        picture.alt = thumbnail ? thumbnail.alt : "";
        caption.textContent = text ? text.textContent : "";
        opener = link;
        dialog.showModal();
        return true;
    }

    function start() {
        var links = document.querySelectorAll(".kelp-gallery-item a");
        for (var i = 0; i < links.length; i++) {
            links[i].addEventListener("click", function (event) {
                if (show(event.currentTarget)) {
                    event.preventDefault();
                }
            });
        }
    }

    if (document.readyState === "loading") {
        document.addEventListener("DOMContentLoaded", start);
    } else {
        start();
    }
})();
