// Anchors the static resource library; the resources register themselves at start-up.
