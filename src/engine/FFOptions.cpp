// The task's option handler: one name/value pair at a time, in the
// vocabulary of the classic command-line transcoder. Names the table does
// not know fall back to the libraries' named options (AVOptions).

#include "FFPresets.h"
#include "FFUtils.h"
#include "FFmpegImpl.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <stdexcept>
#include <unordered_map>

extern "C" {
#include <libavcodec/bsf.h>
#include <libavutil/parseutils.h>
}

namespace quillor {

namespace {

[[noreturn]] void raise(const std::string &text) { throw FFmpegException(text); }

std::string trim(const std::string &s)
{
    size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b])))
        ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1])))
        --e;
    return s.substr(b, e - b);
}

std::string lower(std::string s)
{
    for (auto &c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Decimal text; anything else is the standard conversion error.
int64_t toInt64(const std::string &value)
{
    std::string t = trim(value);
    errno = 0;
    char *end = nullptr;
    long long v = std::strtoll(t.c_str(), &end, 10);
    if (t.empty() || *end != '\0' || errno == ERANGE)
        raise("'" + value + "' is not a valid integer value");
    return v;
}

int toInt(const std::string &value)
{
    int64_t v = toInt64(value);
    if (v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max())
        raise("'" + value + "' is not a valid integer value");
    return static_cast<int>(v);
}

double toDouble(const std::string &value)
{
    std::string t = trim(value);
    char *end = nullptr;
    double v = std::strtod(t.c_str(), &end);
    if (t.empty() || *end != '\0' || !std::isfinite(v))
        raise("'" + value + "' is not a valid floating point value");
    return v;
}

bool toFlag(const std::string &value) { return value != "0"; }

uint32_t toTag(const std::string &value)
{
    char *end = nullptr;
    long v = std::strtol(value.c_str(), &end, 10);
    if (!value.empty() && *end == '\0')
        return static_cast<uint32_t>(v);
    if (value.size() != 4)
        raise("tag parameter must be 4 chars or int value");
    return MKTAG(value[0], value[1], value[2], value[3]);
}

std::vector<uint16_t> parseMatrix(const std::string &text)
{
    std::vector<uint16_t> m(64);
    size_t pos = 0;
    for (int i = 0; i < 64; ++i) {
        size_t comma = text.find(',', pos);
        std::string item = text.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
        m[i] = static_cast<uint16_t>(std::atoi(item.c_str()));
        if (comma == std::string::npos && i < 63)
            raise(FormatText("Syntax error in matrix \"%s\" at coeff %d", text.c_str(), i));
        pos = comma + 1;
    }
    return m;
}

// Strips one pair of quotes around a value ("rc_eq='...'").
std::string unquote(const std::string &v)
{
    if (v.size() >= 2 && (v.front() == '\'' || v.front() == '"') && v.back() == v.front())
        return v.substr(1, v.size() - 2);
    return v;
}

const char *const kIgnored[] = {"L", "h", "version", "formats", "codecs", "bsfs",
                                "protocols", "filters", "i", "y", "benchmark"};

} // namespace

int64_t ParseTime(const std::string &optName, const std::string &value, bool isDuration)
{
    int64_t us = 0;
    if (ff().av_parse_time(&us, value.c_str(), isDuration ? 1 : 0) < 0)
        throw FFmpegException(FormatText("Invalid %s specification for %s: %s", isDuration ? "duration" : "date",
                                     optName.c_str(), value.c_str()));
    return us;
}

// "128000", "64k", "4M", "1.5M": bits per second.
int64_t ParseBitrate(const std::string &value, bool &ok)
{
    std::string t = trim(value);
    char *end = nullptr;
    double v = std::strtod(t.c_str(), &end);
    ok = !t.empty() && end != t.c_str();
    if (!ok)
        return 0;
    std::string suffix = end;
    double mul = 1;
    if (suffix == "k" || suffix == "K")
        mul = 1e3;
    else if (suffix == "M")
        mul = 1e6;
    else if (suffix == "G")
        mul = 1e9;
    else if (!suffix.empty())
        ok = false;
    return static_cast<int64_t>(std::llround(v * mul));
}

void TCustomFFmpeg::Impl::log(TLogLevel level, const char *fmt, ...)
{
    char buf[2048];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    GetLogger().LogMessage(self, level, buf);
}

void TCustomFFmpeg::Impl::resetInputOptions()
{
    opt.forcedFormat.clear();
    opt.startTime = 0;
    opt.inputTsOffset = 0;
    opt.tsScale.clear();
    opt.vc.clear();
    opt.tvstd.clear();
    opt.videoCodec.clear();
    opt.audioCodec.clear();
    opt.subtitleCodec.clear();
}

void TCustomFFmpeg::Impl::resetOutputOptions()
{
    opt.forcedFormat.clear();
    opt.videoCodec.clear();
    opt.audioCodec.clear();
    opt.subtitleCodec.clear();
    opt.frameWidth = opt.frameHeight = 0;
    opt.aspect = 0;
    opt.aspectSet = false;
    opt.pixFmt = AV_PIX_FMT_NONE;
    opt.qscale = -1;
    opt.audioQscale = -1;
    opt.intraOnly = false;
    opt.vn = opt.an = opt.sn = false;
    opt.vlang.clear();
    opt.alang.clear();
    opt.slang.clear();
    opt.vtag = opt.atag = opt.stag = 0;
    opt.volume = 256;
    opt.videoBitrate = opt.audioBitrate = -1;
    opt.recordingTime = kNoLimit;
    opt.limitFileSize = 0;
    opt.recTimestamp = 0;
    opt.metadata.clear();
    opt.vfilters.clear();
    opt.vbsf.clear();
    opt.absf.clear();
    opt.sbsf.clear();
    opt.muxDelay = 0.7f;
    opt.muxPreload = 0.5f;
    opt.pass = 0;
    opt.passLogFile.clear();
    opt.forceKeyFrames.clear();
    opt.intraMatrix.clear();
    opt.interMatrix.clear();
    opt.streamIds.clear();
    opt.startTime = 0;
}

void TCustomFFmpeg::Impl::handleOption(const std::string &name, const std::string &value)
{
    using Handler = std::function<void(const std::string &)>;
    auto &o = opt;
    static const std::vector<std::string> ignored(std::begin(kIgnored), std::end(kIgnored));
    if (std::find(ignored.begin(), ignored.end(), name) != ignored.end()) {
        log(llInfo, "Do nothing: option - %s", name.c_str());
        return;
    }

    const std::unordered_map<std::string, Handler> table = {
        {"loglevel", [&](const std::string &v) { GetLogger().SetLogLevelByName(v); }},
        {"f", [&](const std::string &v) { o.forcedFormat = v; }},
        {"map",
         [&](const std::string &v) {
             // file.stream[:syncfile.syncstream]; any single separator between numbers
             TaskStreamMap m;
             const char *p = v.c_str();
             char *end = nullptr;
             m.file = static_cast<int>(std::strtol(p, &end, 10));
             if (*end)
                 ++end;
             m.stream = static_cast<int>(std::strtol(end, &end, 10));
             m.syncFile = m.file;
             m.syncStream = m.stream;
             if (*end == ':') {
                 ++end;
                 m.syncFile = static_cast<int>(std::strtol(end, &end, 10));
                 if (*end)
                     ++end;
                 m.syncStream = static_cast<int>(std::strtol(end, &end, 10));
             }
             o.maps.push_back(m);
         }},
        {"map_meta_data",
         [&](const std::string &v) {
             for (size_t i = 0; i < v.size(); ++i)
                 if (v[i] == ',' && i + 1 < v.size() && !std::strchr("gscp", v[i + 1]))
                     raise(FormatText("Invalid metadata type %c.", v[i + 1]));
         }},
        {"map_chapters", [&](const std::string &) {}},
        {"t",
         [&](const std::string &v) {
             o.recordingTime = ParseTime("t", v, true);
             totalDuration = o.recordingTime;
         }},
        {"fs", [&](const std::string &v) { o.limitFileSize = toInt64(v); }},
        {"ss", [&](const std::string &v) { o.startTime = ParseTime("ss", v, true); }},
        {"itsoffset", [&](const std::string &v) { o.inputTsOffset = ParseTime("itsoffset", v, true); }},
        {"itsscale",
         [&](const std::string &v) {
             size_t colon = v.find(':');
             int idx = toInt(v.substr(0, colon));
             double scale = colon == std::string::npos ? 1.0 : toDouble(v.substr(colon + 1));
             if (idx >= kMaxStreams)
                 raise(FormatText("stream index over MAX_STREAMS(%d)", kMaxStreams));
             o.tsScale.emplace_back(idx, scale);
         }},
        {"timestamp",
         [&](const std::string &v) {
             o.recTimestamp = (ParseTime("timestamp", v, false) + 500000) / 1000000;
         }},
        {"metadata",
         [&](const std::string &v) {
             size_t eq = v.find('=');
             if (eq == std::string::npos)
                 raise("Missing =");
             if (eq == 0)
                 raise("wrong parameter of metadata");
             o.metadata.emplace_back(v.substr(0, eq), v.substr(eq + 1));
         }},
        {"dframes", [&](const std::string &v) { o.maxFrames[2] = toInt64(v); }},
        {"timelimit",
         [&](const std::string &) { log(llWarning, "Warning: -timelimit not implemented on this system"); }},
        {"dump", [&](const std::string &v) { o.dump = toFlag(v); }},
        {"hex", [&](const std::string &v) { o.hex = toFlag(v); }},
        {"re", [&](const std::string &v) { o.re = toFlag(v); }},
        {"loop_input", [&](const std::string &v) { o.loopInput = toFlag(v); }},
        {"loop_output", [&](const std::string &v) { o.loopOutput = toInt(v); }},
        {"v", [&](const std::string &v) { verbosity = toInt(v); }},
        {"target", [&](const std::string &v) { applyTargetOption(v); }},
        {"threads",
         [&](const std::string &v) {
             o.threads = toInt(v);
             if (verbosity >= 0)
                 log(llVerbose, "Warning: if the ffmpeg libraries were not compiled with thread support, "
                                "it would be using thread emulation.");
         }},
        {"vsync", [&](const std::string &v) { o.vsync = toInt(v); }},
        {"async", [&](const std::string &v) { o.async = toInt(v); }},
        {"adrift_threshold", [&](const std::string &v) { o.adriftThreshold = toDouble(v); }},
        {"vglobal", [&](const std::string &v) { toInt(v); }},
        {"copyts", [&](const std::string &v) { o.copyts = toFlag(v); }},
        {"copytb", [&](const std::string &v) { o.copytb = toFlag(v); }},
        {"shortest", [&](const std::string &v) { o.shortest = toFlag(v); }},
        {"dts_delta_threshold", [&](const std::string &v) { o.dtsDeltaThreshold = toDouble(v); }},
        {"programid", [&](const std::string &v) { o.programId = toInt(v); }},
        {"xerror", [&](const std::string &v) { o.xerror = toFlag(v); }},
        {"copyinkf", [&](const std::string &v) { o.copyinkf = toFlag(v); }},
        // video
        {"vframes", [&](const std::string &v) { o.maxFrames[0] = toInt64(v); }},
        {"r",
         [&](const std::string &v) {
             AVRational r;
             if (ff().av_parse_video_rate(&r, v.c_str()) < 0)
                 raise("Incorrect frame rate");
             o.frameRate = r;
         }},
        {"s",
         [&](const std::string &v) {
             int w = 0, h = 0;
             if (ff().av_parse_video_size(&w, &h, v.c_str()) < 0)
                 raise("Incorrect frame size");
             o.frameWidth = w;
             o.frameHeight = h;
         }},
        {"aspect",
         [&](const std::string &v) {
             double a = 0;
             size_t colon = v.find(':');
             if (colon != std::string::npos) {
                 double x = std::strtod(v.c_str(), nullptr);
                 double y = std::strtod(v.c_str() + colon + 1, nullptr);
                 a = y > 0 ? x / y : 0;
             } else {
                 a = std::strtod(v.c_str(), nullptr);
             }
             if (a == 0 || !std::isfinite(a))
                 raise("Incorrect aspect ratio specification.");
             o.aspect = static_cast<float>(a);
             o.aspectSet = true;
         }},
        {"pix_fmt",
         [&](const std::string &v) {
             if (v == "list") {
                 for (const AVPixFmtDescriptor *d = ff().av_pix_fmt_desc_next(nullptr); d;
                      d = ff().av_pix_fmt_desc_next(d))
                     log(llInfo, "%s", d->name);
                 return;
             }
             AVPixelFormat f = ff().av_get_pix_fmt(v.c_str());
             if (f == AV_PIX_FMT_NONE)
                 raise(FormatText("Unknown pixel format requested: %s", v.c_str()));
             o.pixFmt = f;
         }},
        {"intra", [&](const std::string &v) { o.intraOnly = toFlag(v); }},
        {"vn", [&](const std::string &v) { o.vn = toFlag(v); }},
        {"vdt", [&](const std::string &v) { toInt(v); }},
        {"qscale",
         [&](const std::string &v) {
             double q = toDouble(v);
             if (q <= 0 || q > 255)
                 raise("qscale must be > 0.0 and <= 255");
             o.qscale = q;
         }},
        {"rc_override", [&](const std::string &v) { libraryOption("rc_override", v); }},
        {"vcodec", [&](const std::string &v) { o.videoCodec = v; }},
        {"me_threshold", [&](const std::string &v) { toInt(v); }},
        {"sameq", [&](const std::string &) {}},
        {"pass",
         [&](const std::string &v) {
             int p = toInt(v);
             if (p != 1 && p != 2)
                 raise("pass number can be only 1 or 2");
             o.pass = p;
         }},
        {"passlogfile", [&](const std::string &v) { o.passLogFile = v; }},
        {"deinterlace", [&](const std::string &v) { o.deinterlace = toFlag(v); }},
        {"psnr", [&](const std::string &) {}},
        {"vstats", [&](const std::string &) {}},
        {"vstats_file", [&](const std::string &) {}},
        {"vhook",
         [&](const std::string &) {
             raise("Failed to add video hook function: video hook modules are not supported");
         }},
        {"vfilters", [&](const std::string &v) { o.vfilters = v; }},
        {"vf", [&](const std::string &v) { o.vfilters = v; }},
        {"intra_matrix", [&](const std::string &v) { o.intraMatrix = parseMatrix(v); }},
        {"inter_matrix", [&](const std::string &v) { o.interMatrix = parseMatrix(v); }},
        {"top", [&](const std::string &v) { toInt(v); }},
        {"dc", [&](const std::string &v) { libraryOption("dc", v); }},
        {"vtag", [&](const std::string &v) { o.vtag = toTag(v); }},
        {"vlang", [&](const std::string &v) { o.vlang = v; }},
        {"qphist", [&](const std::string &) {}},
        {"force_fps", [&](const std::string &v) { o.forceFps = toFlag(v); }},
        {"streamid",
         [&](const std::string &v) {
             size_t colon = v.find(':');
             char *e1 = nullptr, *e2 = nullptr;
             long idx = std::strtol(v.c_str(), &e1, 10);
             long val = colon == std::string::npos ? 0 : std::strtol(v.c_str() + colon + 1, &e2, 10);
             if (colon == std::string::npos || e1 != v.c_str() + colon || *e2 || idx < 0 || idx >= kMaxStreams)
                 raise(FormatText("Invalid value \"%s\" for option \"%s\", required syntax is \"index:value\"",
                              v.c_str(), "streamid"));
             o.streamIds.emplace_back(static_cast<int>(idx), static_cast<int>(val));
         }},
        {"force_key_frames", [&](const std::string &v) { o.forceKeyFrames = v; }},
        // audio
        {"aframes", [&](const std::string &v) { o.maxFrames[1] = toInt64(v); }},
        {"aq", [&](const std::string &v) { o.audioQscale = toDouble(v); }},
        {"ar",
         [&](const std::string &v) {
             int r = toInt(v);
             if (r > 0)
                 o.sampleRate = r;
         }},
        {"ac",
         [&](const std::string &v) {
             int c = toInt(v);
             if (c > 0)
                 o.channels = c;
         }},
        {"an", [&](const std::string &v) { o.an = toFlag(v); }},
        {"acodec", [&](const std::string &v) { o.audioCodec = v; }},
        {"atag", [&](const std::string &v) { o.atag = toTag(v); }},
        {"vol", [&](const std::string &v) { o.volume = toInt(v); }},
        {"alang", [&](const std::string &v) { o.alang = v; }},
        {"sample_fmt",
         [&](const std::string &v) {
             if (v == "list") {
                 char buf[128];
                 for (int i = -1; i < AV_SAMPLE_FMT_NB; ++i)
                     log(llInfo, "%s", ff().av_get_sample_fmt_string(buf, sizeof buf, static_cast<AVSampleFormat>(i)));
                 return;
             }
             AVSampleFormat f = ff().av_get_sample_fmt(v.c_str());
             if (f == AV_SAMPLE_FMT_NONE)
                 raise(FormatText("Invalid sample format \"%s\"", v.c_str()));
             o.sampleFmt = f;
         }},
        // subtitles
        {"sn", [&](const std::string &v) { o.sn = toFlag(v); }},
        {"scodec", [&](const std::string &v) { o.subtitleCodec = v; }},
        {"slang", [&](const std::string &v) { o.slang = v; }},
        {"stag", [&](const std::string &v) { o.stag = toTag(v); }},
        // grab devices and muxing
        {"vc", [&](const std::string &v) { o.vc = v; }},
        {"tvstd", [&](const std::string &v) { o.tvstd = v; }},
        {"isync", [&](const std::string &v) { o.isync = toFlag(v); }},
        {"muxdelay", [&](const std::string &v) { o.muxDelay = static_cast<float>(toDouble(v)); }},
        {"muxpreload", [&](const std::string &v) { o.muxPreload = static_cast<float>(toDouble(v)); }},
    };

    if (name == "newvideo" || name == "newaudio" || name == "newsubtitle") {
        if (outputs.empty())
            raise("At least one output file must be specified");
        addStreamSpec(outputs.back(), name == "newvideo"   ? AVMEDIA_TYPE_VIDEO
                                      : name == "newaudio" ? AVMEDIA_TYPE_AUDIO
                                                           : AVMEDIA_TYPE_SUBTITLE);
        return;
    }
    if (name.rfind("crop", 0) == 0 && (name == "croptop" || name == "cropbottom" || name == "cropleft" ||
                                       name == "cropright"))
        raise("Removed, use the crop filter instead");
    if (name == "padtop" || name == "padbottom" || name == "padleft" || name == "padright" || name == "padcolor")
        raise("Removed, use the pad filter instead");
    if (name == "b" || name == "vb" || name == "ab") {
        bool ok = false;
        int64_t rate = ParseBitrate(value, ok);
        if (!ok || rate < 0) {
            lastLibOptionMessage = FormatText("Invalid value \"%s\" for option \"%s\"", value.c_str(), name.c_str());
            if (strict)
                raise(lastLibOptionMessage);
            return;
        }
        (name == "ab" ? o.audioBitrate : o.videoBitrate) = rate;
        if (rate < 1000)
            log(llWarning, "WARNING: The bitrate parameter is set too low. It takes bits/s as argument, not kbits/s");
        return;
    }
    if (name == "absf" || name == "vbsf" || name == "sbsf") {
        std::string filter = value.substr(0, value.find('='));
        if (filter.empty() || !ff().av_bsf_get_by_name(filter.c_str()))
            raise(FormatText("Unknown bitstream filter %s", filter.c_str()));
        (name == "absf" ? o.absf : name == "vbsf" ? o.vbsf : o.sbsf).push_back(value);
        return;
    }
    if (name == "apre" || name == "vpre" || name == "spre" || name == "fpre") {
        loadPreset(name, value);
        return;
    }
    auto it = table.find(name);
    if (it != table.end()) {
        it->second(value);
        return;
    }
    if (!libraryOption(name, value) && strict)
        raise(lastLibOptionMessage);
}

// ---------------------------------------------------------------------------
// Library fallback

namespace {

// An option of the codec context itself, or of one codec's private class.
const AVOption *findCodecOption(const std::string &name, bool *privateOnly)
{
    const AVClass *cls = ff().avcodec_get_class();
    const AVOption *o = ff().av_opt_find(&cls, name.c_str(), nullptr, 0, AV_OPT_SEARCH_FAKE_OBJ);
    if (o) {
        *privateOnly = false;
        return o;
    }
    void *it = nullptr;
    while (const AVCodec *c = ff().av_codec_iterate(&it)) {
        if (!c->priv_class)
            continue;
        const AVClass *pc = c->priv_class;
        if ((o = ff().av_opt_find(&pc, name.c_str(), nullptr, 0, AV_OPT_SEARCH_FAKE_OBJ))) {
            *privateOnly = true;
            return o;
        }
    }
    return nullptr;
}

const AVOption *findFormatOption(const std::string &name)
{
    const AVClass *cls = ff().avformat_get_class();
    if (const AVOption *o = ff().av_opt_find(&cls, name.c_str(), nullptr, 0, AV_OPT_SEARCH_FAKE_OBJ))
        return o;
    void *it = nullptr;
    while (const AVOutputFormat *f = ff().av_muxer_iterate(&it)) {
        if (!f->priv_class)
            continue;
        const AVClass *pc = f->priv_class;
        if (const AVOption *o = ff().av_opt_find(&pc, name.c_str(), nullptr, 0, AV_OPT_SEARCH_FAKE_OBJ))
            return o;
    }
    return nullptr;
}

} // namespace

bool TCustomFFmpeg::Impl::libraryOption(const std::string &rawName, const std::string &rawValue)
{
    std::string name = trim(rawName);
    std::string value = unquote(rawValue);
    if (name.empty()) {
        lastLibOptionMessage = FormatText("Unrecognized option \"%s\"", rawName.c_str());
        return false;
    }
    if (IsLegacyCodecOption(name)) {
        opt.libOptions.emplace_back(name, value);
        return true;
    }

    auto tryCodec = [&](const std::string &n) -> int { // 1 ok, 0 unknown, -1 refused
        bool privateOnly = false;
        const AVOption *o = findCodecOption(n, &privateOnly);
        if (!o)
            return 0;
        if (!privateOnly) {
            AVCodecContext *probe = ff().avcodec_alloc_context3(nullptr);
            int r = probe ? ff().av_opt_set(probe, n.c_str(), value.c_str(), 0) : 0;
            int64_t debug = 0;
            if (r >= 0 && n == "debug")
                ff().av_opt_get_int(probe, "debug", 0, &debug);
            ff().avcodec_free_context(&probe);
            if (r < 0)
                return -1;
            if (debug)
                GetLogger().SetLogLevel(llDebug);
        }
        opt.libOptions.emplace_back(n, value);
        return 1;
    };

    int r = tryCodec(name);
    if (r == 0 && findFormatOption(name)) {
        AVFormatContext *probe = ff().avformat_alloc_context();
        int s = ff().av_opt_set(probe, name.c_str(), value.c_str(), 0);
        ff().avformat_free_context(probe);
        // private muxer options cannot be checked without their muxer
        r = (s >= 0 || s == AVERROR_OPTION_NOT_FOUND) ? 1 : -1;
        if (r == 1)
            opt.formatLibOptions.emplace_back(name, value);
    }
    if (r == 0) {
        const AVClass *sws = ff().sws_get_class();
        if (ff().av_opt_find(&sws, name.c_str(), nullptr, 0, AV_OPT_SEARCH_FAKE_OBJ)) {
            opt.libOptions.emplace_back(name, value);
            r = 1;
        }
    }
    if (r == 0 && name.size() > 1 && (name[0] == 'a' || name[0] == 'v' || name[0] == 's'))
        r = tryCodec(name.substr(1));
    if (r == 1)
        return true;
    lastLibOptionMessage = r == 0 ? FormatText("Unrecognized option \"%s\"", name.c_str())
                                  : FormatText("Invalid value \"%s\" for option \"%s\"", value.c_str(), name.c_str());
    return false;
}

// ---------------------------------------------------------------------------
// Presets

void TCustomFFmpeg::Impl::loadPreset(const std::string &kind, const std::string &name)
{
    std::string text;
    const TOptionsPreset *p = nullptr;
    if (kind != "fpre") {
        p = FindBuiltinPreset(name);
        const std::string &codec = kind == "apre" ? opt.audioCodec : kind == "vpre" ? opt.videoCodec : opt.subtitleCodec;
        if (!p && !codec.empty())
            p = FindBuiltinPreset(codec + "-" + name);
    }
    if (p) {
        text = p->Text;
    } else {
        std::ifstream in(name, std::ios::binary);
        if (!in)
            raise(FormatText("Preset \"%s\" not found", name.c_str()));
        std::ostringstream ss;
        ss << in.rdbuf();
        text = ss.str();
    }
    // normalise line breaks to LF
    std::string norm;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            norm += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            norm += text[i];
        }
    }
    std::istringstream lines(trim(norm));
    std::string line;
    while (std::getline(lines, line)) {
        line = trim(line);
        if (line.empty() || line[0] == '#')
            continue;
        size_t eq = line.find('=');
        std::string key = eq == std::string::npos ? line : trim(line.substr(0, eq));
        std::string val = eq == std::string::npos ? std::string() : trim(line.substr(eq + 1));
        if (key.empty() || val.empty())
            raise(FormatText("%s: Invalid syntax: \"%s\"", name.c_str(), line.c_str()));
        std::string lk = lower(key);
        if (lk == "acodec")
            opt.audioCodec = val;
        else if (lk == "vcodec")
            opt.videoCodec = val;
        else if (lk == "scodec")
            opt.subtitleCodec = val;
        else if (!libraryOption(key, val) && strict)
            raise(FormatText("%s\r\n%s: Invalid option or argument: \"%s\", parsed as \"%s\" = \"%s\"",
                         lastLibOptionMessage.c_str(), name.c_str(), line.c_str(), key.c_str(), val.c_str()));
    }
}

// ---------------------------------------------------------------------------
// Targets

void TCustomFFmpeg::Impl::applyTargetOption(const std::string &value)
{
    for (const char *prefix : {"pal", "ntsc", "film"}) {
        std::string p = std::string(prefix) + "-";
        if (value.rfind(p, 0) == 0) {
            applyTarget(value.substr(p.size()), prefix, "ntsc");
            return;
        }
    }
    applyTarget(value, "auto", "ntsc");
}

void TCustomFFmpeg::Impl::applyTarget(const std::string &target, const std::string &normText,
                                      const std::string &fallbackNorm)
{
    enum Norm { PAL, NTSC, FILM, UNKNOWN } norm = UNKNOWN;
    if (normText == "pal")
        norm = PAL;
    else if (normText == "ntsc")
        norm = NTSC;
    else if (normText == "film")
        norm = FILM;
    if (norm == UNKNOWN) {
        auto classify = [&](AVRational r) -> Norm {
            if (r.den == 0)
                raise("frame_rate is invalid.");
            long fr = std::lround(1000.0 * r.num / r.den);
            if (fr == 25000)
                return PAL;
            if (fr == 29970 || fr == 23976)
                return NTSC;
            return UNKNOWN;
        };
        if (opt.frameRate.num)
            norm = classify(opt.frameRate);
        for (size_t i = 0; norm == UNKNOWN && i < inputs.size(); ++i) {
            AVFormatContext *ic = inputs[i].ctx;
            for (unsigned s = 0; norm == UNKNOWN && s < ic->nb_streams; ++s) {
                AVStream *st = ic->streams[s];
                if (st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO && st->r_frame_rate.den)
                    norm = classify(st->r_frame_rate);
            }
        }
        if (norm != UNKNOWN && verbosity > 0)
            log(llInfo, "Assuming %s for target.", norm == PAL ? "PAL" : "NTSC");
        if (norm == UNKNOWN)
            norm = fallbackNorm == "film" ? FILM : fallbackNorm == "ntsc" ? NTSC : PAL;
    }
    const bool ntscLike = norm == NTSC || norm == FILM;
    const char *rate = norm == PAL ? "25" : norm == NTSC ? "30000/1001" : "24000/1001";
    auto set = [&](const char *n, const char *v) { handleOption(n, v); };
    auto assumeAspect = [&](const char *a) {
        if (!opt.aspectSet) {
            log(llInfo, "Assuming %s for aspect ratio", a);
            set("aspect", a);
        }
    };
    if (target == "vcd") {
        set("vcodec", "mpeg1video");
        set("acodec", "mp2");
        set("f", "vcd");
        set("s", ntscLike ? "352x240" : "352x288");
        set("r", rate);
        set("g", ntscLike ? "18" : "15");
        set("b", "1150000");
        set("maxrate", "1150000");
        set("minrate", "1150000");
        set("bufsize", "327680");
        set("ab", "224000");
        opt.sampleRate = 44100;
        opt.channels = 2;
        set("packetsize", "2324");
        set("muxrate", "1411200");
        opt.muxPreload = 0.44f;
        assumeAspect("4:3");
    } else if (target == "svcd") {
        set("vcodec", "mpeg2video");
        set("acodec", "mp2");
        set("f", "svcd");
        set("s", ntscLike ? "480x480" : "480x576");
        set("r", rate);
        set("g", ntscLike ? "18" : "15");
        set("b", "2040000");
        set("maxrate", "2516000");
        set("minrate", "0");
        set("bufsize", "1835008");
        set("flags", "+scan_offset");
        set("ab", "224000");
        opt.sampleRate = 44100;
        set("packetsize", "2324");
        if (opt.channels == 1)
            opt.channels = 2;
        assumeAspect("4:3");
    } else if (target == "dvd") {
        set("vcodec", "mpeg2video");
        set("acodec", "ac3");
        set("f", "dvd");
        set("s", ntscLike ? "720x480" : "720x576");
        set("r", rate);
        set("g", ntscLike ? "18" : "15");
        set("b", "6000000");
        set("maxrate", "9000000");
        set("minrate", "0");
        set("bufsize", "1835008");
        set("packetsize", "2048");
        set("muxrate", "10080000");
        set("ab", "448000");
        opt.sampleRate = 48000;
        if (opt.channels == 1)
            opt.channels = 2;
        assumeAspect("16:9");
    } else if (target == "dv" || target == "dv50") {
        set("f", "dv");
        set("s", ntscLike ? "720x480" : "720x576");
        set("pix_fmt", target == "dv50" ? "yuv422p" : ntscLike ? "yuv411p" : "yuv420p");
        set("r", rate);
        opt.sampleRate = 48000;
        opt.channels = 2;
    } else {
        raise("Unknown target type");
    }
}

} // namespace quillor
