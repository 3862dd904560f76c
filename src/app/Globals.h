#pragma once
// Process-wide values of the application shell: the application title and
// the three lists of texts that live from process start to process end.

#include <QString>
#include <QStringList>

namespace quillor {

// The only product name the program uses; every caption that names the
// product inserts it through "%s".
inline constexpr char kApplicationTitle[] = "Quillor";

inline QString applicationTitle() { return QString::fromLatin1(kApplicationTitle); }

// Error lines of the current conversion run.
QStringList &conversionErrorList();
// Probe error texts of the current batch of added files.
QStringList &failedFilesList();
// Paths of the videos saved by the current download run.
QStringList &downloadedFilesList();

} // namespace quillor
