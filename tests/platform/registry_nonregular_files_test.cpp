#include "platform/registry/registry.h"
#include "platform/registry_testprefix.h"
#include "support/timescale.h"

#include <gtest/gtest.h>

#include <functional>
#include <sys/stat.h>

namespace {

using namespace std::chrono_literals;

struct HiveFile {
    std::string name;
    RegistryHive hive;
    std::string header;
};

// Registry files replaced by what is no regular file: refused at once (a wait
// would end only at the test's time limit), named in the message, left as
// they are, whether met at the first read or under a key opened before.
TEST(RegistrySpecialFiles, AreRefusedAtOnceWithTheFileNamed)
{
    const std::vector<std::pair<std::string, std::function<void(const std::filesystem::path&)>>> kinds{
        {"named pipe", [](const auto& file) { ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0); }},
        {"character device", [](const auto& file) { std::filesystem::create_symlink("/dev/zero", file); }},
        {"folder", [](const auto& file) { std::filesystem::create_directory(file); }},
        {"loop", [](const auto& file) { std::filesystem::create_symlink(file.filename(), file); }}};
    for (const auto& [said, make] : kinds) {
        for (const HiveFile& file : {HiveFile{"user.reg", RegistryHive::CurrentUser, UserRegHeader()},
                                     HiveFile{"system.reg", RegistryHive::LocalMachine, MachineRegHeader(false)}}) {
            const std::string& name = file.name;
            SCOPED_TRACE(name + " as " + said);
            TestPrefix prefix;
            prefix.Write(name, file.header + "\n[Software\\\\Zarn] 1\n");
            const Registry registry(prefix.Path());
            auto opened = registry.OpenKey(file.hive, "Software\\Zarn", RegistryAccess::ReadWrite);
            ASSERT_TRUE(opened);
            std::filesystem::remove(prefix.File(name));
            make(prefix.File(name));

            const auto start = std::chrono::steady_clock::now();
            for (const std::function<void()>& attempt : std::vector<std::function<void()>>{
                     [&] { Registry(prefix.Path()).OpenKey(file.hive, "Software"); }, [&] { opened->ReadValue("V"); },
                     [&] { opened->WriteString("V", "x"); }}) {
                try {
                    attempt();
                    ADD_FAILURE() << "accepted";
                } catch (const RegistryFileError& error) {
                    const std::string message = error.what();
                    EXPECT_TRUE(message.find("\"" + prefix.File(name).string() + "\"") != std::string::npos
                                && message.find(said) != std::string::npos) << message;
                }
            }
            EXPECT_LT(std::chrono::steady_clock::now() - start, Scaled(1s));
            EXPECT_NE(std::filesystem::symlink_status(prefix.File(name)).type(), std::filesystem::file_type::regular);
        }
    }
}

} // namespace
