// Extraction throughput against cp and against a plain read/write loop: packs three files of
// 256 MiB together into a program file, then, round after round, extracts it, copies the same
// three files with cp and copies them with the loop, in a new random order each round so that
// none always follows another. All inputs are read back into the page cache alike before the
// first round, which warms the caches and is not counted. Each timed
// step writes into an empty folder and starts with no dirty pages left by the last, so that
// write-back of one does not land on the other. Prints medians with the lowest and highest
// time, and the ratios per round. Other work on the machine only ever adds time.
// Usage: extract_bench [work folder] [rounds (default 11)] [seed]
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "payload/extractor.h"
#include "payload/payload_writer.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr uint64_t MiB = 1024 * 1024;
const uint64_t kSizes[] = {160 * MiB, 64 * MiB + 12345, 32 * MiB - 12345};
const char* const kNames[] = {"package.msi", "transform_one.mst", "transform_two.mst"};

void WritePatternFile(const fs::path& path, uint64_t size, unsigned seed) {
    FILE* out = fopen(path.c_str(), "wb");
    if (!out) {
        perror(path.c_str());
        exit(1);
    }
    std::vector<unsigned char> piece(MiB);
    for (uint64_t done = 0; done < size;) {
        for (size_t i = 0; i < piece.size(); ++i) {
            piece[i] = static_cast<unsigned char>((done + i) * 2654435761u >> (seed + 3));
        }
        const size_t n = static_cast<size_t>(std::min<uint64_t>(piece.size(), size - done));
        fwrite(piece.data(), 1, n, out);
        done += n;
    }
    fclose(out);
}

ResultCode CopyTargets(int32_t, ExtractEvent* event, void*) {
    if (event->kind == EVENT_RESOLVE_TARGET) strcpy(event->target, event->path);
    return RESULT_OK;
}

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// The floor for any copy through user memory: read and write in 128 KiB pieces, no stdio.
void ReadWriteCopy(const fs::path& from, const fs::path& to) {
    static char piece[128 * 1024];
    FILE* in = fopen(from.c_str(), "rb");
    FILE* out = fopen(to.c_str(), "wb");
    const int in_fd = fileno(in), out_fd = fileno(out);
    ssize_t n;
    while ((n = read(in_fd, piece, sizeof piece)) > 0) {
        if (write(out_fd, piece, static_cast<size_t>(n)) != n) exit(1);
    }
    fclose(in);
    fclose(out);
}

// Drops a written file from the page cache and reads it back in. How a file was written shapes
// its cached pages: the program file, written through stdio in 64 KiB pieces behind a 4 KiB
// buffer, took a plain read loop 40% longer than sources written in 1 MiB pieces, and made
// extraction a fifth slower. Read back alike, every input is cached alike.
void RecacheInput(const fs::path& path) {
    const int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0 || posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED) != 0) {
        perror(path.c_str());
        exit(1);
    }
    static char piece[1024 * 1024];
    while (read(fd, piece, sizeof piece) > 0) {
    }
    close(fd);
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 != 0 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

void PrintSpread(const std::vector<double>& values, const char* form) {
    printf(" (");
    printf(form, *std::min_element(values.begin(), values.end()));
    printf(" to ");
    printf(form, *std::max_element(values.begin(), values.end()));
    printf(")");
}

enum Contestant { EXTRACT, CP, READ_WRITE, CONTESTANTS };
const char* const kContestantNames[] = {"extract", "cp", "read/write"};

}  // namespace

int main(int argc, char** argv) {
    const fs::path work = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "qjx_bench";
    const int rounds = argc > 2 ? atoi(argv[2]) : 11;
    if (rounds < 1) {
        fprintf(stderr, "usage: extract_bench [work folder] [rounds, at least 1] [seed]\n");
        return 2;
    }
    fs::remove_all(work);
    fs::create_directories(work / "sources");

    uint64_t total = 0;
    for (int i = 0; i < 3; ++i) {
        WritePatternFile(work / "sources" / kNames[i], kSizes[i], static_cast<unsigned>(i));
        total += kSizes[i];
    }
    const fs::path program = work / "program.exe";
    WritePatternFile(program, 4096, 7);  // stands in for the stub's image
    FILE* out = fopen(program.c_str(), "r+b");
    PayloadWriter writer;
    BeginPayload(&writer, out);
    for (const char* name : kNames) {
        FILE* source = fopen((work / "sources" / name).c_str(), "rb");
        AddFileEntry(&writer, (std::string("/") + name).c_str(), source,
                     fs::file_size(work / "sources" / name));
        fclose(source);
    }
    PayloadTrailer trailer;
    if (FinishPayload(&writer, 0, 4096, &trailer) != RESULT_OK) {
        fprintf(stderr, "packing failed\n");
        return 1;
    }
    fclose(out);
    sync();  // only clean pages leave the cache
    RecacheInput(program);
    for (const char* name : kNames) RecacheInput(work / "sources" / name);

    const fs::path dest = work / "extracted";
    const fs::path copies = work / "copies";
    const fs::path loop_copies = work / "loop_copies";
    const std::string dest_folder = dest.string() + "/";
    std::string cp = "cp";
    for (const char* name : kNames) cp += " '" + (work / "sources" / name).string() + "'";
    cp += " '" + copies.string() + "/'";

    const unsigned seed = argc > 3 ? static_cast<unsigned>(atoi(argv[3])) : std::random_device{}();
    std::mt19937 order_random(seed);
    std::vector<double> times[CONTESTANTS];
    std::vector<double> over_cp, over_loop;  // extraction's speed over the copy's, per round
    for (int round = 0; round <= rounds; ++round) {
        int order[CONTESTANTS] = {EXTRACT, CP, READ_WRITE};
        std::shuffle(order, order + CONTESTANTS, order_random);
        double seconds[CONTESTANTS];
        for (int contestant : order) {
            const fs::path& folder = contestant == EXTRACT ? dest
                                     : contestant == CP    ? copies
                                                           : loop_copies;
            // Every step starts from an empty folder, with no other step's files left behind.
            fs::remove_all(dest);
            fs::remove_all(copies);
            fs::remove_all(loop_copies);
            fs::create_directories(folder);
            sync();
            const Clock::time_point start = Clock::now();
            if (contestant == EXTRACT) {
                const ResultCode result = ExtractPayload(&trailer, program.c_str(),
                                                         dest_folder.c_str(), CopyTargets, nullptr);
                if (result != RESULT_OK) {
                    fprintf(stderr, "extraction failed: %d\n", result);
                    return 1;
                }
            } else if (contestant == CP) {
                if (system(cp.c_str()) != 0) {
                    fprintf(stderr, "cp failed\n");
                    return 1;
                }
            } else {
                for (const char* name : kNames)
                    ReadWriteCopy(work / "sources" / name, folder / name);
            }
            seconds[contestant] = Seconds(start);
            for (int i = 0; i < 3; ++i) {
                if (fs::file_size(folder / kNames[i]) != kSizes[i]) {
                    fprintf(stderr, "%s: %s has the wrong size\n", kContestantNames[contestant],
                            kNames[i]);
                    return 1;
                }
            }
        }
        printf("round %d%s: extract %.3f s, cp %.3f s, read/write %.3f s (%s, %s, %s)\n", round,
               round == 0 ? " (warm-up)" : "", seconds[EXTRACT], seconds[CP], seconds[READ_WRITE],
               kContestantNames[order[0]], kContestantNames[order[1]], kContestantNames[order[2]]);
        fflush(stdout);
        if (round == 0) continue;
        for (int contestant = 0; contestant < CONTESTANTS; ++contestant) {
            times[contestant].push_back(seconds[contestant]);
        }
        over_cp.push_back(seconds[CP] / seconds[EXTRACT]);
        over_loop.push_back(seconds[READ_WRITE] / seconds[EXTRACT]);
    }

    const double mib = static_cast<double>(total) / MiB;
    printf("payload %.0f MiB in 3 files, %d rounds after a warm-up, in random order (seed %u)\n",
           mib, rounds, seed);
    printf("median time (lowest to highest):");
    for (int contestant = 0; contestant < CONTESTANTS; ++contestant) {
        printf("%s %s %.3f s", contestant == 0 ? "" : ",", kContestantNames[contestant],
               Median(times[contestant]));
        PrintSpread(times[contestant], "%.3f");
    }
    printf("\nmedian speed: extract %.0f MiB/s, cp %.0f MiB/s, read/write %.0f MiB/s\n",
           mib / Median(times[EXTRACT]), mib / Median(times[CP]), mib / Median(times[READ_WRITE]));
    // cp copies inside the kernel (copy_file_range) where it can; a copy through user memory
    // cannot match that, so the plain read/write loop shows how close extraction comes to it.
    printf("extract/cp speed ratio          %.2f, per round",
           Median(times[CP]) / Median(times[EXTRACT]));
    PrintSpread(over_cp, "%.2f");
    printf("\nextract/(read/write) speed ratio %.2f, per round",
           Median(times[READ_WRITE]) / Median(times[EXTRACT]));
    PrintSpread(over_loop, "%.2f");
    printf(", median of the rounds' ratios %.2f\n", Median(over_loop));
    const auto fastest = [&](int contestant) {
        return *std::min_element(times[contestant].begin(), times[contestant].end());
    };
    printf("fastest runs: extract/cp %.2f, extract/(read/write) %.2f\n",
           fastest(CP) / fastest(EXTRACT), fastest(READ_WRITE) / fastest(EXTRACT));
    fs::remove_all(work);
    return 0;
}
