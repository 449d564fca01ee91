// Extraction throughput of the core on the host, for tools/bench-archive.
#include "extractor.h"
#include "file_system.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char **argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: archive_bench ARCHIVE DEST_DIR [RUNS]\n");
        return 2;
    }
    const int runs = argc > 3 ? std::atoi(argv[3]) : 3;
    double best = 0;
    archive::ExtractSummary summary;
    for (int run = 0; run < runs; ++run) {
        archive::FileSource source;
        if (!source.open(argv[1])) {
            std::fprintf(stderr, "cannot open %s\n", argv[1]);
            return 1;
        }
        archive::DiskFileSystem fs;
        archive::ExtractOptions options;
        options.destination = std::string(argv[2]) + "/run" + std::to_string(run);
        options.overwrite = true;
        const auto start = std::chrono::steady_clock::now();
        const archive::Status status = archive::extractArchive(source, fs, options, {}, summary);
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        if (!status) {
            std::fprintf(stderr, "%s\n", archive::describe(status, summary).c_str());
            return 1;
        }
        if (run == 0 || elapsed.count() < best)
            best = elapsed.count();
    }
    const double megabytes = double(summary.bytes) / 1e6;
    std::printf("%.1f MB in %.3f s = %.1f MB/s (best of %d)\n", megabytes, best, megabytes / best,
                runs);
    return 0;
}
