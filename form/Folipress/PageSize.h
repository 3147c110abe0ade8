#pragma once
// The page size of a picture: its pixels at 96 dots per inch, in tenths of a millimetre
// (pixels / 0.376), rounded halves to even, as 16-bit numbers.

struct PageSize {
    short W = 0;
    short H = 0;
};

// A picture too large for 16-bit sides (more than 12,320 pixels) is scaled down to fit,
// keeping its proportions, so it still gets its whole page.
PageSize PageSizeFor(int pixelsWide, int pixelsHigh);
