#include "DownloadShared.h"

#include "UtilFuncs.h"

namespace quillor {

DownloadFileNaming ShellDownloadFileNaming()
{
    DownloadFileNaming naming;
    naming.Sanitize = [](const QString &name) { return SanitizeFileName(name); };
    naming.Unique = [](const QString &name, const QString &folder) { return UniqueFileName(name, folder); };
    return naming;
}

QualityPreference PreferenceFromSettings(const UserSettings &settings)
{
    QualityPreference p;
    p.Prefer = settings.PreferYouTubeQuality;
    p.Places = {settings.PreferYouTube1, settings.PreferYouTube2, settings.PreferYouTube3,
                settings.PreferYouTube4, settings.PreferYouTube5, settings.PreferYouTube6,
                settings.PreferYouTube7, settings.PreferYouTube18};
    p.Repair();
    return p;
}

void StorePreference(const QualityPreference &p, UserSettings &settings)
{
    settings.PreferYouTubeQuality = p.Prefer;
    settings.PreferYouTube1 = p.Places[0];
    settings.PreferYouTube2 = p.Places[1];
    settings.PreferYouTube3 = p.Places[2];
    settings.PreferYouTube4 = p.Places[3];
    settings.PreferYouTube5 = p.Places[4];
    settings.PreferYouTube6 = p.Places[5];
    settings.PreferYouTube7 = p.Places[6];
    settings.PreferYouTube18 = p.Places[7];
}

} // namespace quillor
