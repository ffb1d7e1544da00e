#include "ui/TvSound.h"

#include <QApplication>
#include <alsa/asoundlib.h>
#include <canberra.h>
#include <utility>

namespace tv {

namespace {

// ALSA's library writes its diagnostics (eight lines for one sound on a machine without a sound
// card) to standard error unless a handler is set. The program learns of a failed sound from
// libcanberra's answer and beeps instead, so those lines would only fill the user's session log.
void SilentAlsaError(const char*, int, const char*, int, const char*, ...) {}

// Plays the freedesktop sound-theme events; beeps when there is no sound system to play them.
class TDesktopSound : public ISoundPlayer {
public:
    ~TDesktopSound() override {
        if (context_ != nullptr) {
            ca_context_destroy(context_);
        }
    }

    void Exclamation() override { Play("dialog-warning", "Warning"); }
    void Asterisk() override { Play("dialog-information", "Information"); }

private:
    void Play(const char* eventId, const char* description) {
        if (!triedCreate_) {
            triedCreate_ = true;
            snd_lib_error_set_handler(&SilentAlsaError);
            if (ca_context_create(&context_) != CA_SUCCESS) {
                context_ = nullptr;
            } else if (ca_context_change_props(context_, CA_PROP_APPLICATION_NAME, "Tenvari",
                                               nullptr) != CA_SUCCESS ||
                       ca_context_open(context_) != CA_SUCCESS) {
                // Without a sound driver every later attempt would fail the same way.
                ca_context_destroy(context_);
                context_ = nullptr;
            }
        }
        if (context_ == nullptr ||
            ca_context_play(context_, 0, CA_PROP_EVENT_ID, eventId, CA_PROP_EVENT_DESCRIPTION,
                            description, nullptr) != CA_SUCCESS) {
            QApplication::beep();
        }
    }

    ca_context* context_ = nullptr;
    bool triedCreate_ = false;
};

std::unique_ptr<ISoundPlayer>& InstalledPlayer() {
    static std::unique_ptr<ISoundPlayer> player;
    return player;
}

} // namespace

ISoundPlayer& Sound() {
    if (InstalledPlayer()) {
        return *InstalledPlayer();
    }
    static TDesktopSound desktop;
    return desktop;
}

void SetSoundPlayer(std::unique_ptr<ISoundPlayer> player) {
    InstalledPlayer() = std::move(player);
}

} // namespace tv
