#include "SkinPictures.h"

#include <QBitmap>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>

namespace quillor {

bool loadSkinPicture(const QString &folder, const QString &fileName, QImage *image,
                     QString *error)
{
    const QString path = QDir(folder).filePath(fileName);
    const QFileInfo info(path);
    if (!info.exists()) {
        if (error)
            *error = QStringLiteral("The picture \"%1\" is missing.").arg(QDir::toNativeSeparators(path));
        return false;
    }
    QImageReader reader(path);
    QImage result = reader.read();
    if (result.isNull()) {
        if (error)
            *error = QStringLiteral("The picture \"%1\" cannot be read: %2.")
                         .arg(QDir::toNativeSeparators(path), reader.errorString());
        return false;
    }
    *image = result;
    return true;
}

bool SkinPictures::load(const QString &folder, QString *error)
{
    QImage image;
    auto pixmap = [&](const QString &name, QPixmap *out) {
        if (!loadSkinPicture(folder, name, &image, error))
            return false;
        *out = QPixmap::fromImage(image);
        return true;
    };
    if (!pixmap(QStringLiteral("toplogo.png"), &topLogo)
        || !pixmap(QStringLiteral("leftlogo.png"), &leftLogo)
        || !pixmap(QStringLiteral("downloadyoutube.png"), &downloadVideo)
        || !pixmap(QStringLiteral("youtubeconvert.png"), &convertVideo))
        return false;
    if (!loadSkinPicture(folder, QStringLiteral("main.bmp"), &main, error))
        return false;
    for (int i = 0; i < 3; ++i) {
        if (!pixmap(QStringLiteral("min_%1.bmp").arg(i + 1), &minimise[i])
            || !pixmap(QStringLiteral("close_%1.bmp").arg(i + 1), &close[i]))
            return false;
    }
    for (int i = 0; i < 4; ++i) {
        if (!pixmap(QStringLiteral("bottom_%1.bmp").arg(i + 1), &bottom[i]))
            return false;
    }
    return true;
}

QBitmap skinShapeMask(const QImage &skin)
{
    // For a pixmap, MaskInColor makes the matching pixels the transparent ones.
    return QPixmap::fromImage(skin.convertToFormat(QImage::Format_RGB32))
        .createMaskFromColor(QColor(255, 0, 255), Qt::MaskInColor);
}

} // namespace quillor
