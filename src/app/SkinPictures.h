#pragma once
// The chrome pictures of the main window, read from the resource folder.

#include <QBitmap>
#include <QImage>
#include <QPixmap>
#include <QString>

namespace quillor {

struct SkinPictures {
    QPixmap topLogo;       // "toplogo.png"
    QPixmap leftLogo;      // "leftlogo.png", also the About dialog's picture
    QPixmap downloadVideo; // "downloadyoutube.png"
    QPixmap convertVideo;  // "youtubeconvert.png"
    QImage main;           // "main.bmp", the window's skin; fuchsia is transparent
    QPixmap minimise[3];   // "min_1.bmp" .. "min_3.bmp": normal, hover, down
    QPixmap close[3];      // "close_1.bmp" .. "close_3.bmp"
    QPixmap bottom[4];     // "bottom_1.bmp" .. "bottom_4.bmp": normal, hover, down, disabled

    // Reads every picture from the folder. On failure returns false and sets
    // error to a sentence naming the file and what is wrong with it.
    bool load(const QString &folder, QString *error);
};

// One picture; a missing or unreadable file gives an error naming it.
bool loadSkinPicture(const QString &folder, const QString &fileName, QImage *image,
                     QString *error);

// The window shape: every pixel except those of fuchsia (255, 0, 255).
QBitmap skinShapeMask(const QImage &skin);

} // namespace quillor
