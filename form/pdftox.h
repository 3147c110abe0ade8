#pragma once
// Progress callback of the page export: keeps the window responsive while a page renders.

// Ignores its arguments, runs pending window messages and returns 1.
int ExportProgress(int page, int done, int total);
