// Extraction throughput against cp: packs three files of 256 MiB together into a program file,
// then alternately extracts it and copies the same three files with cp, and prints the ratio of
// the best and of the median times. Each timed step starts with no dirty pages left by the
// last, so that write-back of one does not land on the other.
// Usage: extract_bench [work folder] [rounds]
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
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

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const fs::path work = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "qjx_bench";
    const int rounds = argc > 2 ? atoi(argv[2]) : 3;
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

    const std::string dest = (work / "extracted").string() + "/";
    const fs::path copies = work / "copies";
    std::string cp = "cp";
    for (const char* name : kNames) cp += " '" + (work / "sources" / name).string() + "'";
    cp += " '" + copies.string() + "/'";

    std::vector<double> extract_times, cp_times, floor_times;
    for (int round = 0; round < rounds; ++round) {
        fs::remove_all(dest);
        fs::create_directories(dest);
        sync();
        Clock::time_point start = Clock::now();
        const ResultCode result =
            ExtractPayload(&trailer, program.c_str(), dest.c_str(), CopyTargets, nullptr);
        const double extract = Seconds(start);
        if (result != RESULT_OK) {
            fprintf(stderr, "extraction failed: %d\n", result);
            return 1;
        }

        fs::remove_all(copies);
        fs::create_directories(copies);
        sync();
        start = Clock::now();
        if (system(cp.c_str()) != 0) {
            fprintf(stderr, "cp failed\n");
            return 1;
        }
        const double copy = Seconds(start);

        fs::remove_all(copies);
        fs::create_directories(copies);
        sync();
        start = Clock::now();
        for (const char* name : kNames) ReadWriteCopy(work / "sources" / name, copies / name);
        const double floor = Seconds(start);
        floor_times.push_back(floor);
        printf("round %d: extract %.3f s, cp %.3f s, read/write %.3f s\n", round + 1, extract, copy,
               floor);
        extract_times.push_back(extract);
        cp_times.push_back(copy);
    }
    for (int i = 0; i < 3; ++i) {
        if (fs::file_size(fs::path(dest) / kNames[i]) != kSizes[i]) {
            fprintf(stderr, "%s has the wrong size\n", kNames[i]);
            return 1;
        }
    }
    const double mib = static_cast<double>(total) / MiB;
    const double best_extract = *std::min_element(extract_times.begin(), extract_times.end());
    const double best_cp = *std::min_element(cp_times.begin(), cp_times.end());
    printf("payload %.0f MiB in 3 files, %d rounds\n", mib, rounds);
    printf("best:   extract %.0f MiB/s, cp %.0f MiB/s, extract/cp speed ratio %.2f\n",
           mib / best_extract, mib / best_cp, best_cp / best_extract);
    printf("median: extract %.0f MiB/s, cp %.0f MiB/s, extract/cp speed ratio %.2f\n",
           mib / Median(extract_times), mib / Median(cp_times),
           Median(cp_times) / Median(extract_times));
    // cp copies inside the kernel (copy_file_range) where it can; a copy through user memory
    // cannot match that, so the plain read/write loop shows how close extraction comes to it.
    printf("median: read/write %.0f MiB/s, extract/(read/write) speed ratio %.2f\n",
           mib / Median(floor_times), Median(floor_times) / Median(extract_times));
    fs::remove_all(work);
    return 0;
}
