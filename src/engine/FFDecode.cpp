#include "FFDecode.h"

#include <climits>
#include <cstdlib>
#include <sys/stat.h>

#include "FFLoad.h"
#include "FFLog.h"
#include "FFUtils.h"
#include "FFmpeg.h"
#include "UnicodeProtocol.h"

namespace quillor {

namespace {

// Library level numbers of the probe's reports.
constexpr int kError = AV_LOG_ERROR;     // 16
constexpr int kWarning = AV_LOG_WARNING; // 24
constexpr int kInfo = AV_LOG_INFO;       // 32
constexpr int kDebug = AV_LOG_DEBUG;     // 48

const char kNotLoaded[] = "file not loaded.";
const char kReadonly[] = "file cannot be seeked, handle is readonly.";
const char kEof[] = "stream eof reached.";

std::int32_t clampInt32(std::int64_t v)
{
    if (v > INT32_MAX)
        return INT32_MAX;
    if (v < INT32_MIN)
        return INT32_MIN;
    return static_cast<std::int32_t>(v);
}

std::string metadata(const AVDictionary *dict, const char *key)
{
    const AVDictionaryEntry *e = ff().av_dict_get(dict, key, nullptr, 0);
    return e && e->value ? e->value : "";
}

// The leading number of a metadata value ("2011-04-02" -> 2011, "3/12" -> 3).
std::int32_t leadingNumber(const std::string &text)
{
    return text.empty() ? 0 : static_cast<std::int32_t>(std::strtol(text.c_str(), nullptr, 10));
}

// A time base the rescaling can work with.
void repairTimeBase(AVStream *st)
{
    if (st->time_base.den == 0)
        st->time_base.den = st->time_base.num != 0 ? st->time_base.num : 1;
    if (st->time_base.num == 0)
        st->time_base.num = 1;
}

std::int64_t toMicroseconds(std::int64_t value, AVRational timeBase)
{
    return value == NoValue ? -1 : ff().av_rescale_q(value, timeBase, AVRational{1, AV_TIME_BASE});
}

std::string codecName(const AVCodecParameters *par)
{
    const AVCodec *decoder = ff().avcodec_find_decoder(par->codec_id);
    const char *ownName = nullptr;
    if (par->codec_id != AV_CODEC_ID_NONE)
        ownName = ff().avcodec_get_name(par->codec_id);
    return CodecNameFromParts(decoder ? decoder->name : nullptr, decoder ? decoder->long_name : nullptr,
                              par->codec_id, ownName, par->codec_tag);
}

} // namespace

// ---------------------------------------------------------------- TCustomDecoder

TCustomDecoder::~TCustomDecoder() = default;

void TCustomDecoder::CheckLibraries()
{
    const char *missing = nullptr;
    if (!FFLoader().OneLibraryLoaded(lkAVCodec))
        missing = "LibAVCodec not loaded.";
    else if (!FFLoader().OneLibraryLoaded(lkAVFormat))
        missing = "LibAVFormat not loaded.";
    else if (!FFLoader().OneLibraryLoaded(lkAVUtil))
        missing = "LibAVUtil not loaded.";
    else if (!FFLoader().OneLibraryLoaded(lkSwScale))
        missing = "LibSwScale not loaded.";
    if (missing) {
        lastError_ = missing;
        throw FFmpegException(missing);
    }
}

void TCustomDecoder::ResetFileValues()
{
    mediaFileSize_ = -1;
    streamCount_ = programCount_ = -1;
    audioStreamCount_ = videoStreamCount_ = subtitleStreamCount_ = -1;
    firstAudioStream_ = firstVideoStream_ = firstSubtitleStream_ = -1;
}

void TCustomDecoder::ReadFileValues()
{
    ResetFileValues();
    const std::int64_t containerSize = context_->pb ? ff().avio_size(context_->pb) : 0;
    if (containerSize > 0) {
        mediaFileSize_ = containerSize;
    } else {
        const std::string path =
            !openedName_.empty() ? openedName_ : MapFileNameFromLibrary(context_->url ? context_->url : "");
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0)
            mediaFileSize_ = -1;
        else if (S_ISREG(st.st_mode))
            mediaFileSize_ = st.st_size;
        else
            mediaFileSize_ = containerSize;
    }
    streamCount_ = static_cast<int>(context_->nb_streams);
    programCount_ = static_cast<int>(context_->nb_programs);
    audioStreamCount_ = videoStreamCount_ = subtitleStreamCount_ = 0;
    for (int i = 0; i < streamCount_; ++i) {
        switch (context_->streams[i]->codecpar->codec_type) {
        case AVMEDIA_TYPE_VIDEO:
            if (videoStreamCount_++ == 0)
                firstVideoStream_ = i;
            break;
        case AVMEDIA_TYPE_AUDIO:
            if (audioStreamCount_++ == 0)
                firstAudioStream_ = i;
            break;
        case AVMEDIA_TYPE_SUBTITLE:
            if (subtitleStreamCount_++ == 0)
                firstSubtitleStream_ = i;
            break;
        default:
            break;
        }
    }
}

void TCustomDecoder::ReportError(int libraryLevel, const std::string &text)
{
    GetLogger().LogMessage(this, LevelFromLibrary(libraryLevel), text);
    lastError_ = text;
}

// ---------------------------------------------------------------- TFFDecoder

TFFDecoder::~TFFDecoder()
{
    CloseMediaFile();
    if (ff().av_frame_free) {
        ff().av_frame_free(&picture_);
        ff().av_frame_free(&work_);
    }
    if (ff().av_packet_free)
        ff().av_packet_free(&packet_);
    if (converter_ && ff().sws_freeContext)
        ff().sws_freeContext(converter_);
}

bool TFFDecoder::OpenMediaFile(const std::string &fileName, const std::string &formatName)
{
    CheckLibraries();
    CloseMediaFile();

    const AVInputFormat *format = nullptr;
    if (!formatName.empty()) {
        format = ff().av_find_input_format(formatName.c_str());
        if (!format) {
            lastError_ = FormatText("Unknown input format: %s", formatName.c_str());
            return false;
        }
    }
    AVFormatContext *ctx = ff().avformat_alloc_context();
    if (!ctx) {
        ReportError(kError, LibraryErrorText(fileName, AVERROR(ENOMEM)));
        return false;
    }
    ctx->flags |= AVFMT_FLAG_NONBLOCK;
    const int r = OpenInputContext(&ctx, fileName, format, nullptr);
    if (r < 0) {
        ReportError(kError, LibraryErrorText(fileName, r));
        CloseMediaFile();
        return false;
    }
    context_ = ctx;
    ownsContext_ = true;
    openedName_ = fileName;
    if (ff().avformat_find_stream_info(context_, nullptr) < 0) {
        lastError_ = FormatText("%s: could not find codec parameters", fileName.c_str());
        CloseMediaFile();
        return false;
    }
    ReadFileValues();
    SetStreamState();
    forcedFormatName_ = formatName;
    return true;
}

void TFFDecoder::AttachContext(AVFormatContext *context)
{
    if (context == context_)
        return;
    CheckLibraries();
    CloseMediaFile();
    if (!context)
        return;
    context_ = context;
    ownsContext_ = false;
    ReadFileValues();
    SetStreamState();
}

void TFFDecoder::SetStreamState()
{
    currentStream_ = firstVideoStream_ >= 0 ? firstVideoStream_ : firstAudioStream_;
    std::int64_t start = NoValue;
    if (currentStream_ >= 0)
        start = context_->streams[currentStream_]->start_time;
    else
        start = context_->start_time;
    startOffset_ = start == NoValue ? 0 : start;
}

void TFFDecoder::CloseMediaFile()
{
    CloseDecoders();
    FreeDeinterlacer();
    currentStream_ = -1;
    decodeStream_ = -1;
    endReached_ = false;
    startOffset_ = 0;
    ClearPicture();
    forcedFormatName_.clear();
    if (context_ && ownsContext_)
        CloseInputContext(&context_);
    context_ = nullptr;
    ownsContext_ = false;
    openedName_.clear();
    ResetFileValues();
}

std::string TFFDecoder::OpenedFileName()
{
    if (!context_) {
        ReportError(kWarning, kNotLoaded);
        return {};
    }
    if (!openedName_.empty())
        return openedName_;
    return MapFileNameFromLibrary(context_->url ? context_->url : "");
}

void TFFDecoder::ReadFileStreamInfo(TFileStreamInfo &info)
{
    info = TFileStreamInfo{};
    if (!context_) {
        ReportError(kWarning, kNotLoaded);
        return;
    }
    info.StartTime = context_->start_time == NoValue ? -1 : context_->start_time;
    info.Duration = context_->duration == NoValue ? -1 : context_->duration;
    info.BitRate = clampInt32(context_->bit_rate);
    // Today's libraries keep year, track and time stamp only as metadata.
    info.Timestamp = 0;
    const AVDictionary *meta = context_->metadata;
    std::string year = metadata(meta, "year");
    if (year.empty())
        year = metadata(meta, "date");
    info.Year = leadingNumber(year);
    info.Track = leadingNumber(metadata(meta, "track"));
    info.Title = metadata(meta, "title");
    info.Author = metadata(meta, "author");
    if (info.Author.empty())
        info.Author = metadata(meta, "artist");
    info.Copyright = metadata(meta, "copyright");
    info.Comment = metadata(meta, "comment");
    info.Album = metadata(meta, "album");
    info.Genre = metadata(meta, "genre");
}

template <typename Info>
const AVStream *TFFDecoder::ReadCommonStreamInfo(int streamIndex, int mediaType, Info &info)
{
    const bool audio = mediaType == AVMEDIA_TYPE_AUDIO;
    const char *kind = audio ? "audio" : "video";
    info = Info{};
    if (!context_) {
        ReportError(kWarning, kNotLoaded);
        return nullptr;
    }
    if (streamIndex < 0) {
        streamIndex = audio ? firstAudioStream_ : firstVideoStream_;
        if (streamIndex < 0) {
            ReportError(kError, FormatText("no %s stream.", kind));
            return nullptr;
        }
    }
    if (streamIndex >= streamCount_) {
        ReportError(kError, FormatText("stream index #%d is invalid.", streamIndex));
        return nullptr;
    }
    AVStream *st = context_->streams[streamIndex];
    const AVCodecParameters *par = st->codecpar;
    if (par->codec_type != mediaType) {
        ReportError(kError, FormatText("stream #%d is not %s stream.", streamIndex, kind));
        return nullptr;
    }
    repairTimeBase(st);
    info.Language = metadata(st->metadata, "language");
    info.CodecName = codecName(par);
    info.StreamStartTime = st->start_time;
    info.StartTime = toMicroseconds(st->start_time, st->time_base);
    info.StreamDuration = st->duration;
    info.Duration = toMicroseconds(st->duration, st->time_base);
    info.BitRate = clampInt32(par->bit_rate);
    return st;
}

void TFFDecoder::ReadAudioStreamInfo(int streamIndex, TAudioStreamInfo &info)
{
    const AVStream *st = ReadCommonStreamInfo(streamIndex, AVMEDIA_TYPE_AUDIO, info);
    if (!st)
        return;
    const AVCodecParameters *par = st->codecpar;
    info.Channels = par->ch_layout.nb_channels;
    info.SampleRate = par->sample_rate;
    info.SampleFormat = par->format;
}

void TFFDecoder::ReadVideoStreamInfo(int streamIndex, TVideoStreamInfo &info)
{
    const AVStream *st = ReadCommonStreamInfo(streamIndex, AVMEDIA_TYPE_VIDEO, info);
    if (!st)
        return;
    const AVCodecParameters *par = st->codecpar;
    info.Width = par->width;
    info.Height = par->height;
    const AVRational sar = st->sample_aspect_ratio.num ? st->sample_aspect_ratio : par->sample_aspect_ratio;
    if (sar.num == 0 || sar.den == 0 || par->height == 0)
        info.DisplayAspectRatio = 0.0f;
    else
        info.DisplayAspectRatio =
            static_cast<float>(static_cast<double>(sar.num) / sar.den * par->width / par->height);
    info.PixelFormat = par->format;
    const AVRational rate = (st->avg_frame_rate.num && st->avg_frame_rate.den) ? st->avg_frame_rate : st->r_frame_rate;
    info.FrameRateNum = rate.num;
    info.FrameRateDen = rate.den;
}

bool TFFDecoder::IsStillImage() const
{
    // A single picture: the image sequence demuxer, or one of the
    // per-format image demuxers ("png_pipe", "jpeg_pipe", ...).
    if (!context_ || !context_->iformat || !context_->iformat->name)
        return false;
    const std::string name = context_->iformat->name;
    return name == "image2" ||
           (name.size() > 5 && name.compare(name.size() - 5, 5, "_pipe") == 0);
}

bool TFFDecoder::SeekCheck()
{
    if (!context_) {
        ReportError(kWarning, kNotLoaded);
        return false;
    }
    if (!ownsContext_) {
        ReportError(kWarning, kReadonly);
        throw FFmpegException(kReadonly);
    }
    return true;
}

bool TFFDecoder::SeekMedia(std::uint8_t flags, std::int64_t position)
{
    if (!SeekCheck())
        return false;
    if (IsStillImage()) {
        ReportError(kInfo, "\"image2\" format cannot to be seeked.");
        return false;
    }
    AVIOContext *pb = context_->pb;
    if (pb)
        ReportError(kDebug, FormatText("current position %lld bytes", static_cast<long long>(ff().avio_seek(pb, 0, SEEK_CUR))));
    if (position < 0)
        position = 0;
    std::int64_t target = position;
    if (!(flags & AVSEEK_FLAG_BYTE)) {
        if (currentStream_ >= 0) {
            AVStream *st = context_->streams[currentStream_];
            repairTimeBase(st);
            target = ff().av_rescale_q(position, AVRational{1, AV_TIME_BASE}, st->time_base);
        }
        if (startOffset_ > 0)
            target += startOffset_;
    }
    if (videoDecoder_)
        ff().avcodec_flush_buffers(videoDecoder_);
    FreeDeinterlacer();
    endReached_ = false;
    ClearPicture();

    int r;
    if (position > 0) {
        r = ff().av_seek_frame(context_, currentStream_, target, flags & 0x0F);
        // No key frame after the position (a clip with one key frame at its
        // start): take the last one before it instead of ending up nowhere.
        if (r < 0 && !(flags & (AVSEEK_FLAG_BACKWARD | AVSEEK_FLAG_BYTE)))
            r = ff().av_seek_frame(context_, currentStream_, target, (flags & 0x0F) | AVSEEK_FLAG_BACKWARD);
    } else {
        r = ff().av_seek_frame(context_, currentStream_, 0, (flags & 0x0F) | AVSEEK_FLAG_BACKWARD);
        if (r < 0)
            r = ff().av_seek_frame(context_, currentStream_, 0, (flags & 0x0F) & ~AVSEEK_FLAG_BACKWARD);
        // A stream without an index (raw elementary streams) cannot seek by
        // time at all; the start is still reachable by its byte position.
        if (r < 0 && !(flags & AVSEEK_FLAG_BYTE))
            r = ff().av_seek_frame(context_, -1, 0, AVSEEK_FLAG_BYTE | AVSEEK_FLAG_BACKWARD);
    }
    const bool ok = r >= 0;
    if (!ok) {
        if (flags & AVSEEK_FLAG_BYTE)
            ReportError(kError, FormatText("could not seek to position %lld bytes", static_cast<long long>(position)));
        else
            ReportError(kError, FormatText("could not seek to position %0.3f seconds", position / 1000000.0));
    }
    if (pb) {
        ReportError(kDebug, FormatText("seek to position %lld bytes", static_cast<long long>(ff().avio_seek(pb, 0, SEEK_CUR))));
        if (ff().avio_feof(pb)) {
            if (ok)
                ReportError(kInfo, kEof);
            endReached_ = true;
            return false;
        }
    }
    return ok;
}

bool TFFDecoder::OpenVideoDecoder(int stream)
{
    if (videoDecoder_ && videoDecoderStream_ == stream)
        return true;
    CloseDecoders();
    FreeDeinterlacer();
    const AVCodecParameters *par = context_->streams[stream]->codecpar;
    if (par->width == 0 || par->height == 0) {
        ReportError(kError, "frame size of codec is invalid.");
        return false;
    }
    const AVCodec *codec = ff().avcodec_find_decoder(par->codec_id);
    if (!codec) {
        ReportError(kError, FormatText("Unsupported codec (id=%d) for input file stream #%d", par->codec_id, stream));
        return false;
    }
    AVCodecContext *ctx = ff().avcodec_alloc_context3(codec);
    bool ok = ctx && ff().avcodec_parameters_to_context(ctx, par) >= 0;
    if (ok) {
        ctx->pkt_timebase = context_->streams[stream]->time_base;
        // One picture is wanted as soon as possible: slice threads add no
        // delay, frame threads would hold pictures back.
        ctx->thread_count = 0;
        ctx->thread_type = FF_THREAD_SLICE;
        ok = ff().avcodec_open2(ctx, codec, nullptr) >= 0;
    }
    if (!ok) {
        ff().avcodec_free_context(&ctx);
        ReportError(kError, FormatText("Error while opening codec for input file stream #%d", stream));
        return false;
    }
    videoDecoder_ = ctx;
    videoDecoderStream_ = stream;
    return true;
}

void TFFDecoder::CloseDecoders()
{
    if (videoDecoder_)
        ff().avcodec_free_context(&videoDecoder_);
    videoDecoderStream_ = -1;
}

void TFFDecoder::ClearPicture()
{
    if (picture_ && ff().av_frame_unref)
        ff().av_frame_unref(picture_);
    pictureReady_ = false;
    picturePTS_ = NoValue;
}

bool TFFDecoder::ReceivePicture(int stream, bool &failed)
{
    failed = false;
    const int r = ff().avcodec_receive_frame(videoDecoder_, work_);
    if (r >= 0) {
        StorePicture(stream);
        return true;
    }
    if (r != AVERROR(EAGAIN) && r != AVERROR_EOF)
        failed = true;
    return false;
}

bool TFFDecoder::DecodeVideoPicture(int streamIndex)
{
    if (!SeekCheck())
        return false;
    int stream = streamIndex;
    if (stream < 0) {
        stream = decodeStream_ >= 0 ? decodeStream_ : firstVideoStream_;
        if (stream < 0) {
            ReportError(kError, "no video stream.");
            return false;
        }
    } else {
        if (stream >= streamCount_) {
            ReportError(kError, FormatText("stream index #%d is invalid.", stream));
            return false;
        }
        if (context_->streams[stream]->codecpar->codec_type != AVMEDIA_TYPE_VIDEO) {
            ReportError(kError, FormatText("stream #%d is not video stream.", stream));
            return false;
        }
    }
    if (stream != decodeStream_) {
        ClearPicture();
        decodeStream_ = stream;
    }
    if (pictureReady_ && IsStillImage())
        return true;
    if (endReached_) {
        ReportError(kInfo, kEof);
        return false;
    }
    if (!OpenVideoDecoder(stream))
        return false;
    if (!work_ && !(work_ = ff().av_frame_alloc()))
        return false;
    if (!packet_ && !(packet_ = ff().av_packet_alloc()))
        return false;

    bool failed = false;
    // Pictures the decoder still holds from earlier packets come first.
    if (ReceivePicture(stream, failed))
        return true;
    for (;;) {
        const int r = ff().av_read_frame(context_, packet_);
        if (r == AVERROR(EAGAIN)) {
            ReportError(kInfo, "no data, please try again.");
            return false;
        }
        if (r == AVERROR_EOF || (r < 0 && context_->pb && ff().avio_feof(context_->pb))) {
            // The decoder may still hold pictures: a seek close to the end
            // of a short clip must still give one.
            ff().avcodec_send_packet(videoDecoder_, nullptr);
            if (ReceivePicture(stream, failed))
                return true;
            ReportError(kInfo, kEof);
            endReached_ = true;
            return false;
        }
        if (r < 0) {
            ReportError(kInfo, FormatText("unknown error #%d.", r));
            return false;
        }
        if (packet_->stream_index != stream) {
            ff().av_packet_unref(packet_);
            continue;
        }
        const int sent = ff().avcodec_send_packet(videoDecoder_, packet_);
        if (sent < 0 && sent != AVERROR(EAGAIN)) {
            // A damaged packet: leave it and read on.
            ff().av_packet_unref(packet_);
            continue;
        }
        const bool got = ReceivePicture(stream, failed);
        if (got) {
            ReportError(kDebug, FormatText("pkt.st_idx=%d, dts=%lld, pts=%lld, flags=%d, pict_type=%d",
                                           packet_->stream_index, static_cast<long long>(packet_->dts),
                                           static_cast<long long>(packet_->pts), packet_->flags, PictureType()));
            ff().av_packet_unref(packet_);
            return true;
        }
        ff().av_packet_unref(packet_);
    }
}

void TFFDecoder::StorePicture(int stream)
{
    if (!picture_)
        picture_ = ff().av_frame_alloc();
    ff().av_frame_unref(picture_);
    // The frame's best-effort time stamp is its presentation time; the
    // packet read last belongs to a later picture when the decoder delays.
    std::int64_t pts = work_->best_effort_timestamp;
    if (pts == NoValue)
        pts = work_->pts;
    if (pts == NoValue)
        pts = work_->pkt_dts;
    if (Deinterlace && !DeinterlacePicture())
        Deinterlace = false;
    // work_ holds the picture to keep (deinterlaced or as decoded).
    ff().av_frame_ref(picture_, work_);
    ff().av_frame_unref(work_);
    pictureReady_ = true;
    picturePTS_ = NoValue;
    if (pts != NoValue) {
        AVStream *st = context_->streams[stream];
        if (st->start_time != NoValue)
            pts -= st->start_time;
        picturePTS_ = ff().av_rescale_q(pts, st->time_base, AVRational{1, AV_TIME_BASE});
        ReportError(kDebug, FormatText("decode PTS: %0.3f", picturePTS_ / 1000000.0));
    }
}

bool TFFDecoder::DeinterlacePicture()
{
    // yadif on one picture: feed it, signal the end, take what comes out.
    FreeDeinterlacer();
    char args[256];
    const AVStream *st = context_->streams[decodeStream_];
    std::snprintf(args, sizeof args, "video_size=%dx%d:pix_fmt=%d:time_base=%d/%d:pixel_aspect=%d/%d", work_->width,
                  work_->height, work_->format, st->time_base.num, st->time_base.den,
                  work_->sample_aspect_ratio.num, work_->sample_aspect_ratio.den ? work_->sample_aspect_ratio.den : 1);
    AVFilterContext *yadif = nullptr;
    deinterlaceGraph_ = ff().avfilter_graph_alloc();
    bool ok = deinterlaceGraph_ &&
              ff().avfilter_graph_create_filter(&deinterlaceIn_, ff().avfilter_get_by_name("buffer"), "in", args,
                                                nullptr, deinterlaceGraph_) >= 0 &&
              ff().avfilter_graph_create_filter(&yadif, ff().avfilter_get_by_name("yadif"), "deinterlace",
                                                "mode=send_frame:parity=auto:deint=all", nullptr,
                                                deinterlaceGraph_) >= 0 &&
              ff().avfilter_graph_create_filter(&deinterlaceOut_, ff().avfilter_get_by_name("buffersink"), "out",
                                                nullptr, nullptr, deinterlaceGraph_) >= 0 &&
              ff().avfilter_link(deinterlaceIn_, 0, yadif, 0) >= 0 &&
              ff().avfilter_link(yadif, 0, deinterlaceOut_, 0) >= 0 &&
              ff().avfilter_graph_config(deinterlaceGraph_, nullptr) >= 0;
    if (!ok) {
        ReportError(kError, "deinterlace buffer malloc error.");
        FreeDeinterlacer();
        return false;
    }
    AVFrame *input = ff().av_frame_alloc();
    ok = input && ff().av_frame_ref(input, work_) >= 0 &&
         ff().av_buffersrc_add_frame_flags(deinterlaceIn_, input, 0) >= 0 &&
         ff().av_buffersrc_add_frame_flags(deinterlaceIn_, nullptr, 0) >= 0;
    ff().av_frame_free(&input);
    AVFrame *output = ok ? ff().av_frame_alloc() : nullptr;
    ok = output && ff().av_buffersink_get_frame(deinterlaceOut_, output) >= 0;
    if (ok) {
        output->best_effort_timestamp = work_->best_effort_timestamp;
        output->key_frame = work_->key_frame;
        output->pict_type = work_->pict_type;
        ff().av_frame_unref(work_);
        ff().av_frame_ref(work_, output);
    } else {
        ReportError(kError, "deinterlacing failed.");
    }
    ff().av_frame_free(&output);
    FreeDeinterlacer();
    return ok;
}

void TFFDecoder::FreeDeinterlacer()
{
    if (deinterlaceGraph_ && ff().avfilter_graph_free)
        ff().avfilter_graph_free(&deinterlaceGraph_);
    deinterlaceGraph_ = nullptr;
    deinterlaceIn_ = deinterlaceOut_ = nullptr;
}

int TFFDecoder::PictureWidth() const { return pictureReady_ ? picture_->width : 0; }
int TFFDecoder::PictureHeight() const { return pictureReady_ ? picture_->height : 0; }
bool TFFDecoder::PictureKeyFrame() const { return pictureReady_ && picture_->key_frame; }
int TFFDecoder::PictureType() const
{
    const int t = pictureReady_ ? static_cast<int>(picture_->pict_type) : 0;
    return t >= 0 && t <= 7 ? t : 0;
}

bool TFFDecoder::PictureToBitmap(EngineBitmap &bitmap)
{
    if (!pictureReady_) {
        ReportError(kError, "picture not ready, please decode first");
        return false;
    }
    const int w = picture_->width, h = picture_->height;
    converter_ = ff().sws_getCachedContext(converter_, w, h, static_cast<AVPixelFormat>(picture_->format), w, h,
                                           AV_PIX_FMT_BGR24, SWS_BICUBIC, nullptr, nullptr, nullptr);
    EngineBitmap result;
    result.resize(w, h);
    if (!converter_) {
        bitmap = std::move(result);
        ReportError(kError, "Cannot initialize the toRGB conversion context");
        return false;
    }
    uint8_t *dst[4] = {result.bits.data(), nullptr, nullptr, nullptr};
    int dstStride[4] = {result.stride, 0, 0, 0};
    ff().sws_scale(converter_, picture_->data, picture_->linesize, 0, h, dst, dstStride);
    bitmap = std::move(result);
    return true;
}

} // namespace quillor
