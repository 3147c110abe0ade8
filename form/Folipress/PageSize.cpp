#include "PageSize.h"

#include <algorithm>

#include "win/RuntimeError.h"

PageSize PageSizeFor(int pixelsWide, int pixelsHigh) {
    double w = pixelsWide / 0.376;
    double h = pixelsHigh / 0.376;
    if (w > 32767.0 || h > 32767.0) {
        const double scale = 32767.0 / std::max(w, h);
        w = std::max(1.0, w * scale);
        h = std::max(1.0, h * scale);
    }
    PageSize size;
    win::skipOnError([&] { size.W = win::roundToInt16(w); });
    win::skipOnError([&] { size.H = win::roundToInt16(h); });
    return size;
}
