// Keeps the update library non-empty while it grows.
