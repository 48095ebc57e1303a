// A stand-in for whisper-cli and parakeet-cli, for the runner's tests. It behaves as
// whisper-cli unless it is started under the name "parakeet-cli" (tests link it there).
//
// It accepts exactly the options the real programs accept for Sorvane's command lines
// and refuses others the way they do: an "error:" line and the usage on standard error,
// then exit status 0 (as released engines do) or FAKE_SPEECH_ENGINE_ERROR_STATUS.
// The "audio" file holds the transcript itself; an unreadable one is refused likewise.
// A model file that cannot be read fails with status 3 and two diagnostic lines.
//
// Steered by the environment:
//   FAKE_SPEECH_ENGINE_RECORD        file that receives the arguments, each ended by NUL
//   FAKE_SPEECH_ENGINE_PROGRESS      comma-separated percentages, written as progress lines
//                                    (whisper with --print-progress only; may pass 100)
//   FAKE_SPEECH_ENGINE_STDERR        text written to standard error before exiting
//   FAKE_SPEECH_ENGINE_EXIT_STATUS   exit status after a run (default 0)
//   FAKE_SPEECH_ENGINE_ERROR_STATUS  exit status after a refusal (default 0)
//   FAKE_SPEECH_ENGINE_SIGNAL        signal number to die by after writing everything
//   FAKE_SPEECH_ENGINE_UNKNOWN       comma-separated options this build does not know
//                                    (an older engine)
//   FAKE_SPEECH_ENGINE_ENVIRONMENT   file that receives its environment, each entry ended by NUL
//   FAKE_SPEECH_ENGINE_TRANSCRIPT    the transcript to give instead of the audio file's content
//                                    (the file must still be readable), for real recordings
//   FAKE_SPEECH_ENGINE_AUDIO_COPY    file that receives a copy of the audio file it was given
//   FAKE_SPEECH_ENGINE_PID_FILE      file that receives its process id once it has read its input
//   FAKE_SPEECH_ENGINE_EXIT_STAMP    file that receives CLOCK_MONOTONIC in nanoseconds just before it exits
//   FAKE_SPEECH_ENGINE_HOLD          when set, it waits there until it is killed
//   FAKE_SPEECH_ENGINE_HELPER_PID_FILE  file that receives the id of a helper process it
//                                    starts first, which waits until it is killed
//   FAKE_SPEECH_ENGINE_FLOOD         bytes of text written to standard output before the
//                                    transcript

#include <csignal>
#include <ctime>
#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string environment(const char *name)
{
    const char *value = std::getenv(name);
    return value ? value : "";
}

int numberFromEnvironment(const char *name, int fallback)
{
    const std::string value = environment(name);
    return value.empty() ? fallback : std::atoi(value.c_str());
}

bool readFile(const std::string &path, std::string &content)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return false;
    content.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return !file.bad();
}

[[noreturn]] void refuse(const std::string &program, const std::string &message)
{
    std::fprintf(stderr, "error: %s\n", message.c_str());
    std::fprintf(stderr, "\nusage: %s [options] file0 file1 ...\n", program.c_str());
    std::fprintf(stderr, "  -h,        --help              show this help message and exit\n");
    std::exit(numberFromEnvironment("FAKE_SPEECH_ENGINE_ERROR_STATUS", 0));
}

} // namespace

int main(int argc, char *argv[])
{
    std::string program = argv[0];
    if (const auto slash = program.rfind('/'); slash != std::string::npos)
        program = program.substr(slash + 1);
    const bool parakeet = program == "parakeet-cli";

    if (const std::string record = environment("FAKE_SPEECH_ENGINE_ENVIRONMENT"); !record.empty()) {
        std::ofstream out(record, std::ios::binary | std::ios::trunc);
        for (char **entry = environ; *entry; ++entry)
            out << *entry << '\0';
    }
    if (const std::string record = environment("FAKE_SPEECH_ENGINE_RECORD"); !record.empty()) {
        std::ofstream out(record, std::ios::binary | std::ios::trunc);
        for (int i = 1; i < argc; ++i)
            out << argv[i] << '\0';
    }

    const std::set<std::string> valueOptions = parakeet
        ? std::set<std::string>{"--model", "--file", "--threads"}
        : std::set<std::string>{"-m", "--model", "-f", "--file", "-l", "--language", "-t", "--threads", "--prompt"};
    const std::set<std::string> flags = parakeet
        ? std::set<std::string>{"--no-prints"}
        : std::set<std::string>{"-nt", "--no-timestamps", "-np", "--no-prints", "-pp", "--print-progress",
                                "-sns", "--suppress-nst"};

    std::set<std::string> unknown;
    std::stringstream unknownList(environment("FAKE_SPEECH_ENGINE_UNKNOWN"));
    for (std::string option; std::getline(unknownList, option, ',');)
        unknown.insert(option);

    std::string modelPath, audioPath;
    bool noTimestamps = false, printProgress = false;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (unknown.count(argument)) {
            refuse(program, "unknown argument: " + argument);
        } else if (valueOptions.count(argument)) {
            if (i + 1 >= argc)
                refuse(program, "missing value for " + argument);
            const std::string value = argv[++i];
            if (argument == "-m" || argument == "--model")
                modelPath = value;
            else if (argument == "-f" || argument == "--file")
                audioPath = value;
        } else if (flags.count(argument)) {
            noTimestamps = noTimestamps || argument == "-nt" || argument == "--no-timestamps";
            printProgress = printProgress || argument == "-pp" || argument == "--print-progress";
        } else {
            refuse(program, "unknown argument: " + argument);
        }
    }

    std::string model;
    if (!readFile(modelPath, model)) {
        std::fprintf(stderr, "whisper_init_from_file_with_params_no_state: failed to open '%s'\n", modelPath.c_str());
        std::fprintf(stderr, "error: failed to initialize whisper context\n");
        return 3;
    }
    std::string transcript;
    if (audioPath.empty() || !readFile(audioPath, transcript))
        refuse(program, "failed to read audio file '" + audioPath + "'");
    if (const std::string copy = environment("FAKE_SPEECH_ENGINE_AUDIO_COPY"); !copy.empty())
        std::ofstream(copy, std::ios::binary | std::ios::trunc) << transcript;
    if (const char *given = std::getenv("FAKE_SPEECH_ENGINE_TRANSCRIPT"))
        transcript = given;

    if (const std::string helperFile = environment("FAKE_SPEECH_ENGINE_HELPER_PID_FILE"); !helperFile.empty()) {
        // Like an engine's worker: it inherits the engine's process group.
        const pid_t helper = fork();
        if (helper == 0) {
            for (;;)
                pause();
        }
        const std::string partial = helperFile + ".partial";
        std::ofstream(partial, std::ios::trunc) << helper << '\n';
        std::rename(partial.c_str(), helperFile.c_str());
    }
    if (const std::string pidFile = environment("FAKE_SPEECH_ENGINE_PID_FILE"); !pidFile.empty()) {
        // Written whole under another name first, so a reader never sees half a number.
        const std::string partial = pidFile + ".partial";
        std::ofstream(partial, std::ios::trunc) << getpid() << '\n';
        std::rename(partial.c_str(), pidFile.c_str());
    }
    if (std::getenv("FAKE_SPEECH_ENGINE_HOLD")) {
        for (;;)
            pause();
    }

    if (!parakeet && printProgress) {
        std::stringstream percentages(environment("FAKE_SPEECH_ENGINE_PROGRESS"));
        for (std::string percent; std::getline(percentages, percent, ',');) {
            std::fprintf(stderr, "whisper_print_progress_callback: progress = %3d%%\n", std::atoi(percent.c_str()));
            std::fflush(stderr);
        }
    }

    const auto write = [](const std::string &text) { std::fwrite(text.data(), 1, text.size(), stdout); };
    if (const long long flood = std::atoll(environment("FAKE_SPEECH_ENGINE_FLOOD").c_str()); flood > 0) {
        const std::string block(64 * 1024, 'a');
        for (long long left = flood; left > 0; left -= static_cast<long long>(block.size()))
            write(left < static_cast<long long>(block.size()) ? block.substr(0, static_cast<size_t>(left)) : block);
    }
    if (parakeet)
        write(transcript + "\n");
    else if (noTimestamps)
        write("\n" + transcript); // a blank line, then the text without a final newline
    else
        write("[00:00:00.000 --> 00:00:02.000]  " + transcript + "\n");
    std::fflush(stdout);

    const std::string extra = environment("FAKE_SPEECH_ENGINE_STDERR");
    std::fputs(extra.c_str(), stderr);
    std::fflush(stderr);

    if (const int signalNumber = numberFromEnvironment("FAKE_SPEECH_ENGINE_SIGNAL", 0)) {
        std::signal(signalNumber, SIG_DFL);
        std::raise(signalNumber);
    }
    if (const std::string stamp = environment("FAKE_SPEECH_ENGINE_EXIT_STAMP"); !stamp.empty()) {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        std::ofstream(stamp, std::ios::trunc) << (static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec);
    }
    return numberFromEnvironment("FAKE_SPEECH_ENGINE_EXIT_STATUS", 0);
}
