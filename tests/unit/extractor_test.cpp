#include "payload/extractor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "payload/payload_writer.h"
#include "scratch.h"

namespace {

constexpr char SEP = static_cast<char>(fs::path::preferred_separator);
constexpr uint64_t HEADER = ENTRY_SIZE_FIELD;

// An entry name in the payload's form: a leading separator, '/' standing for the platform's.
std::string Name(std::string relative) {
    for (char& c : relative) c = c == '/' ? SEP : c;
    return SEP + relative;
}

// Bytes that differ from their neighbours, so that a misplaced run shows.
std::string Pattern(size_t size, unsigned seed = 1) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 131 + seed * 7 + i / 251) & 0xFF);
    return bytes;
}

struct Entry {
    std::string name;
    std::string data;
    bool directory = false;
};

Entry File(const std::string& relative, std::string data) {
    return {Name(relative), data, false};
}
Entry Dir(const std::string& relative) {
    return {Name(relative), "", true};
}

// Records every event as a line of text and answers with what the test asks for.
struct Recorder {
    std::vector<std::string> events;
    std::function<ResultCode(const ExtractEvent&)> answer;
    std::string redirect;  // when set, EVENT_RESOLVE_TARGET yields this instead of the path
    int progress_events = 0;

    static ResultCode Handle(int32_t reserved, ExtractEvent* event, void* user) {
        Recorder* self = static_cast<Recorder*>(user);
        EXPECT_EQ(0, reserved);
        switch (event->kind) {
            case EVENT_PROGRESS:
                self->progress_events += 1;
                self->events.push_back("progress " + std::to_string(event->bytes_done) + "/" +
                                       std::to_string(event->bytes_total));
                break;
            case EVENT_ENTRY_BEGIN:
                self->events.push_back(std::string("begin ") + event->path);
                break;
            case EVENT_RESOLVE_TARGET:
                self->events.push_back(std::string("resolve ") + event->path);
                strcpy(event->target,
                       self->redirect.empty() ? event->path : self->redirect.c_str());
                break;
            case EVENT_ERROR:
                self->events.push_back("error " + std::to_string(event->code) + " " + event->path);
                break;
            default:
                self->events.push_back("unknown " + std::to_string(event->kind));
        }
        return self->answer ? self->answer(*event) : RESULT_OK;
    }
};

class ExtractorTest : public testing::Test {
  protected:
    ScratchFolder scratch;
    fs::path program = scratch.path() / "program.exe";
    fs::path dest_path = scratch.path() / "dest";
    std::string dest = Utf8(dest_path) + SEP;
    Recorder recorder;
    PayloadTrailer trailer = {};
    ExistingPolicy policy = EXISTING_REFUSED;

    void SetUp() override { fs::create_directory(dest_path); }

    // Writes a program file: an image of `image_size` bytes, the payload, and an aligned trailer.
    void Build(const std::vector<Entry>& entries, size_t image_size = 1000) {
        WriteBytes(program, "MZ" + Pattern(image_size - 2, 9));
        FILE* out = fopen(Utf8(program).c_str(), "r+b");
        ASSERT_NE(nullptr, out);
        PayloadWriter writer;
        BeginPayload(&writer, out);
        for (const Entry& entry : entries) {
            if (entry.directory) {
                AddDirectoryEntry(&writer, entry.name.c_str());
            } else {
                AddMemoryEntry(&writer, entry.name.c_str(), entry.data.data(), entry.data.size());
            }
        }
        ASSERT_EQ(RESULT_OK, FinishPayload(&writer, 0, 4096, &trailer));
        fclose(out);
    }

    // Writes a program file that ends with its payload, these bytes (the extractor is handed
    // the trailer and never looks for one).
    void BuildRaw(const std::string& payload) {
        WriteBytes(program, "MZ" + payload);
        trailer.payload_offset = 2;
        trailer.payload_size = payload.size();
    }

    ResultCode Extract() {
        return ExtractPayload(&trailer, Utf8(program).c_str(), dest.c_str(), Recorder::Handle,
                              &recorder, policy);
    }

    std::string Progress(uint64_t done) {
        return "progress " + std::to_string(done) + "/" + std::to_string(trailer.payload_size);
    }
    // The folder ends in a separator and every name starts with one: joined, they share it.
    std::string Joined(const std::string& name) { return dest + name.substr(1); }
    std::string Error(ResultCode code, const std::string& path) {
        return "error " + std::to_string(code) + " " + path;
    }
    std::string Contents(const std::string& relative) {
        return ReadBytes(FromUtf8(Joined(Name(relative))));
    }
    void EmptyDest() {
        fs::remove_all(dest_path);
        fs::create_directory(dest_path);
    }
};

std::string SizeField(uint64_t size) {
    std::string out;
    for (int i = 0; i < 8; ++i) out += static_cast<char>(size >> (8 * i));
    return out;
}

TEST_F(ExtractorTest, ExtractsDirectoriesFilesAndEmptyFilesInOrder) {
    Build({Dir("sub"), File("sub/a.txt", "hello"), File("empty", ""), Dir("sub/deeper"),
           File("sub/deeper/b.bin", Pattern(3000))});
    ASSERT_EQ(RESULT_OK, Extract());

    const std::vector<std::string> expected = {
        Progress(0),
        "begin " + Joined(Name("sub")),
        "begin " + Joined(Name("sub/a.txt")),
        "resolve " + Joined(Name("sub/a.txt")),
        "begin " + Joined(Name("empty")),
        "resolve " + Joined(Name("empty")),
        "begin " + Joined(Name("sub/deeper")),
        "begin " + Joined(Name("sub/deeper/b.bin")),
        "resolve " + Joined(Name("sub/deeper/b.bin")),
        Progress(trailer.payload_size),
    };
    EXPECT_EQ(expected, recorder.events);
    EXPECT_EQ("hello", Contents("sub/a.txt"));
    EXPECT_EQ("", Contents("empty"));
    EXPECT_EQ(Pattern(3000), Contents("sub/deeper/b.bin"));
    EXPECT_EQ(
        (std::vector<std::string>{"dest/", "dest/empty", "dest/sub/", "dest/sub/a.txt",
                                  "dest/sub/deeper/", "dest/sub/deeper/b.bin", "program.exe"}),
        ListTree(scratch.path()));
}

TEST_F(ExtractorTest, JoinedPathHasOneSeparator) {
    Build({File("x", "1")});
    ASSERT_EQ(RESULT_OK, Extract());
    EXPECT_EQ("begin " + Utf8(dest_path) + SEP + "x", recorder.events[1]);
}

TEST_F(ExtractorTest, EmptyPayloadReportsZeroOfZeroTwice) {
    Build({});
    ASSERT_EQ(0u, trailer.payload_size);
    EXPECT_EQ(RESULT_OK, Extract());
    EXPECT_EQ((std::vector<std::string>{"progress 0/0", "progress 0/0"}), recorder.events);
    EXPECT_TRUE(ListTree(dest_path).empty());
}

TEST_F(ExtractorTest, ProgressGoesOutBeforeEveryTenthBlock) {
    // payload size -> bytes_done of the progress events sent before blocks. A payload ending
    // exactly on a block boundary reads one more block, which can carry one more event.
    const struct {
        uint64_t size;
        std::vector<uint64_t> before_blocks;
    } cases[] = {
        {5119, {0}},       {5120, {0, 5120}},         {5121, {0, 5120}},  {5632, {0, 5120}},
        {5633, {0, 5120}}, {10240, {0, 5120, 10240}}, {10239, {0, 5120}}, {512, {0}},
    };
    for (const auto& c : cases) {
        recorder = Recorder();
        fs::remove_all(dest_path);
        fs::create_directory(dest_path);
        const std::string name = Name("f");
        BuildRaw(SizeField(c.size - HEADER - name.size() - 1) + name + '\0' +
                 Pattern(c.size - HEADER - name.size() - 1));
        ASSERT_EQ(RESULT_OK, Extract()) << c.size;
        std::vector<std::string> progress;
        for (const std::string& event : recorder.events) {
            if (event.rfind("progress", 0) == 0) progress.push_back(event);
        }
        std::vector<std::string> expected;
        for (uint64_t done : c.before_blocks) expected.push_back(Progress(done));
        expected.push_back(Progress(c.size));
        EXPECT_EQ(expected, progress) << c.size;
        EXPECT_EQ(c.size - HEADER - name.size() - 1, fs::file_size(FromUtf8(Joined(name))));
    }
}

TEST_F(ExtractorTest, LargeFilesCrossManyBlocksIntact) {
    // Sizes that put entry boundaries at odd places across blocks and read-ahead chunks.
    const std::string a = Pattern(70001, 1), b = Pattern(511, 2), c = Pattern(200000, 3);
    Build({File("a", a), File("b", b), Dir("d"), File("d/c", c)}, 4093);
    ASSERT_EQ(RESULT_OK, Extract());
    EXPECT_EQ(a, Contents("a"));
    EXPECT_EQ(b, Contents("b"));
    EXPECT_EQ(c, Contents("d/c"));
    // One event before each tenth block: blocks 0 .. size / 512 are read.
    EXPECT_EQ(static_cast<int>(trailer.payload_size / 512 / 10 + 1) + 1, recorder.progress_events);
}

TEST_F(ExtractorTest, FolderAndNameTogetherMustStayBelow260Bytes) {
    // A destination folder of exactly 100 bytes, its separator included.
    const std::string base = Utf8(scratch.path()) + SEP;
    ASSERT_LT(base.size(), 90u);
    dest_path = FromUtf8(base + std::string(99 - base.size(), 'f'));
    dest = Utf8(dest_path) + SEP;
    ASSERT_EQ(100u, dest.size());
    fs::create_directory(dest_path);

    const std::string fits = Name(std::string(158, 'n'));  // 159 bytes: 259 together
    const std::string too_long = Name(std::string(159, 'm'));
    Build({{fits, "ok"}, {too_long, "no"}});
    EXPECT_EQ(RESULT_BUFFER_TOO_SMALL, Extract());
    EXPECT_EQ("ok", ReadBytes(FromUtf8(dest + fits)));
    EXPECT_EQ(Error(RESULT_BUFFER_TOO_SMALL, too_long),
              recorder.events[recorder.events.size() - 2]);
    EXPECT_EQ(1u, ListTree(dest_path).size());
}

TEST_F(ExtractorTest, NameLongerThanItsFieldStopsWithTheNameCut) {
    const std::string name = Name(std::string(400, 'z'));
    BuildRaw(SizeField(3) + name + '\0' + "abc");
    // No packer writes such a name: a damaged payload, not a path too long for the folder.
    EXPECT_EQ(RESULT_BAD_PAYLOAD, Extract());
    EXPECT_EQ((std::vector<std::string>{
                  Progress(0), Error(RESULT_BAD_PAYLOAD, name.substr(0, ENTRY_NAME_CAPACITY - 1)),
                  Progress(trailer.payload_size)}),
              recorder.events);
    EXPECT_TRUE(ListTree(dest_path).empty());

    // 262 bytes and the NUL fill the field exactly: the path test, not the field, refuses it.
    recorder = Recorder();
    const std::string longest = Name(std::string(261, 'y'));
    BuildRaw(SizeField(0) + longest + '\0');
    EXPECT_EQ(RESULT_BUFFER_TOO_SMALL, Extract());
    EXPECT_EQ(Error(RESULT_BUFFER_TOO_SMALL, longest), recorder.events[1]);
}

TEST_F(ExtractorTest, UnsafeNamesCreateNothing) {
    const std::string unsafe[] = {
        Name("../escaped"),
        "/../escaped",
        "\\..\\escaped",
        Name("sub/../../escaped"),
        "relative",
        Name("./x"),
        Name("c:x"),
        Name("x:stream"),
        Name("a//b"),
        Name(".. "),
        "\\C:\\escaped",
        // Names no file may have: control characters, < > | * ? ", superscript device names.
        Name("line\nbreak"),
        Name("bell\x07"),
        Name("a<b"),
        Name("a>b"),
        Name("a|b"),
        Name("a*"),
        Name("a?"),
        Name("\"quoted\""),
        Name("COM\xC2\xB9"),
        Name("lpt\xC2\xB3.txt"),
        Name("sub/Com\xC2\xB2 .log"),
    };
    for (const std::string& name : unsafe) {
        for (bool directory : {false, true}) {
            recorder = Recorder();
            EmptyDest();
            Build({Dir("sub"), Entry{name, "evil", directory}, File("after", "x")});
            EXPECT_EQ(RESULT_UNSAFE_NAME, Extract()) << name;
            EXPECT_EQ((std::vector<std::string>{Progress(0), "begin " + Joined(Name("sub")),
                                                Error(RESULT_UNSAFE_NAME, name),
                                                Progress(trailer.payload_size)}),
                      recorder.events);
            EXPECT_EQ((std::vector<std::string>{"dest/", "dest/sub/", "program.exe"}),
                      ListTree(scratch.path()))
                << name;
        }
    }
}

// Decoded only up to the bad byte, "keep.txt<FF>" would be "keep.txt" and overwrite it.
TEST_F(ExtractorTest, NamesThatAreNotUtf8CreateNothing) {
    for (bool directory : {false, true}) {
        recorder = Recorder();
        EmptyDest();
        const std::string bad = Name("keep.txt\xFF");
        Build({File("keep.txt", "kept"), Entry{bad, "lost", directory}, File("after", "x")});
        EXPECT_EQ(RESULT_BAD_UTF8, Extract());
        EXPECT_EQ(Error(RESULT_BAD_UTF8, bad), recorder.events[recorder.events.size() - 2]);
        EXPECT_EQ("kept", Contents("keep.txt"));
        EXPECT_EQ((std::vector<std::string>{"dest/", "dest/keep.txt", "program.exe"}),
                  ListTree(scratch.path()));
    }
}

TEST_F(ExtractorTest, DirectoryNamedWithAClosingSeparatorIsCreated) {
    Build({Dir("docs/"), File("docs/a.txt", "1"), File("b/", "x")});
    EXPECT_EQ(RESULT_UNSAFE_NAME, Extract());  // a file cannot end in a separator
    EXPECT_EQ(Error(RESULT_UNSAFE_NAME, Name("b/")), recorder.events[recorder.events.size() - 2]);
    EXPECT_EQ("1", Contents("docs/a.txt"));
}

TEST_F(ExtractorTest, HandlerStopsAtProgressAndThePartFileStays) {
    const std::string data = Pattern(20000);
    Build({File("big", data), File("never", "x")});
    recorder.answer = [](const ExtractEvent& event) {
        return event.kind == EVENT_PROGRESS && event.bytes_done == 10240 ? RESULT_USER_CANCEL
                                                                         : RESULT_OK;
    };
    EXPECT_EQ(RESULT_USER_CANCEL, Extract());
    const std::string name = Name("big");
    // Exactly the bytes of the blocks read before the stop: 20 blocks, less the header.
    const size_t kept = 10240 - HEADER - name.size() - 1;
    EXPECT_EQ(data.substr(0, kept), Contents("big"));
    EXPECT_FALSE(fs::exists(FromUtf8(Joined(Name("never")))));
    EXPECT_EQ(
        (std::vector<std::string>{Progress(0), "begin " + Joined(name), "resolve " + Joined(name),
                                  Progress(5120), Progress(10240), Progress(trailer.payload_size)}),
        recorder.events);
}

TEST_F(ExtractorTest, HandlerStopsAtEntryBeginOrTargetResolution) {
    for (int32_t kind : {EVENT_ENTRY_BEGIN, EVENT_RESOLVE_TARGET}) {
        recorder = Recorder();
        Build({File("first", "1"), File("second", "2")});
        recorder.answer = [kind](const ExtractEvent& event) {
            return event.kind == kind && strstr(event.path, "second") ? -42 : RESULT_OK;
        };
        EXPECT_EQ(-42, Extract());
        EXPECT_EQ("1", Contents("first"));
        EXPECT_FALSE(fs::exists(FromUtf8(Joined(Name("second")))));
        EXPECT_EQ(Progress(trailer.payload_size), recorder.events.back());
        fs::remove(FromUtf8(Joined(Name("first"))));
    }
}

TEST_F(ExtractorTest, ResultOfErrorAndFinalProgressIsIgnored) {
    Build({File("ok", "1")});
    recorder.answer = [this](const ExtractEvent& event) {
        return event.kind == EVENT_PROGRESS && event.bytes_done == trailer.payload_size ? -7 : 0;
    };
    EXPECT_EQ(RESULT_OK, Extract());
}

TEST_F(ExtractorTest, FileGoesWhereTheHandlerResolvesIt) {
    Build({File("a", "redirected")});
    recorder.redirect = Utf8(scratch.path() / "elsewhere.txt");
    EXPECT_EQ(RESULT_OK, Extract());
    EXPECT_EQ("redirected", ReadBytes(scratch.path() / "elsewhere.txt"));
    EXPECT_TRUE(ListTree(dest_path).empty());
}

TEST_F(ExtractorTest, FileThatCannotBeCreatedStopsWithItsPath) {
    // Overwriting: the directory entry cannot be made (a file holds its name) and is not
    // reported by itself; the file inside then fails.
    policy = EXISTING_REPLACED;
    Build({File("blocker", "x"), Dir("blocker"), File("blocker/inner", "y")});
    EXPECT_EQ(RESULT_CANT_CREATE_FILE, Extract());
    const std::string inner = Joined(Name("blocker/inner"));
    EXPECT_EQ(Error(RESULT_CANT_CREATE_FILE, inner), recorder.events[recorder.events.size() - 2]);
    EXPECT_EQ("x", Contents("blocker"));

    // Otherwise the directory entry fails itself, also where its parent is missing.
    for (ExistingPolicy other : {EXISTING_REFUSED, EXISTING_FOLDER_KEPT}) {
        policy = other;
        recorder = Recorder();
        EmptyDest();
        Build({Dir("missing/deeper"), File("after", "x")});
        EXPECT_EQ(RESULT_CANT_CREATE_FILE, Extract());
        EXPECT_EQ(Error(RESULT_CANT_CREATE_FILE, Joined(Name("missing/deeper"))),
                  recorder.events[recorder.events.size() - 2]);
        EXPECT_TRUE(ListTree(dest_path).empty());
    }
}

// What was there before the extraction: a plain folder with a file in it, and a file where the
// payload names one. Each policy stops at the first name it refuses, and writes into none.
TEST_F(ExtractorTest, ExistingNamesStopTheEntryAsThePolicySays) {
    const struct {
        ExistingPolicy policy;
        ResultCode result;
        const char* failed;  // the entry named by the error
        std::vector<std::string> tree;
    } cases[] = {
        {EXISTING_REFUSED, RESULT_ALREADY_EXISTS, "sub", {"sub/", "sub/old", "taken"}},
        {EXISTING_FOLDER_KEPT,
         RESULT_ALREADY_EXISTS,
         "taken",
         {"sub/", "sub/new", "sub/old", "taken"}},
        {EXISTING_REPLACED, RESULT_OK, nullptr, {"after", "sub/", "sub/new", "sub/old", "taken"}},
    };
    for (const auto& c : cases) {
        policy = c.policy;
        recorder = Recorder();
        EmptyDest();
        fs::create_directory(dest_path / "sub");
        WriteBytes(dest_path / "sub" / "old", "old");
        WriteBytes(dest_path / "taken", "planted");
        Build({Dir("sub"), File("sub/new", "n"), File("taken", "mine"), File("after", "x")});
        EXPECT_EQ(c.result, Extract()) << c.policy;
        EXPECT_EQ(c.tree, ListTree(dest_path)) << c.policy;
        EXPECT_EQ("old", Contents("sub/old"));
        EXPECT_EQ(c.failed ? "planted" : "mine", Contents("taken")) << c.policy;
        if (c.failed != nullptr) {
            EXPECT_EQ(1,
                      std::count_if(recorder.events.begin(), recorder.events.end(),
                                    [](const std::string& e) { return e.rfind("error", 0) == 0; }));
            EXPECT_EQ(Error(c.result, Joined(Name(c.failed))),
                      recorder.events[recorder.events.size() - 2]);
        }
    }
}

TEST_F(ExtractorTest, ProgramFileThatCannotBeOpened) {
    trailer.payload_size = 100;
    program = scratch.path() / "missing.exe";
    EXPECT_EQ(RESULT_CANT_OPEN_FILE, Extract());
    EXPECT_EQ(
        (std::vector<std::string>{Error(RESULT_CANT_OPEN_FILE, Utf8(program)), Progress(100)}),
        recorder.events);
}

TEST_F(ExtractorTest, ProgramFileEndingBeforeThePayloadIsNotReadAsZeros) {
    Build({File("a", "first"), File("b", Pattern(6000))});
    const std::string bytes = ReadBytes(program);
    // Cut the file inside b's data, and let the trailer claim the whole payload.
    const size_t cut = trailer.payload_offset + trailer.payload_size - 100;
    WriteBytes(program, bytes.substr(0, cut));
    EXPECT_EQ(RESULT_BAD_PAYLOAD, Extract());
    EXPECT_EQ(Error(RESULT_BAD_PAYLOAD, Utf8(program)),
              recorder.events[recorder.events.size() - 2]);
    EXPECT_EQ("first", Contents("a"));
    EXPECT_EQ(Pattern(6000).substr(0, 5900), Contents("b"));  // the part file stays, closed

    // An offset past the end of the file.
    recorder = Recorder();
    trailer.payload_offset = static_cast<uint32_t>(cut + 10);
    EXPECT_EQ(RESULT_BAD_PAYLOAD, Extract());
    EXPECT_EQ((std::vector<std::string>{Progress(0), Error(RESULT_BAD_PAYLOAD, Utf8(program)),
                                        Progress(trailer.payload_size)}),
              recorder.events);
}

TEST_F(ExtractorTest, PayloadEndingInsideAnEntryIsAFailure) {
    const std::string name = Name("part");
    const std::string entry = SizeField(10) + name + '\0' + "0123456789";
    const struct {
        size_t cut;         // payload_size
        const char* where;  // what the payload's end cuts
    } cases[] = {{3, "size field"}, {HEADER + 2, "name"}, {entry.size() - 4, "data"}};
    for (const auto& c : cases) {
        recorder = Recorder();
        BuildRaw(entry);
        trailer.payload_size = c.cut;
        EXPECT_EQ(RESULT_BAD_PAYLOAD, Extract()) << c.where;
        const bool in_data = c.cut > HEADER + name.size() + 1;
        EXPECT_EQ(Error(RESULT_BAD_PAYLOAD, in_data ? Joined(name) : Utf8(program)),
                  recorder.events[recorder.events.size() - 2])
            << c.where;
        if (in_data) {
            EXPECT_EQ("012345", Contents("part"));  // kept, closed with what came
        }
    }
}

TEST_F(ExtractorTest, PayloadSizeBeyond4GiBIsNotTakenForItsLow32Bits) {
    BuildRaw(SizeField(4) + Name("a") + '\0' + "data");
    trailer.payload_size += uint64_t{1} << 32;
    EXPECT_EQ(RESULT_BAD_PAYLOAD, Extract());
    EXPECT_EQ("data", Contents("a"));
    EXPECT_EQ(Error(RESULT_BAD_PAYLOAD, Utf8(program)),
              recorder.events[recorder.events.size() - 2]);
}

TEST_F(ExtractorTest, PayloadBeyond2GiBIsFoundBy64BitSeek) {
    // A sparse program file: the payload starts past 2 GiB.
    const uint64_t offset = 0x90000000ull;
    Build({});
    ExtendSparse(program, offset);
    const std::string payload = SizeField(5) + Name("far") + '\0' + "found";
    {
        FILE* out = fopen(Utf8(program).c_str(), "ab");
        ASSERT_NE(nullptr, out);
        fwrite(payload.data(), 1, payload.size(), out);
        fclose(out);
    }
    trailer.payload_offset = static_cast<uint32_t>(offset);
    trailer.payload_size = payload.size();
    EXPECT_EQ(RESULT_OK, Extract());
    EXPECT_EQ("found", Contents("far"));
}

#if !defined(_WIN32)
TEST_F(ExtractorTest, FullDiskIsAWriteFailureNotSuccess) {
    policy = EXISTING_REPLACED;  // the device exists
    recorder.redirect = "/dev/full";
    // Large (several runs) and small (one run).
    for (size_t size : {size_t{300000}, size_t{10}}) {
        recorder.events.clear();
        Build({File("f", Pattern(size)), File("g", "never")});
        EXPECT_EQ(RESULT_WRITE_FAILED, Extract()) << size;
        EXPECT_EQ(Error(RESULT_WRITE_FAILED, "/dev/full"),
                  recorder.events[recorder.events.size() - 2]);
        EXPECT_EQ(1, std::count(recorder.events.begin(), recorder.events.end(),
                                "resolve " + Joined(Name("f"))));
        EXPECT_EQ(0, std::count(recorder.events.begin(), recorder.events.end(),
                                "begin " + Joined(Name("g"))));
    }
}
#endif

}  // namespace
