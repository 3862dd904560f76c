// The option vocabulary of the window's presets is that of the codec
// libraries of an earlier generation. Today's libraries renamed or moved
// several of those options into the encoders' private options; this file
// maps them, so that every preset keeps working. Each mapping is logged at
// info level, so a user can see what was set in place of what.

#include "FFmpegImpl.h"

#include <cstring>
#include <map>
#include <set>
#include <sstream>

namespace quillor {

namespace {

bool isX264(const AVCodec *c) { return c && std::strncmp(c->name, "libx264", 7) == 0; }

void note(const void *sender, const std::string &from, const std::string &to)
{
    GetLogger().LogMessage(sender, llInfo,
                           "option \"" + from + "\" translated to " + (to.empty() ? "nothing" : "\"" + to + "\""));
}

// "+a+b-c" -> {(true,a),(true,b),(false,c)}; a leading name without sign is "+".
std::vector<std::pair<bool, std::string>> splitFlags(const std::string &v)
{
    std::vector<std::pair<bool, std::string>> out;
    bool plus = true;
    std::string cur;
    for (char ch : v) {
        if (ch == '+' || ch == '-') {
            if (!cur.empty())
                out.emplace_back(plus, cur);
            cur.clear();
            plus = ch == '+';
        } else {
            cur += ch;
        }
    }
    if (!cur.empty())
        out.emplace_back(plus, cur);
    return out;
}

// Does this codec context (or its private part) know a flag constant of
// the given unit?
bool knowsConstant(const AVClass *cls, const char *unit, const std::string &name)
{
    const AVOption *o = nullptr;
    while ((o = ff().av_opt_next(&cls, o)))
        if (o->type == AV_OPT_TYPE_CONST && o->unit && std::strcmp(o->unit, unit) == 0 && name == o->name)
            return true;
    return false;
}

const std::set<std::string> &legacyNames()
{
    static const std::set<std::string> names = {"deblockalpha", "deblockbeta", "directpred", "flags2",
                                                "me_method",    "partitions", "coder",     "b_strategy",
                                                "wpredp",       "flags",      "cmp",       "rc_eq",
                                                "crf",          "aq_mode"};
    return names;
}

} // namespace

bool IsLegacyCodecOption(const std::string &name) { return legacyNames().count(name) > 0; }

std::string TranslateEncoderName(const std::string &name)
{
    static const std::map<std::string, std::string> table = {
        {"libfaac", "aac"},
        {"libvo_aacenc", "aac"},
        {"libxvid", "mpeg4"},
        {"libvo_amrwbenc", "amr_wb"},
    };
    auto it = table.find(name);
    return it == table.end() ? std::string() : it->second;
}

OptionPairs TranslateCodecOptions(const AVCodec *codec, const OptionPairs &pairs, const void *sender)
{
    OptionPairs out;
    const bool x264 = isX264(codec);
    const AVClass *generic = ff().avcodec_get_class();
    const AVClass *priv = codec ? codec->priv_class : nullptr;
    std::string deblockAlpha, deblockBeta;

    auto privateKnows = [&](const char *n) {
        const AVClass *pc = priv;
        return pc && ff().av_opt_find(&pc, n, nullptr, 0, AV_OPT_SEARCH_FAKE_OBJ);
    };

    for (const auto &[name, value] : pairs) {
        if (name == "deblockalpha" || name == "deblockbeta") {
            if (x264)
                (name == "deblockalpha" ? deblockAlpha : deblockBeta) = value;
            continue;
        }
        if (name == "directpred") {
            if (x264) {
                note(sender, name, "direct-pred");
                out.emplace_back("direct-pred", value);
            }
            continue;
        }
        if (name == "wpredp") {
            if (x264) {
                note(sender, name, "weightp");
                out.emplace_back("weightp", value);
            }
            continue;
        }
        if (name == "flags2") {
            if (!x264)
                continue;
            static const std::map<std::string, std::string> f2 = {
                {"mixed_refs", "mixed-refs"}, {"wpred", "weightb"}, {"dct8x8", "8x8dct"},
                {"fastpskip", "fast-pskip"},  {"mbtree", "mbtree"}, {"aud", "aud"}};
            for (auto &[plus, flag] : splitFlags(value)) {
                auto it = f2.find(flag);
                if (it == f2.end())
                    continue;
                note(sender, "flags2=" + std::string(plus ? "+" : "-") + flag, it->second + "=" + (plus ? "1" : "0"));
                out.emplace_back(it->second, plus ? "1" : "0");
            }
            continue;
        }
        if (name == "me_method") {
            if (x264) {
                // libx264 knows dia, hex, umh, esa, tesa; the older names map onto them
                static const std::map<std::string, std::string> m = {
                    {"dia", "dia"}, {"epzs", "dia"}, {"hex", "hex"}, {"umh", "umh"},
                    {"esa", "esa"}, {"full", "esa"}, {"tesa", "tesa"}};
                auto it = m.find(value);
                if (it != m.end()) {
                    note(sender, name, "motion-est=" + it->second);
                    out.emplace_back("motion-est", it->second);
                }
            } else if (privateKnows("motion_est")) {
                std::string v = value == "zero" ? "zero" : value == "xone" ? "xone" : "epzs";
                note(sender, name, "motion_est=" + v);
                out.emplace_back("motion_est", v);
            }
            continue;
        }
        if (name == "partitions") {
            if (!x264)
                continue;
            static const std::map<std::string, std::string> p = {{"parti4x4", "i4x4"}, {"parti8x8", "i8x8"},
                                                                 {"partp4x4", "p4x4"}, {"partp8x8", "p8x8"},
                                                                 {"partb8x8", "b8x8"}};
            std::string list;
            for (auto &[plus, flag] : splitFlags(value)) {
                auto it = p.find(flag);
                if (plus && it != p.end())
                    list += (list.empty() ? "" : ",") + it->second;
            }
            if (list.empty())
                list = "none";
            note(sender, name + "=" + value, "partitions=" + list);
            out.emplace_back("partitions", list);
            continue;
        }
        if (name == "coder" || name == "b_strategy" || name == "rc_eq" || name == "crf" || name == "aq_mode") {
            // private options today; only the encoders that have them get them
            if (privateKnows(name.c_str()))
                out.emplace_back(name, value);
            continue;
        }
        if (name == "flags") {
            // keep the constants today's codec context knows; move the
            // others to the private options that replaced them
            std::string kept;
            for (auto &[plus, flag] : splitFlags(value)) {
                if (knowsConstant(generic, "flags", flag)) {
                    kept += (plus ? "+" : "-") + flag;
                } else if (flag == "loop") {
                    if (x264 && !plus) {
                        note(sender, "flags=-loop", "deblock=0:0 off");
                        out.emplace_back("x264-params", "no-deblock=1");
                    } else {
                        note(sender, "flags=+loop", "");
                    }
                } else if (privateKnows(flag.c_str())) {
                    note(sender, "flags=" + std::string(plus ? "+" : "-") + flag, flag + "=" + (plus ? "1" : "0"));
                    out.emplace_back(flag, plus ? "1" : "0");
                } else if (priv && knowsConstant(priv, "mpv_flags", flag)) {
                    note(sender, "flags=" + flag, "mpv_flags=" + flag);
                    out.emplace_back("mpv_flags", (plus ? "+" : "-") + flag);
                } else {
                    note(sender, "flags=" + flag, "");
                }
            }
            if (!kept.empty())
                out.emplace_back("flags", kept);
            continue;
        }
        if (name == "cmp") {
            // "+chroma" was a flag on the comparison function; libx264
            // reads it as chroma motion estimation
            if (x264) {
                bool chroma = value.find("chroma") != std::string::npos;
                note(sender, "cmp=" + value, std::string("chroma-me=") + (chroma ? "1" : "0"));
                out.emplace_back("chroma-me", chroma ? "1" : "0");
            } else {
                out.emplace_back(name, value);
            }
            continue;
        }
        out.emplace_back(name, value);
    }
    if (!deblockAlpha.empty() || !deblockBeta.empty()) {
        std::string v = (deblockAlpha.empty() ? "0" : deblockAlpha) + ":" + (deblockBeta.empty() ? "0" : deblockBeta);
        note(sender, "deblockalpha/deblockbeta", "deblock=" + v);
        out.emplace_back("deblock", v);
    }
    return out;
}

} // namespace quillor
