#pragma once
// What the download flow takes from the application shell: the file-name
// rules of the shared routines and the quality order kept in the user
// settings. Used by the window and by quillor-cli alike.

#include "DownloadRun.h"
#include "QualityPreference.h"
#include "UserSettings.h"

namespace quillor {

// SanitizeFileName and UniqueFileName.
DownloadFileNaming ShellDownloadFileNaming();

// The flag and the eight places of the settings; values outside 0..7 take
// the default of their place.
QualityPreference PreferenceFromSettings(const UserSettings &settings);
void StorePreference(const QualityPreference &preference, UserSettings &settings);

} // namespace quillor
