#pragma once
// The forms runtime's picture loader: bitmaps, icons and cursors, JPEG and GIF files.
#include <QImage>
#include <QString>

namespace forms {

constexpr int kErrInvalidPicture = 481;

// Loads a picture file (Windows path). An empty name gives no picture. A missing file raises
// RuntimeError 53 "File not found"; a file in another format or damaged raises 481
// "Invalid picture".
QImage loadPicture(const QString& fileName);

}  // namespace forms
