#pragma once
// Fitting requested encoding parameters to what an encoder accepts.

#include "FFmpegImpl.h"

#include <string>

namespace quillor {

// The encoder for a stream: by name (with the translations of dropped
// encoders), else the format's default, else the first codec the muxer
// accepts that has an encoder. An experimental encoder is refused unless
// allowExperimental ("strict" "experimental"). Null with error set when
// none fits.
const AVCodec *ChooseEncoder(const std::string &requested, AVMediaType type, const AVOutputFormat *fmt,
                             const std::string &fileName, bool allowExperimental, const void *sender,
                             std::string &error);

int FitSampleRate(const AVCodec *c, int rate, const void *sender);
AVSampleFormat FitSampleFormat(const AVCodec *c, AVSampleFormat want);
void FitChannelLayout(const AVCodec *c, int channels, AVChannelLayout *out, const void *sender);
// want: the requested format or NONE; source: the decoder's.
AVPixelFormat FitPixelFormat(const AVCodec *c, AVPixelFormat want, AVPixelFormat source);
AVRational FitFrameRate(const AVCodec *c, AVRational rate, bool force, const void *sender);
void FitFrameSize(const AVCodec *c, int &w, int &h, const void *sender);

} // namespace quillor
