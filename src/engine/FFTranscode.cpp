// The transcoding loop of a task: stream set-up, then read, decode,
// filter, convert, encode and write until the inputs are exhausted, the
// task is asked to stop, or a limit is reached; then flush and write the
// trailer so that the output is a valid file in every case but an error.

#include "FFTranscodeCodecs.h"
#include "FFUtils.h"
#include "FFmpegImpl.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdarg>
#include <cstring>
#include <fstream>
#include <sstream>

extern "C" {
#include <libavcodec/bsf.h>
#include <libavutil/intreadwrite.h>
}

namespace quillor {

namespace {

[[noreturn]] void raise(const std::string &text) { throw FFmpegException(text); }

const char *typeName(AVMediaType t)
{
    switch (t) {
    case AVMEDIA_TYPE_VIDEO:
        return "video";
    case AVMEDIA_TYPE_AUDIO:
        return "audio";
    case AVMEDIA_TYPE_SUBTITLE:
        return "subtitle";
    default:
        return "unknown";
    }
}

AVPixelFormat hookPixelFormat(int bits)
{
    switch (bits) {
    case 8:
        return AV_PIX_FMT_GRAY8;
    case 15:
        return AV_PIX_FMT_RGB555LE;
    case 16:
        return AV_PIX_FMT_RGB565LE;
    case 32:
        return AV_PIX_FMT_BGR0;
    default:
        return AV_PIX_FMT_BGR24;
    }
}

// Converts frames to the packed pictures the hooks and the preview see,
// and back. Scalers and buffers are kept between frames.
struct PictureConverter {
    SwsContext *toPic = nullptr;
    SwsContext *fromPic = nullptr;
    std::vector<uint8_t> buffer;
    TTaskPicture picture;

    ~PictureConverter()
    {
        if (toPic)
            ff().sws_freeContext(toPic);
        if (fromPic)
            ff().sws_freeContext(fromPic);
    }

    TTaskPicture &convert(const AVFrame *f, int bits)
    {
        AVPixelFormat pf = hookPixelFormat(bits);
        int bpp = bits == 8 ? 1 : bits == 24 ? 3 : bits == 32 ? 4 : 2;
        picture.Width = f->width;
        picture.Height = f->height;
        picture.BitsPixel = bits == 8 || bits == 15 || bits == 16 || bits == 32 ? bits : 24;
        picture.Stride = (f->width * bpp + 3) & ~3;
        buffer.resize(size_t(picture.Stride) * f->height);
        picture.Data = buffer.data();
        toPic = ff().sws_getCachedContext(toPic, f->width, f->height, AVPixelFormat(f->format), f->width, f->height, pf,
                                          SWS_BILINEAR, nullptr, nullptr, nullptr);
        if (!toPic)
            raise("Cannot get resampling context");
        uint8_t *dst[4] = {picture.Data, nullptr, nullptr, nullptr};
        int dstStride[4] = {picture.Stride, 0, 0, 0};
        ff().sws_scale(toPic, f->data, f->linesize, 0, f->height, dst, dstStride);
        return picture;
    }

    void writeBack(AVFrame *f, int bits)
    {
        if (ff().av_frame_make_writable(f) < 0)
            return;
        AVPixelFormat pf = hookPixelFormat(bits);
        fromPic = ff().sws_getCachedContext(fromPic, f->width, f->height, pf, f->width, f->height,
                                            AVPixelFormat(f->format), SWS_BILINEAR, nullptr, nullptr, nullptr);
        if (!fromPic)
            return;
        const uint8_t *src[4] = {picture.Data, nullptr, nullptr, nullptr};
        int srcStride[4] = {picture.Stride, 0, 0, 0};
        ff().sws_scale(fromPic, src, srcStride, 0, f->height, f->data, f->linesize);
    }
};

struct InStream {
    AVStream *st = nullptr;
    int file = 0;
    AVCodecContext *dec = nullptr;
    std::vector<int> outs;
    bool decoding = false;
    bool finished = false;
    bool flushed = false;
    int64_t nextDts = AV_NOPTS_VALUE; // µs
};

struct OutStream {
    const TaskStreamSpec *spec = nullptr;
    int file = 0;
    int index = 0;
    AVStream *st = nullptr;
    const AVCodec *codec = nullptr;
    AVCodecContext *enc = nullptr;
    bool copy = false;
    std::vector<int> sourceOf; // per input file when joining, else one entry
    bool finished = false;
    bool copyStarted = false;
    // video
    AVFilterGraph *graph = nullptr;
    AVFilterContext *bsrc = nullptr, *bsink = nullptr;
    int gW = 0, gH = 0, gFmt = -1;
    AVRational sinkTb{1, 1000000};
    int64_t nextPts = 0;
    int64_t frames = 0;
    int64_t dup = 0, drop = 0;
    float quality = -1;
    int64_t lastPreview = 0;
    std::vector<int64_t> forcedKeyFrames; // µs, ascending
    size_t nextForcedKeyFrame = 0;
    // audio
    SwrContext *swr = nullptr;
    int swrRate = 0, swrFmt = -1;
    AVChannelLayout swrLayout{};
    AVAudioFifo *fifo = nullptr;
    uint8_t **conv = nullptr;
    int convCap = 0;
    AVFrame *aframe = nullptr;
    int frameSize = 0;
    int64_t nextSample = AV_NOPTS_VALUE;
    bool resync = false; // the next input starts: fill a gap before its first samples
    bool asyncStarted = false;
    // all
    AVBSFContext *bsf = nullptr;
    FILE *passLog = nullptr;
    int64_t endUs = 0;
    int64_t bytes = 0;
};



struct RunState {
    std::vector<InStream> ist;
    std::vector<OutStream> ost;
    AVPacket *pkt = nullptr;
    AVPacket *opkt = nullptr;
    AVFrame *frame = nullptr;
    AVFrame *filtered = nullptr;
    int64_t startTime = 0;
    int64_t lastReport = 0;
    int currentInput = 0;
    PictureConverter inHookConv, outHookConv, previewConv;
    bool inputHookStopped = false, outputHookStopped = false;
    std::vector<uint8_t> audioHookBuffer;

    ~RunState()
    {
        for (auto &o : ost) {
            if (o.graph)
                ff().avfilter_graph_free(&o.graph);
            if (o.swr)
                ff().swr_free(&o.swr);
            ff().av_channel_layout_uninit(&o.swrLayout);
            if (o.fifo)
                ff().av_audio_fifo_free(o.fifo);
            if (o.conv) {
                ff().av_freep(&o.conv[0]);
                ff().av_freep(&o.conv);
            }
            if (o.aframe)
                ff().av_frame_free(&o.aframe);
            if (o.bsf)
                ff().av_bsf_free(&o.bsf);
            if (o.passLog)
                fclose(o.passLog);
            if (o.enc)
                ff().avcodec_free_context(&o.enc);
        }
        for (auto &i : ist)
            if (i.dec)
                ff().avcodec_free_context(&i.dec);
        if (pkt)
            ff().av_packet_free(&pkt);
        if (opkt)
            ff().av_packet_free(&opkt);
        if (frame)
            ff().av_frame_free(&frame);
        if (filtered)
            ff().av_frame_free(&filtered);
    }
};



// Options that today's codec context applies to audio and video alike but
// that the presets meant for the picture only.
bool videoOnlyShared(const std::string &n)
{
    static const char *const names[] = {"b", "maxrate", "minrate", "bufsize", "bt", "flags", "level",
                                        "qmin", "qmax", "qdiff", "g", "mpv_flags", "trellis"};
    for (const char *x : names)
        if (n == x)
            return true;
    return false;
}

bool allowsExperimental(const TaskStreamSpec &spec)
{
    for (auto &[n, v] : spec.libOptions)
        if (n == "strict")
            return v == "experimental" || v == "-2";
    return false;
}

void applyCodecOptions(AVCodecContext *enc, const AVCodec *codec, const OptionPairs &raw, const void *sender)
{
    OptionPairs pairs = TranslateCodecOptions(codec, raw, sender);
    const int mediaFlag = codec->type == AVMEDIA_TYPE_VIDEO   ? AV_OPT_FLAG_VIDEO_PARAM
                          : codec->type == AVMEDIA_TYPE_AUDIO ? AV_OPT_FLAG_AUDIO_PARAM
                                                              : AV_OPT_FLAG_SUBTITLE_PARAM;
    for (auto &[name, value] : pairs) {
        const AVClass *generic = ff().avcodec_get_class();
        const AVOption *o = ff().av_opt_find(&generic, name.c_str(), nullptr, 0, AV_OPT_SEARCH_FAKE_OBJ);
        if (o) {
            if (!(o->flags & mediaFlag) || !(o->flags & AV_OPT_FLAG_ENCODING_PARAM))
                continue;
            if (codec->type != AVMEDIA_TYPE_VIDEO && videoOnlyShared(name))
                continue;
            int r = ff().av_opt_set(enc, name.c_str(), value.c_str(), 0);
            if (r < 0)
                GetLogger().LogFormatted(sender, llWarning, "Invalid value \"%s\" for option \"%s\"", value.c_str(),
                                         name.c_str());
            continue;
        }
        if (!enc->priv_data)
            continue;
        int r = ff().av_opt_set(enc->priv_data, name.c_str(), value.c_str(), 0);
        if (r < 0 && r != AVERROR_OPTION_NOT_FOUND)
            GetLogger().LogFormatted(sender, llWarning, "Invalid value \"%s\" for option \"%s\"", value.c_str(),
                                     name.c_str());
    }
}



// ---------------------------------------------------------------------------

struct Transcoder {
    TCustomFFmpeg::Impl &d;
    RunState run;
    TaskOptionState &opt;

    explicit Transcoder(TCustomFFmpeg::Impl &impl) : d(impl), opt(impl.opt) {}

    std::string streamLabel(const OutStream &o)
    {
        return FormatText("#%d.%d (%s)", o.file, o.index, o.codec ? o.codec->name : o.copy ? "copy" : "?");
    }

    // --- set-up ---------------------------------------------------------

    void openDecoder(InStream &is, int fileIndex)
    {
        if (is.dec)
            return;
        AVCodecParameters *par = is.st->codecpar;
        const AVCodec *codec = nullptr;
        const std::string &forced = d.inputs[fileIndex].decoderNames[par->codec_type == AVMEDIA_TYPE_VIDEO   ? 0
                                                                     : par->codec_type == AVMEDIA_TYPE_AUDIO ? 1
                                                                                                             : 2];
        if (!forced.empty() && forced != "copy")
            codec = ff().avcodec_find_decoder_by_name(forced.c_str());
        if (!codec)
            codec = ff().avcodec_find_decoder(par->codec_id);
        if (!codec)
            raise(FormatText("Decoder (codec id %d) not found for input stream #%d.%d (%s)", int(par->codec_id), fileIndex,
                         is.st->index, typeName(par->codec_type)));
        is.dec = ff().avcodec_alloc_context3(codec);
        if (!is.dec || ff().avcodec_parameters_to_context(is.dec, par) < 0)
            raise("av_mallocz fail");
        is.dec->pkt_timebase = is.st->time_base;
        is.dec->thread_count = opt.threads;
        if (ff().avcodec_open2(is.dec, codec, nullptr) < 0)
            raise(FormatText("Error while opening decoder for input stream #%d.%d (%s)", fileIndex, is.st->index,
                         typeName(par->codec_type)));
        is.decoding = true;
    }

    int bestStream(int fileFrom, int fileTo, AVMediaType type)
    {
        int best = -1;
        for (int f = fileFrom; f < fileTo; ++f) {
            int s = ff().av_find_best_stream(d.inputs[f].ctx, type, -1, -1, nullptr, 0);
            if (s >= 0 && d.inputs[f].ctx->streams[s]->discard != AVDISCARD_ALL) {
                best = d.inputs[f].firstStream + s;
                break;
            }
        }
        return best;
    }

    void mapStreams()
    {
        int totalSpecs = 0;
        for (size_t f = 0; f < d.outputs.size(); ++f) {
            if (d.outputs[f].specs.empty())
                raise(FormatText("Output file #%d does not contain any stream", int(f)));
            totalSpecs += int(d.outputs[f].specs.size());
        }
        if (!opt.maps.empty() && int(opt.maps.size()) != totalSpecs)
            raise("Number of stream maps must match number of output streams");
        int mapIndex = 0;
        for (size_t f = 0; f < d.outputs.size(); ++f) {
            TaskOutputFile &out = d.outputs[f];
            for (size_t k = 0; k < out.specs.size(); ++k) {
                OutStream o;
                o.spec = &out.specs[k];
                o.file = int(f);
                o.index = int(k);
                o.copy = o.spec->copy;
                AVMediaType type = o.spec->type;
                if (!opt.maps.empty()) {
                    const TaskStreamMap &m = opt.maps[mapIndex++];
                    if (m.file < 0 || m.file >= int(d.inputs.size()) || m.stream < 0 ||
                        m.stream >= int(d.inputs[m.file].ctx->nb_streams))
                        raise(FormatText("Could not find input stream #%d.%d", m.file, m.stream));
                    if (m.syncFile < 0 || m.syncFile >= int(d.inputs.size()) || m.syncStream < 0 ||
                        m.syncStream >= int(d.inputs[m.syncFile].ctx->nb_streams))
                        raise(FormatText("Could not find sync stream #%d.%d", m.syncFile, m.syncStream));
                    AVMediaType it = d.inputs[m.file].ctx->streams[m.stream]->codecpar->codec_type;
                    if (it != type)
                        raise(FormatText("Codec type mismatch for mapping #%d.%d (%s) -> #%d.%d (%s)", m.file, m.stream,
                                     typeName(it), int(f), int(k), typeName(type)));
                    o.sourceOf.push_back(d.inputs[m.file].firstStream + m.stream);
                } else if (d.joining) {
                    bool any = false;
                    for (size_t i = 0; i < d.inputs.size(); ++i) {
                        int s = bestStream(int(i), int(i) + 1, type);
                        o.sourceOf.push_back(s);
                        any = any || s >= 0;
                    }
                    if (o.sourceOf[0] < 0 && !any)
                        raise(FormatText("Could not find input stream matching output stream #%d.%d (%s)", int(f),
                                     int(k), typeName(type)));
                } else {
                    int s = bestStream(0, int(d.inputs.size()), type);
                    if (s < 0)
                        raise(FormatText("Could not find input stream matching output stream #%d.%d (%s)", int(f),
                                     int(k), typeName(type)));
                    o.sourceOf.push_back(s);
                }
                run.ost.push_back(std::move(o));
            }
        }
        for (size_t i = 0; i < run.ost.size(); ++i)
            for (int s : run.ost[i].sourceOf)
                if (s >= 0)
                    run.ist[s].outs.push_back(int(i));
    }

    int firstSource(const OutStream &o)
    {
        for (int s : o.sourceOf)
            if (s >= 0)
                return s;
        return -1;
    }

    void setupCopy(OutStream &o, AVFormatContext *oc)
    {
        InStream &is = run.ist[firstSource(o)];
        AVMediaType t = o.spec->type;
        if (t == AVMEDIA_TYPE_AUDIO && o.spec->volume != 256)
            raise("-acodec copy and -vol are incompatible (frames are not decoded)");
        if (t == AVMEDIA_TYPE_AUDIO && d.self->OnAudioHook)
            raise("-acodec copy and AudioHook are incompatible (frames are not decoded)");
        if (t == AVMEDIA_TYPE_VIDEO && (d.self->OnVideoInputHook || d.self->OnVideoOutputHook))
            raise("-vcodec copy and VideoHook are incompatible (frames are not decoded)");
        if (t == AVMEDIA_TYPE_VIDEO && d.previewFlags)
            raise("-vcodec copy and PostHooks are incompatible (frames are not decoded)");
        if (is.st->codecpar->extradata_size > (1 << 28))
            raise("icodec.extradata_size is invalid (too large)");
        o.st = ff().avformat_new_stream(oc, nullptr);
        if (!o.st)
            raise("Could not alloc stream");
        ff().avcodec_parameters_copy(o.st->codecpar, is.st->codecpar);
        o.st->codecpar->codec_tag = o.spec->tag;
        o.st->time_base = is.st->time_base;
        o.st->sample_aspect_ratio = is.st->sample_aspect_ratio;
        o.st->avg_frame_rate = is.st->avg_frame_rate;
    }

    // Builds buffer -> user filters -> scale -> format -> buffersink for
    // frames of the given shape. With enc null only the user's filters are
    // built (to learn the size they produce).
    void buildGraph(OutStream &o, int w, int h, int fmt, AVRational sar, AVRational rate, int *outW, int *outH)
    {
        if (o.graph)
            ff().avfilter_graph_free(&o.graph);
        o.graph = ff().avfilter_graph_alloc();
        if (!o.graph)
            raise("Error opening filters!");
        if (!sar.num || !sar.den)
            sar = AVRational{1, 1};
        std::string args = FormatText("video_size=%dx%d:pix_fmt=%d:time_base=1/1000000:pixel_aspect=%d/%d", w, h, fmt,
                                  sar.num, sar.den);
        if (rate.num && rate.den)
            args += FormatText(":frame_rate=%d/%d", rate.num, rate.den);
        int r = ff().avfilter_graph_create_filter(&o.bsrc, ff().avfilter_get_by_name("buffer"), "src", args.c_str(),
                                                  nullptr, o.graph);
        if (r >= 0)
            r = ff().avfilter_graph_create_filter(&o.bsink, ff().avfilter_get_by_name("buffersink"), "out", nullptr,
                                                  nullptr, o.graph);
        if (r < 0)
            raise("Error opening filters: " + AvErrorString(r));
        o.graph->scale_sws_opts = ff().av_strdup("flags=bicubic");
        o.graph->nb_threads = 0; // as many as the machine has, like the command line

        std::string chain = o.spec->filters.empty() ? std::string("null") : o.spec->filters;
        if (o.enc)
            chain += FormatText(",scale=%d:%d,format=%s", o.enc->width, o.enc->height,
                            ff().av_get_pix_fmt_name(o.enc->pix_fmt));
        AVFilterInOut *outputs = ff().avfilter_inout_alloc();
        AVFilterInOut *inputs = ff().avfilter_inout_alloc();
        outputs->name = ff().av_strdup("in");
        outputs->filter_ctx = o.bsrc;
        outputs->pad_idx = 0;
        outputs->next = nullptr;
        inputs->name = ff().av_strdup("out");
        inputs->filter_ctx = o.bsink;
        inputs->pad_idx = 0;
        inputs->next = nullptr;
        r = ff().avfilter_graph_parse_ptr(o.graph, chain.c_str(), &inputs, &outputs, nullptr);
        ff().avfilter_inout_free(&inputs);
        ff().avfilter_inout_free(&outputs);
        if (r >= 0)
            r = ff().avfilter_graph_config(o.graph, nullptr);
        if (r < 0)
            raise("Error opening filters: " + AvErrorString(r));
        o.gW = w;
        o.gH = h;
        o.gFmt = fmt;
        o.sinkTb = ff().av_buffersink_get_time_base(o.bsink);
        if (outW)
            *outW = ff().av_buffersink_get_w(o.bsink);
        if (outH)
            *outH = ff().av_buffersink_get_h(o.bsink);
    }

    void setupVideoEncoder(OutStream &o, AVFormatContext *oc, const std::string &fileName)
    {
        InStream &is = run.ist[firstSource(o)];
        AVCodecContext *dec = is.dec;
        std::string error;
        o.codec = ChooseEncoder(o.spec->codecName, AVMEDIA_TYPE_VIDEO, d.outputs[o.file].format, fileName,
                                allowsExperimental(*o.spec), d.self, error);
        if (!o.codec)
            raise(error.rfind("Encoder", 0) == 0 ? error + FormatText(" for output stream #%d.%d (video)", o.file, o.index)
                                                 : error);
        if (dec->pix_fmt == AV_PIX_FMT_NONE)
            raise("Video pixel format is unknown, stream cannot be encoded");
        AVRational srcRate = is.st->r_frame_rate;
        if (!srcRate.num || !srcRate.den || ::av_q2d(srcRate) > 1000)
            srcRate = is.st->avg_frame_rate;

        int w = dec->width, h = dec->height;
        AVRational srcSar = is.st->sample_aspect_ratio.num ? is.st->sample_aspect_ratio : dec->sample_aspect_ratio;
        if (!srcSar.num || !srcSar.den)
            srcSar = AVRational{1, 1};
        AVRational sar = srcSar;
        if (!o.spec->filters.empty()) {
            buildGraph(o, dec->width, dec->height, dec->pix_fmt, srcSar, srcRate, &w, &h);
            sar = ff().av_buffersink_get_sample_aspect_ratio(o.bsink);
            if (!sar.num)
                sar = AVRational{1, 1};
            ff().avfilter_graph_free(&o.graph);
        }
        const int baseW = w, baseH = h;
        if (o.spec->width > 0 && o.spec->height > 0) {
            w = o.spec->width;
            h = o.spec->height;
        }
        FitFrameSize(o.codec, w, h, d.self);

        o.enc = ff().avcodec_alloc_context3(o.codec);
        if (!o.enc)
            raise("Could not alloc stream");
        AVCodecContext *e = o.enc;
        // named library options first; the fields the task sets win
        applyCodecOptions(e, o.codec, o.spec->libOptions, d.self);
        e->width = w;
        e->height = h;
        e->pix_fmt = FitPixelFormat(o.codec, o.spec->pixFmt, dec->pix_fmt);
        AVRational rate = FitFrameRate(o.codec, o.spec->frameRate.num ? o.spec->frameRate : srcRate,
                                       o.spec->forceFps, d.self);
        e->framerate = rate;
        e->time_base = AVRational{rate.den, rate.num};
        // sample aspect: the requested display aspect, else the source's
        // display aspect kept across the new size
        AVRational outSar;
        if (o.spec->aspect > 0) {
            ff().av_reduce(&outSar.num, &outSar.den, std::llround(double(o.spec->aspect) * h * 10000),
                           int64_t(w) * 10000, 255);
        } else {
            ff().av_reduce(&outSar.num, &outSar.den, int64_t(sar.num) * baseW * h, int64_t(sar.den) * baseH * w, 255);
        }
        e->sample_aspect_ratio = outSar;
        if (o.spec->videoBitrate > 0)
            e->bit_rate = o.spec->videoBitrate;
        if (o.spec->qscale > 0) {
            e->flags |= AV_CODEC_FLAG_QSCALE;
            e->global_quality = int(FF_QP2LAMBDA * o.spec->qscale);
        }
        if (o.spec->intraOnly)
            e->gop_size = 0;
        auto matrix = [&](const std::vector<uint16_t> &m) -> uint16_t * {
            if (m.size() != 64)
                return nullptr;
            auto *p = static_cast<uint16_t *>(ff().av_malloc(64 * sizeof(uint16_t)));
            std::copy(m.begin(), m.end(), p);
            return p;
        };
        if (!o.spec->intraMatrix.empty())
            e->intra_matrix = matrix(o.spec->intraMatrix);
        if (!o.spec->interMatrix.empty())
            e->inter_matrix = matrix(o.spec->interMatrix);
        e->thread_count = o.spec->threads;
        if (oc->oformat->flags & AVFMT_GLOBALHEADER)
            e->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        setupPass(o);
        if (!o.spec->forceKeyFrames.empty()) {
            std::stringstream list(o.spec->forceKeyFrames);
            std::string item;
            while (std::getline(list, item, ','))
                o.forcedKeyFrames.push_back(ParseTime("force_key_frames", item, true));
            std::sort(o.forcedKeyFrames.begin(), o.forcedKeyFrames.end());
        }
        if (ff().avcodec_open2(e, o.codec, nullptr) < 0)
            raise(FormatText("Error while opening encoder for output stream #%d.%d (video) - maybe incorrect parameters "
                         "such as bit_rate, rate, width or height. Please check error log message to find out more "
                         "detail information.",
                         o.file, o.index));
    }

    void setupPass(OutStream &o)
    {
        if (!o.spec->pass)
            return;
        std::string name = (o.spec->passLogFile.empty() ? std::string("ffmpeg2pass") : o.spec->passLogFile) + "-" +
                           std::to_string(run.ost.empty() ? 0 : &o - &run.ost[0]) + ".log";
        if (name.size() > 1023)
            name.resize(1023);
        if (o.spec->pass == 1) {
            o.enc->flags |= AV_CODEC_FLAG_PASS1;
            o.passLog = fopen(name.c_str(), "wb");
            if (!o.passLog)
                raise(FormatText("Cannot write log file %s for pass-1 encoding", name.c_str()));
        } else {
            o.enc->flags |= AV_CODEC_FLAG_PASS2;
            std::ifstream in(name, std::ios::binary);
            if (!in)
                raise(FormatText("Cannot read file: Error reading log file \"%s\" for pass-2 encoding", name.c_str()));
            std::ostringstream ss;
            ss << in.rdbuf();
            std::string text = ss.str();
            o.enc->stats_in = static_cast<char *>(ff().av_malloc(text.size() + 1));
            if (!o.enc->stats_in)
                raise(FormatText("Could not allocate file buffer: Error reading log file \"%s\" for pass-2 encoding",
                             name.c_str()));
            std::memcpy(o.enc->stats_in, text.c_str(), text.size() + 1);
        }
    }

    void setupAudioEncoder(OutStream &o, AVFormatContext *oc, const std::string &fileName)
    {
        InStream &is = run.ist[firstSource(o)];
        AVCodecContext *dec = is.dec;
        std::string error;
        o.codec = ChooseEncoder(o.spec->codecName, AVMEDIA_TYPE_AUDIO, d.outputs[o.file].format, fileName,
                                allowsExperimental(*o.spec), d.self, error);
        if (!o.codec)
            raise(error.rfind("Encoder", 0) == 0 ? error + FormatText(" for output stream #%d.%d (audio)", o.file, o.index)
                                                 : error);
        o.enc = ff().avcodec_alloc_context3(o.codec);
        if (!o.enc)
            raise("Could not alloc stream");
        AVCodecContext *e = o.enc;
        applyCodecOptions(e, o.codec, o.spec->libOptions, d.self);
        int rate = o.spec->sampleRate > 0 ? o.spec->sampleRate : dec->sample_rate;
        e->sample_rate = FitSampleRate(o.codec, rate > 0 ? rate : 44100, d.self);
        int channels = o.spec->channels > 0 ? o.spec->channels : dec->ch_layout.nb_channels;
        ff().av_channel_layout_uninit(&e->ch_layout);
        FitChannelLayout(o.codec, channels > 0 ? channels : 2, &e->ch_layout, d.self);
        e->sample_fmt = FitSampleFormat(o.codec, o.spec->sampleFmt != AV_SAMPLE_FMT_NONE ? o.spec->sampleFmt
                                                                                         : dec->sample_fmt);
        e->time_base = AVRational{1, e->sample_rate};
        if (o.spec->audioBitrate > 0)
            e->bit_rate = o.spec->audioBitrate;
        if (o.spec->audioQscale >= 0) {
            e->flags |= AV_CODEC_FLAG_QSCALE;
            e->global_quality = int(FF_QP2LAMBDA * o.spec->audioQscale);
        }
        e->thread_count = o.spec->threads;
        if (oc->oformat->flags & AVFMT_GLOBALHEADER)
            e->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        if (ff().avcodec_open2(e, o.codec, nullptr) < 0)
            raise(FormatText("Error while opening encoder for output stream #%d.%d (audio) - maybe incorrect parameters "
                         "such as bit_rate, rate, width or height. Please check error log message to find out more "
                         "detail information.",
                         o.file, o.index));
        o.frameSize = (o.codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE) ? 0 : e->frame_size;
        o.fifo = ff().av_audio_fifo_alloc(e->sample_fmt, e->ch_layout.nb_channels, 1024);
        o.aframe = ff().av_frame_alloc();
        if (!o.fifo || !o.aframe)
            raise("Out of memory in do_audio_out");
    }

    void setup()
    {
        for (size_t f = 0; f < d.inputs.size(); ++f) {
            TaskInputFile &in = d.inputs[f];
            in.firstStream = int(run.ist.size());
            for (unsigned s = 0; s < in.ctx->nb_streams; ++s) {
                InStream is;
                is.st = in.ctx->streams[s];
                is.file = int(f);
                run.ist.push_back(is);
            }
        }
        mapStreams();
        // decoders of every source stream
        for (auto &o : run.ost)
            if (!o.copy)
                for (int s : o.sourceOf)
                    if (s >= 0)
                        openDecoder(run.ist[s], run.ist[s].file);
        for (auto &o : run.ost) {
            TaskOutputFile &out = d.outputs[o.file];
            AVFormatContext *oc = out.ctx;
            if (o.copy) {
                setupCopy(o, oc);
            } else {
                if (o.spec->type == AVMEDIA_TYPE_VIDEO)
                    setupVideoEncoder(o, oc, out.name);
                else if (o.spec->type == AVMEDIA_TYPE_AUDIO)
                    setupAudioEncoder(o, oc, out.name);
                else
                    raise(FormatText("Subtitle encoding failed for output stream #%d.%d; only copying is supported",
                                 o.file, o.index));
                o.st = ff().avformat_new_stream(oc, nullptr);
                if (!o.st)
                    raise("Could not alloc stream");
                ff().avcodec_parameters_from_context(o.st->codecpar, o.enc);
                o.st->codecpar->codec_tag = o.spec->tag;
                o.st->time_base = o.enc->time_base;
                if (o.spec->type == AVMEDIA_TYPE_VIDEO) {
                    o.st->avg_frame_rate = o.enc->framerate;
                    o.st->sample_aspect_ratio = o.enc->sample_aspect_ratio;
                }
            }
            if (o.spec->streamId >= 0)
                o.st->id = o.spec->streamId;
            if (!o.spec->language.empty())
                ff().av_dict_set(&o.st->metadata, "language", o.spec->language.c_str(), 0);
            if (!o.spec->bitstreamFilters.empty()) {
                std::string chain;
                for (auto &b : o.spec->bitstreamFilters)
                    chain += (chain.empty() ? "" : ",") + b;
                int r = ff().av_bsf_list_parse_str(chain.c_str(), &o.bsf);
                if (r >= 0) {
                    ff().avcodec_parameters_copy(o.bsf->par_in, o.st->codecpar);
                    o.bsf->time_base_in = o.st->time_base;
                    r = ff().av_bsf_init(o.bsf);
                }
                if (r < 0)
                    raise(FormatText("Unknown bitstream filter %s", chain.c_str()));
                ff().avcodec_parameters_copy(o.st->codecpar, o.bsf->par_out);
            }
        }
        for (size_t f = 0; f < d.outputs.size(); ++f) {
            TaskOutputFile &out = d.outputs[f];
            // the first input's tags go along unless the task set its own
            ff().av_dict_copy(&out.ctx->metadata, d.inputs[0].ctx->metadata, AV_DICT_DONT_OVERWRITE);
            if (ff().avformat_write_header(out.ctx, nullptr) < 0)
                raise(FormatText("Could not write header for output file #%d (incorrect codec parameters ?)", int(f)));
            out.headerWritten = true;
        }
        if (d.verbosity >= 0) {
            d.log(llInfo, "Stream mapping:");
            for (auto &o : run.ost) {
                int s = firstSource(o);
                d.log(llInfo, "  Stream #%d.%d -> #%d.%d (%s)", run.ist[s].file, run.ist[s].st->index, o.file,
                      o.index, o.copy ? "copy" : o.codec->name);
            }
        }
    }

    // --- writing ------------------------------------------------------------

    void mux(OutStream &o, AVPacket *p)
    {
        AVFormatContext *oc = d.outputs[o.file].ctx;
        p->stream_index = o.st->index;
        if (p->pts != AV_NOPTS_VALUE) {
            int64_t end = ff().av_rescale_q(p->pts + p->duration, o.st->time_base, AV_TIME_BASE_Q);
            o.endUs = std::max(o.endUs, end);
        }
        o.bytes += p->size;
        int r = ff().av_interleaved_write_frame(oc, p);
        if (r < 0)
            raise(LibraryErrorText("av_interleaved_write_frame()", r));
        // writes go through a buffer: a failed write shows up here first
        if (oc->pb && oc->pb->error < 0)
            raise(LibraryErrorText(d.outputs[o.file].name, oc->pb->error));
    }

    void writePacket(OutStream &o, AVPacket *p)
    {
        if (!o.bsf) {
            mux(o, p);
            return;
        }
        int r = ff().av_bsf_send_packet(o.bsf, p);
        while (r >= 0) {
            r = ff().av_bsf_receive_packet(o.bsf, p);
            if (r == AVERROR(EAGAIN) || r == AVERROR_EOF)
                return;
            if (r >= 0) {
                mux(o, p);
                ff().av_packet_unref(p);
            }
        }
        std::string text = FormatText("%s failed for stream %d, codec %s: ", o.bsf->filter->name, o.st->index,
                                  o.copy ? "copy" : o.codec->name) +
                           AvErrorString(r);
        if (opt.xerror)
            raise(text);
        d.log(llError, "%s", text.c_str());
    }

    void encode(OutStream &o, AVFrame *f)
    {
        const bool video = o.spec->type == AVMEDIA_TYPE_VIDEO;
        int r = ff().avcodec_send_frame(o.enc, f);
        if (r < 0 && r != AVERROR_EOF)
            raise(video ? "Video encoding failed" : "Audio encoding failed");
        AVPacket *p = run.opkt;
        for (;;) {
            r = ff().avcodec_receive_packet(o.enc, p);
            if (r == AVERROR(EAGAIN) || r == AVERROR_EOF)
                break;
            if (r < 0)
                raise(video ? "Video encoding failed" : "Audio encoding failed");
            if (o.passLog && o.enc->stats_out)
                fputs(o.enc->stats_out, o.passLog);
            if (video) {
                size_t sz = 0;
                if (uint8_t *q = ff().av_packet_get_side_data(p, AV_PKT_DATA_QUALITY_STATS, &sz); q && sz >= 4)
                    {
                    int32_t lambda = 0;
                    std::memcpy(&lambda, q, 4);
                    o.quality = float(lambda) / FF_QP2LAMBDA;
                }
            }
            ff().av_packet_rescale_ts(p, o.enc->time_base, o.st->time_base);
            writePacket(o, p);
            ff().av_packet_unref(p);
        }
    }

    // --- video --------------------------------------------------------------

    void callVideoHook(const TCustomFFmpeg::VideoHookFn &hook, PictureConverter &conv, bool &stopped, AVFrame *f,
                       int frameNumber, int64_t pts)
    {
        if (!hook || stopped)
            return;
        TTaskPicture &pic = conv.convert(f, d.hookBits);
        bool update = true, stop = false;
        hook(d.self, pic, frameNumber, pts, update, stop);
        if (update)
            conv.writeBack(f, d.hookBits);
        if (stop)
            stopped = true;
    }

    void videoOut(OutStream &o, AVFrame *f)
    {
        if (o.finished)
            return;
        AVFormatContext *oc = d.outputs[o.file].ctx;
        double inPts = f->pts == AV_NOPTS_VALUE
                           ? double(o.nextPts)
                           : f->pts * ::av_q2d(o.sinkTb) / ::av_q2d(o.enc->time_base);
        int64_t nb = 1;
        if (opt.vsync != 0) {
            double delta = inPts - double(o.nextPts);
            if (delta < -1.1) {
                nb = 0;
            } else if (opt.vsync == 2 || (opt.vsync < 0 && (oc->oformat->flags & AVFMT_VARIABLE_FPS))) {
                if (delta <= -0.6)
                    nb = 0;
                else if (delta > 0.6)
                    o.nextPts = std::llround(inPts);
            } else if (delta > 1.1) {
                nb = std::llround(delta);
            }
        } else if (f->pts != AV_NOPTS_VALUE) {
            o.nextPts = std::max<int64_t>(o.nextPts, std::llround(inPts));
        }
        if (nb == 0) {
            ++o.drop;
            if (d.verbosity > 2)
                d.log(llVerbose, "*** drop!");
            return;
        }
        if (nb > 1) {
            o.dup += nb - 1;
            if (d.verbosity > 2)
                d.log(llVerbose, "*** %d dup!", int(nb - 1));
        }
        nb = std::min<int64_t>(nb, o.spec->maxFrames - o.frames);
        for (int64_t i = 0; i < nb; ++i) {
            int64_t ptsUs = ff().av_rescale_q(o.nextPts, o.enc->time_base, AV_TIME_BASE_Q);
            f->pts = o.nextPts;
            f->pict_type = AV_PICTURE_TYPE_NONE;
            if (o.nextForcedKeyFrame < o.forcedKeyFrames.size() && ptsUs >= o.forcedKeyFrames[o.nextForcedKeyFrame]) {
                f->pict_type = AV_PICTURE_TYPE_I;
                while (o.nextForcedKeyFrame < o.forcedKeyFrames.size() &&
                       ptsUs >= o.forcedKeyFrames[o.nextForcedKeyFrame])
                    ++o.nextForcedKeyFrame;
            }
            callVideoHook(d.self->OnVideoOutputHook, run.outHookConv, run.outputHookStopped, f, int(o.frames + 1),
                          ptsUs);
            const uint8_t preview = d.previewFlags;
            if (preview & (kPreviewWindow | kPreviewBitmap)) {
                int64_t now = NowMicros();
                if (now - o.lastPreview >= 100000) {
                    o.lastPreview = now;
                    const TTaskPicture &pic = run.previewConv.convert(f, d.hookBits);
                    if (preview & kPreviewWindow)
                        d.showInPreviewWindow(pic, int(o.frames + 1), ptsUs);
                    if ((preview & kPreviewBitmap) && d.self->OnPreviewBitmap)
                        d.self->OnPreviewBitmap(d.self, pic, int(o.frames + 1), ptsUs);
                }
            }
            encode(o, f);
            ++o.nextPts;
            ++o.frames;
        }
        if (o.frames >= o.spec->maxFrames)
            o.finished = true;
    }

    void pullGraph(OutStream &o)
    {
        for (;;) {
            int r = ff().av_buffersink_get_frame(o.bsink, run.filtered);
            if (r == AVERROR(EAGAIN) || r == AVERROR_EOF)
                return;
            if (r < 0)
                raise("Error opening filters: " + AvErrorString(r));
            videoOut(o, run.filtered);
            ff().av_frame_unref(run.filtered);
        }
    }

    void flushGraph(OutStream &o)
    {
        if (!o.graph)
            return;
        if (ff().av_buffersrc_add_frame_flags(o.bsrc, nullptr, 0) < 0) {
            ff().avfilter_graph_free(&o.graph);
            return;
        }
        pullGraph(o);
        ff().avfilter_graph_free(&o.graph);
    }

    void videoFrame(InStream &is, AVFrame *f, int64_t us)
    {
        callVideoHook(d.self->OnVideoInputHook, run.inHookConv, run.inputHookStopped, f, 0, us);
        f->pts = us;
        for (int oi : is.outs) {
            OutStream &o = run.ost[oi];
            if (o.copy || o.finished)
                continue;
            if (!o.graph || f->width != o.gW || f->height != o.gH || f->format != o.gFmt) {
                if (o.graph) {
                    d.log(llInfo, "Input Stream #%d.%d frame size changed to %dx%d, %s", is.file, is.st->index,
                          f->width, f->height, ff().av_get_pix_fmt_name(AVPixelFormat(f->format)));
                    flushGraph(o);
                }
                AVRational sar = f->sample_aspect_ratio.num ? f->sample_aspect_ratio : is.st->sample_aspect_ratio;
                buildGraph(o, f->width, f->height, f->format, sar, is.st->r_frame_rate, nullptr, nullptr);
            }
            if (ff().av_buffersrc_add_frame_flags(o.bsrc, f, AV_BUFFERSRC_FLAG_KEEP_REF) < 0)
                raise("Error opening filters!");
            pullGraph(o);
        }
    }

    // --- audio --------------------------------------------------------------

    void callAudioHook(AVFrame *f, int64_t us)
    {
        if (!d.self->OnAudioHook)
            return;
        const int ch = f->ch_layout.nb_channels;
        const int bps = ff().av_get_bytes_per_sample(AVSampleFormat(f->format));
        const int size = f->nb_samples * ch * bps;
        AVSampleFormat packed = ff().av_get_packed_sample_fmt(AVSampleFormat(f->format));
        if (ff().av_frame_make_writable(f) < 0)
            return;
        if (!ff().av_sample_fmt_is_planar(AVSampleFormat(f->format))) {
            d.self->OnAudioHook(d.self, us, f->data[0], size, f->sample_rate, ch, packed);
            return;
        }
        // the hook sees interleaved samples; planar frames go through a copy
        run.audioHookBuffer.resize(size_t(size));
        uint8_t *buf = run.audioHookBuffer.data();
        for (int s = 0; s < f->nb_samples; ++s)
            for (int c = 0; c < ch; ++c)
                std::memcpy(buf + (size_t(s) * ch + c) * bps, f->extended_data[c] + size_t(s) * bps, bps);
        d.self->OnAudioHook(d.self, us, buf, size, f->sample_rate, ch, packed);
        for (int s = 0; s < f->nb_samples; ++s)
            for (int c = 0; c < ch; ++c)
                std::memcpy(f->extended_data[c] + size_t(s) * bps, buf + (size_t(s) * ch + c) * bps, bps);
    }

    void drainFifo(OutStream &o, bool final)
    {
        AVCodecContext *e = o.enc;
        for (;;) {
            int avail = ff().av_audio_fifo_size(o.fifo);
            int want = o.frameSize > 0 ? o.frameSize : std::min(avail, 4096);
            if (avail <= 0 || (avail < want) || (o.frameSize > 0 && avail < o.frameSize && !final))
                if (!(final && avail > 0))
                    return;
            int n = std::min(avail, want);
            int alloc = o.frameSize > 0 ? o.frameSize : 4096;
            if (!o.aframe->buf[0]) {
                o.aframe->format = e->sample_fmt;
                o.aframe->sample_rate = e->sample_rate;
                ff().av_channel_layout_copy(&o.aframe->ch_layout, &e->ch_layout);
                o.aframe->nb_samples = alloc;
                if (ff().av_frame_get_buffer(o.aframe, 0) < 0)
                    raise("Out of memory in do_audio_out");
            }
            if (ff().av_frame_make_writable(o.aframe) < 0)
                raise("Out of memory in do_audio_out");
            o.aframe->nb_samples = alloc;
            ff().av_audio_fifo_read(o.fifo, reinterpret_cast<void **>(o.aframe->extended_data), n);
            if (n < alloc && o.frameSize > 0) {
                if (o.codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME) {
                    o.aframe->nb_samples = n;
                } else {
                    ff().av_samples_set_silence(o.aframe->extended_data, n, alloc - n, e->ch_layout.nb_channels,
                                                e->sample_fmt);
                }
            } else {
                o.aframe->nb_samples = n;
            }
            o.aframe->pts = o.nextSample;
            o.nextSample += o.aframe->nb_samples;
            encode(o, o.aframe);
            ++o.frames;
            if (o.frames >= o.spec->maxFrames) {
                o.finished = true;
                return;
            }
        }
    }

    // Appends silence to the stream's FIFO.
    void fillSilence(OutStream &o, int samples)
    {
        AVCodecContext *e = o.enc;
        uint8_t **silence = nullptr;
        if (ff().av_samples_alloc_array_and_samples(&silence, nullptr, e->ch_layout.nb_channels, samples,
                                                    e->sample_fmt, 0) < 0)
            raise("Out of memory in do_audio_out");
        ff().av_samples_set_silence(silence, 0, samples, e->ch_layout.nb_channels, e->sample_fmt);
        ff().av_audio_fifo_write(o.fifo, reinterpret_cast<void **>(silence), samples);
        ff().av_freep(&silence[0]);
        ff().av_freep(&silence);
    }

    // Converts input samples to the encoder's format and appends them to
    // the FIFO, leaving out the first skip converted samples.
    void convertInto(OutStream &o, const uint8_t **in, int inSamples, int skip = 0)
    {
        int cap = ff().swr_get_out_samples(o.swr, inSamples);
        if (cap <= 0)
            cap = inSamples + 256;
        if (cap > o.convCap) {
            if (o.conv) {
                ff().av_freep(&o.conv[0]);
                ff().av_freep(&o.conv);
            }
            if (ff().av_samples_alloc_array_and_samples(&o.conv, nullptr, o.enc->ch_layout.nb_channels, cap,
                                                        o.enc->sample_fmt, 0) < 0)
                raise("Buffer sizes too large in do_audio_out");
            o.convCap = cap;
        }
        int n = ff().swr_convert(o.swr, o.conv, o.convCap, in, inSamples);
        if (n < 0)
            raise("av_audio_convert() failed");
        skip = std::min(skip, std::max(n, 0));
        if (n - skip > 0) {
            void *planes[AV_NUM_DATA_POINTERS] = {};
            const bool planar = ff().av_sample_fmt_is_planar(o.enc->sample_fmt);
            const int channels = o.enc->ch_layout.nb_channels;
            const int step = ff().av_get_bytes_per_sample(o.enc->sample_fmt) * (planar ? 1 : channels);
            for (int p = 0; p < (planar ? std::min(channels, AV_NUM_DATA_POINTERS) : 1); ++p)
                planes[p] = o.conv[p] + size_t(skip) * step;
            if (ff().av_audio_fifo_write(o.fifo, planes, n - skip) < n - skip)
                raise("av_fifo_realloc2() failed");
        }
    }

    void audioOut(OutStream &o, InStream &is, AVFrame *f, int64_t us)
    {
        if (o.finished)
            return;
        AVCodecContext *e = o.enc;
        if (!o.swr || f->sample_rate != o.swrRate || f->format != o.swrFmt ||
            ff().av_channel_layout_compare(&f->ch_layout, &o.swrLayout) != 0) {
            if (o.swr) {
                d.log(llInfo, "Input stream #%d.%d frame changed from rate:%d fmt:%s ch:%d to rate:%d fmt:%s ch:%d",
                      is.file, is.st->index, o.swrRate, ff().av_get_sample_fmt_name(AVSampleFormat(o.swrFmt)),
                      o.swrLayout.nb_channels, f->sample_rate, ff().av_get_sample_fmt_name(AVSampleFormat(f->format)),
                      f->ch_layout.nb_channels);
                convertInto(o, nullptr, 0); // keep what the old converter still holds
                ff().swr_free(&o.swr);
            }
            AVChannelLayout inLayout{};
            if (f->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
                ff().av_channel_layout_default(&inLayout, f->ch_layout.nb_channels);
            else
                ff().av_channel_layout_copy(&inLayout, &f->ch_layout);
            int r = ff().swr_alloc_set_opts2(&o.swr, &e->ch_layout, e->sample_fmt, e->sample_rate, &inLayout,
                                             AVSampleFormat(f->format), f->sample_rate, 0, nullptr);
            ff().av_channel_layout_uninit(&inLayout);
            if (r >= 0 && o.spec->volume != 256)
                ff().av_opt_set_double(o.swr, "rematrix_volume", o.spec->volume / 256.0, 0);
            if (r < 0 || ff().swr_init(o.swr) < 0)
                raise(FormatText("Can not resample %d channels @ %d Hz to %d channels @ %d Hz", f->ch_layout.nb_channels,
                             f->sample_rate, e->ch_layout.nb_channels, e->sample_rate));
            o.swrRate = f->sample_rate;
            o.swrFmt = f->format;
            ff().av_channel_layout_uninit(&o.swrLayout);
            ff().av_channel_layout_copy(&o.swrLayout, &f->ch_layout);
        }
        if (o.nextSample == AV_NOPTS_VALUE)
            o.nextSample = us != AV_NOPTS_VALUE && us > 0 ? ff().av_rescale(us, e->sample_rate, AV_TIME_BASE) : 0;
        if (o.resync && us != AV_NOPTS_VALUE) {
            // an input without sound in between: keep the sound in step
            // with the pictures by filling the gap with silence
            o.resync = false;
            int64_t target = ff().av_rescale(us, e->sample_rate, AV_TIME_BASE);
            int64_t pending = o.nextSample + ff().av_audio_fifo_size(o.fifo);
            if (target > pending) {
                int gap = int(std::min<int64_t>(target - pending, int64_t(e->sample_rate) * 3600));
                fillSilence(o, gap);
                if (d.verbosity > 2)
                    d.log(llVerbose, "adding %d audio samples of silence", gap);
            }
        }
        int drop = 0;
        if (opt.async != 0 && us != AV_NOPTS_VALUE) {
            // keep the sound on the input's clock
            const double position = double(us) * e->sample_rate / AV_TIME_BASE;
            const double delta = position - double(o.nextSample + ff().av_audio_fifo_size(o.fifo));
            if (std::fabs(delta) > 50) {
                if (!o.asyncStarted || std::fabs(delta) > opt.adriftThreshold * e->sample_rate) {
                    if (delta < 0) {
                        drop = int(std::min<double>(-delta, f->nb_samples * double(e->sample_rate) /
                                                                std::max(1, f->sample_rate)));
                        if (d.verbosity > 2)
                            d.log(llVerbose, "discarding %d audio samples", drop);
                    } else {
                        int gap = int(std::min<double>(delta, double(e->sample_rate) * 3600));
                        fillSilence(o, gap);
                        if (d.verbosity > 2)
                            d.log(llVerbose, "adding %d audio samples of silence", gap);
                    }
                } else if (opt.async > 1) {
                    int comp = int(std::clamp<double>(delta, -opt.async, opt.async));
                    ff().swr_set_compensation(o.swr, comp, e->sample_rate);
                    if (d.verbosity > 2)
                        d.log(llVerbose, "compensating audio timestamp drift:%f compensation:%d in:%d", delta, comp,
                              f->nb_samples);
                }
            }
            o.asyncStarted = true;
        }
        convertInto(o, const_cast<const uint8_t **>(f->extended_data), f->nb_samples, drop);
        drainFifo(o, false);
    }

    void flushAudio(OutStream &o)
    {
        if (o.swr)
            convertInto(o, nullptr, 0);
        drainFifo(o, true);
    }

    // --- decoding -----------------------------------------------------------

    void decodeError(InStream &is)
    {
        std::string text = FormatText("Error while decoding stream #%d.%d (%s)", is.file, is.st->index,
                                  typeName(is.st->codecpar->codec_type));
        if (opt.xerror)
            raise(text);
        if (d.verbosity >= 0)
            d.log(llWarning, "%s", text.c_str());
    }

    void decode(InStream &is, const AVPacket *p)
    {
        if (!is.dec)
            return;
        int r = ff().avcodec_send_packet(is.dec, p);
        if (r < 0 && r != AVERROR_EOF && r != AVERROR(EAGAIN))
            decodeError(is);
        const TaskOutputFile &out = d.outputs[0];
        for (;;) {
            r = ff().avcodec_receive_frame(is.dec, run.frame);
            if (r == AVERROR(EAGAIN) || r == AVERROR_EOF)
                return;
            if (r < 0) {
                decodeError(is);
                return;
            }
            AVFrame *f = run.frame;
            int64_t ts = f->best_effort_timestamp != AV_NOPTS_VALUE ? f->best_effort_timestamp : f->pts;
            int64_t us = ts == AV_NOPTS_VALUE ? AV_NOPTS_VALUE : ff().av_rescale_q(ts, is.st->time_base, AV_TIME_BASE_Q);
            bool keep = true;
            if (us != AV_NOPTS_VALUE) {
                int64_t dur = 0;
                if (is.st->codecpar->codec_type == AVMEDIA_TYPE_AUDIO && f->sample_rate > 0)
                    dur = ff().av_rescale(f->nb_samples, AV_TIME_BASE, f->sample_rate);
                // before the start position, or past the recording length
                if (us + dur <= 0 && (d.inputs[is.file].startTime > 0 || us + dur < 0))
                    keep = false;
                if (out.recordingTime != kNoLimit && us >= out.recordingTime)
                    keep = false;
            }
            if (keep) {
                if (is.st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
                    videoFrame(is, f, us);
                } else if (is.st->codecpar->codec_type == AVMEDIA_TYPE_AUDIO) {
                    callAudioHook(f, us);
                    for (int oi : is.outs)
                        if (!run.ost[oi].copy)
                            audioOut(run.ost[oi], is, f, us);
                }
            }
            ff().av_frame_unref(f);
        }
    }

    void flushDecoder(InStream &is)
    {
        if (!is.dec || is.flushed)
            return;
        is.flushed = true;
        decode(is, nullptr);
    }

    // --- packets ------------------------------------------------------------

    void copyPacket(OutStream &o, InStream &is, AVPacket *p, int64_t us)
    {
        if (o.finished)
            return;
        if (!o.copyStarted && !(p->flags & AV_PKT_FLAG_KEY) && !opt.copyinkf)
            return;
        if (d.inputs[is.file].startTime > 0 && us != AV_NOPTS_VALUE && us < 0)
            return;
        o.copyStarted = true;
        AVPacket *c = run.opkt;
        if (ff().av_packet_ref(c, p) < 0)
            raise("av_mallocz fail");
        ff().av_packet_rescale_ts(c, is.st->time_base, o.st->time_base);
        c->pos = -1;
        writePacket(o, c);
        ff().av_packet_unref(c);
        if (o.spec->type == AVMEDIA_TYPE_VIDEO)
            ++o.frames;
    }

    void processPacket(int fi, AVPacket *p)
    {
        TaskInputFile &in = d.inputs[fi];
        if (p->stream_index < 0 || unsigned(p->stream_index) >= in.ctx->nb_streams)
            return;
        InStream &is = run.ist[in.firstStream + p->stream_index];
        if (is.outs.empty() || is.finished)
            return;
        if (opt.dump)
            ff().av_pkt_dump_log2(nullptr, AV_LOG_INFO, p, opt.hex, is.st);
        AVRational tb = is.st->time_base;
        int64_t off = ff().av_rescale_q(in.tsOffset, AV_TIME_BASE_Q, tb);
        double scale = p->stream_index < kMaxStreams ? in.tsScale[p->stream_index] : 1.0;
        if (p->dts != AV_NOPTS_VALUE)
            p->dts = int64_t(p->dts * scale) + off;
        if (p->pts != AV_NOPTS_VALUE)
            p->pts = int64_t(p->pts * scale) + off;

        // time stamps that jump in formats that allow it
        if ((in.ctx->iformat->flags & AVFMT_TS_DISCONT) && !opt.copyts && is.nextDts != AV_NOPTS_VALUE &&
            p->dts != AV_NOPTS_VALUE) {
            int64_t dtsUs = ff().av_rescale_q(p->dts, tb, AV_TIME_BASE_Q);
            int64_t delta = dtsUs - is.nextDts;
            if (std::llabs(delta) > int64_t(opt.dtsDeltaThreshold * AV_TIME_BASE) ||
                dtsUs + AV_TIME_BASE / 10 < is.nextDts) {
                in.tsOffset -= delta;
                int64_t dtb = ff().av_rescale_q(delta, AV_TIME_BASE_Q, tb);
                p->dts -= dtb;
                if (p->pts != AV_NOPTS_VALUE)
                    p->pts -= dtb;
                if (d.verbosity > 2)
                    d.log(llVerbose, "timestamp discontinuity %" PRId64 ", new offset= %" PRId64, delta, in.tsOffset);
            }
        }
        if (p->dts != AV_NOPTS_VALUE)
            is.nextDts = ff().av_rescale_q(p->dts + p->duration, tb, AV_TIME_BASE_Q);

        int64_t ts = p->pts != AV_NOPTS_VALUE ? p->pts : p->dts;
        int64_t us = ts == AV_NOPTS_VALUE ? AV_NOPTS_VALUE : ff().av_rescale_q(ts, tb, AV_TIME_BASE_Q);
        const TaskOutputFile &out = d.outputs[0];
        if (out.recordingTime != kNoLimit && us != AV_NOPTS_VALUE && p->dts != AV_NOPTS_VALUE &&
            ff().av_rescale_q(p->dts, tb, AV_TIME_BASE_Q) >= out.recordingTime) {
            is.finished = true;
            flushDecoder(is);
            return;
        }
        bool needDecode = false;
        for (int oi : is.outs) {
            OutStream &o = run.ost[oi];
            if (!sourceIsCurrent(o, in.firstStream + p->stream_index))
                continue;
            if (o.copy)
                copyPacket(o, is, p, us);
            else
                needDecode = true;
        }
        if (needDecode)
            decode(is, p);
    }

    bool sourceIsCurrent(const OutStream &o, int istIndex)
    {
        if (!d.joining)
            return true;
        return run.currentInput < int(o.sourceOf.size()) && o.sourceOf[run.currentInput] == istIndex;
    }

    // --- progress -----------------------------------------------------------

    void report(bool final, int fileIndex)
    {
        TaskOutputFile &out0 = d.outputs[0];
        int64_t size = 0;
        if (out0.ctx && out0.ctx->pb) {
            size = ff().avio_size(out0.ctx->pb);
            if (size < 0)
                size = ff().avio_seek(out0.ctx->pb, 0, SEEK_CUR);
        }
        TTaskProgress p;
        p.FileIndex = final ? -1 : fileIndex;
        p.TotalDuration = d.totalDuration;
        OutStream *video = nullptr;
        for (auto &o : run.ost)
            if (!o.copy && o.spec->type == AVMEDIA_TYPE_VIDEO) {
                video = &o;
                break;
            }
        if (video) {
            if (video->frames == 0)
                return;
            p.FrameNumber = int(video->frames);
            double secs = (NowMicros() - run.startTime) / 1e6;
            p.FPS = secs > 1 ? int(video->frames / secs + 0.5) : 0;
            p.Quality = video->quality;
        }
        int64_t cur = 0;
        for (auto &o : run.ost)
            if (o.endUs > 0 && (cur == 0 || o.endUs < cur))
                cur = o.endUs;
        double t = std::max(cur / 1e6, 0.01);
        p.CurrentDuration = int64_t(t * 1000000);
        p.CurrentSize = size;
        p.BitRate = float(size * 8 / t / 1000);
        if (d.self->OnProgress) {
            d.self->OnProgress(d.self, p);
        } else if (d.verbosity >= 0) {
            int64_t dup = 0, drop = 0;
            for (auto &o : run.ost) {
                dup += o.dup;
                drop += o.drop;
            }
            d.log(llVerbose, "frame=%5d fps=%3d q=%3.1f %ssize=%8.0fkB time=%0.2f bitrate=%6.1fkbits/s dup=%d drop=%d",
                  p.FrameNumber, p.FPS, p.Quality, final ? "L" : "", size / 1024.0, t, p.BitRate, int(dup), int(drop));
        }
        if (final && d.verbosity >= 0) {
            int64_t v = 0, a = 0;
            for (auto &o : run.ost)
                (o.spec->type == AVMEDIA_TYPE_VIDEO ? v : a) += o.bytes;
            double overhead = v + a > 0 ? 100.0 * (size - v - a) / double(v + a) : 0;
            d.log(llInfo, "video:%1.0fkB audio:%1.0fkB global headers:%1.0fkB muxing overhead %f%%", v / 1024.0,
                  a / 1024.0, 0.0, overhead);
        }
    }

    // --- the loop -----------------------------------------------------------

    int chooseInput()
    {
        if (d.joining)
            return run.currentInput < int(d.inputs.size()) ? run.currentInput : -1;
        int best = -1;
        int64_t bestTime = 0;
        for (size_t f = 0; f < d.inputs.size(); ++f) {
            TaskInputFile &in = d.inputs[f];
            if (in.eof || in.tryAgain)
                continue;
            bool wanted = false;
            int64_t t = INT64_MAX;
            for (unsigned s = 0; s < in.ctx->nb_streams; ++s) {
                InStream &is = run.ist[in.firstStream + s];
                if (is.finished)
                    continue;
                for (int oi : is.outs)
                    if (!run.ost[oi].finished) {
                        wanted = true;
                        t = std::min(t, run.ost[oi].endUs);
                    }
            }
            if (wanted && (best < 0 || t < bestTime)) {
                best = int(f);
                bestTime = t;
            }
        }
        return best;
    }

    bool allFinished()
    {
        for (auto &o : run.ost)
            if (!o.finished)
                return false;
        return true;
    }

    void inputEnded(int fi)
    {
        TaskInputFile &in = d.inputs[fi];
        in.eof = true;
        for (unsigned s = 0; s < in.ctx->nb_streams; ++s)
            flushDecoder(run.ist[in.firstStream + s]);
        if (!d.joining)
            return;
        // the next input continues where this one's output ended
        for (auto &o : run.ost)
            if (!o.copy && o.spec->type == AVMEDIA_TYPE_VIDEO)
                flushGraph(o);
        // where each stream stands: frames handed to the encoders count,
        // even those an encoder still holds back
        int64_t end = 0;
        for (auto &o : run.ost) {
            if (o.copy || !o.enc)
                end = std::max(end, o.endUs);
            else if (o.spec->type == AVMEDIA_TYPE_VIDEO)
                end = std::max(end, ff().av_rescale_q(o.nextPts, o.enc->time_base, AV_TIME_BASE_Q));
            else if (o.spec->type == AVMEDIA_TYPE_AUDIO && o.nextSample != AV_NOPTS_VALUE)
                end = std::max(end, ff().av_rescale(o.nextSample + ff().av_audio_fifo_size(o.fifo), AV_TIME_BASE,
                                                    o.enc->sample_rate));
        }
        // and where the input itself ended (its last picture lasts a while)
        for (unsigned s = 0; s < in.ctx->nb_streams; ++s) {
            const InStream &is = run.ist[in.firstStream + s];
            if (!is.outs.empty() && is.nextDts != AV_NOPTS_VALUE)
                end = std::max(end, is.nextDts);
        }
        for (auto &o : run.ost)
            o.resync = true;
        if (fi + 1 < int(d.inputs.size()))
            d.inputs[fi + 1].tsOffset += end;
        ++run.currentInput;
    }

    void loop()
    {
        run.startTime = NowMicros();
        run.lastReport = run.startTime;
        int fileIndex = 0;
        while (!d.stopRequested) {
            int fi = chooseInput();
            if (fi < 0) {
                bool again = false;
                for (auto &in : d.inputs)
                    if (in.tryAgain) {
                        again = true;
                        in.tryAgain = false;
                    }
                if (!again || d.joining)
                    break;
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
                continue;
            }
            fileIndex = fi;
            TaskOutputFile &out0 = d.outputs[0];
            if (out0.limitFileSize > 0 && out0.ctx->pb && ff().avio_seek(out0.ctx->pb, 0, SEEK_CUR) >= out0.limitFileSize)
                break;
            int r = ff().av_read_frame(d.inputs[fi].ctx, run.pkt);
            if (r == AVERROR(EAGAIN)) {
                d.inputs[fi].tryAgain = true;
                continue;
            }
            if (r < 0) {
                if (d.stopRequested)
                    break;
                inputEnded(fi);
                if (opt.shortest && !d.joining)
                    break;
                continue;
            }
            if (opt.re && run.pkt->dts != AV_NOPTS_VALUE) {
                // read no faster than the input plays (live outputs)
                AVStream *st = d.inputs[fi].ctx->streams[run.pkt->stream_index];
                int64_t due = ff().av_rescale_q(run.pkt->dts, st->time_base, AV_TIME_BASE_Q) + d.inputs[fi].tsOffset;
                while (!d.stopRequested && due > NowMicros() - run.startTime)
                    std::this_thread::sleep_for(std::chrono::milliseconds(std::min<int64_t>(
                        10, std::max<int64_t>(1, (due - (NowMicros() - run.startTime)) / 1000))));
            }
            processPacket(fi, run.pkt);
            ff().av_packet_unref(run.pkt);
            if (allFinished())
                break;
            int64_t now = NowMicros();
            if (now - run.lastReport > d.progressInterval) {
                run.lastReport = now;
                report(false, fileIndex);
            }
        }
    }

    void finish()
    {
        for (auto &is : run.ist)
            flushDecoder(is);
        for (auto &o : run.ost) {
            if (o.copy || !o.enc)
                continue;
            if (o.spec->type == AVMEDIA_TYPE_VIDEO)
                flushGraph(o);
            else if (o.spec->type == AVMEDIA_TYPE_AUDIO)
                flushAudio(o);
            encode(o, nullptr);
        }
        for (auto &o : run.ost)
            if (o.bsf) {
                ff().av_bsf_send_packet(o.bsf, nullptr);
                AVPacket *p = run.opkt;
                while (ff().av_bsf_receive_packet(o.bsf, p) >= 0) {
                    mux(o, p);
                    ff().av_packet_unref(p);
                }
            }
        for (auto &out : d.outputs)
            if (out.headerWritten) {
                out.headerWritten = false;
                int r = ff().av_write_trailer(out.ctx);
                if (r < 0)
                    raise(LibraryErrorText("av_write_trailer()", r));
                // a file that could not be written completely is a failure,
                // never a finished conversion
                if (out.ctx->pb) {
                    ff().avio_flush(out.ctx->pb);
                    if (out.ctx->pb->error < 0)
                        raise(LibraryErrorText(out.name, out.ctx->pb->error));
                }
            }
        report(true, -1);
    }
};

} // namespace

void TCustomFFmpeg::Impl::transcode()
{
    Transcoder t(*this);
    t.run.pkt = ff().av_packet_alloc();
    t.run.opkt = ff().av_packet_alloc();
    t.run.frame = ff().av_frame_alloc();
    t.run.filtered = ff().av_frame_alloc();
    if (!t.run.pkt || !t.run.opkt || !t.run.frame || !t.run.filtered)
        throw FFmpegException("av_mallocz fail");
    t.setup();

    // A stop request interrupts blocking reads of this thread's contexts.
    auto tid = std::this_thread::get_id();
    TInterruptCB::instance().AddInterruptHandler(tid, this, &Impl::stopCheck);
    struct Unregister {
        Impl *d;
        std::thread::id tid;
        bool done = false;
        void operator()()
        {
            if (!done)
                TInterruptCB::instance().RemoveInterruptHandler(tid, d, &Impl::stopCheck);
            done = true;
        }
        ~Unregister() { (*this)(); }
    } unregister{this, tid};
    t.loop();
    // the trailer must be written even after a stop request
    unregister();
    t.finish();
    std::lock_guard<std::mutex> l(stateMutex);
    finished = !stopRequested;
}

} // namespace quillor
