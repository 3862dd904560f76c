#include "InputList.h"

#include "FFDecode.h"
#include "FFmpeg.h"

namespace quillor {

QString DurationTextOf(std::int64_t us)
{
    if (us < 0)
        return QString::fromLatin1(kDurationUnknownText);
    return QString::fromStdString(FormatDurationText(us));
}

QString BitRateTextOf(std::int64_t bitsPerSecond)
{
    if (bitsPerSecond < 1)
        return QStringLiteral("Bit rate is not preseted");
    return QStringLiteral("%1 Kbps").arg(bitsPerSecond / 1000);
}

namespace {

MediaFileInfo describeOpenFile(TFFDecoder &probe, const QString &path)
{
    MediaFileInfo row;
    row.FullName = path;
    const int video = probe.FirstVideoStream();

    TFileStreamInfo file;
    probe.ReadFileStreamInfo(file);
    if (video < 0) {
        row.AudioOnly = true;
    } else {
        // The thumbnail is the picture in the middle of the file.
        probe.SeekMedia(0, file.Duration > 0 ? file.Duration / 2 : 0);
        if (probe.DecodeVideoPicture(video))
            probe.PictureToBitmap(row.Thumbnail);
    }

    row.DurationText = QStringLiteral("Duration: ") + DurationTextOf(file.Duration);
    row.RealDuration = file.Duration > 0 ? file.Duration : 0;

    if (video >= 0) {
        TVideoStreamInfo v;
        probe.ReadVideoStreamInfo(video, v);
        row.BitrateText = QStringLiteral("Bit rate: ") + BitRateTextOf(v.BitRate);
        row.DimensionText = QStringLiteral("Dimension: %1 x %2").arg(v.Width).arg(v.Height);
        row.Width = v.Width;
        row.Height = v.Height;
        row.AspectRatio = v.DisplayAspectRatio;
    } else {
        TAudioStreamInfo a;
        if (probe.FirstAudioStream() >= 0)
            probe.ReadAudioStreamInfo(probe.FirstAudioStream(), a);
        row.BitrateText = QStringLiteral("Audio Bit rate: ") + BitRateTextOf(a.BitRate);
        row.DimensionText = QStringLiteral("Audio Encoder: ") + QString::fromStdString(a.CodecName);
    }
    return row;
}

} // namespace

AddFilesResult InputList::AddMediaFiles(TFFDecoder &probe, const QStringList &paths,
                                        const std::function<void(int row)> &rowAdded)
{
    AddFilesResult result;
    for (const QString &path : paths) {
        bool opened = false;
        try {
            opened = probe.OpenMediaFile(path.toStdString(), std::string());
        } catch (const FFmpegException &e) {
            // Without the libraries no other file can be opened either.
            result.FatalError = QString::fromStdString(e.message());
            return result;
        }
        if (!opened) {
            const QString error = QString::fromStdString(probe.LastError());
            result.LogLines << QString::fromLatin1(kFileLoadErrorPrefix) + error;
            result.Failed << error;
            continue;
        }
        try {
            rows_.push_back(describeOpenFile(probe, path));
        } catch (const FFmpegException &e) {
            probe.CloseMediaFile();
            result.LogLines << QString::fromLatin1(kFileLoadErrorPrefix) + QString::fromStdString(e.message());
            result.Failed << QString::fromStdString(e.message());
            continue;
        }
        probe.CloseMediaFile();
        ++result.Added;
        if (rowAdded)
            rowAdded(Count() - 1);
    }
    return result;
}

int InputList::Delete(int row)
{
    if (row < 0 || row >= Count())
        return -1;
    rows_.erase(rows_.begin() + row);
    if (rows_.empty())
        return -1;
    return row < Count() ? row : Count() - 1;
}

bool InputList::Move(int from, int to)
{
    if (from < 0 || from >= Count() || to < 0 || to >= Count())
        return false;
    if (from == to)
        return true;
    MediaFileInfo row = std::move(rows_[from]);
    rows_.erase(rows_.begin() + from);
    rows_.insert(rows_.begin() + to, std::move(row));
    return true;
}

InputActionStates InputList::ActionStates(int count, int selected)
{
    InputActionStates s;
    const bool hasSelection = selected >= 0 && selected < count;
    s.Delete = hasSelection;
    s.Clear = count > 0;
    s.MoveUp = hasSelection && selected > 0;
    s.MoveDown = hasSelection && selected < count - 1;
    s.Play = hasSelection;
    return s;
}

std::vector<JoinInput> InputList::JoinInputs() const
{
    std::vector<JoinInput> inputs;
    for (const MediaFileInfo &row : rows_) {
        JoinInput in;
        in.Path = row.FullName.toStdString();
        in.DurationUs = row.RealDuration;
        in.Width = row.Width;
        in.Height = row.Height;
        in.AspectRatio = row.AspectRatio;
        inputs.push_back(in);
    }
    return inputs;
}

} // namespace quillor
