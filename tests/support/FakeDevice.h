// A device whose answers a test sets.
#pragma once

#include <optional>
#include <string>

#include "platform/Device.h"

class FakeDevice : public platform::Device {
 public:
  std::string version = "4.2.1";
  std::string kernel = "6.1.0";
  std::string modelName = "Phone";
  std::string machine = "Phone3,1";
  std::optional<platform::InterfaceIdiom> idiom = platform::InterfaceIdiom::Phone;

  std::string systemVersion() const override { return version; }
  std::string kernelVersion() const override { return kernel; }
  std::string model() const override { return modelName; }
  std::string machineName() const override { return machine; }
  std::optional<platform::InterfaceIdiom> interfaceIdiom() const override { return idiom; }
};
