#include "platform/rtl/stream.h"
#include "platform/rtl/string_list.h"
#include "platform/text/cp936.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <functional>
#include <random>
#include <vector>

using namespace rtl;
using text::L;

namespace {

std::string B(std::initializer_list<int> bytes) {
    std::string s;
    for (int b : bytes) s += static_cast<char>(b);
    return s;
}

// A memory stream holding bytes, positioned at 0.
struct Fixture : TMemoryStream {
    explicit Fixture(std::string_view bytes) {
        WriteBytes(bytes);
        SetPosition(0);
    }
};

std::vector<std::string> Lines(const TStringList& l) {
    std::vector<std::string> r;
    for (int i = 0; i < l.Count(); ++i) r.push_back(l[i]);
    return r;
}

std::string OutputPath(const std::string& name) {
    QDir().mkpath(TEST_OUTPUT_DIR);
    return std::string(TEST_OUTPUT_DIR) + "/" + name;
}

} // namespace

TEST(Stream, LittleEndianNumbers) {
    const std::string bytes =
        B({0x01, 0xFE, 0xFF, 0x78, 0x56, 0x34, 0x12, 0,    0,    0,    0,    0,    0,    0xF8, 0x3F,
           0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0x02, 0x00});
    Fixture in(bytes);
    EXPECT_EQ(in.ReadByte(), 1);
    EXPECT_EQ(in.ReadInt16(), -2);
    EXPECT_EQ(in.ReadInt32(), 0x12345678);
    EXPECT_EQ(in.ReadDouble(), 1.5);
    EXPECT_EQ(in.ReadInt64(), -1);
    EXPECT_EQ(in.ReadUInt32(), 0xFFFFFFFEu);
    EXPECT_TRUE(in.ReadWordBool());
    EXPECT_EQ(in.Remaining(), 0);

    TMemoryStream out;
    out.WriteByte(1);
    out.WriteInt16(-2);
    out.WriteInt32(0x12345678);
    out.WriteDouble(1.5);
    out.WriteInt64(-1);
    out.WriteUInt32(0xFFFFFFFEu);
    out.WriteWordBool(true);
    out.SetPosition(1);
    out.WriteUInt16(0xFFFE); // overwrite in place
    EXPECT_EQ(out.Bytes().substr(0, 27), bytes.substr(0, 27));
    EXPECT_EQ(out.Bytes().substr(27), B({0x01, 0x00}));
}

TEST(Stream, ReadsPastTheEndRaiseReadError) {
    Fixture in(B({1, 2, 3}));
    in.SetPosition(2);
    EXPECT_THROW(in.ReadUInt16(), EReadError);
    in.SetPosition(0);
    EXPECT_THROW(in.ReadBytes(4), EReadError);
    EXPECT_THROW(in.ReadBytes(-1), EReadError);
    EXPECT_THROW(in.Skip(4), EReadError);
    in.SetPosition(10); // seeking past the end is allowed, reading is not
    EXPECT_THROW(in.ReadByte(), EReadError);
    try {
        in.SetPosition(1);
        in.ReadInt32();
        FAIL();
    } catch (const EReadError& e) {
        EXPECT_STREQ(e.what(),
                     "Stream read error: 4 bytes wanted at offset 1, the stream ends at 3");
    }
    EXPECT_THROW(in.Seek(-1, TSeekOrigin::soBeginning), EStreamError);
    EXPECT_THROW(in.Seek(-4, TSeekOrigin::soEnd), EStreamError);
}

TEST(Stream, MemoryStreamSizeSeekAndCopy) {
    TMemoryStream m;
    m.Seek(3, TSeekOrigin::soBeginning);
    m.WriteByte(9); // the gap is zero-filled
    EXPECT_EQ(m.Bytes(), B({0, 0, 0, 9}));
    EXPECT_EQ(m.Seek(-1, TSeekOrigin::soEnd), 3);
    EXPECT_EQ(m.Seek(-2, TSeekOrigin::soCurrent), 1);
    m.SetSize(2);
    EXPECT_EQ(m.Position(), 1);
    m.SetPosition(2);
    m.SetSize(1); // shrinking below the position moves it to the end
    EXPECT_EQ(m.Position(), 1);
    m.SetSize(3);
    EXPECT_EQ(m.Bytes(), B({0, 0, 0}));

    Fixture src("abcdef");
    TMemoryStream dst;
    src.SetPosition(4);
    EXPECT_EQ(dst.CopyFrom(src, 0), 6); // 0: all of it, from the start
    src.SetPosition(1);
    EXPECT_EQ(dst.CopyFrom(src, 2), 2);
    EXPECT_EQ(dst.Bytes(), "abcdefbc");
    EXPECT_THROW(dst.CopyFrom(src, 4), EReadError); // only 3 left
    EXPECT_EQ(dst.Size(), 8);                       // nothing half-copied

    TMemoryStream loaded;
    loaded.LoadFromStream(dst);
    EXPECT_EQ(loaded.Bytes(), "abcdefbc");
    EXPECT_EQ(loaded.Position(), 0);
    loaded.Clear();
    EXPECT_EQ(loaded.Size(), 0);
}

// Each encoding: the bytes it is written as, and what reads back.
TEST(Stream, StringEncodingsMatchTheirBytes) {
    const std::string zh = L("中");
    struct {
        const char* name;
        std::function<void(TStream&)> write;
        std::string bytes;
    } cases[] = {
        {"string", [](TStream& s) { frWriteString(s, "ab"); }, B({2, 0, 'a', 'b', 0})},
        {"empty string", [](TStream& s) { frWriteString(s, ""); }, B({0, 0, 0})},
        {"new string", [&](TStream& s) { frWriteNewString(s, zh); }, B({2, 0, 0xD6, 0xD0, 0})},
        {"short string", [](TStream& s) { frWriteShortString(s, "abc"); }, B({3, 'a', 'b', 'c'})},
        {"word string", [](TStream& s) { frWriteWordString(s, "hi"); }, B({2, 0, 'h', 'i'})},
        {"memo",
         [](TStream& s) {
             TStringList l{"a", "", "bc"};
             frWriteMemo(s, l);
         },
         B({3, 0, 1, 0, 'a', 13, 0, 0, 13, 2, 0, 'b', 'c', 0})},
        {"empty memo", [](TStream& s) { frWriteMemo(s, TStringList()); }, B({0, 0, 0})},
    };
    for (auto& c : cases) {
        TMemoryStream m;
        c.write(m);
        EXPECT_EQ(m.Bytes(), c.bytes) << c.name;
    }

    Fixture s(B({2, 0, 0xD6, 0xD0, 0, 3, 'a', 'b', 'c', 2, 0, 'h', 'i'}));
    EXPECT_EQ(frReadNewString(s), zh);
    EXPECT_EQ(frReadShortString(s), "abc");
    EXPECT_EQ(frReadWordString(s), "hi");
    EXPECT_EQ(s.Remaining(), 0);

    Fixture v25(B({2, 0, 'a', 'b', 0, 'x'}));
    EXPECT_EQ(frReadString(v25, 25), "ab");
    EXPECT_EQ(v25.ReadByte(), 'x');
    // Old versions: bytes up to a 0 byte.
    Fixture v22(B({'a', 'b', 0, 0, 'c', 'd', 0}));
    EXPECT_EQ(frReadString(v22, 22), "ab");
    EXPECT_EQ(frReadString(v22, 22), "");
    EXPECT_EQ(frReadString(v22, 22), "cd");
    // A zero-terminated string longer than the reader's chunk.
    const std::string longText(1000, 'q');
    Fixture longV21(longText + std::string(1, '\0') + "z");
    EXPECT_EQ(frReadString(longV21, 21), longText);
    EXPECT_EQ(longV21.ReadByte(), 'z');
}

TEST(Stream, MemoReadersGoBySeparators) {
    struct {
        const char* name;
        int version;
        std::string bytes;
        std::vector<std::string> lines;
    } cases[] = {
        {"v25 three lines",
         25,
         B({3, 0, 1, 0, 'a', 13, 0, 0, 13, 2, 0, 'b', 'c', 0}),
         {"a", "", "bc"}},
        {"v25 empty", 25, B({0, 0, 0}), {}},
        {"v25 one empty line", 25, B({1, 0, 0, 0, 0}), {""}},
        // The count is not trusted: the 0 separator ends the list.
        {"v25 count too high", 25, B({5, 0, 1, 0, 'x', 13, 1, 0, 'y', 0}), {"x", "y"}},
        {"v25 count too low", 25, B({1, 0, 1, 0, 'x', 13, 1, 0, 'y', 0}), {"x", "y"}},
        {"v23 line with CR LF inside", 23, B({1, 0, 3, 0, 'a', 13, 10, 0}), {"a\r\n"}},
        {"v22 lines", 22, B({'a', 13, 'b', 0}), {"a", "b"}},
        {"v22 empty lines kept", 22, B({'a', 13, 13, 'b', 13, 0}), {"a", "", "b"}},
        {"v22 nothing", 22, B({0}), {}},
        {"v22 one empty line", 22, B({13, 0}), {""}},
        {"v22 line feeds stay", 21, B({'a', 10, 'b', 13, 0}), {"a\nb"}},
    };
    for (auto& c : cases) {
        Fixture in(c.bytes + "Z");
        TStringList l{"old content"};
        frReadMemo(in, l, c.version);
        EXPECT_EQ(Lines(l), c.lines) << c.name;
        EXPECT_EQ(in.ReadByte(), 'Z') << c.name; // stops right after the list
    }
}

TEST(Stream, TruncatedEncodingsRaiseReadError) {
    struct {
        const char* name;
        std::function<void(TStream&)> read;
        std::string bytes;
    } cases[] = {
        {"string", [](TStream& s) { frReadString(s, 25); }, B({2, 0, 'a', 'b', 0})},
        {"old string", [](TStream& s) { frReadString(s, 22); }, B({'a', 'b', 0})},
        {"short string", [](TStream& s) { frReadShortString(s); }, B({3, 'a', 'b', 'c'})},
        {"word string", [](TStream& s) { frReadWordString(s); }, B({2, 0, 'h', 'i'})},
        {"memo",
         [](TStream& s) {
             TStringList l;
             frReadMemo(s, l, 25);
         },
         B({2, 0, 1, 0, 'a', 13, 2, 0, 'b', 'c', 0})},
        {"empty memo",
         [](TStream& s) {
             TStringList l;
             frReadMemo(s, l, 24);
         },
         B({0, 0, 0})},
        {"old memo",
         [](TStream& s) {
             TStringList l;
             frReadMemo(s, l, 22);
         },
         B({'a', 13, 'b', 0})},
    };
    for (auto& c : cases) {
        {
            Fixture whole(c.bytes);
            EXPECT_NO_THROW(c.read(whole)) << c.name;
            EXPECT_EQ(whole.Remaining(), 0) << c.name;
        }
        for (size_t cut = 0; cut < c.bytes.size(); ++cut) {
            Fixture part(c.bytes.substr(0, cut));
            EXPECT_THROW(c.read(part), EReadError) << c.name << " cut at " << cut;
        }
    }
    // A length far beyond what is left fails before anything is allocated.
    Fixture huge(B({0xFF, 0xFF, 'a'}));
    EXPECT_THROW(frReadString(huge, 25), EReadError);
}

TEST(Stream, WritersRefuseWhatTheFormatCannotHold) {
    TMemoryStream m;
    EXPECT_NO_THROW(frWriteString(m, std::string(65535, 'x')));
    EXPECT_THROW(frWriteString(m, std::string(65536, 'x')), EWriteError);
    EXPECT_THROW(frWriteWordString(m, std::string(65536, 'x')), EWriteError);
    EXPECT_THROW(frWriteShortString(m, std::string(256, 'x')), EWriteError);
    TStringList tooLong{"ok", std::string(65536, 'x')};
    const int64_t before = m.Size();
    EXPECT_THROW(frWriteMemo(m, tooLong), EWriteError);
    EXPECT_EQ(m.Size(), before); // nothing half-written

    // More lines than a 16-bit count holds still read back whole.
    TStringList many;
    for (int i = 0; i < 70000; ++i) many.Add(std::to_string(i));
    TMemoryStream big;
    frWriteMemo(big, many);
    EXPECT_EQ(B({0xFF, 0xFF}), big.Bytes().substr(0, 2));
    big.SetPosition(0);
    TStringList back;
    frReadMemo(big, back, 25);
    EXPECT_TRUE(back.Equals(many));
}

TEST(Stream, FileStreamRoundTripAndErrors) {
    const std::string path = OutputPath(L("标签_stream.bin"));
    {
        TFileStream f(path, fmCreate);
        f.WriteInt32(-5);
        frWriteString(f, L("条码"));
        TStringList memo{"x", "y"};
        frWriteMemo(f, memo);
        f.Flush();
        EXPECT_EQ(f.Size(), 4 + 7 + 10);
    }
    // The CP936 name reaches the disk as the same characters.
    EXPECT_TRUE(QFile::exists(QString::fromUtf8(TEST_OUTPUT_DIR "/标签_stream.bin")));
    {
        TFileStream f(QString::fromUtf8(TEST_OUTPUT_DIR "/标签_stream.bin"), fmOpenRead);
        EXPECT_EQ(f.ReadInt32(), -5);
        EXPECT_EQ(frReadString(f, 25), L("条码"));
        TStringList memo;
        frReadMemo(f, memo, 25);
        EXPECT_EQ(Lines(memo), (std::vector<std::string>{"x", "y"}));
        EXPECT_THROW(f.ReadByte(), EReadError);
        EXPECT_THROW(f.WriteByte(1), EWriteError); // opened for reading
    }
    {
        // Opening for writing keeps the content.
        TFileStream f(path, fmOpenWrite);
        EXPECT_EQ(f.Size(), 21);
        f.Seek(0, TSeekOrigin::soEnd);
        f.WriteByte(7);
        f.SetSize(22);
    }
    TMemoryStream m;
    m.LoadFromFile(path);
    EXPECT_EQ(m.Size(), 22);
    EXPECT_EQ(static_cast<int>(m.Memory()[21]), 7);

    const std::string missing = OutputPath("no_such_file.frf");
    try {
        TFileStream f(missing, fmOpenRead);
        FAIL();
    } catch (const EFOpenError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Cannot open file \"" + missing + "\". ", 0), 0u)
            << e.what();
    }
    EXPECT_THROW(TFileStream(TEST_OUTPUT_DIR, fmOpenRead), EFOpenError); // a folder
    EXPECT_THROW(TFileStream(OutputPath("no_dir/x.bin"), fmCreate), EFCreateError);

    TStringList l{"a", L("名称")};
    const std::string textPath = OutputPath("list.txt");
    l.SaveToFile(textPath);
    TStringList back;
    back.LoadFromFile(textPath);
    EXPECT_TRUE(back.Equals(l));
}

TEST(Stream, GarbageGivesReadErrorsOnly) {
    // Random bytes through every reader: each read either succeeds or raises
    // EReadError, and always moves forward, so a loop over a damaged file ends.
    std::mt19937 rng(11);
    std::uniform_int_distribution<int> byte(0, 255), small(0, 4), size(0, 40);
    for (int round = 0; round < 3000; ++round) {
        std::string bytes;
        for (int n = size(rng); n > 0; --n) {
            // Bias towards the bytes the formats give meaning to.
            const int pick = small(rng);
            bytes += static_cast<char>(pick == 0 ? 0 : pick == 1 ? 13 : byte(rng));
        }
        Fixture in(bytes);
        const int version = round % 2 ? 25 : 22;
        try {
            while (true) {
                const int64_t before = in.Position();
                TStringList l;
                switch (round % 4) {
                case 0:
                    frReadString(in, version);
                    break;
                case 1:
                    frReadMemo(in, l, version);
                    break;
                case 2:
                    frReadShortString(in);
                    break;
                default:
                    frReadWordString(in);
                    break;
                }
                ASSERT_GT(in.Position(), before);
            }
        } catch (const EReadError&) {
        }
    }
}
