// Fitting what a preset asks for to what an encoder of today's libraries
// accepts: encoder names that were dropped, sample rates, channel layouts,
// sample and pixel formats, frame rates and frame sizes. A preset must
// never fail just because an encoder is pickier than the one it was
// written for; each change is logged.

#include "FFTranscodeCodecs.h"

#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdlib>
#include <cstring>

namespace quillor {

namespace {

void info(const void *sender, const char *fmt, ...) __attribute__((format(printf, 2, 3)));
void info(const void *sender, const char *fmt, ...)
{
    char buf[1024];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    GetLogger().LogMessage(sender, llInfo, buf);
}

} // namespace

const AVCodec *ChooseEncoder(const std::string &requested, AVMediaType type, const AVOutputFormat *fmt,
                             const std::string &fileName, bool allowExperimental, const void *sender,
                             std::string &error)
{
    const char *kind = "encoder";
    if (!requested.empty()) {
        const AVCodec *c = ff().avcodec_find_encoder_by_name(requested.c_str());
        if (!c) {
            std::string alt = TranslateEncoderName(requested);
            if (!alt.empty() && (c = ff().avcodec_find_encoder_by_name(alt.c_str())))
                info(sender, "encoder \"%s\" is not available, using \"%s\"", requested.c_str(), alt.c_str());
        }
        if (!c) {
            error = "Unknown " + std::string(kind) + " '" + requested + "'";
            return nullptr;
        }
        if (c->type != type) {
            error = "Invalid " + std::string(kind) + " type '" + requested + "'";
            return nullptr;
        }
        if ((c->capabilities & AV_CODEC_CAP_EXPERIMENTAL) && !allowExperimental) {
            error = std::string(kind) + " '" + c->name +
                    "' is experimental and might produce bad results.\r\nAdd '-strict experimental' if you want to "
                    "use it.";
            // a non-experimental encoder of the same codec
            void *it = nullptr;
            while (const AVCodec *other = ff().av_codec_iterate(&it))
                if (other->id == c->id && ff().av_codec_is_encoder(other) &&
                    !(other->capabilities & AV_CODEC_CAP_EXPERIMENTAL)) {
                    error += "\r\nOr use the non experimental " + std::string(kind) + " '" + other->name + "'.";
                    break;
                }
            return nullptr;
        }
        return c;
    }
    AVCodecID id = ff().av_guess_codec(fmt, nullptr, fileName.c_str(), nullptr, type);
    if (id != AV_CODEC_ID_NONE)
        if (const AVCodec *c = ff().avcodec_find_encoder(id))
            return c;
    // The format's default has no encoder in this build (3GP's AMR-NB,
    // for one): take the first codec the muxer accepts that has one.
    void *it = nullptr;
    while (const AVCodec *c = ff().av_codec_iterate(&it)) {
        if (c->type != type || !ff().av_codec_is_encoder(c))
            continue;
        if (c->capabilities & AV_CODEC_CAP_EXPERIMENTAL)
            continue;
        if (ff().avformat_query_codec(fmt, c->id, FF_COMPLIANCE_NORMAL) == 1) {
            const AVCodecDescriptor *want = ff().avcodec_descriptor_get(id);
            info(sender, "no encoder for the default codec \"%s\" of format \"%s\", using \"%s\"",
                 want ? want->name : "none", fmt->name, c->name);
            return c;
        }
    }
    error = "Encoder (codec id " + std::to_string(static_cast<int>(id)) + ") not found";
    return nullptr;
}

int FitSampleRate(const AVCodec *c, int rate, const void *sender)
{
    if (!c->supported_samplerates)
        return rate;
    int best = 0;
    for (const int *p = c->supported_samplerates; *p; ++p) {
        if (*p == rate)
            return rate;
        if (!best || std::abs(*p - rate) < std::abs(best - rate))
            best = *p;
    }
    GetLogger().LogFormatted(sender, llWarning, "Requested sampling rate unsupported using closest supported (%d)",
                             best);
    return best;
}

AVSampleFormat FitSampleFormat(const AVCodec *c, AVSampleFormat want)
{
    if (!c->sample_fmts)
        return want;
    for (const AVSampleFormat *p = c->sample_fmts; *p != AV_SAMPLE_FMT_NONE; ++p)
        if (*p == want)
            return want;
    // the same sample type in the other layout (planar/packed) costs nothing
    AVSampleFormat packed = ff().av_get_packed_sample_fmt(want);
    AVSampleFormat planar = ff().av_get_planar_sample_fmt(want);
    for (const AVSampleFormat *p = c->sample_fmts; *p != AV_SAMPLE_FMT_NONE; ++p)
        if (*p == packed || *p == planar)
            return *p;
    return c->sample_fmts[0];
}

void FitChannelLayout(const AVCodec *c, int channels, AVChannelLayout *out, const void *sender)
{
    if (!c->ch_layouts || !c->ch_layouts[0].nb_channels) {
        ff().av_channel_layout_default(out, channels);
        return;
    }
    const AVChannelLayout *best = nullptr;
    for (const AVChannelLayout *p = c->ch_layouts; p->nb_channels; ++p) {
        if (p->nb_channels == channels) {
            ff().av_channel_layout_copy(out, p);
            return;
        }
        if (!best || std::abs(p->nb_channels - channels) < std::abs(best->nb_channels - channels))
            best = p;
    }
    info(sender, "%d channels are not supported by encoder \"%s\", using %d", channels, c->name, best->nb_channels);
    ff().av_channel_layout_copy(out, best);
}

AVPixelFormat FitPixelFormat(const AVCodec *c, AVPixelFormat want, AVPixelFormat source)
{
    if (c->id == AV_CODEC_ID_MJPEG || c->id == AV_CODEC_ID_LJPEG) {
        // at normal compliance the JPEG encoders take full-range YUV only
        static const AVPixelFormat jpeg[] = {AV_PIX_FMT_YUVJ420P, AV_PIX_FMT_YUVJ422P, AV_PIX_FMT_YUVJ444P,
                                             AV_PIX_FMT_NONE};
        for (const AVPixelFormat *p = jpeg; *p != AV_PIX_FMT_NONE; ++p)
            if (*p == want)
                return want;
        return ff().avcodec_find_best_pix_fmt_of_list(jpeg, want != AV_PIX_FMT_NONE ? want : source, 0, nullptr);
    }
    if (!c->pix_fmts)
        return want != AV_PIX_FMT_NONE ? want : source;
    AVPixelFormat pick = want != AV_PIX_FMT_NONE ? want : source;
    for (const AVPixelFormat *p = c->pix_fmts; *p != AV_PIX_FMT_NONE; ++p)
        if (*p == pick)
            return pick;
    if (want != AV_PIX_FMT_NONE)
        return c->pix_fmts[0];
    return ff().avcodec_find_best_pix_fmt_of_list(c->pix_fmts, source, 0, nullptr);
}

AVRational FitFrameRate(const AVCodec *c, AVRational rate, bool force, const void *sender)
{
    if (!rate.num || !rate.den)
        rate = AVRational{25, 1};
    if (!force && c->supported_framerates) {
        int idx = ff().av_find_nearest_q_idx(rate, c->supported_framerates);
        AVRational r = c->supported_framerates[idx];
        if (::av_cmp_q(r, rate) != 0) {
            info(sender, "frame rate %d/%d is not supported by encoder \"%s\", using %d/%d", rate.num, rate.den,
                 c->name, r.num, r.den);
            rate = r;
        }
    }
    // MPEG-4 part 2 (and its relatives) keep the time base in 16 bits
    if (c->id == AV_CODEC_ID_MPEG4 && rate.num > 65535) {
        AVRational r;
        ff().av_reduce(&r.num, &r.den, rate.num, rate.den, 65535);
        rate = r;
    }
    return rate;
}

void FitFrameSize(const AVCodec *c, int &w, int &h, const void *sender)
{
    const int ow = w, oh = h;
    auto roundTo = [](int v, int m) { return std::max(m, (v + m / 2) / m * m); };
    switch (c->id) {
    case AV_CODEC_ID_H263: {
        // the H.263 picture formats: sqcif, qcif, cif, 4cif, 16cif
        static const int sizes[][2] = {{128, 96}, {176, 144}, {352, 288}, {704, 576}, {1408, 1152}};
        int best = 0;
        double bestCost = 1e300;
        for (int i = 0; i < 5; ++i) {
            double cost = std::fabs(std::log(double(sizes[i][0]) * sizes[i][1] / (double(w) * h)));
            if (cost < bestCost) {
                bestCost = cost;
                best = i;
            }
        }
        w = sizes[best][0];
        h = sizes[best][1];
        break;
    }
    case AV_CODEC_ID_RV10:
        w = roundTo(w, 16);
        h = roundTo(h, 16);
        break;
    case AV_CODEC_ID_RV20:
    case AV_CODEC_ID_SVQ1:
    case AV_CODEC_ID_H263P:
    case AV_CODEC_ID_FLV1:
        w = roundTo(w, 4);
        h = roundTo(h, 4);
        break;
    default:
        break;
    }
    if (c->id == AV_CODEC_ID_H263P || c->id == AV_CODEC_ID_FLV1) {
        w = std::min(w, 2048);
        h = std::min(h, 1152);
    }
    // the common 4:2:0 encoders need even sizes
    w += w & 1;
    h += h & 1;
    if (w != ow || h != oh)
        info(sender, "frame size %dx%d is not supported by encoder \"%s\", using %dx%d", ow, oh, c->name, w, h);
}

} // namespace quillor
