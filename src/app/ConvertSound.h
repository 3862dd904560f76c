#pragma once
// The finish sound of a conversion run, behind a seam: the window plays
// "done.wav" or "fail.wav" without waiting for it; tests replace the
// player and record which file was chosen.

#include <QString>

#include <functional>

namespace quillor {

using SoundPlayer = std::function<void(const QString &file)>;

// Replaces the player and returns the previous one; an empty player
// restores the default.
SoundPlayer setSoundPlayer(SoundPlayer player);

// Starts playing `file` and returns at once. A missing file sounds the
// desktop's default beep instead.
void PlaySoundFile(const QString &file);

} // namespace quillor
