// Probes every file in a folder (recursively) the way the file list does when a folder is
// added: pick the reader by kind, open, read the list's columns, close. Prints files per second.
#include <chrono>
#include <ctime>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "audio/AudioSource.h"
#include "audio/DecoderStartup.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    tonvela::CDecoderSession session;
    if (session.result() != tonvela::DecoderStartResult::Ok) return 1;
    std::vector<std::string> paths;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(argv[1], ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
        if (it->is_regular_file()) paths.push_back(it->path().string());

    const auto start = std::chrono::steady_clock::now();
    // CPU time too: on a busy machine the wall clock says more about the neighbours.
    const std::clock_t cpuStart = std::clock();
    int accepted = 0;
    long long seconds = 0;
    std::map<std::string, int> refusedByExt;
    for (const std::string& path : paths) {
        const tonvela::AudioKind kind = tonvela::AudioKindFromPath(path);
        const std::unique_ptr<tonvela::CAudioSource> src = tonvela::OpenAudioSource(path, kind, 0);
        if (!src) {
            ++refusedByExt[std::filesystem::path(path).extension().string()];
            continue;
        }
        ++accepted;
        seconds += src->GetDuration();
        // The list's columns: duration, rate, bit rate, channels.
        if (src->GetSampleRate() <= 0 || src->GetChannels() <= 0 || src->GetBitRate() < 0) return 1;
    }
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpu = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    const double count = static_cast<double>(paths.size());
    std::printf("%zu files probed in %.3f s wall, %.3f s cpu: %.1f files/s (%.1f per cpu second); %d accepted (%lld s of audio)\n",
                paths.size(), elapsed, cpu, elapsed > 0 ? count / elapsed : 0.0, cpu > 0 ? count / cpu : 0.0, accepted, seconds);
    for (const auto& [ext, n] : refusedByExt) std::printf("  refused: %d x '%s'\n", n, ext.c_str());
    return 0;
}
