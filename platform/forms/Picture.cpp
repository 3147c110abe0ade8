#include "forms/Picture.h"

#include <QFileInfo>
#include <QImageReader>

#include "win/RuntimeError.h"
#include "win/WinPath.h"

namespace forms {

QImage loadPicture(const QString& fileName) {
    if (fileName.isEmpty()) return QImage();
    const QString host = win::toHostPath(fileName);
    if (!QFileInfo(host).isFile()) throw win::RuntimeError(win::kErrFileNotFound, "File not found");
    QImageReader reader(host);
    reader.setDecideFormatFromContent(true);
    const QByteArray format = reader.format().toLower();
    static const QList<QByteArray> kFormats = {"bmp", "dib", "ico", "cur", "jpeg", "jpg", "gif"};
    if (!kFormats.contains(format)) throw win::RuntimeError(kErrInvalidPicture, "Invalid picture");
    QImage image = reader.read();
    if (image.isNull()) throw win::RuntimeError(kErrInvalidPicture, "Invalid picture");
    return image;
}

}  // namespace forms
