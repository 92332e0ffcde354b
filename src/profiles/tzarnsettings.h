#pragma once

#include "platform/registry/registry.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

// Save refused because Wine programs of the prefix run: Wine would write its
// own copy of the registry back over the profile. Nothing was written and
// the profile is still modified, so the user can close the game and save
// again. The message says so, naming the prefix and, where they could be
// found, the programs to close.
class TWineRunningException : public std::runtime_error {
public:
    TWineRunningException(const std::filesystem::path& prefix, const std::vector<std::string>& programs);
    const std::filesystem::path& Prefix() const { return prefix_; }
    const std::vector<std::string>& Programs() const { return programs_; }

private:
    std::filesystem::path prefix_;
    std::vector<std::string> programs_;
};

// A save that did not reach the registry file: the file could not be
// written, or the profile's key is gone. The profile is still modified.
// The message names the file and the reason.
class TProfileSaveError : public std::runtime_error {
public:
    TProfileSaveError(const std::filesystem::path& file, const std::string& reason);
    const std::filesystem::path& File() const { return file_; }
    const std::string& Reason() const { return reason_; }

private:
    std::filesystem::path file_;
    std::string reason_;
};

// One player profile of the game, kept in the per-user registry as a key
// holding "Name" (text), "Char" (4 bytes: the character code) and "Color"
// (4 bytes: one palette index per colour). The stored form is the game's
// own. Strings are in the registry's code page, as the game keeps them.
class TZarnSettings {
public:
    // The character codes the game uses.
    static constexpr std::int32_t Zarn = 55;
    static constexpr std::int32_t Pock = 89;
    static constexpr std::int32_t Vani = 61;

    // An empty profile (no key, character 0, colours 0) in the registry of
    // the default Wine prefix, or of `registry`.
    TZarnSettings();
    explicit TZarnSettings(Registry registry);

    // The profile's key below HKEY_CURRENT_USER, e.g. "\Software\Krell
    // Playware\Zarn Tumblewick 2\1.24\Player1". Empty means no profile:
    // Load and Save then do nothing. Assigning it loads nothing.
    std::string KeyPath;

    // Reads the profile from KeyPath; clears Modified. Never throws:
    // a missing key gives character 0 and colours 0; absent values give
    // character 55 and colours 16, 24, 32, 40; a value of the wrong type or
    // size ends the reading there, keeping what came before.
    void Load();

    // Writes "Name", "Char" and "Color", in this order, into the existing
    // key (never creating one) and clears Modified.
    //
    // Wine's server of the prefix stays a few seconds after its last program
    // has ended; Save waits for it to go (a few seconds at most), calling
    // `whileWaiting` between its looks. Throws TWineRunningException,
    // writing nothing and keeping Modified, while Wine programs of the prefix
    // run. Throws TProfileSaveError, keeping Modified, when the key is gone or
    // the file cannot be written; the values written before the failure stay.
    void Save(const std::function<void()>& whileWaiting = {});

    std::int32_t Character() const { return character_; }
    const std::string& Name() const { return name_; }
    // True once a setter changed a value since the last Load or Save.
    bool Modified() const { return modified_; }

    void SetName(const std::string& name);
    void SetCharacter(std::int32_t character);

    // Colours 1 to 4; another index throws std::out_of_range with the
    // message "Index is not within the valid range of 1..4".
    std::int32_t GetColor(int index) const;
    void SetColor(int index, std::int32_t value);

private:
    static void CheckColorIndex(int index);
    void ReadValues(const RegistryKey& key, std::uint32_t& colorWord);
    void WriteValues(RegistryKey& key) const;

    Registry registry_;
    std::int32_t character_ = 0;
    std::string name_;
    bool modified_ = false;
    std::array<std::int32_t, 4> color_{};
};
