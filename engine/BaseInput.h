// The base of every module's input class: turns the device's keys, hardware
// (joystick) buttons and, in full screen, taps on the on-screen pad into a
// word of emulated button bits, once per emulated frame. The subclass
// registers its key map (which key and which pad area set which emulated
// bit) and reads GetState.
#pragma once

#include <cstdint>
#include <vector>

namespace ZorvanEngine {

class Module;
class PadSkin;

class BaseInput {
public:
    // One emulated button. By the modules' convention records 0 to 3 are
    // the directions Up, Down, Left and Right.
    struct KeyRecord {
        uint32_t button;     // emulated button bit(s) set by this record
        uint32_t padMask;    // pad-skin control bits that press it
        int16_t virtualKey;  // virtual-key code
        int32_t hardwareKey; // hardware (joystick) button number
    };

    explicit BaseInput(Module *owner);
    virtual ~BaseInput();
    BaseInput(BaseInput const &) = delete;
    BaseInput &operator=(BaseInput const &) = delete;

    // Reads the input settings and turns the direction keys by the
    // display's rotation. The turn applies to what the records hold, so the
    // subclass registers its keys anew before each call.
    virtual void UpdateSettings();

    void ClearKeyMap() { m_keys.clear(); }
    void RegisterKey(int button, int padMask, short virtualKey, int hardwareKey);
    void Open();
    // Only for the engine's active module.
    void Close();
    void Pause();
    void Resume();
    // The emulated button bits now down.
    unsigned GetState();

    Module *m_module;
    uint32_t m_state;
    bool m_padTouch;
    bool m_polling;
    PadSkin *m_padSkin;
    std::vector<KeyRecord> m_keys;
};

} // namespace ZorvanEngine
