#pragma once

#include <memory>

namespace tv {

// The two system sounds the program uses: exclamation marks a failure, asterisk a completed
// clear or batch.
class ISoundPlayer {
public:
    virtual ~ISoundPlayer() = default;
    virtual void Exclamation() = 0;
    virtual void Asterisk() = 0;
};

// The player in use: libcanberra's "dialog-warning" and "dialog-information" events, falling
// back to QApplication::beep(), unless a test installed its own.
ISoundPlayer& Sound();

// Replaces the player (tests install a recorder); nullptr restores the desktop player.
void SetSoundPlayer(std::unique_ptr<ISoundPlayer> player);

} // namespace tv
