#pragma once
// The ordered list of files to convert, without widgets.
//
// Every file is opened with the media probe before it is listed; a file
// the probe cannot open is not listed but collected for the failed-files
// dialog. The window shows the rows and draws the thumbnails; the
// conversion run reads the full path, the duration and the picture values.

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <vector>

#include "EngineBitmap.h"
#include "TaskBuilder.h"

namespace quillor {

class TFFDecoder;

inline constexpr char kFileLoadErrorPrefix[] = "File load error: ";

// One row of the input list.
struct MediaFileInfo {
    EngineBitmap Thumbnail;     // the middle picture of a video; empty when it could not be decoded
    bool AudioOnly = false;     // no video stream: the window shows the audio icon
    QString DurationText;       // "Duration: ..."
    QString BitrateText;        // "Bit rate: ..." or "Audio Bit rate: ..."
    QString DimensionText;      // "Dimension: W x H" or "Audio Encoder: codec"
    QString FullName;           // the path as added
    std::int64_t RealDuration = 0; // microseconds; 0 when the probe cannot tell
    int Width = -1;             // -1 without video
    int Height = -1;
    double AspectRatio = -1;    // display aspect ratio; -1 without video
};

// "hh:mm:ss.zzz" or "Duration is not preseted" for a negative duration.
QString DurationTextOf(std::int64_t microseconds);
// "%d Kbps" of bit/s, or "Bit rate is not preseted" below 1.
QString BitRateTextOf(std::int64_t bitsPerSecond);

struct AddFilesResult {
    int Added = 0;
    QStringList Failed;   // the probe's error text of each file it could not open
    QStringList LogLines; // for the log window
    // The libraries are missing: the rest of the batch was not tried.
    QString FatalError;
};

// Which of the list's actions can be used.
struct InputActionStates {
    bool Delete = false, Clear = false, MoveUp = false, MoveDown = false, Play = false;
};

class InputList {
public:
    int Count() const { return static_cast<int>(rows_.size()); }
    const MediaFileInfo &Row(int index) const { return rows_.at(index); }

    // Probes `paths` in order and appends a row for each file the probe
    // opens. `rowAdded` runs after every appended row (the window shows it
    // at once and keeps painting).
    AddFilesResult AddMediaFiles(TFFDecoder &probe, const QStringList &paths,
                                 const std::function<void(int row)> &rowAdded = {});

    // Removes a row; returns the row to select next (the same position, or
    // the new last row), -1 when the list is empty.
    int Delete(int row);
    void Clear() { rows_.clear(); }
    // Moves the row at `from` to position `to`; false when either is out of range.
    bool Move(int from, int to);

    static InputActionStates ActionStates(int count, int selected);

    // The rows as join mode reads them.
    std::vector<JoinInput> JoinInputs() const;

private:
    std::vector<MediaFileInfo> rows_;
};

} // namespace quillor
