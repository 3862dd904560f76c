#include "Presets.h"

namespace quillor {

const std::string_view kOptionBlockA =
    "flags=+loop\r\n"
    "cmp=+chroma\r\n"
    "deblockalpha=0\r\n"
    "deblockbeta=0\r\n"
    "crf=24\r\n"
    "refs=1\r\n"
    "coder=0\r\n"
    "me_range=16\r\n"
    "subq=5\r\n"
    "partitions=+parti4x4+parti8x8+partp8x8\r\n"
    "g=250\r\n"
    "keyint_min=25\r\n"
    "level=30\r\n"
    "qmin=10\r\n"
    "qmax=51\r\n"
    "trellis=2\r\n"
    "sc_threshold=40\r\n"
    "i_qfactor=0.71\r\n";

const std::string_view kOptionBlockB =
    "flags=+loop\r\n"
    "cmp=+chroma\r\n"
    "partitions=+parti4x4+partp8x8+partb8x8\r\n"
    "me_method=umh\r\n"
    "subq=5\r\n"
    "trellis=1\r\n"
    "refs=2\r\n"
    "bf=1\r\n"
    "coder=1\r\n"
    "me_range=16\r\n"
    "g=300\r\n"
    "keyint_min=25\r\n"
    "sc_threshold=40\r\n"
    "i_qfactor=0.71\r\n"
    "bt=64k\r\n"
    "maxrate=4M\r\n"
    "bufsize=4M\r\n"
    "rc_eq='blurCplx^(1-qComp)'\r\n"
    "qcomp=0.6\r\n"
    "qmin=10\r\n"
    "qmax=51\r\n"
    "qdiff=4\r\n"
    "level=21";

namespace {

// One row per preset index, in the order of the preset boxes. Where a row
// differs from its display text (FLV 1 and 4, SWF 1 and 3, MPEG 7 and 9,
// AVI 17, AppleTV 0, the 30 fps "24 fps" device presets, WAV 4, M4A 1),
// the row is what the program has always encoded and stays so.
// AVI
const PresetParams kAVIRows[] = {
    {.VideoCodec = "mpeg4", .VideoTag = "XVID", .FrameSize = "1280x720", .AspectRatio = "16:9", .VideoBitrate = 4500000, .AudioCodec = "libmp3lame", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 192000},
    {.VideoCodec = "libx264", .VideoPreset = "libx264-default", .FrameSize = "1920x1080", .AspectRatio = "16:9", .VideoBitrate = 4200000, .AudioCodec = "libmp3lame", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 256000},
    {.VideoCodec = "mpeg4", .VideoTag = "XVID", .VideoBitrate = 2500000, .AudioCodec = "libmp3lame", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 256000},
    {.VideoCodec = "mpeg4", .VideoTag = "XVID", .VideoBitrate = 1500000, .AudioCodec = "libmp3lame", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 192000},
    {.VideoCodec = "mpeg4", .VideoTag = "XVID", .VideoBitrate = 768000, .AudioCodec = "libmp3lame", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 96000},
    {.VideoCodec = "mpeg4", .VideoTag = "XVID", .FrameSize = "720x540", .VideoBitrate = 2500000, .AudioCodec = "libmp3lame", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 256000},
    {.VideoCodec = "mpeg4", .VideoTag = "XVID", .FrameSize = "512x384", .VideoBitrate = 1500000, .AudioCodec = "libmp3lame", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 192000},
    {.VideoCodec = "mpeg4", .VideoTag = "XVID", .FrameSize = "320x240", .VideoBitrate = 768000, .AudioCodec = "libmp3lame", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 96000},
    {.VideoCodec = "libx264", .VideoPreset = "libx264-default", .VideoBitrate = 1200000, .AudioCodec = "libmp3lame", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 192000},
    {.VideoCodec = "libx264", .VideoPreset = "libx264-default", .VideoBitrate = 768000, .AudioCodec = "libmp3lame", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 96000},
    {.VideoCodec = "mpeg4", .VideoTag = "FMP4", .FrameSize = "320x240", .VideoBitrate = 460000, .AudioCodec = "libmp3lame", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 96000},
    {.VideoCodec = "mpeg4", .VideoTag = "FMP4", .FrameSize = "240x180", .VideoBitrate = 324000, .AudioCodec = "libmp3lame", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 96000},
    {.VideoCodec = "mpeg4", .VideoTag = "XVID", .VideoBitrate = 1600000, .AudioCodec = "libmp3lame", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 192000},
    {.VideoCodec = "mpeg4", .VideoTag = "XVID", .FrameSize = "480x272", .VideoBitrate = 760000, .AudioCodec = "libmp3lame", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000},
    {.VideoCodec = "mpeg4", .VideoTag = "XVID", .FrameSize = "720x480", .VideoBitrate = 1400000, .AudioCodec = "libmp3lame", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 192000},
    {.VideoCodec = "mpeg4", .VideoTag = "XVID", .FrameSize = "640x480", .VideoBitrate = 1000000, .AudioCodec = "libmp3lame", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 192000},
    {.VideoCodec = "mpeg4", .VideoTag = "XVID", .FrameSize = "320x240", .VideoBitrate = 600000, .AudioCodec = "libmp3lame", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000},
    {.VideoCodec = "mpeg4", .VideoTag = "XVID", .FrameSize = "720x480", .FrameRate = "30", .VideoBitrate = 1200000, .AudioCodec = "libmp3lame", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 705000},
    {.VideoCodec = "mpeg4", .VideoTag = "XVID", .FrameSize = "320x240", .FrameRate = "15", .VideoBitrate = 224000, .AudioCodec = "libmp3lame", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 96000},
    {.VideoCodec = "mpeg4", .VideoTag = "XVID", .FrameSize = "320x240", .FrameRate = "15", .VideoBitrate = 460000, .AudioCodec = "libmp3lame", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 96000},
    {.VideoCodec = "mpeg4", .VideoTag = "XVID", .FrameSize = "160x120", .FrameRate = "15", .VideoBitrate = 480000, .AudioCodec = "libmp3lame", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000},
    {.VideoCodec = "mjpeg", .FrameSize = "640x480", .VideoBitrate = 4096000, .AudioCodec = "pcm_s16le", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 1411000},
    {.VideoCodec = "mpeg4", .VideoTag = "XVID", .FrameSize = "640x480", .FrameRate = "25", .VideoBitrate = 1500000, .AudioCodec = "libmp3lame", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000},
    {.VideoCodec = "mpeg4", .VideoTag = "XVID", .FrameSize = "320x240", .FrameRate = "30", .VideoBitrate = 768000, .AudioCodec = "libmp3lame", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 96000},
    {.VideoCodec = "mpeg4", .VideoTag = "XVID", .FrameSize = "640x480", .FrameRate = "30", .VideoBitrate = 2000000, .AudioCodec = "libmp3lame", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000},
    {.VideoCodec = "mpeg4", .VideoTag = "XVID", .FrameSize = "320x240", .VideoBitrate = 2700000, .AudioCodec = "libmp3lame", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000},
    {.VideoCodec = "mpeg4", .VideoTag = "XVID", .FrameSize = "320x240", .FrameRate = "25", .VideoBitrate = 1000000, .AudioCodec = "libmp3lame", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000},
    {.VideoCodec = "mpeg4", .VideoTag = "DIVX", .VideoBitrate = 1200000, .AudioCodec = "libmp3lame", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 192000},
    {.VideoCodec = "rawvideo", .AudioCodec = "pcm_s16le", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 1411000},
};
// MP4
const PresetParams kMP4Rows[] = {
    {.VideoCodec = "libx264", .FrameSize = "320x240", .FrameRate = "30", .VideoBitrate = 640000, .AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000, .ExtOptions = kOptionBlockA},
    {.VideoCodec = "libx264", .FrameSize = "640x480", .FrameRate = "30", .VideoBitrate = 640000, .AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000, .ExtOptions = kOptionBlockA},
    {.VideoCodec = "mpeg4", .FrameSize = "320x240", .FrameRate = "30", .VideoBitrate = 600000, .AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000},
    {.VideoCodec = "libx264", .FrameSize = "640x420", .FrameRate = "30", .VideoBitrate = 640000, .AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000, .ExtOptions = kOptionBlockA},
    {.VideoCodec = "libx264", .VideoPreset = "libx264-default", .FrameSize = "848x480", .FrameRate = "30000/1001", .AspectRatio = "16:9", .VideoBitrate = 2600000, .AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 48000, .AudioBitrate = 256000},
    {.FileFormat = "psp", .VideoCodec = "libx264", .FrameSize = "848x480", .FrameRate = "30000/1001", .AspectRatio = "16:9", .VideoBitrate = 2600000, .AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 48000, .AudioBitrate = 256000, .ExtOptions = kOptionBlockB},
    {.FileFormat = "psp", .VideoCodec = "libx264", .FrameSize = "848x480", .FrameRate = "30000/1001", .AspectRatio = "16:9", .VideoBitrate = 2600000, .AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 48000, .AudioBitrate = 768000, .ExtOptions = kOptionBlockB},
    {.FileFormat = "psp", .VideoCodec = "libx264", .FrameSize = "368x208", .FrameRate = "30000/1001", .AspectRatio = "16:9", .VideoBitrate = 520000, .AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 48000, .AudioBitrate = 128000, .ExtOptions = kOptionBlockB},
    {.FileFormat = "psp", .VideoCodec = "libx264", .FrameSize = "480x272", .FrameRate = "30000/1001", .AspectRatio = "16:9", .VideoBitrate = 720000, .AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 48000, .AudioBitrate = 128000, .ExtOptions = kOptionBlockB},
    {.VideoCodec = "mpeg4", .FrameSize = "640x480", .VideoBitrate = 1200000, .AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 24000, .AudioBitrate = 96000},
    {.VideoCodec = "mpeg4", .FrameSize = "320x240", .VideoBitrate = 640000, .AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 22050, .AudioBitrate = 64000},
    {.VideoCodec = "mpeg4", .FrameSize = "720x480", .VideoBitrate = 1200000, .AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 48000, .AudioBitrate = 96000},
    {.VideoCodec = "mpeg4", .FrameSize = "176x144", .FrameRate = "15", .VideoBitrate = 120000, .AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 96000},
    {.VideoCodec = "mpeg4", .FrameSize = "128x96", .FrameRate = "12", .VideoBitrate = 56000, .AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 22050, .AudioBitrate = 56000},
    {.VideoCodec = "mpeg4", .FrameRate = "25", .VideoBitrate = 2500000, .AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 48000, .AudioBitrate = 256000},
    {.VideoCodec = "mpeg4", .FrameRate = "25", .VideoBitrate = 1200000, .AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 48000, .AudioBitrate = 192000},
    {.VideoCodec = "mpeg4", .FrameRate = "25", .VideoBitrate = 700000, .AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 48000, .AudioBitrate = 128000},
    {.VideoCodec = "mpeg4", .FrameSize = "640x480", .FrameRate = "24", .VideoBitrate = 1500000, .AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 48000, .AudioBitrate = 128000},
    {.VideoCodec = "mpeg4", .FrameSize = "320x240", .FrameRate = "30", .VideoBitrate = 768000, .AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 48000, .AudioBitrate = 96000},
};
// FLV
const PresetParams kFLVRows[] = {
    {.VideoCodec = "libx264", .VideoPreset = "libx264-default", .VideoBitrate = 1200000, .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 160000},
    {.VideoCodec = "libx264", .VideoPreset = "libx264-default", .FrameRate = "20", .VideoBitrate = 930000, .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 160000},
    {.FrameSize = "352x288", .FrameRate = "15", .VideoBitrate = 780000, .AudioChannels = 2, .AudioSampleRate = 22050, .AudioBitrate = 64000},
    {.FrameSize = "320x240", .FrameRate = "15", .VideoBitrate = 640000, .AudioChannels = 2, .AudioSampleRate = 11025, .AudioBitrate = 48000},
    {.FrameSize = "276x144", .FrameRate = "15", .VideoBitrate = 480000, .AudioChannels = 1, .AudioSampleRate = 11025, .AudioBitrate = 24000},
};
// SWF
const PresetParams kSWFRows[] = {
    {.FrameRate = "25", .VideoBitrate = 1200000, .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 160000},
    {.FrameRate = "25", .VideoBitrate = 920000, .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 112000},
    {.FrameSize = "352x288", .FrameRate = "15", .VideoBitrate = 780000, .AudioChannels = 2, .AudioSampleRate = 22050, .AudioBitrate = 64000},
    {.FrameSize = "320x240", .FrameRate = "25", .VideoBitrate = 640000, .AudioChannels = 2, .AudioSampleRate = 11025, .AudioBitrate = 48000},
    {.FrameSize = "176x144", .FrameRate = "15", .VideoBitrate = 480000, .AudioChannels = 1, .AudioSampleRate = 11025, .AudioBitrate = 24000},
};
// MPEG
const PresetParams kMPEGRows[] = {
    {.VideoCodec = "mpeg2video", .FrameSize = "1920x1080", .FrameRate = "30000/1001", .AspectRatio = "4:3", .VideoBitrate = 15000000, .VideoMinRate = 15000000, .VideoMaxRate = 15000000, .VideoBufferSize = 6881000, .AudioCodec = "mp2", .AudioChannels = 2, .AudioSampleRate = 48000, .AudioBitrate = 224000},
    {.VideoCodec = "mpeg2video", .FrameSize = "1280x720", .FrameRate = "30000/1001", .AspectRatio = "4:3", .VideoBitrate = 9000000, .AudioCodec = "mp2", .AudioChannels = 2, .AudioSampleRate = 48000, .AudioBitrate = 224000},
    {.FrameRate = "30000/1001", .AspectRatio = "4:3", .VideoBitrate = 4000000, .Target = 3, .NormType = 2, .AudioCodec = "mp2", .AudioChannels = 2, .AudioSampleRate = 48000, .AudioBitrate = 224000},
    {.FrameRate = "25", .AspectRatio = "4:3", .VideoBitrate = 4000000, .Target = 3, .NormType = 1, .AudioCodec = "mp2", .AudioChannels = 2, .AudioSampleRate = 48000, .AudioBitrate = 224000},
    {.VideoCodec = "mpeg1video", .FrameRate = "30000/1001", .VideoBitrate = 4000000, .VideoMinRate = 4000000, .VideoMaxRate = 4000000, .VideoBufferSize = 1835000, .AudioCodec = "mp2", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 224000},
    {.VideoCodec = "mpeg2video", .FrameRate = "30000/1001", .VideoBitrate = 4000000, .VideoMinRate = 4000000, .VideoMaxRate = 4000000, .VideoBufferSize = 1835000, .AudioCodec = "mp2", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 224000},
    {.VideoCodec = "mpeg1video", .FrameSize = "720x480", .FrameRate = "30000/1001", .VideoBitrate = 1150000, .VideoMinRate = 1150000, .VideoMaxRate = 1150000, .VideoBufferSize = 527000, .AudioCodec = "mp2", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000},
    {.VideoCodec = "mpeg1video", .FrameSize = "720x480", .FrameRate = "30000/1001", .VideoBitrate = 860000, .VideoMinRate = 860000, .VideoMaxRate = 860000, .VideoBufferSize = 394000, .AudioCodec = "mp2", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000},
    {.VideoCodec = "mpeg1video", .FrameSize = "320x240", .FrameRate = "30000/1001", .VideoBitrate = 780000, .VideoMinRate = 780000, .VideoMaxRate = 780000, .VideoBufferSize = 357000, .AudioCodec = "mp2", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 112000},
    {.VideoCodec = "mpeg1video", .FrameSize = "720x480", .FrameRate = "30", .VideoBitrate = 2000000, .VideoMinRate = 2000000, .VideoMaxRate = 2000000, .VideoBufferSize = 917000, .AudioCodec = "mp2", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 192000},
    {.FrameRate = "30000/1001", .AspectRatio = "4:3", .VideoBitrate = 2376000, .Target = 2, .NormType = 2, .AudioCodec = "mp2", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 224000},
    {.FrameRate = "25", .AspectRatio = "4:3", .VideoBitrate = 2376000, .Target = 2, .NormType = 1, .AudioCodec = "mp2", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 224000},
    {.FrameRate = "30000/1001", .AspectRatio = "4:3", .VideoBitrate = 1150000, .Target = 1, .NormType = 2, .AudioCodec = "mp2", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 224000},
    {.FrameRate = "25", .AspectRatio = "4:3", .VideoBitrate = 1150000, .Target = 1, .NormType = 1, .AudioCodec = "mp2", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 224000},
};
// RM
const PresetParams kRMRows[] = {
    {.VideoCodec = "rv20", .VideoBitrate = 1024000},
    {.VideoCodec = "rv20", .VideoBitrate = 750000},
    {.VideoCodec = "rv20", .VideoBitrate = 512000},
    {.VideoCodec = "rv20", .VideoBitrate = 256000},
    {.VideoCodec = "rv20", .VideoBitrate = 128000},
};
// WMV
const PresetParams kWMVRows[] = {
    {.VideoCodec = "wmv2", .FrameSize = "1920x1080", .FrameRate = "30000/1001", .VideoBitrate = 9000000, .AudioCodec = "wmav2", .AudioChannels = 2, .AudioSampleRate = 48000, .AudioBitrate = 384000},
    {.VideoCodec = "wmv2", .FrameSize = "1280x720", .FrameRate = "30000/1001", .VideoBitrate = 7000000, .AudioCodec = "wmav2", .AudioChannels = 2, .AudioSampleRate = 48000, .AudioBitrate = 384000},
    {.VideoCodec = "wmv2", .FrameSize = "320x240", .FrameRate = "25", .VideoBitrate = 1112000, .AudioCodec = "wmav2", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 192000},
    {.VideoCodec = "wmv2", .FrameSize = "320x240", .FrameRate = "25", .VideoBitrate = 568000, .AudioCodec = "wmav2", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000},
    {.VideoCodec = "wmv2", .FrameSize = "192x144", .FrameRate = "20", .VideoBitrate = 176000, .AudioCodec = "wmav2", .AudioChannels = 2, .AudioSampleRate = 32000, .AudioBitrate = 48000},
    {.VideoCodec = "wmv2", .FrameSize = "352x288", .FrameRate = "25", .VideoBitrate = 920000, .AudioCodec = "wmav2", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000},
    {.VideoCodec = "wmv2", .FrameSize = "320x240", .FrameRate = "25", .VideoBitrate = 600000, .AudioCodec = "wmav2", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000},
    {.VideoCodec = "wmv2", .FrameSize = "352x288", .FrameRate = "25", .VideoBitrate = 400000, .AudioCodec = "wmav2", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 96000},
    {.VideoCodec = "wmv2", .FrameSize = "480x272", .FrameRate = "25", .VideoBitrate = 700000, .AudioCodec = "wmav2", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 192000},
    {.VideoCodec = "wmv2", .FrameSize = "320x240", .FrameRate = "25", .VideoBitrate = 720000, .AudioCodec = "wmav2", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000},
    {.VideoCodec = "wmv2", .FrameSize = "320x240", .FrameRate = "25", .VideoBitrate = 480000, .AudioCodec = "wmav2", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000},
    {.VideoCodec = "wmv2", .FrameSize = "352x288", .FrameRate = "24", .VideoBitrate = 768000, .AudioCodec = "wmav2", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000},
    {.VideoCodec = "wmv2", .FrameSize = "320x240", .FrameRate = "30", .VideoBitrate = 768000, .AudioCodec = "wmav2", .AudioChannels = 2, .AudioSampleRate = 48000, .AudioBitrate = 128000},
    {.VideoCodec = "wmv2", .FrameSize = "320x240", .FrameRate = "25", .VideoBitrate = 380000, .AudioCodec = "wmav2", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000},
    {.VideoCodec = "wmv2", .FrameSize = "320x240", .FrameRate = "25", .VideoBitrate = 220000, .AudioCodec = "wmav2", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 96000},
    {.VideoCodec = "wmv2", .FrameSize = "320x240", .FrameRate = "25", .VideoBitrate = 2500000, .AudioCodec = "wmav2", .AudioChannels = 2, .AudioSampleRate = 48000, .AudioBitrate = 196000},
    {.VideoCodec = "wmv2", .FrameSize = "320x240", .FrameRate = "25", .VideoBitrate = 720000, .AudioCodec = "wmav2", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000},
    {.VideoCodec = "wmv2", .FrameSize = "320x240", .FrameRate = "25", .VideoBitrate = 480000, .AudioCodec = "wmav2", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 96000},
};
// MOV
const PresetParams kMOVRows[] = {
    {.VideoCodec = "libx264", .VideoPreset = "libx264-default", .VideoBitrate = 1200000, .AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 48000, .AudioBitrate = 320000},
    {.VideoCodec = "libx264", .VideoPreset = "libx264-default", .FrameSize = "848x480", .VideoBitrate = 1200000, .AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 48000, .AudioBitrate = 320000},
    {.VideoCodec = "libx264", .VideoPreset = "libx264-default", .FrameSize = "720x576", .VideoBitrate = 1200000, .AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 48000, .AudioBitrate = 320000},
    {.VideoCodec = "mjpeg", .VideoBitrate = 16384000, .AudioCodec = "libmp3lame", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 256000},
    {.VideoCodec = "h263", .FrameSize = "352x288", .VideoBitrate = 6144000, .AudioCodec = "libmp3lame", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000},
    {.VideoCodec = "mpeg4", .VideoBitrate = 921600, .AudioCodec = "libmp3lame", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 192000},
    {.VideoCodec = "h263", .FrameSize = "176x144", .VideoBitrate = 4014080, .AudioCodec = "libmp3lame", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000},
    {.VideoCodec = "mpeg4", .VideoBitrate = 614400, .AudioCodec = "libmp3lame", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 96000},
    {.VideoCodec = "svq1", .VideoBitrate = 921600, .AudioCodec = "libmp3lame", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 96000},
    {.VideoCodec = "svq1", .VideoBitrate = 921600, .AudioCodec = "adpcm_ima_qt", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 352000},
};
// 3GP
const PresetParams k3GPRows[] = {
    {.VideoCodec = "h263", .FrameSize = "176x144", .FrameRate = "12", .VideoBitrate = 240000, .AudioChannels = 1, .AudioSampleRate = 8000, .AudioBitrate = 12200},
    {.VideoCodec = "mpeg4", .FrameSize = "176x144", .FrameRate = "15", .VideoBitrate = 104000, .AudioCodec = "libfaac", .AudioChannels = 1, .AudioSampleRate = 32000, .AudioBitrate = 64000},
    {.VideoCodec = "mpeg4", .FrameSize = "176x144", .FrameRate = "12", .VideoBitrate = 64000, .AudioChannels = 1, .AudioSampleRate = 8000, .AudioBitrate = 12200},
    {.VideoCodec = "h263", .FrameSize = "128x96", .FrameRate = "10", .VideoBitrate = 140000, .AudioChannels = 1, .AudioSampleRate = 8000, .AudioBitrate = 10200},
    {.VideoCodec = "mpeg4", .FrameSize = "128x96", .FrameRate = "10", .VideoBitrate = 44000, .AudioChannels = 1, .AudioSampleRate = 8000, .AudioBitrate = 6700},
};
// iPod
const PresetParams kiPodRows[] = {
    {.VideoCodec = "libx264", .FrameSize = "640x480", .FrameRate = "30", .VideoBitrate = 2500000, .AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 48000, .AudioBitrate = 160000, .ExtOptions = kOptionBlockA},
    {.VideoCodec = "libx264", .FrameSize = "480x320", .FrameRate = "30", .VideoBitrate = 2500000, .AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 48000, .AudioBitrate = 160000, .ExtOptions = kOptionBlockA},
    {.VideoCodec = "libx264", .FrameSize = "480x320", .FrameRate = "24", .VideoBitrate = 1300000, .AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000, .ExtOptions = kOptionBlockA},
    {.VideoCodec = "libx264", .FrameSize = "320x240", .FrameRate = "15", .VideoBitrate = 500000, .AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000, .ExtOptions = kOptionBlockA},
    {.VideoCodec = "libx264", .FrameSize = "320x240", .FrameRate = "30", .VideoBitrate = 2500000, .AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 48000, .AudioBitrate = 160000, .ExtOptions = kOptionBlockA},
    {.VideoCodec = "libx264", .FrameSize = "320x240", .FrameRate = "24", .VideoBitrate = 1000000, .AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000, .ExtOptions = kOptionBlockA},
    {.VideoCodec = "libx264", .FrameSize = "320x240", .FrameRate = "15", .VideoBitrate = 500000, .AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000, .ExtOptions = kOptionBlockA},
    {.VideoCodec = "libx264", .FrameSize = "320x240", .FrameRate = "30", .VideoBitrate = 2500000, .AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 48000, .AudioBitrate = 160000, .ExtOptions = kOptionBlockA},
    {.VideoCodec = "libx264", .FrameSize = "320x240", .FrameRate = "24", .VideoBitrate = 1000000, .AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000, .ExtOptions = kOptionBlockA},
    {.VideoCodec = "libx264", .FrameSize = "320x240", .FrameRate = "15", .VideoBitrate = 500000, .AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000, .ExtOptions = kOptionBlockA},
};
// iPhone
const PresetParams kiPhoneRows[] = {
    {.VideoCodec = "libx264", .FrameSize = "640x480", .FrameRate = "30", .VideoBitrate = 2500000, .AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 48000, .AudioBitrate = 160000, .ExtOptions = kOptionBlockA},
    {.VideoCodec = "libx264", .FrameSize = "480x320", .FrameRate = "30", .VideoBitrate = 1300000, .AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000, .ExtOptions = kOptionBlockA},
    {.VideoCodec = "libx264", .FrameSize = "320x240", .FrameRate = "15", .VideoBitrate = 500000, .AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000, .ExtOptions = kOptionBlockA},
};
// AppleTV
const PresetParams kAppleTVRows[] = {
    {.VideoCodec = "libx264", .FrameSize = "640x480", .FrameRate = "24", .VideoBitrate = 5000000, .AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 48000, .AudioBitrate = 160000, .ExtOptions = kOptionBlockA},
    {.VideoCodec = "libx264", .FrameSize = "720x540", .FrameRate = "24", .VideoBitrate = 2000000, .AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000, .ExtOptions = kOptionBlockA},
    {.VideoCodec = "libx264", .FrameSize = "480x360", .FrameRate = "24", .VideoBitrate = 1000000, .AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000, .ExtOptions = kOptionBlockA},
};
// PSP
const PresetParams kPSPRows[] = {
    {.FileFormat = "psp", .VideoCodec = "libx264", .FrameSize = "480x272", .FrameRate = "30", .VideoBitrate = 1500000, .AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 48000, .AudioBitrate = 160000, .ExtOptions = kOptionBlockB},
    {.FileFormat = "psp", .VideoCodec = "libx264", .FrameSize = "368x208", .FrameRate = "24", .VideoBitrate = 1000000, .AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000, .ExtOptions = kOptionBlockB},
    {.FileFormat = "psp", .VideoCodec = "libx264", .FrameSize = "368x208", .FrameRate = "15", .VideoBitrate = 500000, .AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000, .ExtOptions = kOptionBlockB},
};
// BlackBerry
const PresetParams kBlackBerryRows[] = {
    {.VideoCodec = "libx264", .VideoPreset = "libx264-default", .FrameSize = "640x480", .FrameRate = "30", .VideoBitrate = 2500000, .AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 48000, .AudioBitrate = 160000},
    {.VideoCodec = "libx264", .VideoPreset = "libx264-default", .FrameSize = "480x320", .FrameRate = "30", .VideoBitrate = 1300000, .AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000},
    {.VideoCodec = "libx264", .VideoPreset = "libx264-default", .FrameSize = "320x240", .FrameRate = "15", .VideoBitrate = 500000, .AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000},
};
// MobilePhone
const PresetParams kMobilePhoneRows[] = {
    {.VideoCodec = "mpeg4", .FrameSize = "320x240", .FrameRate = "15", .VideoBitrate = 600000, .AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 48000, .AudioBitrate = 192000},
    {.VideoCodec = "mpeg4", .FrameSize = "176x144", .FrameRate = "15", .VideoBitrate = 256000, .AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000},
    {.VideoCodec = "mpeg4", .FrameSize = "176x144", .FrameRate = "12", .VideoBitrate = 146000, .AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 32000, .AudioBitrate = 96000},
    {.VideoCodec = "mpeg4", .FrameSize = "128x96", .FrameRate = "10", .VideoBitrate = 119000, .AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 22050, .AudioBitrate = 64000},
};
// iPad
const PresetParams kiPadRows[] = {
    {.VideoCodec = "libx264", .FrameSize = "640x480", .FrameRate = "30", .VideoBitrate = 2500000, .AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 48000, .AudioBitrate = 160000, .ExtOptions = kOptionBlockA},
    {.VideoCodec = "libx264", .FrameSize = "480x320", .FrameRate = "30", .VideoBitrate = 1300000, .AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000, .ExtOptions = kOptionBlockA},
    {.VideoCodec = "libx264", .FrameSize = "320x240", .FrameRate = "15", .VideoBitrate = 500000, .AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000, .ExtOptions = kOptionBlockA},
};
// Android
const PresetParams kAndroidRows[] = {
    {.VideoCodec = "libx264", .FrameSize = "640x480", .FrameRate = "30", .VideoBitrate = 2500000, .AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 48000, .AudioBitrate = 160000, .ExtOptions = kOptionBlockA},
    {.VideoCodec = "libx264", .FrameSize = "480x320", .FrameRate = "30", .VideoBitrate = 1300000, .AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000, .ExtOptions = kOptionBlockA},
    {.VideoCodec = "libx264", .FrameSize = "320x240", .FrameRate = "15", .VideoBitrate = 500000, .AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000, .ExtOptions = kOptionBlockA},
};
// WAV
const PresetParams kWAVRows[] = {
    {.AudioCodec = "pcm_s16le", .AudioChannels = 1, .AudioSampleRate = 11025},
    {.AudioCodec = "pcm_s16le", .AudioChannels = 1, .AudioSampleRate = 22050},
    {.AudioCodec = "pcm_s24le", .AudioChannels = 2, .AudioSampleRate = 22050},
    {.AudioCodec = "pcm_s32le", .AudioChannels = 2, .AudioSampleRate = 48000},
    {.AudioCodec = "pcm_s16le", .AudioChannels = 2, .AudioSampleRate = 44000},
};
// MP3
const PresetParams kMP3Rows[] = {
    {.AudioCodec = "libmp3lame", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 112000},
    {.AudioCodec = "libmp3lame", .AudioChannels = 2, .AudioSampleRate = 48000, .AudioBitrate = 128000},
    {.AudioCodec = "libmp3lame", .AudioChannels = 2, .AudioSampleRate = 48000, .AudioBitrate = 256000},
    {.AudioCodec = "libmp3lame", .AudioChannels = 2, .AudioSampleRate = 48000, .AudioBitrate = 320000},
};
// WMA
const PresetParams kWMARows[] = {
    {.AudioCodec = "wmav2", .AudioChannels = 2, .AudioSampleRate = 48000, .AudioBitrate = 192000},
    {.AudioCodec = "wmav2", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 96000},
    {.AudioCodec = "wmav2", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000},
    {.AudioCodec = "wmav2", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 128000},
    {.AudioCodec = "wmav2", .AudioChannels = 2, .AudioSampleRate = 48000, .AudioBitrate = kAudioBitrateOfInput},
};
// OGG
const PresetParams kOGGRows[] = {
    {.VideoCodec = "libtheora", .AudioCodec = "libvorbis", .AudioSampleRate = 11025, .ExtOptions = "aq=4.97"},
    {.VideoCodec = "libtheora", .AudioCodec = "libvorbis", .AudioSampleRate = 22050, .ExtOptions = "aq=4.97"},
    {.VideoCodec = "libtheora", .AudioCodec = "libvorbis", .AudioSampleRate = 22050, .ExtOptions = "aq=4.97"},
    {.VideoCodec = "libtheora", .AudioCodec = "libvorbis", .AudioSampleRate = 44100, .ExtOptions = "aq=4.97"},
    {.VideoCodec = "libtheora", .AudioCodec = "libvorbis", .AudioSampleRate = 48000, .ExtOptions = "aq=8.05"},
};
// AAC
const PresetParams kAACRows[] = {
    {.AudioCodec = "libfaac", .AudioChannels = 1, .AudioSampleRate = 16000, .AudioBitrate = 96000},
    {.AudioCodec = "libfaac", .AudioChannels = 1, .AudioSampleRate = 22500, .AudioBitrate = 112000},
    {.AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 22500, .AudioBitrate = 224000},
    {.AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 256000},
    {.AudioCodec = "libfaac", .AudioChannels = 2, .AudioSampleRate = 48000, .AudioBitrate = 256000},
};
// M4A
const PresetParams kM4ARows[] = {
    {.AudioChannels = 2, .AudioSampleRate = 44100, .AudioBitrate = 96000},
    {.AudioChannels = 2, .AudioSampleRate = 44800, .AudioBitrate = 256000},
};
// FLAC
const PresetParams kFLACRows[] = {
    {.AudioCodec = "flac", .ExtOptions = "compression_level=0"},
    {.AudioCodec = "flac", .ExtOptions = "compression_level=1"},
    {.AudioCodec = "flac", .ExtOptions = "compression_level=2"},
    {.AudioCodec = "flac", .ExtOptions = "compression_level=3"},
    {.AudioCodec = "flac", .ExtOptions = "compression_level=4"},
    {.AudioCodec = "flac", .ExtOptions = "compression_level=5"},
    {.AudioCodec = "flac", .ExtOptions = "compression_level=6"},
    {.AudioCodec = "flac", .ExtOptions = "compression_level=7"},
    {.AudioCodec = "flac", .ExtOptions = "compression_level=8"},
};
// MP2
const PresetParams kMP2Rows[] = {
    {.AudioChannels = 1, .AudioSampleRate = 22050, .AudioBitrate = 96000},
    {.AudioChannels = 1, .AudioSampleRate = 22050, .AudioBitrate = 112000},
    {.AudioChannels = 2, .AudioSampleRate = 22050, .AudioBitrate = 128000},
};

constexpr PresetParams kNoShared{};
// Formats whose codecs do not depend on the preset keep them even when no
// preset is selected.
constexpr PresetParams kAppleShared{.VideoCodec = "libx264", .AudioCodec = "libfaac"};
constexpr PresetParams kMP3Shared{.AudioCodec = "libmp3lame"};
constexpr PresetParams kWMAShared{.AudioCodec = "wmav2"};
constexpr PresetParams kAACShared{.AudioCodec = "libfaac"};
constexpr PresetParams kFLACShared{.AudioCodec = "flac"};
constexpr PresetParams kOGGShared{.VideoCodec = "libtheora", .AudioCodec = "libvorbis"};

constexpr PresetParams withBlock(PresetParams shared, std::string_view block, std::string_view fileFormat = {})
{
    shared.ExtOptions = block;
    shared.FileFormat = fileFormat;
    return shared;
}

const FormatPresets kTables[kOutputFormatCount] = {
    {kNoShared, kAVIRows},
    {kNoShared, kMP4Rows},
    {kNoShared, kFLVRows},
    {kNoShared, kSWFRows},
    {kNoShared, kMPEGRows},
    {kNoShared, kRMRows},
    {kNoShared, kWMVRows},
    {kNoShared, kMOVRows},
    {kNoShared, k3GPRows},
    {withBlock(kAppleShared, kOptionBlockA), kiPodRows},
    {withBlock(kAppleShared, kOptionBlockA), kiPhoneRows},
    {withBlock(kAppleShared, kOptionBlockA), kAppleTVRows},
    {withBlock(kAppleShared, kOptionBlockB, "psp"), kPSPRows},
    {kNoShared, kBlackBerryRows},
    {kNoShared, kMobilePhoneRows},
    {withBlock(kAppleShared, kOptionBlockA), kiPadRows},
    {withBlock(kAppleShared, kOptionBlockA), kAndroidRows},
    {kNoShared, kWAVRows},
    {kMP3Shared, kMP3Rows},
    {kWMAShared, kWMARows},
    {kOGGShared, kOGGRows},
    {kAACShared, kAACRows},
    {kNoShared, kM4ARows},
    {kFLACShared, kFLACRows},
    {kNoShared, kMP2Rows},
};

} // namespace

const FormatPresets &PresetsOf(const OutputFormat &format)
{
    return kTables[format.Ordinal()];
}

const PresetParams *PresetRow(const OutputFormat &format, int preset)
{
    const FormatPresets &table = PresetsOf(format);
    if (preset < 0 || preset >= static_cast<int>(table.Rows.size()))
        return nullptr;
    return &table.Rows[preset];
}

} // namespace quillor
