// The emulator's sound effects behind a small interface: the application plays them from
// memory, tests record them, a machine without audio plays nothing.
#pragma once

namespace mira::core {

enum class SoundId { Bell, BtDown, BtOff, Lnfd, Prnf, Prnp, Prnr, Punch, Rip, Swc, Tapin, Tpout };

class SoundPlayer {
public:
    virtual ~SoundPlayer() = default;
    // Starts the sound and returns at once.
    virtual void play(SoundId id) = 0;
    // Starts the sound over and over until stop() (the tape reader's feed); a player that
    // cannot loop plays it once.
    virtual void playLooping(SoundId id) { play(id); }
    // Stops the sound wherever it is; nothing when it is not playing.
    virtual void stop(SoundId /*id*/) {}
    // Whether a played sound is heard (an output device exists).
    virtual bool audible() const { return true; }
};

// The "Sound Effects" option in front of the player: nothing plays while it is off.
class SoundEffects {
public:
    bool enabled = true;

    void setPlayer(SoundPlayer* player) { player_ = player; }
    void play(SoundId id) {
        if (enabled && player_) player_->play(id);
    }
    void playLooping(SoundId id) {
        if (enabled && player_) player_->playLooping(id);
    }
    // A sound played now would be heard: the option is on and the player has a device.
    bool audible() const { return enabled && player_ && player_->audible(); }
    // A loop started before the option went off still stops.
    void stop(SoundId id) {
        if (player_) player_->stop(id);
    }

private:
    SoundPlayer* player_ = nullptr;
};

}  // namespace mira::core
