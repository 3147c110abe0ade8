#pragma once
// Finds every image file in a folder tree and appends its path to the two parallel file lists.
#include <QString>

class QListWidget;

namespace FileSearch {

// Appends the full path of each image (name ending in BMP, JPG, GIF, PNG, TIF, TIFF or JPEG, any
// case) to both lists: a folder's own images in name order first, then each subfolder's tree in
// turn. At most 200 subfolders of any one folder are searched. Pumps window messages while it
// walks; a folder that cannot be listed adds nothing.
void SearchImages(QString folder, QListWidget* first, QListWidget* second);

// The text up to its last character that is neither NUL nor a space; "" when there is none.
QString StripTrailing(const QString& text);

}  // namespace FileSearch
