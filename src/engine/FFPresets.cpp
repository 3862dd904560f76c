#include "FFPresets.h"

#include <strings.h>

namespace quillor {

// "libx264-default", "-baseline" and "-main" keep the option vocabulary
// the window's presets were written in; the task translates the names
// that today's libx264 wrapper no longer knows. The speed presets map to
// the encoder's own presets, which carry the same trade-offs.
const std::vector<TOptionsPreset> &BuiltinPresets()
{
    static const std::vector<TOptionsPreset> table = {
        {"libx264-baseline", "coder=0\nbf=0\nflags2=-wpred-dct8x8\nwpredp=0"},
        {"libx264-default",
         "coder=1\nflags=+loop\ncmp=+chroma\npartitions=+parti8x8+parti4x4+partp8x8+partb8x8\n"
         "me_method=hex\nsubq=7\nme_range=16\ng=250\nkeyint_min=25\nsc_threshold=40\n"
         "i_qfactor=0.71\nb_strategy=1\nqcomp=0.6\nqmin=10\nqmax=51\nqdiff=4\nbf=3\nrefs=3\n"
         "directpred=1\ntrellis=1\nflags2=+mixed_refs+wpred+dct8x8+fastpskip\nwpredp=2"},
        {"libx264-fast", "preset=fast"},
        {"libx264-fast_firstpass", "preset=fast\nfastfirstpass=1"},
        {"libx264-faster", "preset=faster"},
        {"libx264-faster_firstpass", "preset=faster\nfastfirstpass=1"},
        {"libx264-fastfirstpass", "preset=medium\nfastfirstpass=1"},
        {"libx264-hq", "preset=slow"},
        {"libx264-ipod320", "profile=baseline\nlevel=13\nmaxrate=768000\nbufsize=3000000\nbf=0\ncoder=0"},
        {"libx264-ipod640", "profile=baseline\nlevel=30\nmaxrate=10000000\nbufsize=10000000\nbf=0\ncoder=0"},
        {"libx264-lossless_fast", "preset=fast\nqp=0"},
        {"libx264-lossless_max", "preset=placebo\nqp=0"},
        {"libx264-lossless_medium", "preset=medium\nqp=0"},
        {"libx264-lossless_slow", "preset=slow\nqp=0"},
        {"libx264-lossless_slower", "preset=slower\nqp=0"},
        {"libx264-lossless_ultrafast", "preset=ultrafast\nqp=0"},
        {"libx264-main", "flags2=-dct8x8"},
        {"libx264-max", "preset=placebo"},
        {"libx264-medium", "preset=medium"},
        {"libx264-medium_firstpass", "preset=medium\nfastfirstpass=1"},
        {"libx264-normal", "preset=medium"},
        {"libx264-placebo", "preset=placebo"},
        {"libx264-placebo_firstpass", "preset=placebo\nfastfirstpass=1"},
        {"libx264-slow", "preset=slow"},
        {"libx264-slow_firstpass", "preset=slow\nfastfirstpass=1"},
        {"libx264-slower", "preset=slower"},
        {"libx264-slower_firstpass", "preset=slower\nfastfirstpass=1"},
        {"libx264-slowfirstpass", "preset=slow\nfastfirstpass=1"},
        {"libx264-superfast", "preset=superfast"},
        {"libx264-superfast_firstpass", "preset=superfast\nfastfirstpass=1"},
        {"libx264-ultrafast", "preset=ultrafast"},
        {"libx264-ultrafast_firstpass", "preset=ultrafast\nfastfirstpass=1"},
        {"libx264-veryfast", "preset=veryfast"},
        {"libx264-veryfast_firstpass", "preset=veryfast\nfastfirstpass=1"},
        {"libx264-veryslow", "preset=veryslow"},
        {"libx264-veryslow_firstpass", "preset=veryslow\nfastfirstpass=1"},
    };
    return table;
}

const TOptionsPreset *FindBuiltinPreset(const std::string &name)
{
    for (const auto &p : BuiltinPresets())
        if (strcasecmp(p.Name, name.c_str()) == 0)
            return &p;
    return nullptr;
}

} // namespace quillor
