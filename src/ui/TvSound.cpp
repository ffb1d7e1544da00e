#include "ui/TvSound.h"

#include <QApplication>
#include <alsa/asoundlib.h>
#include <canberra.h>
#include <dlfcn.h>
#include <utility>

namespace tv {

namespace {

// ALSA's library writes its diagnostics (eight lines for one sound on a machine without a sound
// card) to standard error unless a handler is set. The program learns of a failed sound from
// libcanberra's answer and beeps instead, so those lines would only fill the user's session log.
void SilentAlsaError(const char*, int, const char*, int, const char*, ...) {}

// A function of a library opened at run time, or nullptr.
template <class F> F* Symbol(void* library, const char* name) {
    return library != nullptr ? reinterpret_cast<F*>(dlsym(library, name)) : nullptr;
}

// libcanberra and ALSA's library, opened at the first sound rather than at every start: with
// what they load in turn (the Vorbis and Ogg decoders, tdb, ltdl) they cost a start more than
// most sessions ever use them. The libraries stay loaded, as linked ones would.
struct TCanberra {
    TCanberra() {
        // Before libcanberra's ALSA driver can load the library, so that the handler is set in
        // the one copy the driver uses.
        if (auto* setHandler = Symbol<decltype(snd_lib_error_set_handler)>(
                dlopen("libasound.so.2", RTLD_NOW | RTLD_LOCAL), "snd_lib_error_set_handler")) {
            setHandler(&SilentAlsaError);
        }
        void* library = dlopen("libcanberra.so.0", RTLD_NOW | RTLD_LOCAL);
        create = Symbol<decltype(ca_context_create)>(library, "ca_context_create");
        changeProps = Symbol<decltype(ca_context_change_props)>(library, "ca_context_change_props");
        open = Symbol<decltype(ca_context_open)>(library, "ca_context_open");
        play = Symbol<decltype(ca_context_play)>(library, "ca_context_play");
        destroy = Symbol<decltype(ca_context_destroy)>(library, "ca_context_destroy");
    }

    bool Usable() const {
        return create != nullptr && changeProps != nullptr && open != nullptr && play != nullptr &&
               destroy != nullptr;
    }

    decltype(ca_context_create)* create = nullptr;
    decltype(ca_context_change_props)* changeProps = nullptr;
    decltype(ca_context_open)* open = nullptr;
    decltype(ca_context_play)* play = nullptr;
    decltype(ca_context_destroy)* destroy = nullptr;
};

// Plays the freedesktop sound-theme events; beeps when there is no sound system to play them.
class TDesktopSound : public ISoundPlayer {
public:
    ~TDesktopSound() override {
        if (context_ != nullptr) {
            canberra_->destroy(context_);
        }
    }

    void Exclamation() override { Play("dialog-warning", "Warning"); }
    void Asterisk() override { Play("dialog-information", "Information"); }

private:
    void Play(const char* eventId, const char* description) {
        if (!canberra_) {
            canberra_ = std::make_unique<TCanberra>();
            const TCanberra& ca = *canberra_;
            if (!ca.Usable() || ca.create(&context_) != CA_SUCCESS) {
                context_ = nullptr;
            } else if (ca.changeProps(context_, CA_PROP_APPLICATION_NAME, "Tenvari", nullptr) !=
                           CA_SUCCESS ||
                       ca.open(context_) != CA_SUCCESS) {
                // Without a sound driver every later attempt would fail the same way.
                ca.destroy(context_);
                context_ = nullptr;
            }
        }
        if (context_ == nullptr ||
            canberra_->play(context_, 0, CA_PROP_EVENT_ID, eventId, CA_PROP_EVENT_DESCRIPTION,
                            description, nullptr) != CA_SUCCESS) {
            QApplication::beep();
        }
    }

    std::unique_ptr<TCanberra> canberra_;
    ca_context* context_ = nullptr;
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
