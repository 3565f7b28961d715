// Keeps the support library non-empty before its helpers exist.
