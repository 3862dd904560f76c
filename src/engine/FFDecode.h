#pragma once
// The media probe: opens one media file, reports its container values,
// metadata and stream layout, describes one audio and one video stream, and
// decodes one video picture into a bitmap (the input list's thumbnail).
//
// Works on the thread that calls it. Results follow the engine's rule:
// operations return a result and keep LastError(); every problem is also
// reported to the engine log. Two conditions throw FFmpegException instead:
// the libraries are not loaded ("LibAVCodec not loaded." ...), and seeking
// or decoding a context that belongs to someone else (AttachContext).
//
// File names are UTF-8 (see UnicodeProtocol.h for how they reach FFmpeg).
// Times are microseconds unless a field says it is in the stream's own
// time base; numeric fields are -1 when the file does not tell them.

#include <cstdint>
#include <string>

#include "EngineBitmap.h"

struct AVCodecContext;
struct AVFormatContext;
struct AVStream;
struct AVFrame;
struct AVPacket;
struct SwsContext;
struct AVFilterGraph;
struct AVFilterContext;

namespace quillor {

// The libraries' marker for "no time stamp".
constexpr std::int64_t NoValue = INT64_MIN;

struct TFileStreamInfo {
    std::int64_t StartTime = -1; // microseconds
    std::int64_t Duration = -1;  // microseconds
    std::int32_t BitRate = -1;   // bits per second
    std::int64_t Timestamp = -1;
    std::int32_t Year = -1;
    std::int32_t Track = -1;
    std::string Title, Author, Copyright, Comment, Album, Genre;
};

struct TAudioStreamInfo {
    std::string Language;
    std::string CodecName;
    std::int64_t StreamStartTime = -1; // stream time base, NoValue when absent
    std::int64_t StartTime = -1;       // microseconds
    std::int64_t StreamDuration = -1;  // stream time base
    std::int64_t Duration = -1;        // microseconds
    std::int32_t BitRate = -1;
    std::int32_t Channels = -1;
    std::int32_t SampleRate = -1;
    std::int32_t SampleFormat = -1; // AVSampleFormat
};

struct TVideoStreamInfo {
    std::string Language;
    std::string CodecName;
    std::int64_t StreamStartTime = -1;
    std::int64_t StartTime = -1;
    std::int64_t StreamDuration = -1;
    std::int64_t Duration = -1;
    std::int32_t BitRate = -1;
    std::int32_t Height = -1;
    std::int32_t Width = -1;
    // Sample aspect ratio x Width / Height; 0 when the stream declares no
    // sample aspect ratio.
    float DisplayAspectRatio = -1.0f;
    std::int32_t PixelFormat = -1; // AVPixelFormat
    std::int32_t FrameRateNum = -1;
    std::int32_t FrameRateDen = -1;
};

// The file and its values.
class TCustomDecoder {
public:
    TCustomDecoder() = default;
    virtual ~TCustomDecoder();
    TCustomDecoder(const TCustomDecoder &) = delete;
    TCustomDecoder &operator=(const TCustomDecoder &) = delete;

    const std::string &LastError() const { return lastError_; }
    const std::string &ForcedFormatName() const { return forcedFormatName_; }
    std::int64_t MediaFileSize() const { return mediaFileSize_; }
    int StreamCount() const { return streamCount_; }
    int ProgramCount() const { return programCount_; }
    int AudioStreamCount() const { return audioStreamCount_; }
    int VideoStreamCount() const { return videoStreamCount_; }
    int SubtitleStreamCount() const { return subtitleStreamCount_; }
    int FirstAudioStream() const { return firstAudioStream_; }
    int FirstVideoStream() const { return firstVideoStream_; }
    int FirstSubtitleStream() const { return firstSubtitleStream_; }

    bool FileOpen() const { return context_ != nullptr; }

protected:
    // Throws FFmpegException when a library the probe needs is not loaded.
    void CheckLibraries();
    void ReadFileValues();
    void ResetFileValues();
    // Logs the text at the library level given and keeps it as LastError.
    void ReportError(int libraryLevel, const std::string &text);

    AVFormatContext *context_ = nullptr;
    bool ownsContext_ = false;
    std::string openedName_; // the caller's UTF-8 name of an owned context
    std::string lastError_;
    std::string forcedFormatName_;
    std::int64_t mediaFileSize_ = -1;
    int streamCount_ = -1, programCount_ = -1;
    int audioStreamCount_ = -1, videoStreamCount_ = -1, subtitleStreamCount_ = -1;
    int firstAudioStream_ = -1, firstVideoStream_ = -1, firstSubtitleStream_ = -1;
};

class TFFDecoder : public TCustomDecoder {
public:
    TFFDecoder() = default;
    ~TFFDecoder() override;

    // Opens a file; formatName forces an input format (empty: detect).
    bool OpenMediaFile(const std::string &fileName, const std::string &formatName = {});
    void CloseMediaFile();
    // Adopts a context opened elsewhere (a transcoding task's input) for
    // reading its values; the probe neither seeks nor closes it.
    void AttachContext(AVFormatContext *context);

    void ReadFileStreamInfo(TFileStreamInfo &info);
    void ReadAudioStreamInfo(int streamIndex, TAudioStreamInfo &info);
    void ReadVideoStreamInfo(int streamIndex, TVideoStreamInfo &info);

    // Seek flags as the format library defines them: 1 backward, 2 byte
    // position, 4 any frame, 8 frame number. position is microseconds, or
    // bytes with flag 2.
    bool SeekMedia(std::uint8_t flags, std::int64_t position);
    // Decodes up to the next picture of a video stream (-1: the stream
    // decoded last, else the first video stream).
    bool DecodeVideoPicture(int streamIndex = -1);
    // The stored picture as 24-bit BGR at its own size.
    bool PictureToBitmap(EngineBitmap &bitmap);

    // The file name of the open context (empty, and reported, when none).
    std::string OpenedFileName();

    int CurrentStream() const { return currentStream_; }
    std::int64_t StartOffset() const { return startOffset_; }
    int DecodeStream() const { return decodeStream_; }
    bool EndReached() const { return endReached_; }
    bool PictureReady() const { return pictureReady_; }
    bool Deinterlace = false;

    // The stored picture's values.
    int PictureWidth() const;
    int PictureHeight() const;
    bool PictureKeyFrame() const;
    int PictureType() const;             // 0..7
    std::int64_t PicturePTS() const { return picturePTS_; } // microseconds from the stream start, NoValue if unknown

private:
    // Checks the stream index and fills what audio and video streams share;
    // the stream, or null after reporting why not.
    template <typename Info>
    const AVStream *ReadCommonStreamInfo(int streamIndex, int mediaType, Info &info);
    void SetStreamState();
    bool SeekCheck();
    bool IsStillImage() const;
    bool OpenVideoDecoder(int stream);
    void CloseDecoders();
    void ClearPicture();
    bool ReceivePicture(int stream, bool &failed);
    bool DeinterlacePicture();
    void FreeDeinterlacer();
    void StorePicture(int stream);

    int currentStream_ = -1;
    std::int64_t startOffset_ = 0;
    int decodeStream_ = -1;
    bool endReached_ = false;
    AVCodecContext *videoDecoder_ = nullptr;
    int videoDecoderStream_ = -1;
    AVFrame *picture_ = nullptr; // the stored picture
    AVFrame *work_ = nullptr;    // decoder output before it is stored
    AVPacket *packet_ = nullptr;
    bool pictureReady_ = false;
    std::int64_t picturePTS_ = NoValue;
    SwsContext *converter_ = nullptr;
    AVFilterGraph *deinterlaceGraph_ = nullptr;
    AVFilterContext *deinterlaceIn_ = nullptr;
    AVFilterContext *deinterlaceOut_ = nullptr;
};

} // namespace quillor
