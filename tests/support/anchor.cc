// Keeps the support library non-empty whatever peers exist.
