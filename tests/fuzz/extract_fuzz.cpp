// The extractor over arbitrary payload bytes, in a scratch folder.
//
// Input: flags, stop, size delta, image length, then the payload.
//   flags bit 0: every file goes to one target outside the destination, and the run is compared
//                event by event, and by that target's final contents, with a byte-at-a-time
//                model of the extractor;
//   flags bits 1-2: payload_size is the payload's length, less the delta, more the delta, or
//                more 4 GiB.
//   flags bits 3-4: what an existing name means: overwrite (0), new tree (1 and 3), no
//                overwrite (2). The model knows the directories made so far and whether the one
//                target exists.
//   stop: the handler stops the extraction at that progress event (0: never).
// After every input nothing may exist outside the destination folder but the program file and
// the one target.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "payload/extractor.h"
#include "text/utf8.h"

namespace fs = std::filesystem;

#define CHECK(condition)                                                        \
    if (!(condition)) {                                                         \
        fprintf(stderr, "check failed at line %d: %s\n", __LINE__, #condition); \
        abort();                                                                \
    }

namespace {

constexpr ResultCode STOP_CODE = -4242;

fs::path g_root;
std::string g_program;
std::string g_dest;
std::string g_target;

struct Run {
    bool redirect = false;
    ExistingPolicy policy = EXISTING_REPLACED;
    int stop_at = 0;
    int progress_seen = 0;
    uint64_t last_done = 0;
    std::vector<std::string> events;
};

std::string Describe(const ExtractEvent& event) {
    switch (event.kind) {
        case EVENT_PROGRESS:
            return "progress " + std::to_string(event.bytes_done) + "/" +
                   std::to_string(event.bytes_total);
        case EVENT_ENTRY_BEGIN:
            return std::string("begin ") + event.path;
        case EVENT_RESOLVE_TARGET:
            return std::string("resolve ") + event.path;
        case EVENT_ERROR:
            return "error " + std::to_string(event.code) + " " + event.path;
    }
    return "unknown";
}

// The one answer both the extractor and the model get.
ResultCode Answer(Run* run, ExtractEvent* event) {
    run->events.push_back(Describe(*event));
    if (event->kind == EVENT_PROGRESS) {
        CHECK(event->bytes_done <= event->bytes_total);
        CHECK(event->bytes_done >= run->last_done);
        run->last_done = event->bytes_done;
        if (++run->progress_seen == run->stop_at) return STOP_CODE;
    }
    if (event->kind == EVENT_RESOLVE_TARGET) {
        strcpy(event->target, run->redirect ? g_target.c_str() : event->path);
    }
    return RESULT_OK;
}

ResultCode Handler(int32_t reserved, ExtractEvent* event, void* user) {
    CHECK(reserved == 0);
    return Answer(static_cast<Run*>(user), event);
}

// mkdir of g_dest + name as Linux answers it, in a destination that holds only the directories
// in made (their '/'-separated components; '\\' is a character of a name here), which it updates.
ResultCode ModelDirectory(std::set<std::string>* made, const char* name, ExistingPolicy policy) {
    std::string path, parent;
    for (const char* p = name; *p != 0;) {
        const char* end = strchr(p, '/');
        if (end == nullptr) end = p + strlen(p);
        if (end - p > 255) return RESULT_CANT_CREATE_FILE;  // a name too long for the system
        if (end != p) {
            parent = path;
            path += (path.empty() ? "" : "/") + std::string(p, end);
        }
        p = *end == 0 ? end : end + 1;
    }
    if (!parent.empty() && made->count(parent) == 0) return RESULT_CANT_CREATE_FILE;
    if (made->count(path) != 0) {
        return policy == EXISTING_REFUSED ? RESULT_ALREADY_EXISTS : RESULT_OK;
    }
    made->insert(path);
    return RESULT_OK;
}

// The extractor as it would be written one byte at a time, for files that all go to the one
// target: opened every time when overwriting, else only the first time. Returns its result;
// *contents: the target's final bytes.
ResultCode Model(const std::string& file, uint64_t offset, uint64_t payload_size, Run* run,
                 std::string* contents) {
    ResultCode error = RESULT_OK;
    auto send = [&](ExtractEvent event) { return Answer(run, &event); };
    auto fail = [&](ResultCode code, const char* path) {
        error = code;
        ExtractEvent event = {};
        event.kind = EVENT_ERROR;
        event.code = code;
        event.path = path;
        send(event);
    };
    uint64_t blocks = 0, block_pos = 512, header_pos = 0, entry_size = 0, written = 0;
    bool in_header = true, open = false, target_exists = false;
    std::set<std::string> made;
    char name[ENTRY_NAME_CAPACITY] = {};
    char path[MAX_PATH_BYTES] = {};
    char target[MAX_PATH_BYTES] = {};
    for (;;) {
        if (error) break;
        if (block_pos == 512 || blocks == 0) {
            if (blocks % 10 == 0) {
                ExtractEvent event = {};
                event.kind = EVENT_PROGRESS;
                event.bytes_done = blocks * 512;
                event.bytes_total = payload_size;
                const ResultCode stop = send(event);
                if (stop) {
                    error = stop;
                    break;
                }
            }
            blocks += 1;
            block_pos = 0;
        }
        const uint64_t consumed = (blocks - 1) * 512 + block_pos;
        if (consumed == payload_size) break;
        if (offset + consumed >= file.size()) {
            fail(RESULT_BAD_PAYLOAD, g_program.c_str());
            break;
        }
        const uint8_t byte = static_cast<uint8_t>(file[offset + consumed]);
        block_pos += 1;

        if (!in_header) {
            *contents += static_cast<char>(byte);
            if (++written == entry_size) {
                open = false;
                in_header = true;
            }
            continue;
        }
        if (header_pos < 8) {
            if (header_pos == 0) entry_size = 0;
            entry_size |= static_cast<uint64_t>(byte) << (8 * header_pos++);
            continue;
        }
        const size_t index = header_pos - 8;
        if (index == ENTRY_NAME_CAPACITY - 1 && byte != 0) {
            name[index] = 0;
            fail(RESULT_BAD_PAYLOAD, name);
            continue;
        }
        name[index] = static_cast<char>(byte);
        header_pos += 1;
        if (byte != 0) continue;
        if (g_dest.size() + strlen(name) >= MAX_PATH_BYTES) {
            fail(RESULT_BUFFER_TOO_SMALL, name);
            continue;
        }
        if (!IsSafeEntryName(name, entry_size == ENTRY_SIZE_DIRECTORY)) {
            fail(RESULT_UNSAFE_NAME, name);
            continue;
        }
        // The table of names no file may have, apart from the check itself.
        for (const char* p = name; *p != 0; ++p) {
            CHECK(static_cast<unsigned char>(*p) >= 0x20 && strchr("<>|*?\"", *p) == nullptr);
        }
        if (!IsValidUtf8(name)) {
            fail(RESULT_BAD_UTF8, name);
            continue;
        }
        // One separator between folder and name where both have one.
        snprintf(path, sizeof path, "%s%s", g_dest.c_str(), name + (name[0] == '/' ? 1 : 0));
        ExtractEvent event = {};
        event.kind = EVENT_ENTRY_BEGIN;
        event.path = path;
        if ((error = send(event)) != RESULT_OK) continue;
        header_pos = 0;
        if (entry_size == ENTRY_SIZE_DIRECTORY) {
            const ResultCode made_result = ModelDirectory(&made, name, run->policy);
            if (made_result != RESULT_OK && run->policy != EXISTING_REPLACED) {
                fail(made_result, path);
            }
            continue;
        }
        event.kind = EVENT_RESOLVE_TARGET;
        event.target = target;
        if ((error = send(event)) != RESULT_OK) continue;
        if (target_exists && run->policy != EXISTING_REPLACED) {
            fail(RESULT_ALREADY_EXISTS, target);
            continue;
        }
        target_exists = true;
        contents->clear();
        if (entry_size != 0) {
            open = true;
            in_header = false;
            written = 0;
        }
    }
    if (open && error == RESULT_OK) {
        fail(RESULT_BAD_PAYLOAD, g_target.c_str());
    } else if (!open && error == RESULT_OK && header_pos != 0) {
        fail(RESULT_BAD_PAYLOAD, g_program.c_str());
    }
    ExtractEvent event = {};
    event.kind = EVENT_PROGRESS;
    event.bytes_done = event.bytes_total = payload_size;
    send(event);
    return error;
}

std::string ReadAll(const std::string& path) {
    std::string bytes;
    FILE* in = fopen(path.c_str(), "rb");
    if (!in) return bytes;
    char piece[4096];
    size_t n;
    while ((n = fread(piece, 1, sizeof piece, in)) > 0) bytes.append(piece, n);
    fclose(in);
    return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // In memory where the machine has it: the run creates and removes files for every input.
    char folder[] = "/dev/shm/qjxfuzzXXXXXX";
    char fallback[] = "/tmp/qjxfuzzXXXXXX";
    const char* made = mkdtemp(folder);
    if (made == nullptr) made = mkdtemp(fallback);
    CHECK(made != nullptr);
    g_root = made;
    g_program = (g_root / "program.bin").string();
    g_target = (g_root / "target.bin").string();
    g_dest = (g_root / "dest").string() + "/";
    atexit([] {
        std::error_code ignored;
        fs::remove_all(g_root, ignored);
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    const uint8_t flags = data[0];
    const uint64_t delta = data[2];
    const uint64_t image = data[3] % 32;
    const std::string payload(reinterpret_cast<const char*>(data + 4), size - 4);
    const std::string file = std::string(image, 'M') + payload;

    PayloadTrailer trailer = {};
    trailer.payload_offset = static_cast<uint32_t>(image);
    trailer.payload_size = payload.size();
    switch ((flags >> 1) & 3) {
        case 1:
            trailer.payload_size -= delta < payload.size() ? delta : payload.size();
            break;
        case 2:
            trailer.payload_size += delta;
            break;
        case 3:
            trailer.payload_size += uint64_t{1} << 32;
            break;
    }

    std::error_code ignored;
    fs::remove_all(g_root / "dest", ignored);
    fs::remove(g_target, ignored);
    fs::create_directory(g_root / "dest");
    FILE* out = fopen(g_program.c_str(), "wb");
    CHECK(out != nullptr);
    fwrite(file.data(), 1, file.size(), out);
    fclose(out);

    static const ExistingPolicy POLICIES[] = {EXISTING_REPLACED, EXISTING_REFUSED,
                                              EXISTING_FOLDER_KEPT, EXISTING_REFUSED};
    Run run;
    run.redirect = flags & 1;
    run.policy = POLICIES[(flags >> 3) & 3];
    run.stop_at = data[1];
    const ResultCode result =
        ExtractPayload(&trailer, g_program.c_str(), g_dest.c_str(), Handler, &run, run.policy);
    CHECK(run.events.back() == "progress " + std::to_string(trailer.payload_size) + "/" +
                                   std::to_string(trailer.payload_size));

    // Nothing outside the destination but the program file and the one target.
    for (const fs::directory_entry& entry : fs::directory_iterator(g_root)) {
        const std::string name = entry.path().filename().string();
        CHECK(name == "dest" || name == "program.bin" || name == "target.bin");
        if (name == "target.bin") CHECK(run.redirect);
    }

    if (run.redirect) {
        Run model;
        model.redirect = true;
        model.policy = run.policy;
        model.stop_at = run.stop_at;
        std::string contents;
        const bool target_written = fs::exists(g_target);
        const ResultCode expected = Model(file, image, trailer.payload_size, &model, &contents);
        CHECK(result == expected);
        CHECK(run.events == model.events);
        if (target_written) CHECK(ReadAll(g_target) == contents);
    }
    return 0;
}
