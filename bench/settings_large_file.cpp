// A settings file of many megabytes of blank lines with the settings at its
// end: how long the main window takes to read it at start-up and to write it
// on close, and how much memory each takes at its peak.
//
//   bench_settings_large_file [megabytes=10]
//
// Each of the two runs in a child process of its own, so that one's peak
// memory does not hide the other's. Exits with 1 when the settings read or
// write back wrongly.

#include "app/form1.h"
#include "app/quimbrelapplication.h"
#include "app/startup.h"

#include <QCheckBox>
#include <QRadioButton>
#include <QTemporaryDir>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

long PeakKilobytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// In the child: the window is made with a small file, then the large one is
// read (open) or written (close) once more on its own.
int Measure(bool open, const std::string& small, const std::string& large, int argc, char** argv)
{
    qputenv("QUIMBREL_INI", small.c_str());
    QuimbrelApplication app(argc, argv);
    MainWindows windows = CreateMainWindows();
    TForm1& form = *windows.form1;
    form.cbEnableSpy->setChecked(true);
    form.rbWindowd->setChecked(true);
    qputenv("QUIMBREL_INI", large.c_str());

    const long peakBefore = PeakKilobytes();
    const auto start = Clock::now();
    bool right = true;
    if (open) {
        form.ReadIniFile();
        right = !form.cbEnableSpy->isChecked() && form.rbFullScreen->isChecked();
    } else {
        form.WriteIniFile();
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const long peakAfter = PeakKilobytes();
    std::printf("%-5s %6.2f s, peak memory %5.1f MB (%5.1f MB above the window's own)\n", open ? "open" : "close",
                seconds, peakAfter / 1024.0, (peakAfter - peakBefore) / 1024.0);
    std::fflush(stdout);
    return right ? 0 : 1;
}

bool RunChild(bool open, const std::string& small, const std::string& large, int argc, char** argv)
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(Measure(open, small, large, argc, argv));
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace

int main(int argc, char** argv)
{
    const long megabytes = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 10;
    if (megabytes < 1 || megabytes > 15) {
        std::fprintf(stderr, "usage: %s [megabytes=10, at most 15]\n", argv[0]);
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir scratch;
    qputenv("WINEPREFIX", scratch.path().toLocal8Bit());
    const std::string small = (scratch.path() + "/small.ini").toStdString();
    const std::string large = (scratch.path() + "/Quimbrel.ini").toStdString();

    const std::string settings = "[Config]\r\nSpy=0\r\nDispMode=Fullscreen\r\n";
    std::string text;
    text.reserve((static_cast<std::size_t>(megabytes) << 20) + settings.size());
    while (text.size() < (static_cast<std::size_t>(megabytes) << 20))
        text += "\r\n";
    text += settings;
    WriteFile(large, text);
    std::printf("%zu bytes of blank lines, then the settings\n", text.size() - settings.size());
    std::fflush(stdout);

    bool right = RunChild(true, small, large, argc, argv);
    right = RunChild(false, small, large, argc, argv) && right;

    // The close kept every byte and added the other keys after the two.
    const std::string after = ReadFile(large);
    right = right && after.size() > text.size() && after.compare(0, text.size() - settings.size(), text, 0, text.size() - settings.size()) == 0 &&
            after.find("MainX=") != std::string::npos;
    if (!right)
        std::fprintf(stderr, "wrong: the settings did not read or write back as they should\n");
    return right ? 0 : 1;
}
