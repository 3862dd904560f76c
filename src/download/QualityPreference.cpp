#include "QualityPreference.h"

#include "StreamMap.h"

namespace quillor {

namespace {
const QualityKind kKinds[8] = {
    {6, "[HQ6]", "[HQ6] - (FLV, 480 x 360, Mono 44KHz MP3)", "FLV", "480 x 360", "Mono 44KHz MP3", ".flv"},
    {18, "[HQ18]", "[HQ18] - (MP4(H.264), 640 x 360, Stereo 44KHz AAC)", "MP4(H.264)", "640 x 360",
     "Stereo 44KHz AAC", ".mp4"},
    {35, "[HQ35]", "[HQ35] - (FLV, 854 x 480, Stereo 44KHz AAC)", "FLV", "854 x 480", "Stereo 44KHz AAC", ".flv"},
    {22, "[HQ22]", "[HQ22] - (MP4(H.264), 1280 x 720, Stereo 44KHz AAC)", "MP4(H.264)", "1280x720",
     "Stereo 44KHz AAC", ".mp4"},
    {13, "[HQ13]", "[HQ13] - (3GP, 176 x 144, Stereo 8KHz)", "3GP", "176x144", "Stereo 8KHz", ".3gp"},
    {17, "[HQ17]", "[HQ17] - (3GP, 176 x 144, Stereo 44KHz AAC)", "3GP", "176x144", "Stereo 44KHz AAC", ".3gp"},
    {34, "[HQ34]", "[HQ34] - (FLV, 640 x 360, Stereo 44KHz AAC)", "FLV", "640 x 360", "Stereo 44KHz AAC", ".flv"},
    {37, "[HQ37]", "[HQ37] - (MP4(H.264), 1920 x 1080, Stereo 44KHz AAC)", "MP4(H.264)", "1920x1080",
     "Stereo 44KHz AAC", ".mp4"},
};

QString defaultLabel() { return QString::fromLatin1(kDefaultQualityLabel); }
} // namespace

const QualityKind *QualityKindOf(int value)
{
    return value >= 0 && value < 8 ? &kKinds[value] : nullptr;
}

int QualityValueOfLabel(const QString &label)
{
    for (int v = 0; v < 8; ++v)
        if (label == QLatin1String(kKinds[v].ShortLabel))
            return v;
    return 0;
}

QString LongLabel(const QString &label)
{
    for (const QualityKind &k : kKinds)
        if (label == QLatin1String(k.ShortLabel))
            return QString::fromLatin1(k.LongLabel);
    return defaultLabel();
}

void QualityPreference::Repair()
{
    for (std::size_t i = 0; i < Places.size(); ++i)
        if (Places[i] > 7)
            Places[i] = kDefaultOrder[i];
}

QString QualityPreference::QualityCaptionFor(bool prefer) const
{
    if (!prefer)
        return defaultLabel();
    QStringList labels;
    for (std::uint8_t v : Places) {
        const QualityKind *k = QualityKindOf(v);
        labels << (k ? QString::fromLatin1(k->ShortLabel) : defaultLabel());
    }
    return QStringLiteral("Prefer: ") + labels.join(QStringLiteral(" > "));
}

QString QualityPreference::AttemptLabel(int attempt) const
{
    if (attempt == 0)
        return defaultLabel();
    if (attempt < 1 || attempt > 8)
        return QString();
    const QualityKind *k = QualityKindOf(Places[static_cast<std::size_t>(attempt - 1)]);
    return k ? QString::fromLatin1(k->ShortLabel) : defaultLabel();
}

QString QualityPreference::AttemptExtension(int attempt) const
{
    if (attempt < 1 || attempt > 8)
        return QStringLiteral(".flv");
    const QualityKind *k = QualityKindOf(Places[static_cast<std::size_t>(attempt - 1)]);
    return QString::fromLatin1(k ? k->Extension : ".flv");
}

QString QualityPreference::AttemptAddress(int attempt, const StreamTable &table) const
{
    if (attempt == 0)
        return table.Address(5);
    if (attempt < 1 || attempt > 8)
        return QString();
    const QualityKind *k = QualityKindOf(Places[static_cast<std::size_t>(attempt - 1)]);
    return k ? table.Address(k->Itag) : QString();
}

} // namespace quillor
