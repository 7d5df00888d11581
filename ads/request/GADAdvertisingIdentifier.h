// The application's advertising identifier: 128 random bits made on first
// use and kept in one file of the user's data folder for this application,
// so that it names this application for this user and nothing wider (no
// other program, user or installation shares it, and nothing of the machine
// goes into it). A file that cannot be read or holds no identifier is
// replaced by a new one, with one log line. When the file cannot be
// written, the identifier lives in memory until the process ends. Main
// thread only.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

class GADAdvertisingIdentifier {
 public:
  // The file in the user's data folder; nullopt when there is no folder.
  static std::optional<std::filesystem::path> defaultFile();

  explicit GADAdvertisingIdentifier(std::optional<std::filesystem::path> file);

  // 32 uppercase hexadecimal digits, never all zeros; read or made on first
  // use.
  const std::string& value();
  // A new identifier replaces the old one, in memory and in the file.
  void reset();

  // Whether `text` is an identifier as this class writes it.
  static bool isWellFormed(const std::string& text);

 private:
  static std::string random();
  void store();

  std::optional<std::filesystem::path> file_;
  std::optional<std::string> value_;
};
