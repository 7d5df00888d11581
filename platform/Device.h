// The device the application runs on. The real answers come from the host
// (os-release, uname); a test replaces them with a fake by
// subclassing and installing it with setCurrentForTesting.
#pragma once

#include <memory>
#include <optional>
#include <string>

namespace platform {

enum class InterfaceIdiom { Phone, Pad };

class Device {
 public:
  virtual ~Device() = default;

  static Device& current();
  // Installs `device` as the current one; null restores the host's.
  static void setCurrentForTesting(std::shared_ptr<Device> device);

  // The OS version text, for example "12" or "4.2.1" (os-release VERSION_ID,
  // else the leading numbers of the kernel release).
  virtual std::string systemVersion() const;
  // The kernel's version, the operating system's own: the leading numbers
  // of its release ("6.1.0"), whatever the distribution calls itself.
  virtual std::string kernelVersion() const;
  // The device model name. The desktop has no phone model: "Linux".
  virtual std::string model() const;
  // The hardware machine name (uname's machine, for example "x86_64").
  virtual std::string machineName() const;
  // The interface idiom; nullopt when the platform cannot report one. The
  // application runs as a phone application.
  virtual std::optional<InterfaceIdiom> interfaceIdiom() const;
  // The name of the current audio route ("Speaker", "Headphone", ...), or
  // nullopt when it cannot be read. The desktop gives no such name: the
  // host answers "Speaker".
  virtual std::optional<std::string> audioRouteName() const;
};

}  // namespace platform
