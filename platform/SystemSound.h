// Short sounds played without waiting, as the phone's system sounds.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>

namespace platform {

using SystemSoundID = std::uint32_t;
// The phone's vibration, which the desktop stands in for with its bell.
inline constexpr SystemSoundID kSystemSoundIDVibrate = 0xFFF;

class SystemSound {
 public:
  // Registers the sound file at `path`; nullopt when it is not a readable file.
  static std::optional<SystemSoundID> create(const std::filesystem::path& path);
  // Starts playing and returns at once; plays of one sound may overlap. An
  // unknown identifier plays nothing; kSystemSoundIDVibrate vibrates.
  static void play(SystemSoundID sound);
  static void dispose(SystemSoundID sound);
};

}  // namespace platform
