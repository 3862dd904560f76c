#pragma once
// Which stream of a video is tried, in which order, and how each attempt is
// labelled and named. Attempt 0 is the default stream (itag 5); attempts 1
// to 8 are the places of the user's order, each holding a quality value
// 0..7 (itags 6, 18, 35, 22, 13, 17, 34, 37).

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>

namespace quillor {

class StreamTable;

inline constexpr char kDefaultQualityLabel[] = "[Default Quality - HQ5 - (FLV, 400 x 240, Mono 44KHz MP3)]";

struct QualityKind {
    int Itag;
    const char *ShortLabel;
    const char *LongLabel;
    const char *Format;
    const char *Video;
    const char *Audio;
    const char *Extension;
};

// The kind of a quality value; nullptr outside 0..7.
const QualityKind *QualityKindOf(int value);
// The value whose short label is label; 0 for any other text.
int QualityValueOfLabel(const QString &label);

struct QualityPreference {
    static constexpr std::array<std::uint8_t, 8> kDefaultOrder{1, 2, 3, 0, 4, 5, 6, 7};
    static constexpr std::array<std::uint8_t, 8> kBestAvailableOrder{7, 3, 2, 1, 0, 6, 4, 5};

    bool Prefer = true;
    std::array<std::uint8_t, 8> Places = kDefaultOrder; // P1..P8

    // Places holding a value outside 0..7 take the default of their place.
    void Repair();

    // "Prefer: [HQ18] > ..." when preferring, else the default long label.
    QString QualityCaption() const { return QualityCaptionFor(Prefer); }
    QString QualityCaptionFor(bool prefer) const;
    QString AttemptLabel(int attempt) const;
    QString AttemptExtension(int attempt) const;
    QString AttemptAddress(int attempt, const StreamTable &table) const;
    // The attempt a video starts with.
    int FirstAttempt() const { return Prefer ? 1 : 0; }
};

// The long label of a short label; the default long label for anything else.
QString LongLabel(const QString &label);

} // namespace quillor
