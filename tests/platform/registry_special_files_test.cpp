// Registry files replaced by things that are no regular files: each is
// refused at once with a message naming the file and saying what it is, and
// is left as it was.
#include "platform/registry/registry.h"
#include "platform/registry_testprefix.h"
#include "support/timescale.h"

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

const std::string ProfileKey = "Software\\Krell Playware\\Zarn Tumblewick 2\\1.24\\Player1";
const std::string ProfileSection = "\n[Software\\\\Krell Playware\\\\Zarn Tumblewick 2\\\\1.24\\\\Player1] 1\n";

// What `operation` threw, run in a child process so that an operation that
// hangs is cut off after `limit`: "(hung)" then, "(no error)" if it ends
// without throwing RegistryFileError.
std::string ErrorWithin(std::chrono::milliseconds limit, const std::function<void()>& operation)
{
    int channel[2];
    if (::pipe(channel) != 0)
        return "(no pipe)";
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        std::string result = "(no error)";
        try {
            operation();
        } catch (const RegistryFileError& error) {
            result = error.what();
        } catch (const std::exception& error) {
            result = std::string("(other error) ") + error.what();
        }
        (void)!::write(channel[1], result.data(), result.size());
        ::_exit(0);
    }
    ::close(channel[1]);
    std::string result;
    pollfd ready{channel[0], POLLIN, 0};
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left <= 0ms || ::poll(&ready, 1, static_cast<int>(left.count())) <= 0) {
            ::kill(child, SIGKILL);
            result = "(hung)";
            break;
        }
        char buffer[4096];
        const ssize_t n = ::read(channel[0], buffer, sizeof buffer);
        if (n <= 0)
            break;
        result.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(channel[0]);
    ::waitpid(child, nullptr, 0);
    return result;
}

struct SpecialFile {
    const char* kind;
    const char* said;  // what the message calls it
    std::function<void(const std::filesystem::path&)> make;
};

const std::vector<SpecialFile> SpecialFiles{
    {"named pipe", "named pipe (FIFO)", [](const std::filesystem::path& file) { ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0); }},
    {"device", "character device",
     [](const std::filesystem::path& file) { std::filesystem::create_symlink("/dev/zero", file); }},
    {"folder", "a folder", [](const std::filesystem::path& file) { std::filesystem::create_directory(file); }},
    {"link loop", "loop", [](const std::filesystem::path& file) { std::filesystem::create_symlink(file.filename(), file); }},
};

TEST(RegistrySpecialFiles, AreRefusedAtOnceWithTheFileNamed)
{
    struct Case {
        const char* file;
        RegistryHive hive;
        std::string header;
    };
    for (const Case& hive : {Case{"user.reg", RegistryHive::CurrentUser, UserRegHeader()},
                             Case{"system.reg", RegistryHive::LocalMachine, MachineRegHeader(false)}}) {
        for (const SpecialFile& special : SpecialFiles) {
            SCOPED_TRACE(std::string(hive.file) + " as " + special.kind);
            TestPrefix prefix;
            const std::filesystem::path file = prefix.File(hive.file);
            special.make(file);
            const auto before = std::filesystem::symlink_status(file).type();

            // Read at start-up: the first look at the file.
            const std::string onOpen = ErrorWithin(Scaled(1s), [&] {
                Registry(prefix.Path()).OpenKey(hive.hive, "Software");
            });
            EXPECT_NE(onOpen.find("\"" + file.string() + "\""), std::string::npos) << onOpen;
            EXPECT_NE(onOpen.find(special.said), std::string::npos) << onOpen;

            // Swapped in under a key that is already open, as between loading
            // a profile and saving it.
            std::filesystem::rename(file, prefix.File("special"));
            prefix.Write(hive.file, hive.header + ProfileSection + "\"Name\"=\"x\"\n");
            const Registry registry(prefix.Path());
            std::optional<RegistryKey> key = registry.OpenKey(hive.hive, ProfileKey, RegistryAccess::ReadWrite);
            ASSERT_TRUE(key);
            std::filesystem::remove(file);
            std::filesystem::rename(prefix.File("special"), file);
            for (const auto& [operation, run] : std::vector<std::pair<const char*, std::function<void()>>>{
                     {"read", [&] { key->ReadValue("Name"); }},
                     {"write", [&] { key->WriteString("Name", "y"); }},
                     {"list", [&] { key->SubkeyNames(); }}}) {
                const std::string refusal = ErrorWithin(Scaled(1s), run);
                EXPECT_NE(refusal.find(file.string()), std::string::npos) << operation << ": " << refusal;
                EXPECT_NE(refusal.find(special.said), std::string::npos) << operation << ": " << refusal;
            }
            EXPECT_EQ(std::filesystem::symlink_status(file).type(), before);
        }
    }
}

} // namespace
